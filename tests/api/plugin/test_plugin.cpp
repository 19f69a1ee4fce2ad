// A small plugin for the end-to-end tests of routing and invocation: int,
// bool, enum, structure, vector and map arguments and results, taken from the
// path, the query, a header, the host's arguments and the body; and a reply
// that sets its own response headers.
#include "tests/api/plugin/test_plugin.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "api/call_info.h"
#include "api/call_result.h"
#include "api/outcome.h"
#include "api/route_declarer.h"
#include "diagnostics/format.h"
#include "plugin/entry.h"
#include "plugin/plugin_base.h"

namespace zel::api::testing_support {

// Named outside the anonymous namespace, so that every compiler spells it alike.
struct Unregistered {
  std::int64_t value = 0;
};

namespace {

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  Colour colour = Colour::Red;
};

struct Summary {
  std::int64_t count = 0;
  std::int64_t total = 0;
  std::vector<std::string> names;
};

class TestPlugin final : public PluginBase {
 public:
  void registerApi() override {
    TypeRegistry& types = registry();
    types.registerEnum<Colour>("ZelTestColour")
        .enumerator("Red", Colour::Red)
        .enumerator("Green", Colour::Green)
        .enumerator("Blue", Colour::Blue);
    types.registerStruct<Point>("ZelTestPoint")
        .field("x", &Point::x)
        .field("y", &Point::y)
        .field("colour", &Point::colour);
    types.registerStruct<Summary>("ZelTestSummary")
        .field("count", &Summary::count)
        .field("total", &Summary::total)
        .field("names", &Summary::names);

    RouteDeclarer routes(*this);
    routes.declare(HttpMethod::Get, "/zel-test/v1/double/{n}", &TestPlugin::doubled)
        .pathArgument("n", "The number to double");
    // Paths are matched whole, query included: a route that takes query
    // values captures the query with a trailing "{+query}" placeholder.
    routes
        .declare(HttpMethod::Get, "/zel-test/v1/not{+query}",
                 [](const BindingValue&, bool flag) { return !flag; })
        .pathArgument("query")
        .queryArgument("flag");
    routes.declare(HttpMethod::Get, "/zel-test/v1/colour/{colour}", &TestPlugin::nextColour)
        .pathArgument("colour");
    routes.declare(HttpMethod::Post, "/zel-test/v1/point", &TestPlugin::mirrored)
        .bodyArgument("point", "The point to mirror");
    routes.declare(HttpMethod::Get, "/zel-test/v1/sum{+query}", &TestPlugin::summed)
        .pathArgument("query")
        .queryArgument("values");
    routes.declare(HttpMethod::Post, "/zel-test/v1/groups", &TestPlugin::grouped)
        .bodyArgument("groups");
    routes.declare(HttpMethod::Get, "/zel-test/v1/whoami", &TestPlugin::whoAmI)
        .headerArgument("token");
    routes.declare(HttpMethod::Get, "/zel-test/v1/point/{id}", &TestPlugin::pointById)
        .pathArgument("id");
    routes.declare(HttpMethod::Post, "/zel-test/v1/note/{id}", &TestPlugin::note)
        .pathArgument("id")
        .argument("text")
        .argument("repeat");
    routes.declare(HttpMethod::Get, "/zel-test/v1/echo{+query}", &TestPlugin::echo)
        .pathArgument("query")
        .argument("text");
    routes.declare(HttpMethod::Get, "/zel-test/v1/headers", &TestPlugin::withHeaders);
    // Any method, custom ones included.
    routes.declare(HttpMethod::None, "/zel-test/v1/any{+query}", &TestPlugin::echo)
        .pathArgument("query")
        .argument("text");
    // With ZEL_TEST_PLUGIN_UNREGISTERED set, one more route whose body type
    // is never registered: what the load reports about it is under test.
    if (std::getenv("ZEL_TEST_PLUGIN_UNREGISTERED") != nullptr) {
      routes
          .declare(HttpMethod::Post, "/zel-test/v1/unregistered",
                   [](const Unregistered& body) { return body.value; })
          .bodyArgument("body");
    }
  }

 private:
  std::int64_t doubled(std::int64_t n) { return 2 * n; }

  Outcome<Colour> nextColour(Colour colour) {
    switch (colour) {
      case Colour::Red:
        return Colour::Green;
      case Colour::Green:
        return Colour::Blue;
      case Colour::Blue:
        break;
    }
    return failure("Blue is the last colour", 409);
  }

  Point mirrored(const Point& point) { return Point{point.y, point.x, point.colour}; }

  Summary summed(const BindingValue&, const std::vector<std::int64_t>& values) {
    Summary summary;
    for (const std::int64_t value : values) {
      ++summary.count;
      summary.total += value;
    }
    return summary;
  }

  std::unordered_map<std::string, std::int64_t> grouped(
      const std::unordered_map<std::string, std::vector<std::int64_t>>& groups) {
    std::unordered_map<std::string, std::int64_t> sizes;
    for (const auto& [name, members] : groups) {
      sizes[name] = static_cast<std::int64_t>(members.size());
    }
    return sizes;
  }

  Outcome<std::string> whoAmI(const std::string& token) {
    if (token.empty()) return failure("No token", 401);
    return "user of " + token;
  }

  Outcome<Point> pointById(std::int64_t id) {
    if (id != 7) return notFound(formatPositional("No point with id %lld", id));
    return Point{7, -7, Colour::Blue};
  }

  std::vector<std::string> note(std::int64_t id, std::string text, std::uint32_t repeat) {
    return std::vector<std::string>(repeat, formatPositional("%1:%2", id, text));
  }

  Summary echo(const CallInfo& call, const BindingValue&, const std::string& text) {
    Summary summary;
    summary.count = static_cast<std::int64_t>(call.arguments.size());
    summary.total = static_cast<std::int64_t>(call.requestId);
    const std::string_view method =
        call.method == HttpMethod::Custom ? call.customMethod : httpMethodName(call.method);
    summary.names = {std::string(method), std::string(call.path), text};
    auto agent = call.headers.find("user-agent");
    if (agent != call.headers.end()) summary.names.emplace_back(agent->second);
    return summary;
  }

  // Response headers: a plain one, and those that an HTTP bridge must not
  // pass on (line breaks, framing, names that are no names).
  void withHeaders(const CallInfo&, CallResult& result) {
    result.result.setString("with headers");
    result.headers = {{"X-Zel-Test", "plain"},
                      {"X-Injected", "a\r\nX-Smuggled-By-Value: yes"},
                      {"X-Split\nX-Smuggled-By-Name", "yes"},
                      {"X-Colon:Name", "c"},
                      {"", "empty name"},
                      {"Content-Length", "999"},
                      {"content-type", "text/plain"},
                      {"Transfer-Encoding", "chunked"},
                      {"Connection", "upgrade"}};
  }
};

}  // namespace
}  // namespace zel::api::testing_support

static_assert(std::string_view(ZEL_PLUGIN_SHORT_NAME) == zel::api::testing_support::kShortName,
              "tests/api/CMakeLists.txt names the plugin as the plugin does");

// load_zel_test, which the host finds from the library's file name.
ZEL_PLUGIN_ENTRY(zel::api::testing_support::TestPlugin)

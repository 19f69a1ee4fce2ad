// The load handshake of plugin/entry.h: a plugin whose declarations throw is
// still loaded, with the functions declared before the failure, and the
// failure is logged.
#include "plugin/entry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "api/route_declarer.h"
#include "binding/type_identity.h"
#include "boundary/description_records.h"
#include "diagnostics/logger.h"
#include "diagnostics/logger_control.h"
#include "host/fakes/recording_host_api.h"
#include "plugin/identity.h"
#include "plugin/plugin_base.h"
#include "tests/plugin/recording_log_target.h"

namespace zel {

// Named outside the anonymous namespace, so that every compiler spells them alike.
namespace testing_support {
struct Place {
  std::int64_t x = 0;
};
struct Late {
  std::int64_t y = 0;
};
struct Note {
  Place target;
  std::vector<Late> later;
  std::unordered_map<std::string, Late> byName;
};
struct Memo {
  Place where;
};
}  // namespace testing_support

namespace {

enum class Fault { None, Exception, WithoutText, UnregisteredTypes };

// Declares one route, fails as told, then declares a second.
class DeclaringPlugin final : public PluginBase {
 public:
  void registerApi() override {
    RouteDeclarer routes(*this);
    routes.declare(HttpMethod::Get, "/zel-test/first", [] { return 1; });
    if (fault == Fault::Exception) throw std::runtime_error("no more routes");
    if (fault == Fault::WithoutText) throw 7;
    routes.declare(HttpMethod::Get, "/zel-test/second", [] { return 2; });
    if (fault == Fault::UnregisteredTypes) declareUnregisteredTypes(routes);
  }
  // Place is never registered; Late only after the structure and the route
  // that use it: a route finds it again at each call, a field never does.
  template <typename Routes>
  void declareUnregisteredTypes(Routes& routes) {
    using namespace testing_support;
    registry()
        .registerStruct<Note>("Note")
        .field("target", &Note::target)
        .field("later", &Note::later)
        .field("byName", &Note::byName);
    registry().registerStruct<Memo>("Memo").field("where", &Memo::where);
    routes.declare(HttpMethod::Post, "/zel-test/note", [](const Note&, Place) { return 0; })
        .bodyArgument("note")
        .queryArgument("place");
    routes.declare(HttpMethod::Get, "/zel-test/place", [](Late) { return Place{}; })
        .queryArgument("late");
    routes.declare(HttpMethod::Get, "/zel-test/where", [](Place) { return 0; })
        .queryArgument("where");
    registry().registerStruct<Late>("Late").field("y", &Late::y);
  }
  static inline Fault fault = Fault::None;
};

struct Loaded {
  std::int32_t result;
  std::uint32_t functions;
  std::vector<std::string> lines;
  std::vector<std::int32_t> levels;
  std::vector<std::string> hostErrors;  // the ERROR lines the host got at attach
};

Loaded load(Fault fault) {
  DeclaringPlugin::fault = fault;
  logger::acquire();
  Loaded loaded{};
  {
    testing_support::RecordingLogTarget target;
    target.configure(kLogOkay, kTagDbg, 0, "#M");
    HostLoadInfo info{};
    info.major = kPluginApiMajor;
    loaded.result =
        loadPlugin(&info, "zel-test", []() -> PluginBase* { return new DeclaringPlugin; });
    if (loaded.result != 0) {
      loaded.functions = info.description->functionCount;
      host::RecordingHostApi host;
      HostConnection connection{host.api(), 1};
      info.entryPoints->attach(info.plugin, &connection);
      for (const host::RecordedLog& line : host.logs()) {
        if (line.level == kLogError) loaded.hostErrors.push_back(line.text);
      }
      info.entryPoints->shutdown(info.plugin);
    }
    loaded.lines = target.lines;
    loaded.levels = target.levels;
  }
  logger::release();
  return loaded;
}

TEST(LoadPlugin, AFailedRegistrationIsLoggedAndTheHandshakeSucceeds) {
  const Loaded whole = load(Fault::None);
  ASSERT_EQ(whole.result, 1);
  EXPECT_TRUE(whole.lines.empty());
  EXPECT_TRUE(whole.hostErrors.empty());

  const TypeIdentity& textMapOfLate =
      typeIdentity<std::unordered_map<std::string, testing_support::Late>>();
  const struct {
    int line;
    Fault fault;
    int functions;  // more than a whole load's
    std::vector<std::string> logged;
  } rows[] = {
      {__LINE__,
       Fault::Exception,
       -1,
       {"zel-test: registerApi failed during load: no more routes"}},
      {__LINE__, Fault::WithoutText, -1, {"zel-test: registerApi failed during load"}},
      {__LINE__,
       Fault::UnregisteredTypes,
       3,
       {"Structure 'Memo' field 'where' has type 'zel::testing_support::Place', which was not "
        "registered before 'Memo'",
        "Structure 'Note' field 'target' has type 'zel::testing_support::Place', which was not "
        "registered before 'Note'",
        "Structure 'Note' field 'later' has type 'std::vector<zel::testing_support::Late>', which "
        "was "
        "not registered before 'Note'",
        // The compilers spell the map's key type their own way.
        "Structure 'Note' field 'byName' has type '" + std::string(textMapOfLate.name()) +
            "', which was not registered before 'Note'",
        "Function 'GetZelTestPlace' result has type 'zel::testing_support::Place', which is not "
        "registered",
        "Function 'GetZelTestWhere' argument 'where' has type 'zel::testing_support::Place', which "
        "is "
        "not registered",
        "Function 'PostZelTestNote' argument 'place' has type 'zel::testing_support::Place', which "
        "is "
        "not registered"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const Loaded loaded = load(row.fault);
    EXPECT_EQ(loaded.result, 1);
    EXPECT_EQ(static_cast<int>(loaded.functions) - static_cast<int>(whole.functions), row.functions)
        << "the routes declared before a failure";
    EXPECT_EQ(loaded.lines, row.logged);
    EXPECT_EQ(loaded.levels, std::vector<std::int32_t>(row.logged.size(), kLogError));
    EXPECT_EQ(loaded.hostErrors, row.logged) << "told to the host again once it attaches";
  }
}

// The errors are kept for the host; an attach that brings none, or no
// table of entries, must not fail on them.
TEST(LoadPlugin, AnAttachWithoutAHostTableStillSucceeds) {
  DeclaringPlugin::fault = Fault::Exception;
  logger::acquire();
  HostConnection noTable{nullptr, 1};
  for (HostConnection* connection : {static_cast<HostConnection*>(nullptr), &noTable}) {
    HostLoadInfo info{};
    info.major = kPluginApiMajor;
    ASSERT_EQ(loadPlugin(&info, "zel-test", []() -> PluginBase* { return new DeclaringPlugin; }),
              1);
    EXPECT_EQ(info.entryPoints->attach(info.plugin, connection), 1);
    info.entryPoints->shutdown(info.plugin);
  }
  logger::release();
}

}  // namespace
}  // namespace zel

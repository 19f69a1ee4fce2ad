// The load handshake of plugin/entry.h: a plugin whose declarations throw is
// still loaded, with the functions declared before the failure, and the
// failure is logged.
#include "plugin/entry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/route_declarer.h"
#include "diagnostics/logger.h"
#include "plugin/identity.h"
#include "plugin/plugin_base.h"
#include "tests/plugin/recording_log_target.h"

namespace zel {
namespace {

enum class Fault { None, Exception, WithoutText };

// Declares one route, fails as told, then declares a second.
class DeclaringPlugin final : public PluginBase {
 public:
  void registerApi() override {
    RouteDeclarer routes(*this);
    routes.declare(HttpMethod::Get, "/zel-test/first", [] { return 1; });
    if (fault == Fault::Exception) throw std::runtime_error("no more routes");
    if (fault == Fault::WithoutText) throw 7;
    routes.declare(HttpMethod::Get, "/zel-test/second", [] { return 2; });
  }
  static inline Fault fault = Fault::None;
};

struct Loaded {
  std::int32_t result;
  std::uint32_t functions;
  std::vector<std::string> lines;
  std::vector<std::int32_t> levels;
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

  const struct {
    int line;
    Fault fault;
    const char* logged;
  } rows[] = {
      {__LINE__, Fault::Exception, "zel-test: registerApi failed during load: no more routes"},
      {__LINE__, Fault::WithoutText, "zel-test: registerApi failed during load"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const Loaded loaded = load(row.fault);
    EXPECT_EQ(loaded.result, 1);
    EXPECT_EQ(loaded.functions, whole.functions - 1) << "the route declared before the failure";
    EXPECT_EQ(loaded.lines, (std::vector<std::string>{row.logged}));
    EXPECT_EQ(loaded.levels, (std::vector<std::int32_t>{kLogError}));
  }
}

}  // namespace
}  // namespace zel

// A plugin written against the one SDK header alone: a route whose handler
// answers an Outcome, loaded through the entry function's handshake. The
// test plays the host too, which reads the handshake's records.
#include "plugin/sdk.h"

#include <gtest/gtest.h>

#include "boundary/description_records.h"
#include "boundary/host_api.h"

namespace {

class Twice final : public zel::PluginBase {
 public:
  void registerApi() override {
    zel::RouteDeclarer routes(*this);
    routes.declare(zel::HttpMethod::Get, "/zel-twice/v1/twice/{n}", &Twice::twice)
        .pathArgument("n", "The number to double");
  }

 private:
  zel::Outcome<std::int64_t> twice(std::int64_t n) {
    zel::logMessage(zel::kLogOkay, zel::kTagDbg, "doubling %lld", static_cast<long long>(n));
    return n * 2;
  }
};

TEST(SdkHeaderTest, APluginNeedsNoOtherInclude) {
  const zel::PluginApiVersion version = zel::supportedApiVersion();
  zel::HostLoadInfo info{version.major, version.minor, version.patch, nullptr, nullptr, nullptr,
                         nullptr};
  ASSERT_EQ(zel::loadPlugin(&info, "zel-twice", []() -> zel::PluginBase* { return new Twice; }),
            1);
  ASSERT_NE(info.description, nullptr);
  EXPECT_EQ(info.description->functionCount, 1u);
  // What an author reads and listens to through the plugin base is complete
  // here too: its names, and the resource event a listener is given.
  auto& plugin = *static_cast<zel::PluginBase*>(info.plugin);
  EXPECT_EQ(plugin.names().shortName, "zel-twice");
  EXPECT_TRUE(plugin.addResourceListener(
      "/zel-twice/v1/last", [](const zel::PluginResourceEvent& event) { (void)event.uri; }));
  info.entryPoints->shutdown(info.plugin);
}

}  // namespace

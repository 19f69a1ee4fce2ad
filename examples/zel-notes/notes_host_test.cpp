// A test of the built plugin through the SDK's recording host: the plugin is
// loaded and attached the way the platform's host does it, subscribes to the
// region and locale changes, and logs one when the host delivers it.
// Run with the plugin library's path; exits 1 and names what failed.
#include <cstdio>
#include <string>

#include "host/api_version.h"
#include "host/fakes/recording_host_api.h"
#include "host/plugin_host.h"

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  std::printf("%s  %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zel::host;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PLUGIN_LIBRARY\n", argv[0]);
    return 2;
  }
  RecordingHostApi api;  // outlives the plugin, which keeps its address
  PluginHost host(PluginLibrary::open(argv[1]));
  check(host.library().entryName() == "load_zel_notes", "the entry is load_zel_notes");
  if (!host.load(kDefaultHostVersion) || !host.attach(api.api(), 1)) {
    std::fprintf(stderr, "%s\n", host.error().c_str());
    return 1;
  }
  check(host.shortName() == "zel-notes", "the short name is zel-notes");

  bool subscribed = false;
  for (const RecordedSubscription& subscription : api.activeSubscriptions()) {
    subscribed = subscribed || subscription.eventName == "OnRegionLocaleChanged";
  }
  check(subscribed, "subscribed to OnRegionLocaleChanged");
  check(api.deliverEvent("OnRegionLocaleChanged", HostValue::makeNone()) == 1,
        "the event reaches one handler");
  bool logged = false;
  for (const RecordedLog& line : api.logs()) {
    logged =
        logged || line.text.find("Region or locale changed; 0 notes kept") != std::string::npos;
  }
  check(logged, "the change is logged");
  host.shutdown();
  return failures == 0 ? 0 : 1;
}

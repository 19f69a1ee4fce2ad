// Event-tracing providers: which events a consumer's enable request turns
// on, and that tracing calls are harmless when nobody listens.
#include "diagnostics/internal/event_tracing.h"

#include <gtest/gtest.h>

namespace zel::diagnostics::internal {
namespace {

TEST(TraceProvider, EnableRequestsSelectEventsByLevelAndKeywords) {
  const platform::TraceGuid guid = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
  const platform::TraceEventDescriptor events[] = {
      {1, 0, 0, 4, 0, 0, 0x0},  // informational, no keyword
      {2, 0, 0, 5, 0, 0, 0x1},  // verbose, keyword 1
      {3, 0, 0, 2, 0, 0, 0x6},  // error, keywords 2 and 4
  };
  TraceProvider provider(guid, events, 3);
  for (std::size_t event = 0; event < 4; ++event) EXPECT_FALSE(provider.isEventEnabled(event));
  // Registered only where the system traces, and once.
  EXPECT_EQ(provider.registerProvider(), platform::tracingAvailable());
  EXPECT_EQ(provider.registerProvider(), platform::tracingAvailable());
  provider.unregisterProvider();

  struct Row {
    int line;
    bool enabled;
    std::uint8_t level;
    std::uint64_t any;
    std::uint64_t all;
    bool expected[3];
  };
  const Row rows[] = {
      {__LINE__, true, 5, 0xFF, 0, {true, true, true}},
      {__LINE__, true, 4, 0xFF, 0, {true, false, true}},
      {__LINE__, true, 1, 0xFF, 0, {false, false, false}},
      {__LINE__, true, 5, 0x1, 0, {true, true, false}},
      {__LINE__, true, 5, 0x2, 0, {true, false, true}},
      {__LINE__, true, 5, 0x2, 0x6, {true, false, true}},
      {__LINE__, true, 5, 0x2, 0x3, {true, false, false}},
      {__LINE__, true, 5, 0, 0, {true, false, false}},
      {__LINE__, false, 5, 0xFF, 0, {false, false, false}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    provider.onEnable(row.enabled, row.level, row.any, row.all);
    for (std::size_t event = 0; event < 3; ++event) {
      EXPECT_EQ(provider.isEventEnabled(event), row.expected[event]) << event;
    }
    EXPECT_FALSE(provider.isEventEnabled(3));
  }
}

TEST(TraceProvider, StartsOnceAndWritesNothingUnlessEnabled) {
  start();
  start();
  EXPECT_FALSE(isEnabled(kProviderCount, 0));
  if (!platform::tracingAvailable()) {
    for (std::size_t provider = 0; provider < kProviderCount; ++provider) {
      EXPECT_FALSE(isEnabled(provider, 0));
    }
  }
  writeThreadName(platform::currentThreadId(), nullptr);
  writeLogMessage(2, 1, "not traced");
}

}  // namespace
}  // namespace zel::diagnostics::internal

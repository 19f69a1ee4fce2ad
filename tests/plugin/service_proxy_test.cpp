// The service-proxy tables: messages kept by key, waiters they fulfil,
// asynchronous handlers, and the log lines, through the three events the
// plugin object subscribes at attach.
#include "plugin/internal/service_proxy.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "diagnostics/log_level.h"
#include "host/fakes/attached_plugin.h"
#include "plugin/internal/plugin_access.h"

namespace zel {
namespace {

using host::AttachedPlugin;
using host::HostValue;
using plugin::internal::PluginAccess;
using plugin::internal::ServiceProxy;

HostValue message(const char* uuid, const char* service, const char* method, const char* payload) {
  return HostValue::makeStructure({
      {"error", HostValue::makeString("")},
      {"methodName", HostValue::makeString(method)},
      {"payload", HostValue::makeString(payload)},
      {"serviceName", HostValue::makeString(service)},
      {"status", HostValue::makeString("200")},
      {"uuid", HostValue::makeString(uuid)},
  });
}

class ServiceProxyTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(attached_.attached()); }

  ServiceProxy& proxy() { return PluginAccess::serviceProxy(attached_.plugin()); }
  host::RecordingHostApi& host() { return attached_.host; }

  void deliver(const char* event, const HostValue& payload) {
    ASSERT_EQ(host().deliverEvent(event, payload), 1u);
  }

  // The lines the plugin wrote that mention the service proxy.
  std::vector<host::RecordedLog> proxyLines() {
    std::vector<host::RecordedLog> lines;
    for (const host::RecordedLog& line : host().logs()) {
      if (line.text.find("service proxy") != std::string::npos) lines.push_back(line);
    }
    return lines;
  }

  AttachedPlugin attached_;
};

TEST_F(ServiceProxyTest, TwoMethodMessagesWithOneKeyKeepTheLater) {
  deliver("OnServiceProxyMethodEvent", message("u-1", "chat", "presence", "first"));
  deliver("OnServiceProxyMethodEvent", message("u-2", "chat", "presence", "second"));
  EXPECT_EQ(proxy().keptMessageCount(), 1u);
  const auto kept = proxy().keptMessage("chat.presence");
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->payload, "second");
  EXPECT_EQ(kept->uuid, "u-2");
  // A uuid message is kept under its uuid, apart from the method's.
  deliver("OnServiceProxyUuidEvent", message("u-3", "chat", "presence", "third"));
  EXPECT_EQ(proxy().keptMessageCount(), 2u);
  EXPECT_EQ(proxy().keptMessage("u-3")->payload, "third");
  EXPECT_TRUE(proxyLines().empty());
}

TEST_F(ServiceProxyTest, AWaiterTakesOneMessageOfItsKeyAndIsGone) {
  std::vector<std::string> answers;
  ASSERT_TRUE(proxy().addWaiter(
      "u-1", [&](const PluginServiceProxyResponse& answer) { answers.push_back(answer.payload); }));
  deliver("OnServiceProxyUuidEvent", message("u-2", "svc", "m", "other key"));
  EXPECT_TRUE(answers.empty());

  deliver("OnServiceProxyUuidEvent", message("u-1", "svc", "m", "answer"));
  EXPECT_EQ(answers, std::vector<std::string>{"answer"});
  EXPECT_FALSE(proxy().keptMessage("u-1").has_value());
  EXPECT_TRUE(proxy().keptMessage("u-2").has_value());
  const std::vector<host::RecordedLog> lines = proxyLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, kLogAlways);
  EXPECT_EQ(lines[0].text, "zel-test: Fulfilled service proxy request: u-1");

  // The waiter was one-shot: the next message of the key is kept.
  deliver("OnServiceProxyUuidEvent", message("u-1", "svc", "m", "again"));
  EXPECT_EQ(answers.size(), 1u);
  EXPECT_EQ(proxy().keptMessage("u-1")->payload, "again");
}

TEST_F(ServiceProxyTest, AWaiterForAnAlreadyKeptMessageIsFulfilledAtOnce) {
  deliver("OnServiceProxyMethodEvent", message("u-1", "store", "catalog", "items"));
  std::string answer;
  ASSERT_TRUE(proxy().addWaiter(ServiceProxy::methodKey("store", "catalog"),
                                [&](const PluginServiceProxyResponse& m) { answer = m.payload; }));
  EXPECT_EQ(answer, "items");
  EXPECT_EQ(proxy().keptMessageCount(), 0u);
  ASSERT_EQ(proxyLines().size(), 1u);
  EXPECT_EQ(proxyLines()[0].text, "zel-test: Fulfilled service proxy request: store.catalog");

  EXPECT_FALSE(proxy().addWaiter("x", nullptr));
  EXPECT_FALSE(proxy().setAsyncHandler("x", nullptr));
  EXPECT_FALSE(proxy().removeWaiter("store.catalog"));

  // A waiter removed before its message comes hears nothing of it.
  const std::string prices = ServiceProxy::methodKey("store", "prices");
  ASSERT_TRUE(
      proxy().addWaiter(prices, [&](const PluginServiceProxyResponse& m) { answer = m.payload; }));
  EXPECT_TRUE(proxy().removeWaiter(prices));
  deliver("OnServiceProxyMethodEvent", message("u-2", "store", "prices", "p"));
  EXPECT_EQ(answer, "items");
}

TEST_F(ServiceProxyTest, AsynchronousMessagesGoToTheirHandlerOrAreLoggedAndDropped) {
  std::vector<std::string> handled;
  ASSERT_TRUE(proxy().setAsyncHandler(
      "chat.presence", [&](const PluginServiceProxyResponse& m) { handled.push_back(m.payload); }));
  deliver("OnServiceProxyAsyncEvent", message("u-1", "chat", "presence", "online"));
  EXPECT_EQ(handled, std::vector<std::string>{"online"});
  EXPECT_TRUE(proxyLines().empty());

  deliver("OnServiceProxyAsyncEvent", message("u-2", "chat", "typing", "yes"));
  EXPECT_EQ(handled.size(), 1u);
  const std::vector<host::RecordedLog> lines = proxyLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, kLogError);
  EXPECT_EQ(lines[0].text,
            "zel-test: Could not find registered handler for async service proxy event "
            "chat.typing");
  EXPECT_EQ(proxy().keptMessageCount(), 0u);

  EXPECT_TRUE(proxy().removeAsyncHandler("chat.presence"));
  deliver("OnServiceProxyAsyncEvent", message("u-3", "chat", "presence", "away"));
  EXPECT_EQ(handled.size(), 1u);
  EXPECT_EQ(proxyLines().size(), 2u);
}

// Messages and waiters of distinct keys arrive from several threads in
// every order; each waiter must run exactly once.
TEST_F(ServiceProxyTest, EveryWaiterRunsOnceWhateverTheOrderAcrossThreads) {
  constexpr int kKeys = 200;
  std::vector<std::atomic<int>> runs(kKeys);
  auto key = [](int i) { return "k" + std::to_string(i); };
  auto addWaiters = [&](int parity) {
    for (int i = parity; i < kKeys; i += 2) {
      EXPECT_TRUE(proxy().addWaiter(
          key(i), [&runs, i](const PluginServiceProxyResponse&) { runs[i].fetch_add(1); }));
    }
  };
  auto send = [&](int parity) {
    for (int i = parity; i < kKeys; i += 2) {
      PluginServiceProxyResponse m;
      m.uuid = key(i);
      proxy().receiveByUuid(m);
    }
  };
  {
    std::vector<std::thread> threads;
    threads.emplace_back(addWaiters, 0);
    threads.emplace_back(send, 0);
    threads.emplace_back(send, 1);
    threads.emplace_back(addWaiters, 1);
    for (std::thread& thread : threads) thread.join();
  }
  for (int i = 0; i < kKeys; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(runs[i].load(), 1);
  }
  EXPECT_EQ(proxy().keptMessageCount(), 0u);
}

}  // namespace
}  // namespace zel

// The request guard on heads alone: which Host, Origin and event content
// type a request may carry.
#include "host/dev/serving/internal/request_guard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zel::host {
namespace {

using internal::GuardRefusal;
using internal::RequestGuard;

HttpRequest head(std::string method, std::string target,
                 std::vector<std::pair<std::string, std::string>> headers) {
  HttpRequest request;
  request.method = std::move(method);
  request.target = std::move(target);
  request.headers = std::move(headers);
  return request;
}

TEST(RequestGuardTest, RefusesForeignHostsOriginsAndEventTypes) {
  RequestGuard guard(8123, {"Dev.Example.Test", "proxy.test:9000"});
  const std::pair<std::string, std::string> own{"Host", "127.0.0.1:8123"};
  struct Row {
    int line;
    HttpRequest request;
    int status;  // 0: passes
    const char* textPart;
  };
  const Row rows[] = {
      {__LINE__, head("GET", "/maps", {own}), 0, ""},
      {__LINE__, head("GET", "/maps", {{"Host", "evil.example"}}), 421,
       "The host evil.example is not served here: zel-host answers 127.0.0.1:8123, "
       "localhost:8123 and [::1]:8123"},
      {__LINE__, head("GET", "/maps", {{"Host", "localhost.:8123"}}), 421, ""},
      {__LINE__, head("GET", "/maps", {{"Host", "127.0.0.1:8123.evil.example"}}), 421, ""},
      {__LINE__, head("GET", "/maps", {}), 400, "names no Host"},
      {__LINE__, head("GET", "/maps", {own, {"Host", "evil.example"}}), 400, "names no Host"},
      // Allowed hosts: a name alone for any port, a name with a port for that one.
      {__LINE__, head("GET", "/maps", {{"Host", "dev.example.test"}}), 0, ""},
      {__LINE__, head("GET", "/maps", {{"Host", "proxy.test:9000"}}), 0, ""},
      {__LINE__, head("GET", "/maps", {{"Host", "proxy.test:9001"}}), 421, ""},
      {__LINE__, head("GET", "/maps", {{"Host", "sub.dev.example.test"}}), 421, ""},
      // Origins: any for reads, the server's own for the rest.
      {__LINE__, head("GET", "/maps", {own, {"Origin", "http://evil.example"}}), 0, ""},
      {__LINE__, head("HEAD", "/maps", {own, {"Origin", "http://evil.example"}}), 0, ""},
      {__LINE__, head("POST", "/map", {own, {"Origin", "http://evil.example"}}), 403,
       "Requests from the origin http://evil.example are refused"},
      {__LINE__, head("POST", "/map", {own, {"Origin", "http://localhost:8123"}}), 0, ""},
      {__LINE__, head("POST", "/map", {own, {"Origin", "https://localhost:8123"}}), 403, ""},
      {__LINE__, head("POST", "/map", {own, {"Origin", "http://localhost:8123/"}}), 403, ""},
      {__LINE__, head("PUT", "/map", {own, {"Origin", "https://dev.example.test"}}), 0, ""},
      {__LINE__, head("PUT", "/map", {own, {"Origin", "ftp://dev.example.test"}}), 403, ""},
      {__LINE__, head("OPTIONS", "/map", {own, {"Origin", "http://evil.example"}}), 403, ""},
      // Events come as JSON only, whatever the origin.
      {__LINE__, head("POST", "/events/Changed", {own, {"Content-Type", "text/plain"}}), 415,
       "The payload of event Changed must be sent as application/json"},
      {__LINE__, head("POST", "/events/Changed?x=1", {own}), 415, "event Changed"},
      {__LINE__,
       head("POST", "/events/Changed",
            {own, {"Content-Type", " Application/JSON ; charset=utf-8"}}),
       0, ""},
      {__LINE__, head("POST", "/events/Changed", {own, {"content-type", "application/jsonx"}}), 415,
       ""},
      {__LINE__, head("POST", "/events/a/b", {own, {"Content-Type", "text/plain"}}), 0, ""},
      {__LINE__, head("GET", "/events/Changed", {own}), 0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    std::optional<GuardRefusal> refused = guard.check(row.request);
    EXPECT_EQ(refused ? refused->status : 0, row.status);
    if (refused) {
      EXPECT_THAT(refused->text, testing::HasSubstr(row.textPart));
    }
  }
}

TEST(RequestGuardTest, PortEightyGoesWithoutSaying) {
  RequestGuard guard(80, {});
  EXPECT_TRUE(guard.isServedHost("localhost"));
  EXPECT_TRUE(guard.isServedHost("localhost:80"));
  EXPECT_TRUE(guard.isOwnOrigin("http://127.0.0.1"));
  EXPECT_FALSE(guard.isServedHost("localhost:8080"));
}

TEST(RequestGuardTest, LocalhostAndIpv6AreOwnNamesOnlyWhenIpv6LoopbackIsServed) {
  // Without [::1] another program may listen there: localhost may reach it.
  RequestGuard both(8123, {}, true);
  RequestGuard ipv4Only(8123, {}, false);
  struct Row {
    int line;
    const char* host;
    bool servedWithBoth;
    bool servedIpv4Only;
  };
  const Row rows[] = {
      {__LINE__, "127.0.0.1:8123", true, true},
      {__LINE__, "localhost:8123", true, false},
      {__LINE__, "LocalHost:8123", true, false},
      {__LINE__, "[::1]:8123", true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.host);
    EXPECT_EQ(both.isServedHost(row.host), row.servedWithBoth);
    EXPECT_EQ(ipv4Only.isServedHost(row.host), row.servedIpv4Only);
    EXPECT_EQ(ipv4Only.isOwnOrigin(std::string("http://") + row.host), row.servedIpv4Only);
  }
  std::optional<GuardRefusal> refused =
      ipv4Only.check(head("GET", "/maps", {{"Host", "[::1]:8123"}}));
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 421);
  EXPECT_THAT(refused->text, testing::HasSubstr("zel-host answers 127.0.0.1:8123 (--allow-host"));
}

}  // namespace
}  // namespace zel::host

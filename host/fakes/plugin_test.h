// PluginTest: the GoogleTest fixture of a plugin's own tests. Each test
// loads the built plugin library afresh, attaches it to a RecordingHostApi
// the way the platform's host does, calls its routes by method and path, and
// shuts it down at its end, so no test sees another's notes.
//
//   class NotesTest : public zel::host::PluginTest {};
//
//   TEST_F(NotesTest, AddsANote) {
//     PluginReply added = post("/zel-notes/v1/notes", R"({"title": "Ferry"})");
//     ASSERT_FALSE(added.error) << *added.error;
//     EXPECT_EQ(added.json(), R"({"id": 1, "text": "", "title": "Ferry"})");
//     EXPECT_EQ(host().sentEvents().size(), 2u);
//   }
//
//   int main(int argc, char** argv) { return zel::host::runPluginTests(argc, argv); }
//
// The library is the test program's argument (runPluginTests), or the path a
// fixture gives its base: NotesTest() : PluginTest(ZEL_NOTES_PATH) {}. Events
// are delivered, and the plugin's requests answered, through host(); answers
// the plugin needs while it attaches are scripted in the fixture's
// constructor. GoogleTest is the plugin's own dependency: only its tests
// include this header (and link GTest::gtest beside ZelSdk::host_fakes).
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boundary/method_codes.h"
#include "host/api_version.h"
#include "host/fakes/recording_host_api.h"
#include "host/function_caller.h"
#include "host/host_value.h"
#include "host/plugin_host.h"

namespace zel::host {

// The handle the host gives the plugin at attach; the plugin names it in its
// calls of the host table (subscriptions record it). Any value serves.
inline constexpr std::uint32_t kPluginTestHandle = 1;

// What a call answered.
struct PluginReply {
  // As zel-host answers it: the plugin's own, else 200 for a result and 400
  // for an error; 0 when no function served the call.
  std::uint32_t status = 0;
  std::optional<std::string> error;  // none: the call succeeded
  HostValue body;                    // the result
  std::optional<std::string> streamedBody;
  std::vector<std::pair<std::string, std::string>> headers;

  // The result as JSON ({"id": 1, "title": "Ferry"}); a body stream as it came.
  [[nodiscard]] std::string json() const { return streamedBody ? *streamedBody : body.toText(); }
  // A text result without its quotes, a body stream as it came; other
  // results as json().
  [[nodiscard]] std::string text() const {
    if (streamedBody) return *streamedBody;
    return body.isString() ? body.bytes : body.toText();
  }
  // The first response header of that name (in any case); none without one.
  [[nodiscard]] std::optional<std::string> header(std::string_view name) const {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (const auto& [key, value] : headers) {
      if (key.size() != name.size()) continue;
      bool same = true;
      for (std::size_t i = 0; same && i < key.size(); ++i) same = lower(key[i]) == lower(name[i]);
      if (same) return value;
    }
    return std::nullopt;
  }
};

// What a request may carry besides its method, path and body: request
// headers, host arguments (named, or positional without a name) and the
// body's content type (application/json when a body is given).
//
//   get("/zel-test/v1/whoami", {.headers = {{"token", "abc"}}});
//   get("/zel-test/v1/echo", {.arguments = {{"text", HostValue::makeString("hi")}}});
struct RequestExtras {
  std::vector<std::pair<std::string, std::string>> headers = {};
  std::vector<CallArgument> arguments = {};
  std::optional<std::string> contentType = {};
};

class PluginTest : public ::testing::Test {
 public:
  // The library of fixtures made without a path; runPluginTests sets it.
  static std::string& libraryPath() {
    static std::string path;
    return path;
  }

 protected:
  PluginTest() : PluginTest(libraryPath()) {}
  explicit PluginTest(std::string path) : path_(std::move(path)) {}

  void SetUp() override {
    plugin_.emplace(PluginLibrary::open(path_));
    ASSERT_TRUE(plugin_->load(kDefaultHostVersion)) << plugin_->error();
    ASSERT_TRUE(plugin_->attach(host_.api(), kPluginTestHandle)) << plugin_->error();
    caller_.emplace(plugin_->description());
  }
  // Shuts the plugin down and unloads it, while the host still stands.
  void TearDown() override {
    caller_.reset();
    plugin_.reset();
  }

  PluginReply get(std::string path, RequestExtras extras = {}) {
    return call(kMethodGet, std::move(path), std::nullopt, std::move(extras));
  }
  PluginReply del(std::string path, RequestExtras extras = {}) {
    return call(kMethodDelete, std::move(path), std::nullopt, std::move(extras));
  }
  PluginReply post(std::string path, std::string json, RequestExtras extras = {}) {
    return call(kMethodPost, std::move(path), std::move(json), std::move(extras));
  }
  PluginReply put(std::string path, std::string json, RequestExtras extras = {}) {
    return call(kMethodPut, std::move(path), std::move(json), std::move(extras));
  }
  PluginReply patch(std::string path, std::string json, RequestExtras extras = {}) {
    return call(kMethodPatch, std::move(path), std::move(json), std::move(extras));
  }

  // Routes the request to the function whose template fits the path best
  // and calls it as the platform does. A path no function of the method
  // serves fails the test and answers an empty reply (status 0).
  PluginReply call(std::uint32_t method, std::string path, std::optional<std::string> body,
                   RequestExtras extras) {
    CallRequest request;
    request.method = method;
    request.path = std::move(path);
    request.headers = std::move(extras.headers);
    request.arguments = std::move(extras.arguments);
    request.contentType = std::move(extras.contentType);
    if (body && !request.contentType) request.contentType = "application/json";
    request.body = std::move(body);
    std::optional<CallReply> reply = caller_->routeAndCall(request);
    if (!reply) {
      ADD_FAILURE() << "no function of the plugin serves " << methodCodeName(method) << " "
                    << request.path;
      return PluginReply{};
    }
    EXPECT_FALSE(reply->streamFailed) << "the body stream of " << request.path << " failed";
    return PluginReply{effectiveStatus(*reply), std::move(reply->reply.error),
                       std::move(reply->reply.body), std::move(reply->streamedBody),
                       std::move(reply->reply.headers)};
  }

  // The host the plugin talks to: its answers, events and records.
  [[nodiscard]] RecordingHostApi& host() { return host_; }
  // The loaded plugin: its entry, short name, memory statistics.
  [[nodiscard]] PluginHost& plugin() { return *plugin_; }
  // Calls a function found by name or template, without routing.
  [[nodiscard]] const FunctionCaller& caller() const { return *caller_; }

 private:
  std::string path_;
  RecordingHostApi host_;  // declared before the plugin, which keeps its address
  std::optional<PluginHost> plugin_;
  std::optional<FunctionCaller> caller_;
};

// The main of a plugin's test program, run as PROGRAM [GoogleTest options]
// PLUGIN_LIBRARY: the fixtures made without a path load that library.
inline int runPluginTests(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s [GoogleTest options] PLUGIN_LIBRARY\n", argv[0]);
    return 2;
  }
  PluginTest::libraryPath() = argv[1];
  return RUN_ALL_TESTS();
}

}  // namespace zel::host

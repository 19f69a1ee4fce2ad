// Invocation: a call through a FunctionRecord's callback, from route
// selection to the response record and its release function, including the
// failures: no route, argument errors, handler outcomes, faults and
// exhausted memory.
#include "api/internal/invocation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "api/call_info.h"
#include "api/describe_registry.h"
#include "api/outcome.h"
#include "api/route_declarer.h"
#include "binding/type_registry.h"
#include "boundary/description_records.h"
#include "boundary/method_codes.h"
#include "host/calling/response_reader.h"
#include "memory/memory.h"

namespace zel {
namespace {

using host::HostReply;
using host::readReply;

// A body stream of a fixed text that counts its instances.
class TextStream : public BodyStream {
 public:
  explicit TextStream(std::string text) : text_(std::move(text)) { ++alive; }
  ~TextStream() override { --alive; }
  bool read(void* buffer, std::uint32_t* length, std::uint8_t* more) override {
    const std::size_t count = std::min<std::size_t>(*length, text_.size() - offset_);
    std::memcpy(buffer, text_.data() + offset_, count);
    offset_ += count;
    *length = static_cast<std::uint32_t>(count);
    *more = offset_ < text_.size() ? 1 : 0;
    return true;
  }
  std::uint32_t size() const override { return static_cast<std::uint32_t>(text_.size()); }

  static inline int alive = 0;

 private:
  std::string text_;
  std::size_t offset_ = 0;
};

class Invocation : public testing::Test {
 protected:
  void describe() { description_ = buildApiDescription(registry_); }

  const FunctionRecord& record(std::string_view name) {
    const auto* record = static_cast<const FunctionRecord*>(description_.functions);
    for (; record != nullptr; record = static_cast<const FunctionRecord*>(record->function.next)) {
      if (name == record->function.name) return *record;
    }
    ADD_FAILURE() << "no function " << name;
    return *static_cast<const FunctionRecord*>(description_.functions);
  }

  // Calls the function with a request for the path and reads the answer; the
  // response is released afterwards.
  HostReply call(std::string_view function, const char* path, std::uint32_t method = kMethodGet,
                 const char* const* headers = nullptr, std::uint32_t headerCount = 0) {
    HostRequest request{};
    request.method = method;
    request.url = path;
    request.headers = headers;
    request.headerCount = headerCount;
    request.context = const_cast<void*>(record(function).function.context);
    request.handleOrRequestId = 99;
    HostResponse response{};
    record(function).callback(&response, &request);
    HostReply reply = readReply(response);
    if (response.release != nullptr) response.release(&response);
    return reply;
  }

  TypeRegistry registry_;
  RouteDeclarer<> routes_{registry_, {}};
  ApiDescription description_{};
};

TEST_F(Invocation, ResultsAndErrorsReachTheResponse) {
  int calls = 0;
  routes_
      .declare(HttpMethod::Get, "/n/{n}",
               [&calls](std::int64_t n) {
                 ++calls;
                 return n + 1;
               })
      .pathArgument("n");
  routes_
      .declare(HttpMethod::Get, "/pair/{a}/{b}",
               [&calls](std::int64_t a, std::int64_t b) {
                 ++calls;
                 return a + b;
               })
      .pathArgument("a")
      .pathArgument("b");
  routes_
      .declare(HttpMethod::Get, "/missing/{id}",
               [](std::int64_t id) -> Outcome<std::int64_t> {
                 if (id == 0) return id;
                 ErrorOutcome error = notFound();
                 error.reason = "Gone";
                 error.passThrough = 7;
                 error.passThroughCode = 2;
                 error.headers = {{"retry-after", "5"}};
                 return error;
               })
      .pathArgument("id");
  routes_.declare(HttpMethod::Get, "/odd", []() -> Outcome<void> {
    ErrorOutcome error = failure("odd", 418);
    error.passThroughCode = 4;
    return error;
  });
  routes_.declare(HttpMethod::Get, "/withdrawn", [](const CallInfo&, CallResult& result) {
    result.stream = std::make_unique<TextStream>("never sent");
    result.setError("withdrawn");
  });
  describe();

  HostReply reply = call("GetNByN", "/n/41");
  EXPECT_EQ(reply.error, std::nullopt);
  EXPECT_EQ(reply.body.toText(), "42");
  EXPECT_EQ(reply.status, 0u);
  EXPECT_EQ(reply.reason, "");
  EXPECT_TRUE(reply.headers.empty());
  EXPECT_TRUE(reply.hasRelease);
  EXPECT_FALSE(reply.streamed);

  // An argument that does not convert: the conversion's message, status 0,
  // and the operation is not called.
  reply = call("GetNByN", "/n/abc");
  EXPECT_EQ(reply.error, "Value abc for 'n' of type int64 is in an incorrect format");
  EXPECT_EQ(reply.errorOwned, 1);
  EXPECT_EQ(reply.status, 0u);
  EXPECT_EQ(reply.body.toText(), "null");
  EXPECT_EQ(calls, 1);
  // Of several, the first one's message.
  reply = call("GetPairByAByB", "/pair/x/y");
  EXPECT_EQ(reply.error, "Value x for 'a' of type int64 is in an incorrect format");
  EXPECT_EQ(calls, 1);

  // A path or method that does not fit the route.
  for (const auto& [path, method] : {std::pair{"/n/1/", kMethodGet}, std::pair{"/n/1", kMethodPost},
                                     std::pair{"/n", kMethodGet}, std::pair{"/n/1", 42u}}) {
    SCOPED_TRACE(path);
    reply = call("GetNByN", path, method);
    EXPECT_EQ(reply.error, "Invalid function");
    EXPECT_EQ(reply.status, 404u);
  }
  EXPECT_EQ(calls, 1);

  reply = call("GetMissingById", "/missing/3");
  EXPECT_EQ(reply.error, "Not found");
  EXPECT_EQ(reply.status, 404u);
  EXPECT_EQ(reply.reason, "Gone");
  EXPECT_EQ(reply.passThrough, 7);
  EXPECT_EQ(reply.passThroughCode, 2u);
  EXPECT_EQ(reply.headers,
            (std::vector<std::pair<std::string, std::string>>{{"retry-after", "5"}}));
  reply = call("GetMissingById", "/missing/0");
  EXPECT_EQ(reply.body.toText(), "0");
  EXPECT_EQ(reply.status, 0u);

  reply = call("GetOdd", "/odd");
  EXPECT_EQ(reply.error, "odd");
  EXPECT_EQ(reply.status, 418u);
  EXPECT_EQ(reply.passThroughCode, 0u) << "codes above 3 are given as 0";

  // An error drops the body stream set before it.
  reply = call("GetWithdrawn", "/withdrawn");
  EXPECT_EQ(reply.error, "withdrawn");
  EXPECT_EQ(reply.body.toText().find("never sent"), std::string::npos) << reply.body.toText();
  EXPECT_EQ(reply.passThroughCode, 0u) << "none given";
}

TEST_F(Invocation, CallInfoFormsSeeTheCallAndMayWriteTheResultThemselves) {
  CallInfo seen;
  std::string seenHeader;
  std::size_t seenArguments = 0;
  routes_
      .declare(HttpMethod::Get, "/info/{x}",
               [&](const CallInfo& info, std::string x) {
                 seen = info;
                 seenArguments = info.arguments.size();
                 seenHeader = std::string(info.headers.at("accept"));
                 return x;
               })
      .pathArgument("x");
  routes_.declare(HttpMethod::Post, "/stream", [](const CallInfo&, CallResult& result) {
    result.status = 201;
    result.reason = "Created";
    result.headers.emplace("content-type", "text/plain");
    result.result.setString("ignored while streaming?");
    result.stream = std::make_unique<TextStream>(std::string(10000, 's'));
  });
  describe();

  const char* headers[] = {"accept", "a", "accept", "b", nullptr, nullptr};
  const std::int64_t before = api::internal::currentTimeTicks();
  HostReply reply = call("GetInfoByX", "/info/v", kMethodGet, headers, 3);
  EXPECT_EQ(reply.body.toText(), "\"v\"");
  EXPECT_EQ(seen.requestId, 99u);
  EXPECT_EQ(seen.method, HttpMethod::Get);
  EXPECT_EQ(seen.registry, &registry_);
  EXPECT_GE(seen.startTime, before);
  EXPECT_LE(seen.startTime, api::internal::currentTimeTicks());
  // In 100-nanosecond ticks since 1970.
  EXPECT_NEAR(static_cast<double>(seen.startTime) / 1e7, static_cast<double>(std::time(nullptr)),
              5);
  EXPECT_EQ(seenHeader, "b");
  EXPECT_EQ(seenArguments, 1u);

  HostRequest request{};
  request.method = kMethodPost;
  request.url = "/stream";
  request.context = const_cast<void*>(record("PostStream").function.context);
  HostResponse response{};
  record("PostStream").callback(&response, &request);
  reply = readReply(response);
  EXPECT_EQ(reply.status, 201u);
  EXPECT_EQ(reply.reason, "Created");
  EXPECT_TRUE(reply.streamed);
  EXPECT_EQ(reply.sizeHint, 10000u);
  EXPECT_EQ(TextStream::alive, 1);
  const std::optional<std::string> body = host::drainStream(response);
  EXPECT_EQ(body, std::string(10000, 's'));
  EXPECT_EQ(TextStream::alive, 0) << "closing the stream deletes it";
  response.release(&response);
}

TEST_F(Invocation, FaultsNeverLeaveTheCallback) {
  routes_.declare(HttpMethod::Get, "/throw", []() -> int { throw std::runtime_error("boom"); });
  routes_.declare(HttpMethod::Get, "/oom", []() -> int { throw std::bad_alloc(); });
  routes_.declare(HttpMethod::Get, "/odd", []() -> int { throw 5; });
  describe();

  HostReply reply = call("GetThrow", "/throw");
  EXPECT_EQ(reply.error, "Internal error in 'GetThrow': boom");
  EXPECT_EQ(reply.status, 500u);
  reply = call("GetOdd", "/odd");
  EXPECT_EQ(reply.error, "Internal error in 'GetOdd': unknown exception");
  reply = call("GetOom", "/oom");
  EXPECT_EQ(reply.error, "Out of memory");
  EXPECT_EQ(reply.errorOwned, 0);
  EXPECT_EQ(reply.status, 500u);

  // Requests the host got wrong.
  HostResponse response{};
  HostRequest request{};
  record("GetThrow").callback(&response, &request);
  EXPECT_STREQ(response.error, "Invalid function");
  EXPECT_EQ(+response.status, 404u);
  response.release(&response);
  record("GetThrow").callback(&response, nullptr);
  EXPECT_EQ(+response.status, 404u);
  response.release(&response);
  EXPECT_EQ(record("GetThrow").callback(nullptr, &request), 0);
}

TEST_F(Invocation, ResponsesAreResetBeforeUseAndReleasedCompletely) {
  routes_.declare(HttpMethod::Get, "/h", [](const CallInfo&, CallResult& result) {
    result.result.field("list").element(2).setString("x");
    result.reason = "Fine";
    result.headers = {{"a", "1"}, {"b", "2"}};
  });
  describe();
  HostRequest request{};
  request.method = kMethodGet;
  request.url = "/h";
  request.context = const_cast<void*>(record("GetH").function.context);

  const std::int64_t before = memory::liveBytes();
  HostResponse response{};
  // An answer of ours still in the record is freed first; so is a reused record.
  for (int i = 0; i < 3; ++i) record("GetH").callback(&response, &request);
  EXPECT_EQ(readReply(response).body.toText(), "{\"list\": [null, null, \"x\"]}");
  EXPECT_EQ(+response.headerCount, 2u);
  response.release(&response);
  const HostResponse zero{};
  EXPECT_EQ(std::memcmp(&response, &zero, sizeof response), 0);
  EXPECT_EQ(memory::liveBytes(), before);

  // A record holding someone else's release function is only cleared.
  static int foreignReleases = 0;
  response.release = [](HostResponse*) { ++foreignReleases; };
  response.error = "not ours";
  record("GetH").callback(&response, &request);
  EXPECT_EQ(foreignReleases, 0);
  EXPECT_EQ(+response.error, nullptr);
  response.release(&response);
}

// The native parameters of a call are freed however it ends: answered, with
// an argument that did not convert after one that did, or with a handler
// that threw.
TEST_F(Invocation, ConvertedParametersAreFreedHoweverTheCallEnds) {
  int runs = 0;
  routes_
      .declare(HttpMethod::Get, "/keep/{text}/{n}",
               [&runs](std::string text, std::int32_t n) -> std::int64_t {
                 ++runs;
                 if (n < 0) throw std::runtime_error(text);
                 return static_cast<std::int64_t>(text.size()) + n;
               })
      .pathArgument("text")
      .pathArgument("n");
  describe();
  const std::string text(64, 't');  // beyond any short-string buffer
  const struct {
    int line;
    std::string path;
    std::uint32_t status;
    int runs;
  } rows[] = {
      {__LINE__, "/keep/" + text + "/1", 0, 1},
      {__LINE__, "/keep/" + text + "/x", 0, 0},
      {__LINE__, "/keep/" + text + "/-1", 500, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    HostRequest request{};
    request.method = kMethodGet;
    request.url = row.path.c_str();
    request.context = const_cast<void*>(record("GetKeepByTextByN").function.context);
    HostResponse response{};
    record("GetKeepByTextByN").callback(&response, &request);  // what a first call sets up
    response.release(&response);

    runs = 0;
    const std::int64_t before = memory::liveBytes();
    record("GetKeepByTextByN").callback(&response, &request);
    const std::uint32_t status = response.status;
    response.release(&response);
    EXPECT_EQ(status, row.status);
    EXPECT_EQ(runs, row.runs);
    EXPECT_EQ(memory::liveBytes(), before);
  }
}

// With memory exhausted at any single allocation of a call, the call still
// answers: with its result, or with "Out of memory" (500), also when only the
// result's copy for the host failed (never as a 400 without text).
TEST_F(Invocation, ExhaustedMemoryAtAnyPointIsAnswered) {
  routes_
      .declare(HttpMethod::Get, "/big/{n}",
               [](std::int64_t n) {
                 return std::vector<std::string>(static_cast<std::size_t>(n),
                                                 "a fairly long text value");
               })
      .pathArgument("n");
  describe();
  const FunctionRecord& big = record("GetBigByN");
  HostRequest request{};
  request.method = kMethodGet;
  request.url = "/big/3";
  request.context = const_cast<void*>(big.function.context);

  int answered = 0;
  int outOfMemory = 0;
  const std::int64_t before = memory::liveBytes();
  for (std::uint64_t nth = 1; nth <= 200; ++nth) {
    SCOPED_TRACE(nth);
    HostResponse response{};
    memory::failAllocationForTest(nth);
    big.callback(&response, &request);
    memory::failAllocationForTest(0);
    const HostReply reply = readReply(response);
    if (reply.status == 500) {
      ++outOfMemory;
      EXPECT_EQ(reply.error, "Out of memory");
      EXPECT_EQ(reply.body.toText(), "null");
    } else {
      ++answered;
      EXPECT_EQ(reply.status, 0u);
      EXPECT_EQ(reply.body.elements.size(), 3u);
    }
    response.release(&response);
  }
  EXPECT_GT(answered, 0);
  EXPECT_GT(outOfMemory, 0);
  EXPECT_EQ(memory::liveBytes(), before);
}

}  // namespace
}  // namespace zel

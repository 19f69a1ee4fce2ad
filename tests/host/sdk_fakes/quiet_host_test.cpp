#include "host/sdk_fakes/quiet_host.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "boundary/method_codes.h"

namespace zel::host {
namespace {

constexpr QuietDocument kDocuments[] = {
    {"/svc/short.json", "[1, 2]"},
    {"/svc/long.txt", "0123456789abcdefghij"},
};

struct Answer {
  std::uint32_t status = 0;
  std::string error;
  std::string text;
  std::uint64_t sizeHint = 0;
};

// Sends a GET of url and reads its stream, chunk bytes at a time.
Answer get(QuietHost& host, const char* url, std::uint32_t chunk = 64) {
  HostRequest request;
  std::memset(static_cast<void*>(&request), 0, sizeof request);
  request.method = kMethodGet;
  request.url = url;
  HostResponse response;
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  EXPECT_EQ(host.api()->sendRequest(host.api(), &response, &request), 1);
  Answer answer;
  answer.status = response.status;
  if (response.error != nullptr) answer.error = response.error;
  answer.sizeHint = response.sizeHint;
  if (response.streamRead != nullptr) {
    std::uint8_t more = 1;
    while (more != 0) {
      std::vector<char> buffer(chunk);
      std::uint32_t length = chunk;
      EXPECT_EQ(response.streamRead(response.streamContext, buffer.data(), &length, &more), 1);
      answer.text.append(buffer.data(), length);
    }
  }
  // A copy: the record is packed, and the check takes its argument by reference.
  const auto release = response.release;
  EXPECT_NE(release, nullptr);
  if (release != nullptr) release(&response);
  return answer;
}

TEST(QuietHostTest, StreamsItsDocumentsAndAnswersOtherUrlsNotFound) {
  QuietHost host(kDocuments);
  struct Row {
    int line;
    const char* url;
    std::uint32_t chunk;
    std::uint32_t status;
    const char* text;
    const char* error;
  };
  const Row rows[] = {
      {__LINE__, "/svc/short.json", 64, 200, "[1, 2]", ""},
      {__LINE__, "/svc/long.txt", 7, 200, "0123456789abcdefghij", ""},   // three chunks
      {__LINE__, "/svc/long.txt", 64, 200, "0123456789abcdefghij", ""},  // from the start again
      {__LINE__, "/svc/short.json?x=1", 64, 404, "", "Not found"},
      {__LINE__, "/svc/other.json", 64, 404, "", "Not found"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.url);
    Answer answer = get(host, row.url, row.chunk);
    EXPECT_EQ(answer.status, row.status);
    EXPECT_EQ(answer.text, row.text);
    EXPECT_EQ(answer.error, row.error);
    EXPECT_EQ(answer.sizeHint, std::strlen(row.text));
  }
}

TEST(QuietHostTest, WithoutDocumentsEveryUrlIsNotFound) {
  QuietHost host;
  Answer answer = get(host, kDocuments[0].url);
  EXPECT_EQ(answer.status, 404u);
  EXPECT_EQ(answer.error, "Not found");
}

int gCalls = 0;
void* gContext = nullptr;

std::int32_t countDelivery(const HostEvent* event) {
  ++gCalls;
  gContext = event->context;
  return 0;
}

TEST(QuietHostTest, DeliversToLiveSubscriptionsOfTheName) {
  QuietHost host;
  HostApi* api = host.api();
  int context = 0;
  gCalls = 0;
  ASSERT_EQ(api->subscribe(api, "Changed", 1, &countDelivery, &context, 0), 1);
  EXPECT_EQ(host.deliver("Other"), 0);
  EXPECT_EQ(host.deliver("Changed"), 1);
  EXPECT_EQ(gCalls, 1);
  EXPECT_EQ(gContext, &context);

  EXPECT_EQ(api->unsubscribe(api, "Changed", 1), 1);
  EXPECT_EQ(host.deliver("Changed"), 0);
  EXPECT_EQ(gCalls, 1);

  // Room for kMaxSubscriptions at once, no more.
  for (std::size_t i = 0; i < QuietHost::kMaxSubscriptions; ++i) {
    EXPECT_EQ(api->subscribe(api, "Changed", 1, &countDelivery, &context, 0), 1) << i;
  }
  EXPECT_EQ(api->subscribe(api, "Changed", 1, &countDelivery, &context, 0), 0);
  EXPECT_EQ(host.deliver("Changed"), static_cast<int>(QuietHost::kMaxSubscriptions));
}

}  // namespace
}  // namespace zel::host

#include "host/calling/response_reader.h"

#include <cstring>

#include <gtest/gtest.h>

#include "host/conversions/host_flat_value.h"
#include "host/hosting/response_filler.h"

namespace zel::host {
namespace {

class ResponseReaderTest : public testing::Test {
 protected:
  ResponseReaderTest() { std::memset(static_cast<void*>(&response_), 0, sizeof response_); }

  void fill(ScriptedStream stream) {
    fillResponse(response_, ScriptedResponse::withStream(std::move(stream)), journal_);
  }

  std::shared_ptr<ResponseJournal> journal_ = std::make_shared<ResponseJournal>();
  HostResponse response_;
};

TEST_F(ResponseReaderTest, DrainsAStreamAndClosesItWhateverHappens) {
  struct Row {
    int line;
    ScriptedStream stream;
    std::uint32_t bufferSize;
    std::uint32_t maxEmptyReads;
    std::optional<std::string> expected;
  };
  const Row rows[] = {
      {__LINE__, ScriptedStream().chunked("hello world", 4), 3, 10, "hello world"},
      {__LINE__, ScriptedStream().pending().pending().data("late"), 4096, 2, "late"},
      {__LINE__, ScriptedStream().pending().pending().pending().data("late"), 4096, 2,
       std::nullopt},
      {__LINE__, ScriptedStream().data("ab").fail(), 4096, 10, std::nullopt},
      {__LINE__, ScriptedStream(), 4096, 10, ""},
  };
  std::uint32_t closes = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    fill(row.stream);
    EXPECT_EQ(drainStream(response_, row.bufferSize, row.maxEmptyReads), row.expected);
    EXPECT_EQ(journal_->streamCloses.load(), ++closes);
    releaseResponse(response_);
  }
}

TEST_F(ResponseReaderTest, ReadsARecordFilledByHandAsThePluginWould) {
  static const char* const kHeaders[] = {"content-type", "application/json", "x", nullptr};
  HostFlatValue body(HostValue::makeCollection({HostValue::makeString("m")}));
  response_.body = body.value();
  response_.status = 404;
  response_.headers = kHeaders;
  response_.headerCount = 2;

  HostReply reply = readReply(response_);
  EXPECT_EQ(reply.body, HostValue::makeCollection({HostValue::makeString("m")}));
  EXPECT_EQ(reply.error, std::nullopt);
  EXPECT_EQ(reply.reason, std::nullopt);
  EXPECT_EQ(reply.status, 404u);
  ASSERT_EQ(reply.headers.size(), 2u);
  EXPECT_EQ(reply.headers[0],
            std::make_pair(std::string("content-type"), std::string("application/json")));
  EXPECT_EQ(reply.headers[1], std::make_pair(std::string("x"), std::string()));
  EXPECT_FALSE(reply.hasRelease);
}

}  // namespace
}  // namespace zel::host

#include "host/hosting/response_filler.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/calling/response_reader.h"

namespace zel::host {
namespace {

class ResponseFillerTest : public testing::Test {
 protected:
  ResponseFillerTest() { std::memset(static_cast<void*>(&response_), 0, sizeof response_); }

  struct Read {
    std::uint8_t ok;
    std::string bytes;
    std::uint8_t more;
  };

  // One read the way the plugin makes it: a buffer of bufferSize bytes.
  Read read(std::uint32_t bufferSize) {
    std::vector<char> buffer(bufferSize);
    std::uint32_t length = bufferSize;
    std::uint8_t more = 7;
    std::uint8_t ok = response_.streamRead(response_.streamContext, buffer.data(), &length, &more);
    return Read{ok, ok != 0 ? std::string(buffer.data(), length) : std::string(), more};
  }

  std::shared_ptr<ResponseJournal> journal_ = std::make_shared<ResponseJournal>();
  HostResponse response_;
};

TEST_F(ResponseFillerTest, StreamsPlayTheirStepsReadByRead) {
  struct Row {
    int line;
    ScriptedStream stream;
    std::uint32_t bufferSize;
    std::vector<Read> reads;
  };
  const std::string big(4096, 'x');
  const Row rows[] = {
      {__LINE__,
       ScriptedStream().data(big).data(big).data("0123456789"),
       4096,
       {{1, big, 1}, {1, big, 1}, {1, "0123456789", 0}}},
      {__LINE__,
       ScriptedStream().data(std::string(100, 'a')).pending().data("b"),
       4096,
       {{1, std::string(100, 'a'), 1}, {1, "", 1}, {1, "b", 0}}},
      {__LINE__, ScriptedStream().pending(), 4096, {{1, "", 1}, {1, "", 0}}},
      {__LINE__, ScriptedStream().data("abcdef"), 4, {{1, "abcd", 1}, {1, "ef", 0}}},
      {__LINE__,
       ScriptedStream().chunked("abcdefg", 3),
       4096,
       {{1, "abc", 1}, {1, "def", 1}, {1, "g", 0}}},
      {__LINE__,
       ScriptedStream().data("ab").fail().data("never"),
       4096,
       {{1, "ab", 1}, {0, "", 7}, {0, "", 7}}},
      {__LINE__, ScriptedStream(), 4096, {{1, "", 0}, {1, "", 0}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    fillResponse(response_, ScriptedResponse::withStream(row.stream), journal_);
    for (std::size_t i = 0; i < row.reads.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "read " << i);
      Read got = read(row.bufferSize);
      EXPECT_EQ(got.ok, row.reads[i].ok);
      EXPECT_EQ(got.bytes, row.reads[i].bytes);
      EXPECT_EQ(got.more, row.reads[i].more);
    }
    ASSERT_TRUE(releaseResponse(response_));
  }
  EXPECT_TRUE(journal_->faults().empty());
}

TEST_F(ResponseFillerTest, FillsEveryFieldOfTheRecord) {
  ScriptedResponse script = ScriptedResponse::withBody(HostValue::makeSigned(5), 201);
  script.error = "it failed";
  script.reason = "Created";
  script.headers = {{"a", "1"}, {"b", "2"}};
  script.passThrough = 1;
  script.passThroughCode = 3;
  fillResponse(response_, script, journal_);

  HostReply reply = readReply(response_);
  EXPECT_EQ(reply.body, HostValue::makeSigned(5));
  EXPECT_EQ(reply.error, "it failed");
  EXPECT_EQ(reply.errorOwned, 1);
  EXPECT_EQ(reply.status, 201u);
  EXPECT_EQ(reply.reason, "Created");
  EXPECT_EQ(reply.headers, script.headers);
  EXPECT_EQ(reply.passThrough, 1);
  EXPECT_EQ(reply.passThroughCode, 3u);
  EXPECT_FALSE(reply.streamed);
  EXPECT_TRUE(reply.hasRelease);
  EXPECT_EQ(journal_->given.load(), 1u);
}

TEST_F(ResponseFillerTest, AnAbsentReasonIsTheEmptyTextAndStreamsCarryTheirHint) {
  fillResponse(
      response_,
      ScriptedResponse::withStream(ScriptedStream().data("x").sizeHint(1234).withoutClose()),
      journal_);
  HostReply reply = readReply(response_);
  EXPECT_EQ(reply.reason, "");
  EXPECT_EQ(reply.error, std::nullopt);
  EXPECT_EQ(reply.sizeHint, 1234u);
  EXPECT_TRUE(reply.streamed);
  EXPECT_EQ(reply.body, HostValue());
  StreamCloseFunction close = response_.streamClose;
  EXPECT_EQ(close, nullptr);
  releaseResponse(response_);
}

TEST_F(ResponseFillerTest, ReleaseZeroesTheRecordAndCountsOnce) {
  fillResponse(response_, ScriptedResponse::withBody(HostValue::makeString("body")), journal_);
  HostResponse copy = response_;
  ASSERT_TRUE(releaseResponse(response_));
  HostResponse zero;
  std::memset(static_cast<void*>(&zero), 0, sizeof zero);
  EXPECT_EQ(std::memcmp(&response_, &zero, sizeof zero), 0);
  EXPECT_EQ(journal_->released.load(), 1u);

  // Releasing a stale copy is noticed and does not free anything twice.
  std::uint32_t strays = strayResponseReleases();
  copy.release(&copy);
  EXPECT_EQ(strayResponseReleases(), strays + 1);
  EXPECT_EQ(journal_->released.load(), 1u);
}

TEST_F(ResponseFillerTest, ClosingCountsAndMisuseIsRecorded) {
  fillResponse(response_, ScriptedResponse::withStream(ScriptedStream().data("abc")), journal_);
  EXPECT_EQ(read(4096).bytes, "abc");
  response_.streamClose(response_.streamContext);
  EXPECT_EQ(journal_->streamCloses.load(), 1u);
  EXPECT_EQ(read(4096).ok, 0);
  response_.streamClose(response_.streamContext);
  EXPECT_EQ(journal_->streamCloses.load(), 1u);
  EXPECT_EQ(journal_->streamReads.load(), 2u);
  EXPECT_EQ(journal_->faults().size(), 2u);
  releaseResponse(response_);
}

TEST_F(ResponseFillerTest, AResponseWithoutReleaseHasNone) {
  ScriptedResponse script = ScriptedResponse::withBody(HostValue::makeBool(true));
  script.hasRelease = false;
  fillResponse(response_, script, journal_);
  EXPECT_FALSE(readReply(response_).hasRelease);
  EXPECT_FALSE(releaseResponse(response_));
}

}  // namespace
}  // namespace zel::host

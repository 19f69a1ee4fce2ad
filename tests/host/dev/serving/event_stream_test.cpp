#include "host/dev/serving/internal/event_stream.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zel::host {
namespace {

using internal::EventStream;
using internal::kEventStreamPollBytes;

using std::chrono::milliseconds;

constexpr std::string_view kOpening = ": zel-host events\n\n";

// What the stream gives until it has nothing more for now (or ends), each
// poll's text checked against the bound of one poll.
std::string pollAll(EventStream& stream, bool* ended = nullptr, std::size_t headBytes = 64) {
  std::string all;
  for (int polls = 0; polls < 10'000; ++polls) {
    std::string text;
    bool more = stream.poll(text);
    EXPECT_LE(text.size(), kEventStreamPollBytes + headBytes);
    all += text;
    if (!more || text.empty()) {
      if (ended != nullptr) *ended = !more;
      return all;
    }
  }
  ADD_FAILURE() << "the stream never ran dry";
  return all;
}

TEST(EventStreamTest, OpensWithItsCommentAndFramesNamesAndPayloadsLineByLine) {
  struct Row {
    int line;
    std::string name;
    std::string payload;
    std::string framed;  // after the opening comment
  };
  const Row rows[] = {
      {__LINE__, "OnJsonApiEvent", R"({"uri":"/a"})",
       "id: 1\nevent: OnJsonApiEvent\ndata: {\"uri\":\"/a\"}\n\n"},
      {__LINE__, "E", "", "id: 1\nevent: E\ndata: \n\n"},
      // A line break in a name would end the field or the event early.
      {__LINE__, "a\nb\r\nc\rd", "1", "id: 1\nevent: a b  c d\ndata: 1\n\n"},
      {__LINE__, "\n\nevent: forged", "1", "id: 1\nevent:   event: forged\ndata: 1\n\n"},
      {__LINE__, "bad\xff", "1", "id: 1\nevent: bad\xEF\xBF\xBD\ndata: 1\n\n"},
      // Every line of a payload is a data line of its own, CR LF once.
      {__LINE__, "E", "1\n2", "id: 1\nevent: E\ndata: 1\ndata: 2\n\n"},
      {__LINE__, "E", "1\r\n2\r3\n\n4",
       "id: 1\nevent: E\ndata: 1\ndata: 2\ndata: 3\ndata: \ndata: 4\n\n"},
      {__LINE__, "E", "x\n", "id: 1\nevent: E\ndata: x\ndata: \n\n"},
      {__LINE__, "E", "x\r", "id: 1\nevent: E\ndata: x\ndata: \n\n"},
      {__LINE__, "E", "\n\nevent: forged\ndata: 2",
       "id: 1\nevent: E\ndata: \ndata: \ndata: event: forged\ndata: data: 2\n\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    EventHub hub;
    EventStream stream(hub.listen());
    hub.publish(row.name, row.payload);
    EXPECT_EQ(pollAll(stream), std::string(kOpening) + row.framed);
  }
}

TEST(EventStreamTest, TheOpeningCommentComesFirstAndOnceAndAQuietStreamKeepsAlive) {
  EventHub hub;
  EventStream stream(hub.listen(), milliseconds(0));
  std::string text;
  EXPECT_TRUE(stream.poll(text));
  EXPECT_EQ(text, kOpening);
  hub.publish("E", "1");
  text.clear();
  EXPECT_TRUE(stream.poll(text));
  EXPECT_EQ(text, "id: 1\nevent: E\ndata: 1\n\n");
  text.clear();
  EXPECT_TRUE(stream.poll(text));
  EXPECT_EQ(text, ": keep-alive\n\n");

  // A hub that closes ends the stream once it is drained, without a comment.
  hub.publish("F", "2");
  hub.closeAll();
  bool ended = false;
  EXPECT_EQ(pollAll(stream, &ended), "id: 2\nevent: F\ndata: 2\n\n");
  EXPECT_TRUE(ended);
}

// A payload larger than one poll goes out in pieces; the pieces make the
// same text, wherever a CR LF falls between two of them.
TEST(EventStreamTest, ALargePayloadGoesOutInPiecesThatKeepTheFraming) {
  const std::size_t head = kOpening.size() + std::string_view("id: 1\nevent: E\ndata: ").size();
  for (std::size_t shift = 0; shift < 4; ++shift) {
    SCOPED_TRACE(testing::Message() << "shift " << shift);
    // The CR is the last byte of the first poll for shift 1.
    std::string before(kEventStreamPollBytes - head - 2 + shift, 'x');
    std::string after(kEventStreamPollBytes * 2, 'y');
    EventHub hub;
    EventStream stream(hub.listen());
    hub.publish("E", before + "\r\n" + after);
    EXPECT_EQ(pollAll(stream), std::string(kOpening) + "id: 1\nevent: E\ndata: " + before +
                                   "\ndata: " + after + "\n\n");
  }
}

// Events are shared, so one listener that stops reading costs at most its
// bound: past it, it is closed with a comment saying why, and the one that
// reads goes on.
TEST(EventStreamTest, AListenerThatStopsReadingIsClosedPastItsBoundAndTheOtherGoesOn) {
  EventHub hub;
  std::shared_ptr<EventListener> slowListener = hub.listen();
  EventStream reading(hub.listen());
  EventStream slow(slowListener);
  std::string greeting;
  EXPECT_TRUE(slow.poll(greeting));
  constexpr std::size_t kEventBytes = std::size_t{1} << 20;
  const std::size_t fitting = kMaxListenerBacklogBytes / (kEventBytes + 1);  // 15 with the name
  std::size_t received = 0;
  for (std::size_t i = 0; i <= fitting; ++i) {
    hub.publish("E", std::string(kEventBytes, 'p'));
    EXPECT_EQ(slowListener->closed(), i == fitting) << i;
    std::string text = pollAll(reading);
    for (std::size_t at = text.find("\nevent: E\n"); at != std::string::npos;
         at = text.find("\nevent: E\n", at + 1)) {
      ++received;
    }
  }
  EXPECT_EQ(received, fitting + 1);
  EXPECT_EQ(slowListener->dropped(), fitting + 1);

  bool ended = false;
  EXPECT_EQ(pollAll(slow, &ended), ": closed: this listener fell more than 16 MiB behind\n\n");
  EXPECT_TRUE(ended);
  std::string after;
  EXPECT_FALSE(slow.poll(after));
  EXPECT_EQ(after, "");

  hub.publish("later", "1");
  bool readingEnded = true;
  EXPECT_THAT(pollAll(reading, &readingEnded), testing::HasSubstr("event: later\ndata: 1\n\n"));
  EXPECT_FALSE(readingEnded);
}

// An event in the middle of being sent when its listener falls behind is
// finished first, so that the closing comment does not cut it.
TEST(EventStreamTest, TheClosingCommentFollowsTheEventBeingSent) {
  EventHub hub;
  std::shared_ptr<EventListener> listener = hub.listen(EventHub::kDefaultCapacity, 100);
  EventStream stream(listener);
  std::string payload(kEventStreamPollBytes, 'p');
  hub.publish("E", payload);
  std::string first;
  EXPECT_TRUE(stream.poll(first));
  hub.publish("F", "1");
  hub.publish("G", std::string(100, 'q'));  // past the bound of 100 bytes
  EXPECT_TRUE(listener->fellBehind());
  bool ended = false;
  std::string all = first + pollAll(stream, &ended);
  EXPECT_TRUE(ended);
  EXPECT_EQ(all, std::string(kOpening) + "id: 1\nevent: E\ndata: " + payload +
                     "\n\n: closed: this listener fell more than 100 bytes behind\n\n");
}

}  // namespace
}  // namespace zel::host

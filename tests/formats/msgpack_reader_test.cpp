#include "formats/msgpack_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "boundary/host_api.h"
#include "formats/reader_limits.h"
#include "memory/memory.h"
#include "tests/formats/value_text.h"

namespace zel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::describe;

struct Case {
  int line;
  Bytes input;
  std::string expected;
  std::size_t position;  // checked for values that read without error
};

void expectDecodes(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line);
    MessagePackReader reader(c.input.data(), c.input.size());
    const BindingValue value = reader.read();
    EXPECT_EQ(describe(value), c.expected);
    if (value.ok()) {
      EXPECT_EQ(reader.position(), c.position);
    }
  }
}

Bytes repeated(const Bytes& unit, std::size_t times, const Bytes& tail = {}) {
  Bytes bytes;
  bytes.reserve(unit.size() * times + tail.size());
  for (std::size_t i = 0; i < times; ++i) bytes.insert(bytes.end(), unit.begin(), unit.end());
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

TEST(MessagePackReaderTest, ScalarsBecomeTheirKinds) {
  expectDecodes({
      {__LINE__, {}, "~", 0},
      {__LINE__, {0x00}, "i0", 1},
      {__LINE__, {0x7f}, "i127", 1},
      {__LINE__, {0xff}, "i-1", 1},
      {__LINE__, {0xe0}, "i-32", 1},
      {__LINE__, {0xc0}, "~", 1},
      {__LINE__, {0xc2}, "false", 1},
      {__LINE__, {0xc3}, "true", 1},
      {__LINE__, {0xcc, 0xff}, "u255", 2},
      {__LINE__, {0xcd, 0x01, 0x00}, "u256", 3},
      {__LINE__, {0xce, 0xff, 0xff, 0xff, 0xff}, "u4294967295", 5},
      {__LINE__,
       {0xcf, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
       "u18446744073709551615",
       9},
      {__LINE__, {0xd0, 0xff}, "i-1", 2},
      {__LINE__, {0xd1, 0x80, 0x00}, "i-32768", 3},
      {__LINE__, {0xd2, 0x80, 0x00, 0x00, 0x00}, "i-2147483648", 5},
      {__LINE__, {0xd3, 0x80, 0, 0, 0, 0, 0, 0, 0}, "i-9223372036854775808", 9},
      {__LINE__, {0xca, 0x3f, 0x80, 0x00, 0x00}, "f1", 5},
      {__LINE__, {0xca, 0x3d, 0xcc, 0xcc, 0xcd}, "f0.10000000149011612", 5},
      {__LINE__, {0xcb, 0x3f, 0xf8, 0, 0, 0, 0, 0, 0}, "f1.5", 9},
      {__LINE__, {0xa0}, R"("")", 1},
      {__LINE__, {0xa3, 'a', 0x00, 'b'}, R"("a\x00b")", 4},
      {__LINE__, {0xd9, 0x01, 'x'}, R"("x")", 3},
      {__LINE__, {0xdb, 0x00, 0x00, 0x00, 0x01, 0xff}, R"("\xff")", 6},
      {__LINE__, {0xc4, 0x02, 0x01, 0xff}, "b'01ff'", 4},
      {__LINE__, {0xc5, 0x00, 0x00}, "b''", 3},
      {__LINE__, {0xc6, 0x00, 0x00, 0x00, 0x01, 0xaa}, "b'aa'", 6},
      // Bytes after the root value are not read.
      {__LINE__, {0x01, 0x02}, "i1", 1},
  });
}

TEST(MessagePackReaderTest, ContainersFillInOrder) {
  expectDecodes({
      {__LINE__, {0x90}, "[]", 1},
      {__LINE__, {0x80}, "{}", 1},
      {__LINE__, {0x92, 0x01, 0xc0}, "[i1,~]", 3},
      {__LINE__, {0xdc, 0x00, 0x02, 0x01, 0x02}, "[i1,i2]", 5},
      {__LINE__, {0xdd, 0x00, 0x00, 0x00, 0x01, 0x05}, "[i5]", 6},
      {__LINE__, {0xde, 0x00, 0x01, 0xa1, 'k', 0x05}, "{k:i5}", 6},
      {__LINE__, {0x82, 0xa1, 'b', 0x01, 0xa1, 'a', 0x02}, "{a:i2,b:i1}", 7},
      {__LINE__, {0x81, 0xa1, 'a', 0xc0}, "{a:~}", 4},
      {__LINE__, {0x81, 0xa0, 0x01}, "{:i1}", 3},
      {__LINE__, {0x81, 0xd9, 0x02, 'i', 'd', 0x07}, "{id:i7}", 6},
      {__LINE__, {0x81, 0xa1, 'm', 0x81, 0xa1, 'n', 0x92, 0x90, 0x80}, "{m:{n:[[],{}]}}", 9},
      // A map that repeats a key keeps the later value as a whole.
      {__LINE__, {0x82, 0xa1, 'a', 0x92, 0x01, 0x02, 0xa1, 'a', 0x91, 0x03}, "{a:[i3]}", 10},
      {__LINE__, {0x82, 0xa1, 'a', 0x01, 0xa1, 'a', 0xc0}, "{a:~}", 7},
      // Input that ends inside a container keeps what was read.
      {__LINE__, {0x93, 0x01}, "[i1]", 2},
      {__LINE__, {0x82, 0xa1, 'a', 0x01, 0xa1, 'b'}, "{a:i1}", 6},
      {__LINE__, {0xdf, 0xff, 0xff, 0xff, 0xff, 0xa1, 'a', 0x01}, "{a:i1}", 8},
      {__LINE__, {0xdd, 0xff, 0xff, 0xff, 0xff, 0x01}, "[i1]", 6},
      // Maps of one shape in a row; one repeats a key, the last is cut short.
      {__LINE__,
       {0x94, 0x82, 0xa1, 'b',  0x01, 0xa1, 'a',  0x02, 0x82, 0xa1, 'b',  0x03, 0xa1, 'a', 0x04,
        0x83, 0xa1, 'b',  0x05, 0xa1, 'a',  0x06, 0xa1, 'a',  0x07, 0x82, 0xa1, 'b',  0x08},
       "[{a:i2,b:i1},{a:i4,b:i3},{a:i7,b:i5},{b:i8}]",
       29},
  });
}

TEST(MessagePackReaderTest, FaultsNameTheirPosition) {
  expectDecodes({
      {__LINE__, {0xc1}, "error: Invalid MessagePack data at position 1.", 0},
      {__LINE__, {0x91, 0xc1}, "error: Invalid MessagePack data at position 2.", 0},
      {__LINE__, {0xd4, 0x01, 0x10}, "error: Invalid MessagePack data at position 1.", 0},
      {__LINE__, {0xc7, 0x01, 0x01, 0x00}, "error: Invalid MessagePack data at position 1.", 0},
      {__LINE__, {0x91, 0xd4, 0x01, 0x10}, "error: Invalid MessagePack data at position 2.", 0},
      {__LINE__,
       {0x81, 0xa1, 'a', 0xd5, 0x01, 0x00, 0x00},
       "error: Invalid MessagePack data at position 4.",
       0},
      {__LINE__,
       {0x81, 0x01, 0x02},
       "error: Invalid MessagePack data at position 2. Map keys must be strings.",
       0},
      {__LINE__,
       {0x81, 0xc0, 0x01},
       "error: Invalid MessagePack data at position 2. Map keys must be strings.",
       0},
      {__LINE__,
       {0x81, 0xc4, 0x01, 'a', 0x01},
       "error: Invalid MessagePack data at position 2. Map keys must be strings.",
       0},
      {__LINE__,
       {0x82, 0xa1, 'a', 0x01, 0x05, 0x01},
       "error: Invalid MessagePack data at position 5. Map keys must be strings.",
       0},
      {__LINE__,
       {0xcc},
       "error: Invalid MessagePack data. 8-bit integer value at position 1 is truncated.",
       0},
      {__LINE__,
       {0xcd, 0x01},
       "error: Invalid MessagePack data. 16-bit integer value at position 1 is truncated.",
       0},
      {__LINE__,
       {0xca, 0x01, 0x02, 0x03},
       "error: Invalid MessagePack data. 32-bit integer value at position 1 is truncated.",
       0},
      {__LINE__,
       {0xcb, 0x3f, 0xf0, 0x00},
       "error: Invalid MessagePack data. 64-bit integer value at position 1 is truncated.",
       0},
      {__LINE__,
       {0x92, 0x01, 0xd3, 0x00},
       "error: Invalid MessagePack data. 64-bit integer value at position 3 is truncated.",
       0},
      {__LINE__,
       {0xd9},
       "error: Invalid MessagePack data. 8-bit integer value at position 1 is truncated.",
       0},
      {__LINE__,
       {0xdd, 0x00},
       "error: Invalid MessagePack data. 32-bit integer value at position 1 is truncated.",
       0},
      {__LINE__,
       {0x81, 0xd9},
       "error: Invalid MessagePack data. 8-bit integer value at position 2 is truncated.",
       0},
      {__LINE__,
       {0xa5, 'a', 'b'},
       "error: Invalid MessagePack data. String of size 5 at position 1 is truncated.",
       0},
      {__LINE__,
       {0xd9, 0x05, 'a'},
       "error: Invalid MessagePack data. String of size 5 at position 2 is truncated.",
       0},
      {__LINE__,
       {0x81, 0xa3, 'a'},
       "error: Invalid MessagePack data. String of size 3 at position 2 is truncated.",
       0},
      {__LINE__,
       {0xc4, 0x03, 0x01, 0x02},
       "error: Invalid MessagePack data. Raw bytes of size 3 at position 2 are truncated.",
       0},
      {__LINE__,
       {0xc6, 0xff, 0xff, 0xff, 0xff},
       "error: Invalid MessagePack data. Raw bytes of size 4294967295 at position 5 are truncated.",
       0},
  });
}

TEST(MessagePackReaderTest, NestingIsBoundedAtTheLimit) {
  const std::size_t limit = formats::kMaxNestingDepth;
  const Bytes arrays = repeated({0x91}, limit, {0x90});
  {
    SCOPED_TRACE("deepest accepted arrays");
    Bytes accepted = repeated({0x91}, limit - 1, {0x90});
    MessagePackReader reader(accepted.data(), accepted.size());
    EXPECT_TRUE(reader.read().ok());
    EXPECT_EQ(reader.position(), accepted.size());
  }
  expectDecodes({
      {__LINE__, arrays,
       "error: Invalid MessagePack data at position 513. Containers are nested deeper than 512 "
       "levels.",
       0},
      {__LINE__, repeated({0x81, 0xa1, 'a'}, limit, {0x80}),
       "error: Invalid MessagePack data at position 1537. Containers are nested deeper than 512 "
       "levels.",
       0},
      {__LINE__, repeated({0x91}, 1'000'000),
       "error: Invalid MessagePack data at position 513. Containers are nested deeper than 512 "
       "levels.",
       0},
  });
}

TEST(MessagePackReaderTest, AnnouncedCountsReserveOnlyWhatTheInputHolds) {
  // 511 levels each announce 2^32 - 1 items and hold one, the next level;
  // the innermost holds 8 KiB of items. Reserving at each level for all the
  // input left would take 511 times the room of the innermost items.
  struct Row {
    int line;
    Bytes header;  // of each level's container
    Bytes key;     // that leads to the next level
    Bytes item;    // 8 KiB of these fill the innermost
    bool isMap;
  };
  const Row rows[] = {
      {__LINE__, {0xdd, 0xff, 0xff, 0xff, 0xff}, {}, {0x00}, false},
      // The innermost map repeats its key: one field is left.
      {__LINE__, {0xdf, 0xff, 0xff, 0xff, 0xff}, {0xa0}, {0xa0, 0x01}, true},
  };
  const std::size_t levels = formats::kMaxNestingDepth - 1;
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    Bytes level = row.header;
    level.insert(level.end(), row.key.begin(), row.key.end());
    Bytes innermost = row.header;
    const Bytes items = repeated(row.item, 8192 / row.item.size());
    innermost.insert(innermost.end(), items.begin(), items.end());
    const Bytes input = repeated(level, levels - 1, innermost);
    MemoryStats before{};
    memory::readStats(before);
    MessagePackReader reader(input.data(), input.size());
    const BindingValue value = reader.read();
    MemoryStats after{};
    memory::readStats(after);
    ASSERT_TRUE(value.ok()) << value.errorMessage();
    EXPECT_EQ(reader.position(), input.size());
    const ValueNode* node = &value;
    for (std::size_t depth = 1; depth < levels; ++depth) {
      node = row.isMap ? &node->find("") : &node->at(0);
    }
    if (row.isMap) {
      EXPECT_EQ(describe(BindingValue(*node)), "{:i1}");
    } else {
      EXPECT_EQ(node->size(), 8192u);
      EXPECT_EQ(node->at(8191).asSigned(-1), 0);
    }
    EXPECT_LT(after.bytesAllocated - before.bytesAllocated, 2u << 20);
  }
}

TEST(MessagePackReaderTest, RecognisesMapsAndArraysOnly) {
  struct Row {
    int line;
    Bytes input;
    bool expected;
  };
  const Row rows[] = {
      {__LINE__, {}, false},
      {__LINE__, {0x90}, true},
      {__LINE__, {0x80}, true},
      {__LINE__, {0x9f}, true},
      {__LINE__, {0xde, 0x00, 0x00}, true},
      {__LINE__, {0xdc}, true},
      {__LINE__, {0xdd}, true},
      {__LINE__, {0xdf}, true},
      {__LINE__, {0xa1, 0x61}, false},
      {__LINE__, {0x01}, false},
      {__LINE__, {0x7f}, false},
      {__LINE__, {0xa0}, false},
      {__LINE__, {0xdb}, false},
      {__LINE__, {0xe0}, false},
      {__LINE__, {0xc0}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    EXPECT_EQ(MessagePackReader::recognise(row.input.data(), row.input.size()), row.expected);
  }
  const std::uint8_t map = 0x80;
  EXPECT_FALSE(MessagePackReader::recognise(&map, 0));
  EXPECT_FALSE(MessagePackReader::recognise(nullptr, 1));
}

TEST(MessagePackReaderTest, EveryPrefixGivesAValueOrAnError) {
  // {"maps": [{"id": 11, "name": "Rift", "ratio": 1.5, "raw": bin[2]}, nil], "n": -300}
  const Bytes document = {0x82, 0xa4, 'm',  'a', 'p',  's',  0x92, 0x84, 0xa2, 'i',  'd',
                          0x0b, 0xa4, 'n',  'a', 'm',  'e',  0xa4, 'R',  'i',  'f',  't',
                          0xa5, 'r',  'a',  't', 'i',  'o',  0xcb, 0x3f, 0xf8, 0,    0,
                          0,    0,    0,    0,   0xa3, 'r',  'a',  'w',  0xc4, 0x02, 0x01,
                          0x02, 0xc0, 0xa1, 'n', 0xd1, 0xfe, 0xd4};
  MessagePackReader whole(document.data(), document.size());
  ASSERT_EQ(describe(whole.read()),
            R"({maps:[{id:i11,name:"Rift",ratio:f1.5,raw:b'0102'},~],n:i-300})");
  EXPECT_EQ(whole.position(), document.size());
  for (std::size_t length = 0; length < document.size(); ++length) {
    SCOPED_TRACE(length);
    MessagePackReader reader(document.data(), length);
    const BindingValue value = reader.read();
    // A cut between items leaves a shorter value; a cut inside a scalar is an error.
    if (value.ok()) {
      EXPECT_EQ(reader.position(), length);
    } else {
      EXPECT_EQ(value.errorMessage().rfind("Invalid MessagePack data. ", 0), 0u);
    }
  }
}

TEST(MessagePackReaderTest, LargeStringIsKeptWhole) {
  const std::size_t length = 10 * 1024 * 1024;
  Bytes bytes = {0xdb, static_cast<std::uint8_t>(length >> 24),
                 static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(length)};
  bytes.resize(bytes.size() + length, 'x');
  MessagePackReader reader(bytes.data(), bytes.size());
  const BindingValue value = reader.read();
  ASSERT_TRUE(value.ok()) << value.errorMessage();
  EXPECT_EQ(value.size(), length);
  EXPECT_EQ(reader.position(), bytes.size());
}

TEST(MessagePackReaderTest, RefusedInputLeavesNoMemoryBehind) {
  const std::int64_t before = memory::liveBytes();
  {
    const Bytes input = {0x82, 0xa1, 'a', 0x92, 0xa3, 'x', 'y', 'z', 0x01, 0xa1, 'b', 0xc1};
    MessagePackReader reader(input.data(), input.size());
    EXPECT_FALSE(reader.read().ok());
    const Bytes deep = repeated({0x91}, 100'000);
    MessagePackReader deepReader(deep.data(), deep.size());
    EXPECT_FALSE(deepReader.read().ok());
  }
  EXPECT_EQ(memory::liveBytes(), before);
}

}  // namespace
}  // namespace zel

#include "formats/msgpack_reader.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "binding/field_builder.h"
#include "diagnostics/format.h"
#include "formats/messages.h"
#include "formats/reader_limits.h"

namespace zel {
namespace {

namespace messages = formats::messages;

// Room for the usual nesting before the stack of open containers grows.
constexpr std::size_t kInitialOpenContainers = 16;

// The least input an array element (a fixint) and a map entry (an empty
// fixstr key and a fixint) take.
constexpr std::size_t kMinElementBytes = 1;
constexpr std::size_t kMinEntryBytes = 2;

const char* truncatedNumberMessage(unsigned bytes) noexcept {
  switch (bytes) {
    case 1:
      return messages::kMsgpackTruncated8;
    case 2:
      return messages::kMsgpackTruncated16;
    case 4:
      return messages::kMsgpackTruncated32;
    default:
      return messages::kMsgpackTruncated64;
  }
}

// Sign-extends the low `bytes` bytes of value.
std::int64_t signExtend(std::uint64_t value, unsigned bytes) noexcept {
  switch (bytes) {
    case 1:
      return static_cast<std::int8_t>(value);
    case 2:
      return static_cast<std::int16_t>(value);
    case 4:
      return static_cast<std::int32_t>(value);
    default:
      return static_cast<std::int64_t>(value);
  }
}

}  // namespace

MessagePackReader::MessagePackReader(const void* data, std::size_t size) noexcept
    : data_(static_cast<const std::uint8_t*>(data)), size_(data == nullptr ? 0 : size) {}

bool MessagePackReader::recognise(const void* data, std::size_t size) noexcept {
  if (data == nullptr || size == 0) return false;
  const std::uint8_t first = *static_cast<const std::uint8_t*>(data);
  return (first >= 0x80 && first <= 0x9f) || (first >= 0xdc && first <= 0xdf);
}

// The two readers below run for most items, so they are inlined; their
// failures are not.
inline bool MessagePackReader::readNumber(unsigned bytes, std::uint64_t& value) {
  if (size_ - position_ < bytes) [[unlikely]] {
    return fail(formatPositional(truncatedNumberMessage(bytes), position_));
  }
  std::uint64_t number = 0;
  for (unsigned i = 0; i < bytes; ++i) number = (number << 8) | data_[position_ + i];
  position_ += bytes;
  value = number;
  return true;
}

inline bool MessagePackReader::readBytes(std::uint64_t length, const char* truncatedMessage,
                                         std::string_view& bytes) {
  if (size_ - position_ < length) [[unlikely]] {
    return fail(formatPositional(truncatedMessage, length, position_));
  }
  bytes = std::string_view(reinterpret_cast<const char*>(data_) + position_,
                           static_cast<std::size_t>(length));
  position_ += static_cast<std::size_t>(length);
  return true;
}

BindingValue MessagePackReader::read() {
  BindingValue result;
  // Holds counted keys of result's tree: declared after it, so it is
  // released first, also when an exception leaves.
  binding::internal::KeyShapes shapes;
  position_ = 0;
  claimed_ = 0;
  open_.clear();
  open_.reserve(kInitialOpenContainers);
  if (size_ == 0) return result;

  // A map is put in key order when it closes, where a repeated key replaces
  // the earlier value as a whole.
  const auto closeContainer = [this, &shapes] {
    const OpenContainer& top = open_.back();
    claimed_ -= top.reserved * (top.isMap ? kMinEntryBytes : kMinElementBytes);
    if (top.isMap) {
      finishFields(*top.node, binding::internal::RepeatedKey::Replace, shapes, top.cursor);
    }
    open_.pop_back();
  };
  bool ok = readValue(result);
  // The input may end inside a container: what was read so far stays.
  while (ok && !open_.empty()) {
    OpenContainer& top = open_.back();
    if (top.left == 0) {
      closeContainer();
      continue;
    }
    if (position_ == size_) break;
    --top.left;
    if (top.reserved != 0) {
      --top.reserved;
      claimed_ -= top.isMap ? kMinEntryBytes : kMinElementBytes;
    }
    if (!top.isMap) {
      ok = readValue(binding::internal::appendElement(*top.node));
      continue;
    }
    // A key the input ends after is dropped. Fields go in arrival order
    // until the map closes.
    std::string_view key;
    ok = readKey(key);
    if (!ok || position_ == size_) break;
    ok = readValue(binding::internal::appendField(*top.node, key, shapes, top.cursor));
  }
  if (!ok) {
    shapes.release();
    result.setError(error_);
    return result;
  }
  // Maps still open at the end of the input are put in key order as well.
  while (!open_.empty()) closeContainer();
  return result;
}

bool MessagePackReader::readValue(ValueNode& node) {
  const std::uint8_t type = data_[position_++];
  if (type <= 0x7f) {
    node.setSigned(static_cast<std::int64_t>(type));
    return true;
  }
  if (type >= 0xe0) {
    node.setSigned(static_cast<std::int64_t>(static_cast<std::int8_t>(type)));
    return true;
  }
  if (type <= 0x8f) return openContainer(node, type & 0x0fu, true);
  if (type <= 0x9f) return openContainer(node, type & 0x0fu, false);

  std::uint64_t number = 0;
  std::string_view bytes;
  if (type <= 0xbf) {
    if (!readBytes(type & 0x1fu, messages::kMsgpackStringTruncated, bytes)) return false;
    node.setString(bytes);
    return true;
  }
  switch (type) {
    case 0xc0:  // nil: the element or field stays empty
      return true;
    case 0xc2:
    case 0xc3:
      node.setBool(type == 0xc3);
      return true;
    case 0xc4:
    case 0xc5:
    case 0xc6:
      if (!readNumber(1u << (type - 0xc4), number) ||
          !readBytes(number, messages::kMsgpackBinTruncated, bytes)) {
        return false;
      }
      node.setBlob(bytes.data(), bytes.size());
      return true;
    case 0xca:
      if (!readNumber(4, number)) return false;
      node.setFloat(static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(number))));
      return true;
    case 0xcb:
      if (!readNumber(8, number)) return false;
      node.setFloat(std::bit_cast<double>(number));
      return true;
    case 0xcc:
    case 0xcd:
    case 0xce:
    case 0xcf:
      if (!readNumber(1u << (type - 0xcc), number)) return false;
      node.setUnsigned(number);
      return true;
    case 0xd0:
    case 0xd1:
    case 0xd2:
    case 0xd3: {
      const unsigned width = 1u << (type - 0xd0);
      if (!readNumber(width, number)) return false;
      node.setSigned(signExtend(number, width));
      return true;
    }
    case 0xd9:
    case 0xda:
    case 0xdb:
      if (!readNumber(1u << (type - 0xd9), number) ||
          !readBytes(number, messages::kMsgpackStringTruncated, bytes)) {
        return false;
      }
      node.setString(bytes);
      return true;
    case 0xdc:
    case 0xdd:
      return readNumber(type == 0xdc ? 2 : 4, number) && openContainer(node, number, false);
    case 0xde:
    case 0xdf:
      return readNumber(type == 0xde ? 2 : 4, number) && openContainer(node, number, true);
    default:  // 0xc1 (never used), ext 8/16/32, fixext 1..16
      return fail(formatPositional(messages::kMsgpackInvalidData, position_));
  }
}

inline bool MessagePackReader::readKey(std::string_view& key) {
  const std::uint8_t type = data_[position_++];
  std::uint64_t length = 0;
  if (type >= 0xa0 && type <= 0xbf) {
    length = type & 0x1fu;
  } else if (type >= 0xd9 && type <= 0xdb) {
    if (!readNumber(1u << (type - 0xd9), length)) return false;
  } else {
    return fail(formatPositional(messages::kMsgpackKeyNotString, position_));
  }
  return readBytes(length, messages::kMsgpackStringTruncated, key);
}

bool MessagePackReader::openContainer(ValueNode& node, std::uint64_t count, bool isMap) {
  if (open_.size() == formats::kMaxNestingDepth) {
    return fail(formatPositional(messages::kMsgpackTooDeep, position_, formats::kMaxNestingDepth));
  }
  // Room is reserved only for the items the input left can still hold: each
  // takes its least size there, and the bytes the open containers below have
  // reserved for their own later items are not free. The count a header
  // announces may be a lie, and nested headers must not reserve the same
  // bytes again, one level each.
  const std::size_t itemBytes = isMap ? kMinEntryBytes : kMinElementBytes;
  const std::size_t left = size_ - position_;
  const std::size_t unclaimed = left > claimed_ ? left - claimed_ : 0;
  const auto reserved =
      static_cast<std::size_t>(std::min<std::uint64_t>(count, unclaimed / itemBytes));
  if (isMap) {
    binding::internal::reserveFields(node, reserved);
  } else {
    node.makeCollection();
    node.reserve(reserved);
  }
  open_.push_back(OpenContainer{&node, count, reserved, {}, isMap});
  claimed_ += reserved * itemBytes;
  return true;
}

[[gnu::noinline, gnu::cold]] bool MessagePackReader::fail(std::string message) {
  error_ = std::move(message);
  return false;
}

}  // namespace zel

// Our MessagePack reader against msgpack-cxx: both read one value, end at
// the same byte, and our value is msgpack-cxx's object mapped by the rules
// our reader keeps:
// - integers keep their number; a negative one is signed, one beyond the
//   signed range unsigned (msgpack-cxx does not keep whether a non-negative
//   number came as int or uint, so for those any integer kind of that number
//   matches);
// - float 32 widens exactly, float 64 is kept bit for bit;
// - str is a string, bin a blob, both with every byte;
// - nil leaves its element or field empty;
// - a map is a structure in key order, a repeated key keeps the later value.
// Or both refuse. Where only one side reads, a rule of ours must explain it:
// - ext types are refused (msgpack-cxx reads them);
// - map keys must be strings;
// - containers nested deeper than formats::kMaxNestingDepth are refused;
// - input that ends inside a container, or is empty, reads as far as it
//   goes (msgpack-cxx asks for more bytes).
#include <msgpack.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

#include "diagnostics/format.h"
#include "formats/messages.h"
#include "formats/msgpack_reader.h"
#include "formats/reader_limits.h"
#include "fuzz/differential.h"

namespace {

using zel::ValueNode;
namespace messages = zel::formats::messages;

zel::fuzz::Rules rules("msgpack");

// Writes `object` into `slot` as our reader would.
void build(const msgpack::object& object, ValueNode& slot) {
  switch (object.type) {
    case msgpack::type::NIL:
      return;
    case msgpack::type::BOOLEAN:
      return slot.setBool(object.via.boolean);
    case msgpack::type::POSITIVE_INTEGER:
      return slot.setUnsigned(object.via.u64);
    case msgpack::type::NEGATIVE_INTEGER:
      return slot.setSigned(object.via.i64);
    case msgpack::type::FLOAT32:
    case msgpack::type::FLOAT64:
      return slot.setFloat(object.via.f64);
    case msgpack::type::STR:
      return slot.setString(std::string_view(object.via.str.ptr, object.via.str.size));
    case msgpack::type::BIN:
      return slot.setBlob(object.via.bin.ptr, object.via.bin.size);
    case msgpack::type::ARRAY:
      slot.makeCollection();
      for (std::uint32_t i = 0; i < object.via.array.size; ++i) {
        build(object.via.array.ptr[i], slot.append());
      }
      return;
    case msgpack::type::MAP:
      slot.makeStructure();
      for (std::uint32_t i = 0; i < object.via.map.size; ++i) {
        const msgpack::object_kv& pair = object.via.map.ptr[i];
        ValueNode& field =
            slot.field(std::string_view(pair.key.via.str.ptr, pair.key.via.str.size));
        field.reset();
        build(pair.val, field);
      }
      return;
    case msgpack::type::EXT:
      return;
  }
}

// What in msgpack-cxx's object our reader refuses by design.
struct Refusable {
  bool ext = false;
  bool nonTextKey = false;
  std::size_t depth = 0;
};

void survey(const msgpack::object& object, std::size_t depth, Refusable& found) {
  switch (object.type) {
    case msgpack::type::EXT:
      found.ext = true;
      return;
    case msgpack::type::ARRAY:
      found.depth = std::max(found.depth, depth + 1);
      for (std::uint32_t i = 0; i < object.via.array.size; ++i) {
        survey(object.via.array.ptr[i], depth + 1, found);
      }
      return;
    case msgpack::type::MAP:
      found.depth = std::max(found.depth, depth + 1);
      for (std::uint32_t i = 0; i < object.via.map.size; ++i) {
        const msgpack::object_kv& pair = object.via.map.ptr[i];
        if (pair.key.type != msgpack::type::STR) found.nonTextKey = true;
        survey(pair.key, depth + 1, found);
        survey(pair.val, depth + 1, found);
      }
      return;
    default:
      return;
  }
}

// The position our message names after "position ", or the size when none.
std::size_t namedPosition(const std::string& message, std::size_t size) {
  const std::size_t at = message.find("position ");
  return at == std::string::npos ? size : std::strtoull(message.c_str() + at + 9, nullptr, 10);
}

bool isExtType(std::uint8_t type) {
  return (type >= 0xc7 && type <= 0xc9) || (type >= 0xd4 && type <= 0xd8);
}
bool isStringType(std::uint8_t type) {
  return (type >= 0xa0 && type <= 0xbf) || (type >= 0xd9 && type <= 0xdb);
}

// Our refusal of what msgpack-cxx read, checked against the input: the
// message must be one of the refusals by design, and the byte it names must
// be what that rule refuses.
void explainRefusal(const std::string& message, const Refusable& found, const std::uint8_t* data,
                    std::size_t size) {
  const std::size_t position = namedPosition(message, size);
  if (position == 0 || position > size) {
    zel::fuzz::difference("refused at a position outside the input: " + message, data, size);
  }
  const std::uint8_t type = data[position - 1];
  if (message == zel::formatPositional(messages::kMsgpackInvalidData, position) &&
      isExtType(type) && found.ext) {
    return rules.applied("ext types are refused");
  }
  if (message == zel::formatPositional(messages::kMsgpackKeyNotString, position) &&
      !isStringType(type) && found.nonTextKey) {
    return rules.applied("map keys must be strings");
  }
  if (message == zel::formatPositional(messages::kMsgpackTooDeep, position,
                                       zel::formats::kMaxNestingDepth) &&
      found.depth > zel::formats::kMaxNestingDepth) {
    return rules.applied("containers nested deeper than the limit are refused");
  }
  zel::fuzz::difference("we refuse what msgpack-cxx reads: " + message, data, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  rules.input();
  zel::MessagePackReader reader(data, size);
  const zel::BindingValue ours = reader.read();

  // A container or text longer than the input cannot be complete: the limits
  // refuse it before msgpack-cxx reserves room for it.
  const msgpack::unpack_limit limit(size, size, size, size, size);
  msgpack::object_handle handle;
  std::size_t end = 0;
  bool short_ = false;
  bool refused = false;
  try {
    handle =
        msgpack::unpack(reinterpret_cast<const char*>(data), size, end, nullptr, nullptr, limit);
  } catch (const msgpack::insufficient_bytes&) {
    short_ = true;
  } catch (const msgpack::size_overflow&) {
    short_ = true;
  } catch (const msgpack::unpack_error&) {
    refused = true;
  }

  if (short_) {
    // We read what there is, or refuse a truncated scalar.
    if (!ours.ok()) return rules.bothRefused(), 0;
    if (reader.position() != size) {
      zel::fuzz::difference("read a value msgpack-cxx calls short, but stopped before the end",
                            data, size);
    }
    rules.applied("input that ends inside a container reads as far as it goes");
    return 0;
  }
  if (refused) {
    if (ours.ok()) zel::fuzz::difference("msgpack-cxx refuses what we read", data, size);
    rules.bothRefused();
    return 0;
  }

  Refusable found;
  survey(handle.get(), 0, found);
  if (!ours.ok()) {
    explainRefusal(std::string(ours.errorMessage()), found, data, size);
    return 0;
  }
  if (found.ext || found.nonTextKey || found.depth > zel::formats::kMaxNestingDepth) {
    zel::fuzz::difference("we read what our rules refuse", data, size);
  }
  if (reader.position() != end) {
    zel::fuzz::difference("the value ends at " + std::to_string(reader.position()) +
                              " for us, at " + std::to_string(end) + " for msgpack-cxx",
                          data, size);
  }
  zel::BindingValue expected;
  build(handle.get(), expected);
  zel::fuzz::expectSame(ours, expected, zel::fuzz::Integers::SameNumber, data, size);
  rules.bothRead();
  return 0;
}

// Decoding MessagePack bytes into a BindingValue, for request bodies of type
// "application/x-msgpack" and for structured text arguments that start with a
// MessagePack map or array.
//
//   MessagePackReader reader(bytes, size);
//   BindingValue value = reader.read();
//   bool extra = value.ok() && reader.position() != size;  // bytes after the root
//
// The reader only borrows the input, which must stay valid during read(); the
// returned value owns its tree. Decoding is iterative: containers nested
// deeper than formats::kMaxNestingDepth are refused with an error result.
// The counts that headers announce reserve room only for as many items as
// the input left can hold, so the memory of a read stays proportional to its
// input whatever the headers say.
//
// What the value holds: positive and negative fixints and int 8..64 are
// signed, uint 8..64 unsigned, float 32/64 float, str strings (bytes taken
// as they are), bin blobs, arrays collections, maps structures (keys must be
// strings); nil leaves its element or field empty. Ext types and 0xc1 are
// refused. Input that ends inside a container is not an error: the value
// holds what was read. Bytes after the root value are not read. A map that
// repeats a key keeps the later value only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "binding/key_shapes.h"
#include "binding/value.h"

namespace zel {

class MessagePackReader {
 public:
  MessagePackReader(const void* data, std::size_t size) noexcept;

  // Decodes the root value from the start of the input: the value, or an
  // error result with the message of the first fault and its position.
  [[nodiscard]] BindingValue read();

  // The offset of the first byte not read by the last read(): the size of the
  // root value's encoding when it was complete.
  [[nodiscard]] std::size_t position() const noexcept { return position_; }

  // True when the input starts with a map or an array (fixmap, fixarray,
  // array 16/32, map 16/32).
  [[nodiscard]] static bool recognise(const void* data, std::size_t size) noexcept;

 private:
  // One open container: its node, the elements or pairs it announced that
  // are still to be read, how many of those it has room reserved for and,
  // for a map, where its keys stand.
  struct OpenContainer {
    ValueNode* node;
    std::uint64_t left;
    std::size_t reserved;
    binding::internal::ShapeCursor cursor;
    bool isMap;
  };

  // Reads one value into node; a container is left open on the stack.
  // False when the input is at fault (the message is in error_).
  bool readValue(ValueNode& node);
  bool readKey(std::string_view& key);
  bool openContainer(ValueNode& node, std::uint64_t count, bool isMap);
  // Reads a big-endian number of `bytes` bytes (1, 2, 4 or 8).
  bool readNumber(unsigned bytes, std::uint64_t& value);
  bool readBytes(std::uint64_t length, const char* truncatedMessage, std::string_view& bytes);
  bool fail(std::string message);

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  std::vector<OpenContainer> open_;
  // The bytes of input that the reserved items of the open containers need
  // at least: what a container opened now cannot reserve for.
  std::size_t claimed_ = 0;
  std::string error_;
};

}  // namespace zel

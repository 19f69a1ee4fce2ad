#include "host/dev/documents/json_value.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

#include <rapidjson/encodedstream.h>
#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/reader.h>
#include <rapidjson/writer.h>

#include "host/conversions/text_template.h"
#include "host/dev/documents/messages.h"

namespace zel::host {

namespace {

// 0: no limit (setJsonAllocationLimitForTest).
std::atomic<std::size_t> allocationLimit{0};

// Throws std::bad_alloc for a block of bytes that the test limit refuses.
void checkAllocation(std::size_t bytes) {
  std::size_t limit = allocationLimit.load(std::memory_order_relaxed);
  if (limit != 0 && bytes > limit) throw std::bad_alloc();
}

// RapidJSON's allocator for the reader's and the writers' stacks. Its own
// returns null when memory runs out, and their stacks write through what it
// returned: this one throws instead, before the stack changes, so that the
// stack is still whole when it is destroyed.
class CheckedAllocator {
 public:
  static const bool kNeedFree = true;

  void* Malloc(std::size_t size) {
    if (size == 0) return nullptr;
    checkAllocation(size);
    void* block = std::malloc(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }

  void* Realloc(void* block, std::size_t, std::size_t newSize) {
    if (newSize == 0) {
      std::free(block);
      return nullptr;
    }
    checkAllocation(newSize);
    void* moved = std::realloc(block, newSize);
    if (moved == nullptr) throw std::bad_alloc();
    return moved;
  }

  static void Free(void* block) { std::free(block); }
};

// The writers' output, straight into the string toJson returns. It grows by
// half again as it fills, checked like the stacks: RapidJSON's own buffer
// reserves six bytes for every byte of a text and writes through a null
// block once memory runs out.
class TextOutput {
 public:
  using Ch = char;

  void Put(char c) {
    if (text_.size() == text_.capacity()) grow();
    text_.push_back(c);
  }
  void Flush() {}
  std::string take() { return std::move(text_); }

 private:
  void grow() {
    std::size_t capacity = text_.capacity();
    std::size_t wanted = std::max<std::size_t>(256, capacity + capacity / 2);
    if (wanted > text_.max_size()) wanted = text_.max_size();
    if (wanted <= capacity) throw std::bad_alloc();
    checkAllocation(wanted);
    try {
      text_.reserve(wanted);
    } catch (const std::length_error&) {
      throw std::bad_alloc();
    }
  }

  std::string text_;
};

using CheckedReader =
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, CheckedAllocator>;
using CompactWriter =
    rapidjson::Writer<TextOutput, rapidjson::UTF8<>, rapidjson::UTF8<>, CheckedAllocator>;
using IndentedWriter =
    rapidjson::PrettyWriter<TextOutput, rapidjson::UTF8<>, rapidjson::UTF8<>, CheckedAllocator>;

// Builds the value as the reader walks the text, with one frame per open
// array or object instead of a call per level. Refusing to open one level
// more than kMaxJsonNesting also stops the reader, whose own descent
// follows the brackets, before it goes deeper.
class ValueBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, ValueBuilder> {
 public:
  bool Null() { return add(HostValue::makeNone()); }
  bool Bool(bool value) { return add(HostValue::makeBool(value)); }
  bool Int(int value) { return add(HostValue::makeSigned(value)); }
  bool Uint(unsigned value) { return add(HostValue::makeSigned(value)); }
  bool Int64(std::int64_t value) { return add(HostValue::makeSigned(value)); }
  bool Uint64(std::uint64_t value) {
    if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return add(HostValue::makeSigned(static_cast<std::int64_t>(value)));
    }
    return add(HostValue::makeUnsigned(value));
  }
  bool Double(double value) { return add(HostValue::makeFloat(value)); }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    return add(HostValue::makeString(std::string_view(text, length)));
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    open_.back().key.assign(text, length);
    return true;
  }
  bool StartObject() { return openContainer(HostValue::makeStructure({})); }
  bool EndObject(rapidjson::SizeType) { return closeContainer(); }
  bool StartArray() { return openContainer(HostValue::makeCollection({})); }
  bool EndArray(rapidjson::SizeType) { return closeContainer(); }

  bool tooDeep() const { return tooDeep_; }
  HostValue take() { return std::move(root_); }

 private:
  struct Frame {
    HostValue container;
    std::string key;  // of the object member whose value comes next
  };

  bool add(HostValue value) {
    if (open_.empty()) {
      root_ = std::move(value);
    } else if (Frame& top = open_.back(); top.container.flatKind() == FlatKind::Collection) {
      top.container.elements.push_back(std::move(value));
    } else {
      top.container.fields.push_back(HostField{std::move(top.key), std::move(value)});
    }
    return true;
  }

  bool openContainer(HostValue container) {
    if (open_.size() == kMaxJsonNesting) {
      tooDeep_ = true;
      return false;
    }
    open_.push_back(Frame{std::move(container), {}});
    return true;
  }

  bool closeContainer() {
    HostValue done = std::move(open_.back().container);
    open_.pop_back();
    return add(std::move(done));
  }

  std::vector<Frame> open_;
  HostValue root_;
  bool tooDeep_ = false;
};

template <typename Writer>
void writeText(Writer& writer, std::string_view text) {
  std::string valid = toValidUtf8(text);
  writer.String(valid.data(), static_cast<rapidjson::SizeType>(valid.size()));
}

// An array or object being written, and the index of its next entry.
struct OpenContainer {
  const HostValue* container;
  std::size_t next;
};

// Writes a scalar whole; starts an array or object and leaves it open.
template <typename Writer>
void writeOrOpen(Writer& writer, const HostValue& value, std::vector<OpenContainer>& open) {
  switch (value.flatKind()) {
    case FlatKind::Bool:
      writer.Bool(value.boolean);
      return;
    case FlatKind::Signed:
      writer.Int64(value.signedValue);
      return;
    case FlatKind::Unsigned:
      writer.Uint64(value.unsignedValue);
      return;
    case FlatKind::Float:
      if (std::isfinite(value.floatValue)) {
        writer.Double(value.floatValue);
      } else {
        writer.Null();
      }
      return;
    case FlatKind::StringRef:
    case FlatKind::String:
      writeText(writer, value.bytes);
      return;
    case FlatKind::BlobRef:
    case FlatKind::Blob:
      writeText(writer, toBase64(value.bytes));
      return;
    case FlatKind::Collection:
      writer.StartArray();
      open.push_back(OpenContainer{&value, 0});
      return;
    case FlatKind::Structure:
      writer.StartObject();
      open.push_back(OpenContainer{&value, 0});
      return;
    default:
      writer.Null();
      return;
  }
}

// A loop over a stack of open containers rather than a call per level: a
// value can be nested as deeply as its maker likes.
template <typename Writer>
void writeValue(Writer& writer, const HostValue& value) {
  std::vector<OpenContainer> open;
  writeOrOpen(writer, value, open);
  while (!open.empty()) {
    const HostValue& container = *open.back().container;
    std::size_t next = open.back().next++;
    if (container.flatKind() == FlatKind::Collection) {
      if (next == container.elements.size()) {
        writer.EndArray();
        open.pop_back();
      } else {
        writeOrOpen(writer, container.elements[next], open);
      }
    } else if (next == container.fields.size()) {
      writer.EndObject();
      open.pop_back();
    } else {
      const HostField& field = container.fields[next];
      std::string key = toValidUtf8(field.key);
      writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
      writeOrOpen(writer, field.value, open);
    }
  }
}

}  // namespace

std::optional<HostValue> parseJson(std::string_view text, std::string& error) {
  // A UTF-8 byte order mark is skipped, as a document reading the text would.
  rapidjson::MemoryStream bytes(text.data(), text.size());
  rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> stream(bytes);
  CheckedReader reader;
  ValueBuilder builder;
  rapidjson::ParseResult parsed =
      reader.Parse<rapidjson::kParseValidateEncodingFlag>(stream, builder);
  if (builder.tooDeep()) {
    error = fillTemplate(messages::kJsonTooDeep,
                         {std::to_string(parsed.Offset()), std::to_string(kMaxJsonNesting)});
    return std::nullopt;
  }
  if (parsed.IsError()) {
    error = fillTemplate(messages::kInvalidJson, {std::to_string(parsed.Offset()),
                                                  rapidjson::GetParseError_En(parsed.Code())});
    return std::nullopt;
  }
  return builder.take();
}

std::string toJson(const HostValue& value, JsonStyle style) {
  TextOutput output;
  if (style == JsonStyle::Indented) {
    IndentedWriter writer(output);
    writer.SetIndent(' ', 2);
    writeValue(writer, value);
  } else {
    CompactWriter writer(output);
    writeValue(writer, value);
  }
  return output.take();
}

void setJsonAllocationLimitForTest(std::size_t bytes) {
  allocationLimit.store(bytes, std::memory_order_relaxed);
}

std::string toValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  while (!text.empty()) {
    std::size_t length = validUtf8Length(text);
    if (length == 0) {
      valid += "\xEF\xBF\xBD";
      length = 1;
    } else {
      valid.append(text.data(), length);
    }
    text.remove_prefix(length);
  }
  return valid;
}

std::size_t validUtf8Length(std::string_view text) {
  if (text.empty()) return 0;
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length;
  std::uint32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  std::uint32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (code < minimum || code > 0x10FFFF || surrogate) return 0;
  return length;
}

std::string toBase64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16 |
                      static_cast<unsigned char>(bytes[i + 1]) << 8 |
                      static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[n >> 18];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  std::size_t left = bytes.size() - i;
  if (left > 0) {
    std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
    if (left == 2) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[n >> 18];
    out += kAlphabet[(n >> 12) & 63];
    out += left == 2 ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace zel::host

// BindingValue: the SDK's generic, self-describing value, and ValueNode, the storage unit that
// every element of a collection and every field of a structure is. A BindingValue is a standalone
// node plus an ok flag; a value whose ok flag is cleared is an error result holding only its
// message.
//
//   BindingValue v;
//   v.field("name").setString("Summoner's Rift");
//   v.field("ids").element(2).setUnsigned(11);   // ids = [empty, empty, 11]
//
// Ownership: a standalone value owns the whole tree below it and its ValueContext (string intern
// table and cell pools), made when first needed. Nodes from element/field/at/find stay valid until
// their container is written to or reset; views from asString/asBlob/Field::key while the node
// holds them. A tree is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zel {

class Field;

namespace binding::internal {
class ValueContext;
struct StringRecord;
struct ArrayRecord;
struct EnumRecord;
struct NodeAccess;
}  // namespace binding::internal

// The kind of a value, an 8-bit code.
enum class ValueKind : std::uint8_t {
  Empty = 0,
  Bool = 1,
  Signed = 2,
  Unsigned = 3,
  Float = 4,
  String = 5,
  Blob = 6,
  Enum = 7,
  Collection = 8,
  Structure = 9,
};

// "empty", "bool", ..., "structure"; the empty text for a code above 9.
[[nodiscard]] const char* valueKindName(std::uint8_t code) noexcept;
[[nodiscard]] const char* valueKindName(ValueKind kind) noexcept;

// The content of an enum value: its number and the type id of its enum type.
struct EnumValue {
  std::int32_t number = 0;
  std::uint32_t typeId = 0;
  friend bool operator==(const EnumValue&, const EnumValue&) = default;
};

// One node of a value tree: the storage of a BindingValue or of an element or field inside one;
// nodes are never created or copied alone. Writers may change the kind; readers never do.
class ValueNode {
 public:
  ValueNode(const ValueNode&) = delete;
  // Deep copy (strings interned again here); safe onto itself, an ancestor or a descendant.
  ValueNode& operator=(const ValueNode& other);
  // Swaps two standalone values' storage, else moves within a tree or deep-copies across trees;
  // `other` is left empty and must not be an ancestor of this node.
  ValueNode& operator=(ValueNode&& other);

  [[nodiscard]] ValueKind kind() const noexcept { return static_cast<ValueKind>(kind_); }
  [[nodiscard]] bool isEmpty() const noexcept { return kind_ == 0; }
  [[nodiscard]] bool isStandalone() const noexcept { return standalone_ != 0; }

  // Empty 0; string its byte length; blob, collection, structure their item count; other kinds 1.
  [[nodiscard]] std::size_t size() const noexcept;

  void reset() noexcept;  // releases the payload: the node is empty

  // Setters; each one resets the node first.
  void setBool(bool value) noexcept;
  void setSigned(std::int64_t value) noexcept;  // a 32-bit value sign-extends
  void setUnsigned(std::uint64_t value) noexcept;
  void setFloat(double value) noexcept;   // a float widens exactly
  void setString(const char* text);       // up to the terminating zero
  void setString(std::string_view text);  // full length, NUL bytes kept
  void setBlob(const void* bytes, std::size_t count);
  void setBlob(std::span<const std::uint8_t> bytes) { setBlob(bytes.data(), bytes.size()); }
  // Takes over `block` from zel::memory::allocate (null if count is 0); freed by memory::release.
  void adoptBlob(void* block, std::size_t count);
  void setEnum(std::int32_t number, std::uint32_t typeId);
  void setEnum(EnumValue value) { setEnum(value.number, value.typeId); }

  // Typed readers: the content when the node has exactly that kind, else the fallback.
  [[nodiscard]] bool asBool(bool fallback = false) const noexcept;
  [[nodiscard]] std::int64_t asSigned(std::int64_t fallback = 0) const noexcept;
  [[nodiscard]] std::uint64_t asUnsigned(std::uint64_t fallback = 0) const noexcept;
  [[nodiscard]] double asFloat(double fallback = 0.0) const noexcept;
  // The interned text; its data() is zero-terminated (a fallback view need not be).
  [[nodiscard]] std::string_view asString(std::string_view fallback = {}) const noexcept;
  [[nodiscard]] const char* asCString(const char* fallback = "") const noexcept;
  [[nodiscard]] std::span<const std::uint8_t> asBlob(
      std::span<const std::uint8_t> fallback = {}) const noexcept;
  [[nodiscard]] EnumValue asEnum(EnumValue fallback = {}) const noexcept;

  void makeCollection();            // keeps an existing collection
  void reserve(std::size_t count);  // only when the node is a collection
  // Element `index` of the node made a collection (any other kind reset), empties appended up to
  // it.
  ValueNode& element(std::size_t index);
  // element(size()) of a collection; makes the node a collection first.
  ValueNode& append();
  // Element `index`, or the shared empty node when this is no collection or index >= size().
  [[nodiscard]] const ValueNode& at(std::size_t index) const noexcept;
  // The elements in order; empty when this is not a collection.
  [[nodiscard]] std::span<const ValueNode> elements() const noexcept;
  [[nodiscard]] std::span<ValueNode> elements() noexcept;

  // Structures; fields are kept in ascending unsigned byte order of the key.
  void makeStructure();  // keeps an existing structure
  // The field under `key` of the node made a structure (any other kind reset), inserted empty if
  // new.
  ValueNode& field(std::string_view key);
  ValueNode& field(const char* key) { return field(std::string_view(key)); }
  // The field under `key`, or the shared empty node when this is no structure or lacks the key.
  [[nodiscard]] const ValueNode& find(std::string_view key) const noexcept;
  [[nodiscard]] const ValueNode& find(const char* key) const noexcept;
  // The fields in key order; empty when this is not a structure.
  [[nodiscard]] std::span<const Field> fields() const noexcept;
  [[nodiscard]] std::span<Field> fields() noexcept;

  // The process-wide, read-only empty node that at/find return for a miss.
  [[nodiscard]] static const ValueNode& sharedEmpty() noexcept;

 protected:
  constexpr ValueNode() noexcept = default;
  ~ValueNode() = default;

  // context() makes a standalone value's context; destroy() resets and destroys it.
  binding::internal::ValueContext& context();
  void swapStorage(ValueNode& other) noexcept;
  void destroy() noexcept;

 private:
  friend class BindingValue;
  friend class Field;
  friend struct binding::internal::NodeAccess;

  // field(), returning the whole entry (key and value).
  Field& fieldEntry(std::string_view key);

  union Payload {
    std::uint64_t raw;
    bool boolean;
    std::int64_t signedValue;
    std::uint64_t unsignedValue;
    double floatValue;
    binding::internal::StringRecord* string;
    binding::internal::ArrayRecord* array;  // blob, collection, structure
    binding::internal::EnumRecord* enumRecord;
  };

  Payload payload_{0};
  binding::internal::ValueContext* context_ = nullptr;
  std::uint8_t kind_ = 0;
  std::uint8_t standalone_ = 0;
};

// One field of a structure: its interned key and its value.
class Field {
 public:
  Field(const Field&) = delete;
  Field& operator=(const Field&) = delete;

  // The key text; data() is zero-terminated.
  [[nodiscard]] std::string_view key() const noexcept;
  [[nodiscard]] const char* keyCString() const noexcept;
  [[nodiscard]] const ValueNode& value() const noexcept { return value_; }
  [[nodiscard]] ValueNode& value() noexcept { return value_; }

 private:
  friend struct binding::internal::NodeAccess;
  Field() = default;
  ~Field() = default;

  binding::internal::StringRecord* key_ = nullptr;
  ValueNode value_;
};

// A standalone value with its ok flag. New values are empty and ok.
class [[nodiscard]] BindingValue : public ValueNode {
 public:
  BindingValue() noexcept { standalone_ = 1; }
  ~BindingValue() { destroy(); }

  // Deep copies; copy construction carries the ok flag, so a copied error result is still one.
  BindingValue(const BindingValue& other);
  explicit BindingValue(const ValueNode& node);  // ok
  // Moves carry the ok flag; see ValueNode::operator=(ValueNode&&).
  BindingValue(BindingValue&& other) noexcept;
  explicit BindingValue(ValueNode&& node);  // ok

  // Copy assignment keeps this value's ok flag; move assignment takes the source's.
  BindingValue& operator=(const BindingValue& other);
  BindingValue& operator=(BindingValue&& other) noexcept;
  BindingValue& operator=(const ValueNode& node);
  BindingValue& operator=(ValueNode&& node);

  [[nodiscard]] bool ok() const noexcept { return ok_ != 0; }
  void setOk(bool ok) noexcept { ok_ = ok ? 1 : 0; }

  // Empties the value, clears the ok flag and stores `message` as the string field "error".
  void setError(std::string_view message);
  // An error result's message; empty while ok, or when "error" is missing or not a string.
  [[nodiscard]] std::string_view errorMessage() const noexcept;

  // An error result holding `message`.
  [[nodiscard]] static BindingValue error(std::string_view message);

 private:
  std::uint8_t ok_ = 1;
};

}  // namespace zel

// The event handler that RapidJSON's reader drives to build a BindingValue:
// a stack of the open containers and the slot the next value fills.
//
//   JsonHandler handler(result);
//   reader.Parse<rapidjson::kParseDefaultFlags>(stream, handler);
//
// The handler writes into the value it is given (the caller owns it); it keeps
// only pointers to open containers of that tree, which stay valid because a
// container is only written to while it is the innermost open one. An open
// object is out of key order until it ends; a failed read drops it unsorted.
// Its key shapes hold counted keys of that tree, so the handler must go
// before the tree can (readJson scopes it so).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/field_builder.h"
#include "binding/value.h"
#include "formats/reader_limits.h"

namespace zel::formats::internal {

class JsonHandler {
 public:
  using Ch = char;
  using SizeType = unsigned;

  explicit JsonHandler(ValueNode& root) noexcept : slot_(&root) {}
  JsonHandler(const JsonHandler&) = delete;
  JsonHandler& operator=(const JsonHandler&) = delete;
  // Members of objects a failed read left open are released here.
  ~JsonHandler() {
    for (std::size_t i = 0; i < used_; ++i) binding::internal::releasePending(pending_[i]);
  }

  // A null inside an array is an empty element; a null anywhere else leaves
  // its slot as it is, so a repeated key keeps its earlier value.
  bool Null() {
    if (insideCollection()) open_[depth_ - 1]->append();
    return true;
  }
  bool Bool(bool value) {
    target().setBool(value);
    return true;
  }
  // The reader hands non-negative integers to Uint/Uint64 and negative ones
  // to Int/Int64.
  bool Int(int value) {
    target().setSigned(static_cast<std::int64_t>(value));
    return true;
  }
  bool Uint(unsigned value) {
    target().setUnsigned(static_cast<std::uint64_t>(value));
    return true;
  }
  bool Int64(std::int64_t value) {
    target().setSigned(value);
    return true;
  }
  bool Uint64(std::uint64_t value) {
    target().setUnsigned(value);
    return true;
  }
  bool Double(double value) {
    target().setFloat(value);
    return true;
  }
  // Only delivered with number-as-string parsing, which this reader never asks for.
  bool RawNumber(const Ch* text, SizeType length, bool /*copy*/) {
    target().setString(std::string_view(text, length));
    return true;
  }
  // The length is the one the reader decoded, so an escaped NUL is kept.
  bool String(const Ch* text, SizeType length, bool /*copy*/) {
    target().setString(std::string_view(text, length));
    return true;
  }

  // An object or array whose slot already holds one of its kind (a repeated
  // key) keeps the earlier members or elements. Refusing to open one level
  // more than the limit stops the reader with its handler error.
  bool StartObject() {
    if (depth_ == kMaxNestingDepth) return false;
    ValueNode& node = target();
    node.makeStructure();
    if (depth_ == used_) pending_[used_++] = binding::internal::noPendingFields();
    cursors_[depth_] = binding::internal::ShapeCursor{};
    open_[depth_++] = &node;
    return true;
  }
  // Members gather in document order apart from their object and move into
  // it, in key order, when it ends; a repeated key is folded then, by the
  // rules above.
  bool Key(const Ch* text, SizeType length, bool /*copy*/) {
    slot_ = &binding::internal::appendPending(pending_[depth_ - 1], *open_[depth_ - 1],
                                              std::string_view(text, length), shapes_,
                                              cursors_[depth_ - 1]);
    return true;
  }
  bool EndObject(SizeType /*memberCount*/) {
    --depth_;
    binding::internal::adoptPending(pending_[depth_], *open_[depth_],
                                    binding::internal::RepeatedKey::Merge, shapes_,
                                    cursors_[depth_]);
    return true;
  }
  bool StartArray() {
    if (depth_ == kMaxNestingDepth) return false;
    ValueNode& node = target();
    node.makeCollection();
    if (depth_ == used_) pending_[used_++] = binding::internal::noPendingFields();
    open_[depth_++] = &node;
    return true;
  }
  bool EndArray(SizeType /*elementCount*/) {
    --depth_;
    return true;
  }

 private:
  bool insideCollection() const noexcept {
    return depth_ != 0 && open_[depth_ - 1]->kind() == ValueKind::Collection;
  }
  // The node the next non-null value fills: a new element inside an array,
  // else the slot chosen by the last key (or the root).
  ValueNode& target() { return insideCollection() ? open_[depth_ - 1]->append() : *slot_; }

  std::array<ValueNode*, kMaxNestingDepth> open_{};
  // Per depth, the members of the object open there; entries below used_
  // are initialised (the rest are left raw, as most documents are shallow).
  std::array<binding::internal::PendingFields, kMaxNestingDepth> pending_;
  std::size_t used_ = 0;
  std::size_t depth_ = 0;
  ValueNode* slot_;
  // Keys and order of the objects read so far; released (with the handler)
  // before the tree can go. Per depth, where the open object stands.
  binding::internal::KeyShapes shapes_;
  std::array<binding::internal::ShapeCursor, kMaxNestingDepth> cursors_;
};

}  // namespace zel::formats::internal

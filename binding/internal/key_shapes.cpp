#include "binding/internal/key_shapes.h"

#include <cstring>

#include "binding/internal/intern_table.h"
#include "binding/internal/records.h"
#include "binding/value_context.h"

namespace zel::binding::internal {
namespace {

bool sameText(const StringRecord* record, std::string_view text) noexcept {
  return record->length == text.size() &&
         std::memcmp(record->text(), text.data(), text.size()) == 0;
}

}  // namespace

KeyShapes::KeyShapes() noexcept {
  for (KeyShape& shape : shapes_) shape.count = 0;
}

StringRecord* KeyShapes::key(ShapeCursor& cursor, ValueContext& context, std::string_view text,
                             bool first) {
  if (first) {
    StringRecord* record = context.intern(text);
    if (context_ == nullptr) context_ = &context;
    if (context_ != &context) {
      cursor = ShapeCursor{nullptr, 0, false};
      return record;
    }
    KeyShape& shape = shapes_[record->hash % kSlots];
    const bool follows = shape.count != 0 && shape.keys[0] == record;
    cursor = ShapeCursor{&shape, follows ? 1u : 0u, follows};
    return record;
  }
  if (cursor.next != 0) {
    const KeyShape& shape = *cursor.shape;
    // The shape's next key, or a later one: structures of one shape may
    // leave some of its keys out.
    for (std::uint32_t i = cursor.next; i < shape.count; ++i) {
      StringRecord* record = shape.keys[i];
      if (!sameText(record, text)) continue;
      InternTable::retain(record);
      if (i != cursor.next) cursor.exact = false;
      cursor.next = i + 1;
      return record;
    }
    cursor.exact = false;
  }
  return context.intern(text);
}

bool KeyShapes::recall(const ShapeCursor& cursor, Field* fields, std::size_t count) noexcept {
  if (!cursor.exact || cursor.next != count) return false;
  const KeyShape& shape = *cursor.shape;
  if (shape.count != count || !shape.unique) return false;
  // A structure nested in this one may have taken the slot over meanwhile:
  // only keys that are the shape's, one for one, take its order.
  for (std::size_t i = 0; i < count; ++i) {
    if (NodeAccess::key(fields[i]) != shape.keys[i]) return false;
  }
  if (!shape.inOrder) applyKeyOrder(fields, shape.order.data(), count);
  return true;
}

void KeyShapes::remember(const ShapeCursor& cursor, const Field* fields, const std::uint8_t* order,
                         std::size_t count) noexcept {
  if (cursor.shape == nullptr || count == 0 || count > kMaxShapeKeys) return;
  // Usually the cursor's own slot; a structure that held fields before
  // this run of keys (a repeated key merging into it) starts with another
  // key. Either way the shape is exactly the keys of `fields`.
  KeyShape& shape = shapes_[NodeAccess::key(fields[0])->hash % kSlots];
  forget(shape);
  bool unique = true;
  bool inOrder = true;
  for (std::size_t i = 0; i < count; ++i) {
    shape.keys[i] = NodeAccess::key(fields[i]);
    InternTable::retain(shape.keys[i]);
    shape.order[i] = order[i];
    if (order[i] != i) inOrder = false;
    if (i != 0 && NodeAccess::key(fields[order[i]]) == NodeAccess::key(fields[order[i - 1]])) {
      unique = false;
    }
  }
  shape.count = static_cast<std::uint32_t>(count);
  shape.unique = unique;
  shape.inOrder = inOrder;
}

void KeyShapes::forget(KeyShape& shape) noexcept {
  for (std::uint32_t i = 0; i < shape.count; ++i) context_->release(shape.keys[i]);
  shape.count = 0;
}

void KeyShapes::release() noexcept {
  if (context_ == nullptr) return;
  for (KeyShape& shape : shapes_) forget(shape);
  context_ = nullptr;
}

void applyKeyOrder(Field* fields, const std::uint8_t* order, std::size_t count) noexcept {
  alignas(Field) unsigned char copy[kMaxShapeKeys * sizeof(Field)];
  std::memcpy(copy, static_cast<const void*>(fields), count * sizeof(Field));
  const auto* arrival = reinterpret_cast<const Field*>(copy);
  // Tree nodes refer to their context and records, never to their own
  // address, so fields move as plain bytes.
  for (std::size_t i = 0; i < count; ++i) {
    std::memcpy(static_cast<void*>(&fields[i]), static_cast<const void*>(&arrival[order[i]]),
                sizeof(Field));
  }
}

}  // namespace zel::binding::internal

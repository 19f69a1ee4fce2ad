#include "binding/key_shapes.h"

#include <bit>
#include <cstring>

#include "binding/internal/intern_table.h"
#include "binding/internal/value_context.h"
#include "binding/value_records.h"

namespace zel::binding::internal {
namespace {

bool sameText(const StringRecord* record, std::string_view text) noexcept {
  return record->length == text.size() &&
         std::memcmp(record->text(), text.data(), text.size()) == 0;
}

// The first four bytes of a key as a big-endian number (zeros past its
// end): most keys are ordered by it alone.
std::uint32_t keyPrefix(const StringRecord* key) noexcept {
  const auto* text = reinterpret_cast<const unsigned char*>(key->text());
  std::uint32_t prefix = 0;
  for (std::uint32_t i = 0; i < 4; ++i) {
    prefix <<= 8;
    if (i < key->length) prefix |= text[i];
  }
  return prefix;
}

// The position of `key` among the first `count` of `keys`, or `count`.
std::uint32_t positionOf(StringRecord* const* keys, std::uint32_t count,
                         const StringRecord* key) noexcept {
  std::uint32_t i = 0;
  while (i < count && keys[i] != key) ++i;
  return i;
}

}  // namespace

KeyShapes::KeyShapes() noexcept {
  for (KeyShape& shape : shapes_) {
    shape.count = 0;
    shape.lastUsed = 0;
  }
}

KeyShape* KeyShapes::shapeOf(const StringRecord* firstKey) noexcept {
  for (const std::uint32_t slot : shapeSlots(firstKey->hash)) {
    KeyShape& shape = shapes_[slot];
    if (shape.count != 0 && shape.keys[0] == firstKey) return &shape;
  }
  return nullptr;
}

KeyShape& KeyShapes::slotFor(const StringRecord* firstKey) noexcept {
  const std::array<std::uint32_t, 2> slots = shapeSlots(firstKey->hash);
  KeyShape& first = shapes_[slots[0]];
  KeyShape& second = shapes_[slots[1]];
  // The slot used longer ago; an empty one never was.
  return second.lastUsed < first.lastUsed ? second : first;
}

StringRecord* KeyShapes::otherKey(ShapeCursor& cursor, ValueContext& context, std::string_view text,
                                  bool first) {
  if (first) {
    StringRecord* record = context.intern(text);
    if (context_ == nullptr) context_ = &context;
    if (context_ != &context) {
      cursor = ShapeCursor{nullptr, 0, 0, false, false};
      return record;
    }
    KeyShape* shape = shapeOf(record);
    if (shape == nullptr) {
      cursor = ShapeCursor{nullptr, 0, 0, false, true};
      return record;
    }
    shape->lastUsed = ++uses_;
    cursor = ShapeCursor{shape, 1, 1, true, true};
    return record;
  }
  if (cursor.next != 0) {
    const KeyShape& shape = *cursor.shape;
    // A later key of the shape, when this structure leaves some of its
    // keys out.
    for (std::uint32_t i = cursor.next; i < shape.count; ++i) {
      StringRecord* record = shape.keys[i];
      if (!sameText(record, text)) continue;
      InternTable::retain(record);
      cursor.matched |= 1u << i;
      cursor.next = i + 1;
      return record;
    }
    cursor.exact = false;
  }
  return context.intern(text);
}

bool KeyShapes::recall(const ShapeCursor& cursor, Field* fields, std::size_t count) noexcept {
  if (!cursor.exact) return false;
  const KeyShape& shape = *cursor.shape;
  // A structure nested in this one may have changed the shape meanwhile:
  // only fields that hold the shape's keys at the matched places take its
  // order. Each matched place gets the arrival position of its field.
  std::uint8_t arrivalOf[kMaxShapeKeys];
  std::size_t field = 0;
  for (std::uint32_t bits = cursor.matched; bits != 0; bits &= bits - 1) {
    const auto position = static_cast<std::uint32_t>(std::countr_zero(bits));
    if (field == count || position >= shape.count ||
        NodeAccess::key(fields[field]) != shape.keys[position]) {
      return false;
    }
    arrivalOf[position] = static_cast<std::uint8_t>(field++);
  }
  if (field != count) return false;
  if (count == shape.count) {
    // Every key of the shape is present: its own order is the one.
    if (!shape.inOrder) applyKeyOrder(fields, shape.order.data(), count);
    return true;
  }
  // The shape's key order, kept to the keys present.
  std::uint8_t order[kMaxShapeKeys];
  std::size_t placed = 0;
  bool inOrder = true;
  for (std::uint32_t i = 0; i < shape.count; ++i) {
    const std::uint32_t position = shape.order[i];
    if ((cursor.matched >> position & 1u) == 0) continue;
    if (arrivalOf[position] != placed) inOrder = false;
    order[placed++] = arrivalOf[position];
  }
  if (!inOrder) applyKeyOrder(fields, order, count);
  return true;
}

void KeyShapes::remember(const ShapeCursor& cursor, const Field* fields,
                         std::size_t count) noexcept {
  if (!cursor.learns || count == 0 || count > kMaxShapeKeys) return;
  // Usually the cursor's own shape; a structure that held fields before
  // this run of keys (a repeated key merging into it) starts with another
  // key. Either way the shape learnt is one its fields follow.
  StringRecord* first = NodeAccess::key(fields[0]);
  KeyShape* found = shapeOf(first);
  KeyShape& shape = found != nullptr ? *found : slotFor(first);
  StringRecord* merged[kMaxShapeKeys];
  std::uint32_t size = 0;
  bool replace = found == nullptr;
  if (!replace) {
    // Walk the fields along the shape: keys it has must come in its order;
    // a new key goes in after the shape's key before it.
    std::uint32_t taken = 0;  // shape keys copied into `merged`
    bool added = false;
    for (std::size_t i = 0; i < count && !replace; ++i) {
      StringRecord* key = NodeAccess::key(fields[i]);
      const std::uint32_t position = positionOf(shape.keys.data(), shape.count, key);
      if (position < taken) {
        replace = true;  // out of the shape's order, or a repeated key
      } else if (position < shape.count) {
        if (size + (position + 1 - taken) > kMaxShapeKeys) {
          replace = true;
          break;
        }
        while (taken <= position) merged[size++] = shape.keys[taken++];
      } else {
        if (positionOf(merged, size, key) != size) return;  // a repeated key
        if (size == kMaxShapeKeys) {
          replace = true;
          break;
        }
        merged[size++] = key;
        added = true;
      }
    }
    if (!replace) {
      if (!added) return;  // the shape has every key already
      if (size + (shape.count - taken) > kMaxShapeKeys) {
        replace = true;
      } else {
        while (taken < shape.count) merged[size++] = shape.keys[taken++];
      }
    }
  }
  if (replace) {
    size = 0;
    for (std::size_t i = 0; i < count; ++i) {
      StringRecord* key = NodeAccess::key(fields[i]);
      if (positionOf(merged, size, key) != size) return;  // a repeated key
      merged[size++] = key;
    }
  }
  for (std::uint32_t i = 0; i < size; ++i) InternTable::retain(merged[i]);
  forget(shape);
  std::memcpy(shape.keys.data(), merged, size * sizeof(StringRecord*));
  keyOrder(shape.keys.data(), size, shape.order.data());
  shape.count = size;
  shape.inOrder = true;
  for (std::uint32_t i = 0; i < size; ++i) shape.inOrder = shape.inOrder && shape.order[i] == i;
  shape.lastUsed = ++uses_;
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

void keyOrder(StringRecord* const* keys, std::size_t count, std::uint8_t* order) noexcept {
  // Insertion sort over (prefix, position) pairs.
  struct Entry {
    std::uint32_t prefix;
    std::uint32_t position;
  };
  Entry entries[kMaxShapeKeys];
  for (std::size_t i = 0; i < count; ++i) {
    entries[i] = {keyPrefix(keys[i]), static_cast<std::uint32_t>(i)};
  }
  const auto less = [keys](const Entry& a, const Entry& b) noexcept {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return compareKeys(keys[a.position]->view(), keys[b.position]->view()) < 0;
  };
  for (std::size_t i = 1; i < count; ++i) {
    const Entry current = entries[i];
    std::size_t j = i;
    for (; j > 0 && less(current, entries[j - 1]); --j) entries[j] = entries[j - 1];
    entries[j] = current;
  }
  for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint8_t>(entries[i].position);
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

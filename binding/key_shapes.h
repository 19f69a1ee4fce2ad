// KeyShapes: the keys of structures a reader built recently, so that the
// next structure of the same shape is keyed and ordered cheaply. Documents
// repeat a few shapes many times (every record of a catalogue has the same
// fields in the same order, some leaving optional ones out): a key that
// equals one the remembered shape has next is taken by comparing its text
// with that record, without hashing and probing the intern table, and a
// structure whose keys all followed the shape is put into key order by the
// remembered order, without a sort.
//
//   KeyShapes shapes;                  // one per read; declared after the tree
//   ShapeCursor cursor{};              // one per structure being built
//   StringRecord* key = shapes.key(cursor, context, "name", /*first=*/true);
//   ...                                // fields appended in arrival order
//   if (!shapes.recall(cursor, fields, count)) { sort; shapes.remember(...); }
//
// A shape is found by its first key. Every key a shape holds is a counted
// reference in the context of the tree being read, so the shapes must be
// released (release() or the destructor) while that context lives, before
// the tree can be dropped. A reader reads into one tree: keys of another
// context are interned as usual and never remembered.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "binding/internal/intern_table.h"
#include "binding/string_record.h"
#include "binding/value.h"

namespace zel::binding::internal {

// Structures up to this many fields are remembered (and sorted in place).
inline constexpr std::size_t kMaxShapeKeys = 24;

// The keys that structures starting with one key were seen to have, in the
// order they arrive: optional keys that some structures leave out are kept
// in their place, so every structure of the shape follows it. No key occurs
// twice.
struct KeyShape {
  std::array<StringRecord*, kMaxShapeKeys> keys;  // counted references
  // order[i]: the position in `keys` of the i-th key in key order.
  std::array<std::uint8_t, kMaxShapeKeys> order;
  std::uint32_t count;     // 0: nothing remembered
  std::uint32_t lastUsed;  // when a structure last followed or changed it
  bool inOrder;            // the keys are in key order already
};

// Where one structure being built stands against the shape remembered for
// its first key.
struct ShapeCursor {
  // The shape of its first key; null before that key, when there is none,
  // or when the keys belong to another context.
  KeyShape* shape;
  // One past the shape position of the last key matched; 0 when the shape
  // does not start with this structure's first key (no key is matched then).
  std::uint32_t next;
  std::uint32_t matched;  // bit p: the shape's key p is among the fields
  bool exact;             // every key so far was one of the shape's, in its order
  bool learns;            // its keys may be remembered (they are of the shapes' context)
};

static_assert(kMaxShapeKeys <= 32, "ShapeCursor::matched has a bit per key");

// Shapes are kept in this many slots. The hash of its first key gives a
// shape two slots to be in, so that two kinds of structure of a document
// that meet in one slot can both stay.
inline constexpr std::size_t kShapeSlots = 32;

// The two slots of a shape whose first key has `hash`: from its low bits
// and from the next ones.
[[nodiscard]] constexpr std::array<std::uint32_t, 2> shapeSlots(std::uint32_t hash) noexcept {
  const std::uint32_t first = hash % kShapeSlots;
  const std::uint32_t second = hash / kShapeSlots % kShapeSlots;
  return {first, second != first ? second : second ^ 1u};
}

class KeyShapes {
 public:
  KeyShapes() noexcept;
  KeyShapes(const KeyShapes&) = delete;
  KeyShapes& operator=(const KeyShapes&) = delete;
  ~KeyShapes() { release(); }

  // The record of `text` in `context`, with one more reference, for the
  // next field of the structure `cursor` follows; `first` for its first
  // field. Throws std::bad_alloc when memory is exhausted.
  [[nodiscard]] StringRecord* key(ShapeCursor& cursor, ValueContext& context, std::string_view text,
                                  bool first) {
    // Most keys are the shape's next one.
    if (!first && cursor.next != 0 && cursor.next < cursor.shape->count) {
      StringRecord* record = cursor.shape->keys[cursor.next];
      if (record->length == text.size() &&
          std::memcmp(record->text(), text.data(), text.size()) == 0) {
        InternTable::retain(record);
        cursor.matched |= 1u << cursor.next;
        ++cursor.next;
        return record;
      }
    }
    return otherKey(cursor, context, text, first);
  }

  // For a structure whose `count` fields are in arrival order: when each
  // key was the remembered shape's, in its order, puts the fields into key
  // order and returns true. Otherwise leaves them and returns false.
  bool recall(const ShapeCursor& cursor, Field* fields, std::size_t count) noexcept;

  // Learns the keys of `fields` (arrival order, `count` of them): they are
  // added to the shape of their first key where they fit its order, or
  // replace it. Structures beyond kMaxShapeKeys fields or that repeat a key
  // are not remembered, nor any when `cursor` met keys of another context.
  void remember(const ShapeCursor& cursor, const Field* fields, std::size_t count) noexcept;

  // Drops every remembered key.
  void release() noexcept;

 private:
  // key() for all but the shape's next key.
  StringRecord* otherKey(ShapeCursor& cursor, ValueContext& context, std::string_view text,
                         bool first);
  // The shape that starts with `firstKey`, or null.
  KeyShape* shapeOf(const StringRecord* firstKey) noexcept;
  // Of the two slots of `firstKey`, the one to give a new shape.
  KeyShape& slotFor(const StringRecord* firstKey) noexcept;
  void forget(KeyShape& shape) noexcept;

  std::array<KeyShape, kShapeSlots> shapes_;
  ValueContext* context_ = nullptr;  // of every remembered key
  std::uint32_t uses_ = 0;           // a clock for KeyShape::lastUsed
};

// The key order of `count` (at most kMaxShapeKeys) keys: order[i] is the
// position in `keys` of the i-th in key order; equal keys keep their order.
void keyOrder(StringRecord* const* keys, std::size_t count, std::uint8_t* order) noexcept;

// Puts the first `count` (at most kMaxShapeKeys) fields into the order
// `order` gives (the arrival position of each field in its new place).
void applyKeyOrder(Field* fields, const std::uint8_t* order, std::size_t count) noexcept;

}  // namespace zel::binding::internal

// Bulk building of structures for the readers: fields are appended in the
// order their keys arrive, without a lookup, and put into key order once the
// structure is complete, with one field left per key. Keys that arrive out of
// order then cost one sort per structure instead of a move per key.
//
//   ValueNode& slot = appendField(structure, "name");   // no lookup, no order
//   ...                                                 // fill the slots
//   finishFields(structure, RepeatedKey::Replace);      // key order again
//
// Between the first appendField and finishFields the structure is out of
// order: only the reader that builds it may touch it (field() and find() need
// the order). Keys are interned in the structure's context as field() does.
//
// A reader that builds many structures passes its KeyShapes and one
// ShapeCursor per open structure to the overloads that take them: keys and
// order then come from the remembered shapes wherever they match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/key_shapes.h"
#include "binding/value.h"

namespace zel::binding::internal {

// What a later field under a key already present does to the earlier one.
enum class RepeatedKey {
  // The later value replaces the earlier one, an empty one included.
  Replace,
  // An empty later value leaves the earlier one; a structure after a
  // structure adds its fields (by the same rule), a collection after a
  // collection appends its elements; anything else replaces.
  Merge,
};

// Fields gathered apart from their structure, in arrival order, by a reader
// that learns the field count only at the end: the structure's own array is
// then allocated once, at its final size. The buffer is reused from one
// structure to the next; releasePending frees it and any field left in it.
struct PendingFields {
  Field* data;
  std::uint32_t size;
  std::uint32_t capacity;
  ValueContext* context;  // of the fields' tree, set by the first append
};

// An empty PendingFields.
[[nodiscard]] constexpr PendingFields noPendingFields() noexcept {
  return {nullptr, 0, 0, nullptr};
}

// Appends an empty field under `key`, interned in the context of
// `structure`, to `pending` and returns its node. Throws std::bad_alloc when
// memory is exhausted.
[[nodiscard]] ValueNode& appendPending(PendingFields& pending, ValueNode& structure,
                                       std::string_view key);
[[nodiscard]] ValueNode& appendPending(PendingFields& pending, ValueNode& structure,
                                       std::string_view key, KeyShapes& shapes,
                                       ShapeCursor& cursor);

// Moves the fields of `pending` into `structure` (after any it holds), then
// finishes it as finishFields does. `pending` keeps its buffer, empty. When
// memory runs out the fields stay in `pending`.
void adoptPending(PendingFields& pending, ValueNode& structure, RepeatedKey rule);
void adoptPending(PendingFields& pending, ValueNode& structure, RepeatedKey rule, KeyShapes& shapes,
                  const ShapeCursor& cursor);

// Releases the fields left in `pending` and frees its buffer.
void releasePending(PendingFields& pending) noexcept;

// Makes `node` a structure (as makeStructure does) with room for `count`
// fields in all.
void reserveFields(ValueNode& node, std::size_t count);

// Appends an empty field under `key` to `structure`, which must be a
// structure, and returns its node. Throws std::bad_alloc when memory is exhausted.
[[nodiscard]] ValueNode& appendField(ValueNode& structure, std::string_view key);
[[nodiscard]] ValueNode& appendField(ValueNode& structure, std::string_view key, KeyShapes& shapes,
                                     ShapeCursor& cursor);

// For a reader that must find the field of a repeated key while it builds:
// the field under `key` of `structure`, whose fields are in arrival order
// (appended with `shapes` and `cursor`), appending an empty one when the key
// is new. The search compares key records, which one context interns once;
// it is meant for structures of a few dozen fields. A structure of a
// remembered shape gets room for all of the shape's fields at its first key;
// finishFields with the shapes gives back most of the room it left unused.
// Throws std::bad_alloc when memory is exhausted.
[[nodiscard]] Field& findOrAppendField(ValueNode& structure, std::string_view key,
                                       KeyShapes& shapes, ShapeCursor& cursor);

// The field under `key` of a structure whose fields may be in arrival
// order, or the shared empty node.
[[nodiscard]] const ValueNode& findInArrivalOrder(const ValueNode& structure,
                                                  std::string_view key) noexcept;

// Appends an empty element to `collection`, which must be a collection, and
// returns it: append() without its checks, for readers that reserved the
// room. Throws std::bad_alloc when memory is exhausted.
[[nodiscard]] ValueNode& appendElement(ValueNode& collection);

// Sorts the fields of `structure` by key (a stable sort: fields under one key
// keep their arrival order) and folds every repeated key into its first
// field by `rule`. Does nothing to a value that is not a structure. Throws
// std::bad_alloc when memory is exhausted, leaving every field in place.
// With the shapes, a structure left with more than twice its fields' room
// (and more than four) is shrunk to its fields.
void finishFields(ValueNode& structure, RepeatedKey rule);
void finishFields(ValueNode& structure, RepeatedKey rule, KeyShapes& shapes,
                  const ShapeCursor& cursor);

}  // namespace zel::binding::internal

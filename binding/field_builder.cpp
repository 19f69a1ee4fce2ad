#include "binding/field_builder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "binding/internal/value_context.h"
#include "binding/internal/value_tree.h"
#include "binding/key_shapes.h"
#include "binding/string_record.h"
#include "binding/value_records.h"
#include "memory/memory.h"

namespace zel::binding::internal {
namespace {

// Structures up to this many fields are sorted in place by insertion.
constexpr std::size_t kInsertionSortLimit = kMaxShapeKeys;

constexpr auto kCollection = static_cast<std::uint8_t>(ValueKind::Collection);
constexpr auto kStructure = static_cast<std::uint8_t>(ValueKind::Structure);

// Tree nodes refer to their context and records, never to their own address,
// so fields move as plain bytes.
void moveField(Field* to, const Field* from) noexcept {
  std::memcpy(static_cast<void*>(to), static_cast<const void*>(from), sizeof(Field));
}

bool before(const Field& a, const Field& b) noexcept {
  return compareKeys(NodeAccess::key(a)->view(), NodeAccess::key(b)->view()) < 0;
}

// A stable sort of an index, then one pass that lays the fields out in a new
// array of the same capacity.
void sortThroughIndex(ArrayRecord& record) {
  const auto* fields = static_cast<const Field*>(record.data);
  const std::size_t count = record.size;
  // Every entry is written before it is read, so the index is not zeroed first.
  const std::unique_ptr<std::uint32_t[]> order(new std::uint32_t[count]);
  for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint32_t>(i);
  std::stable_sort(order.get(), order.get() + count, [fields](std::uint32_t a, std::uint32_t b) {
    return before(fields[a], fields[b]);
  });
  void* sorted = memory::allocate(std::size_t{record.capacity} * sizeof(Field));
  if (sorted == nullptr) throw std::bad_alloc();
  auto* target = static_cast<Field*>(sorted);
  for (std::size_t i = 0; i < count; ++i) moveField(&target[i], &fields[order[i]]);
  memory::release(record.data);
  record.data = sorted;
}

void merge(ValueNode& earlier, ValueNode& later, RepeatedKey rule);

// Moves the content of `from` into `to`, releasing what `to` held; both
// nodes belong to one tree.
void take(ValueNode& to, ValueNode& from) noexcept {
  releasePayload(NodeAccess::kind(to), NodeAccess::payload(to), NodeAccess::context(to));
  NodeAccess::kind(to) = NodeAccess::kind(from);
  NodeAccess::payload(to) = NodeAccess::payload(from);
  NodeAccess::kind(from) = 0;
  NodeAccess::payload(from).raw = 0;
}

void mergeStructures(ValueNode& earlier, ValueNode& later, RepeatedKey rule) {
  for (Field& field : later.fields()) {
    merge(earlier.field(field.key()), NodeAccess::value(field), rule);
  }
}

void mergeCollections(ValueNode& earlier, ValueNode& later) {
  std::span<ValueNode> elements = later.elements();
  const std::size_t first = earlier.size();
  earlier.reserve(first + elements.size());
  for (std::size_t i = 0; i < elements.size(); ++i) {
    take(earlier.element(first + i), elements[i]);
  }
}

// Folds `later` into `earlier`; what is left of `later` is for the caller to release.
void merge(ValueNode& earlier, ValueNode& later, RepeatedKey rule) {
  const std::uint8_t kind = NodeAccess::kind(later);
  if (rule == RepeatedKey::Merge) {
    if (kind == 0) return;
    if (kind == NodeAccess::kind(earlier)) {
      if (kind == kStructure) return mergeStructures(earlier, later, rule);
      if (kind == kCollection) return mergeCollections(earlier, later);
    }
  }
  take(earlier, later);
}

// Folds each run of fields under one key (already adjacent) into its first
// field. A folded field is left dead (the shared empty key, an empty value)
// and the live ones are swapped forward over the dead, so the array stays
// safe to release if a merge runs out of memory halfway.
void foldRepeatedKeys(ArrayRecord& record, ValueContext& context, RepeatedKey rule) {
  auto* fields = static_cast<Field*>(record.data);
  const std::size_t count = record.size;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    // One context interns each text once, so equal keys are one record.
    if (kept != 0 && NodeAccess::key(fields[kept - 1]) == NodeAccess::key(fields[i])) {
      ValueNode& later = NodeAccess::value(fields[i]);
      merge(NodeAccess::value(fields[kept - 1]), later, rule);
      releasePayload(NodeAccess::kind(later), NodeAccess::payload(later), &context);
      context.release(NodeAccess::key(fields[i]));
      NodeAccess::initField(&fields[i], emptyStringRecord(), &context);
      continue;
    }
    if (kept != i) {
      alignas(Field) unsigned char dead[sizeof(Field)];
      moveField(reinterpret_cast<Field*>(dead), &fields[kept]);
      moveField(&fields[kept], &fields[i]);
      moveField(&fields[i], reinterpret_cast<Field*>(dead));
    }
    ++kept;
  }
  record.size = static_cast<std::uint32_t>(kept);
}

// Room for one more field in `record`, and where it goes.
Field* nextField(ArrayRecord& record) {
  if (record.size == record.capacity) {
    growArray(record, std::max<std::size_t>(4, std::size_t{record.size} * 2), sizeof(Field));
  }
  return static_cast<Field*>(record.data) + record.size;
}

// Room for one more field in `pending`.
void reservePending(PendingFields& pending) {
  if (pending.size == pending.capacity) {
    const std::size_t capacity = std::max<std::size_t>(16, std::size_t{pending.capacity} * 2);
    if (capacity > UINT32_MAX / sizeof(Field)) throw std::bad_alloc();
    void* grown = memory::reallocate(pending.data, capacity * sizeof(Field));
    if (grown == nullptr) throw std::bad_alloc();
    pending.data = static_cast<Field*>(grown);
    pending.capacity = static_cast<std::uint32_t>(capacity);
  }
}

ValueNode& pushPending(PendingFields& pending, ValueContext* context, StringRecord* key) noexcept {
  pending.context = context;
  Field* field = pending.data + pending.size;
  NodeAccess::initField(field, key, context);
  ++pending.size;
  return NodeAccess::value(*field);
}

// Moves the fields of `pending` after those of `record`.
void movePending(PendingFields& pending, ArrayRecord& record) {
  growArray(record, std::size_t{record.size} + pending.size, sizeof(Field));
  std::memcpy(static_cast<void*>(static_cast<Field*>(record.data) + record.size),
              static_cast<const void*>(pending.data), pending.size * sizeof(Field));
  record.size += pending.size;
  pending.size = 0;
}

bool inKeyOrder(const ArrayRecord& record) noexcept {
  const auto* fields = static_cast<const Field*>(record.data);
  for (std::size_t i = 1; i < record.size; ++i) {
    if (!before(fields[i - 1], fields[i])) return false;
  }
  return true;
}

// Sorts the fields of a structure (in arrival order) and folds repeated
// keys; small structures are remembered in `shapes` on the way, when given.
void sortFields(ArrayRecord& record, ValueContext& context, RepeatedKey rule, KeyShapes* shapes,
                const ShapeCursor* cursor) {
  auto* fields = static_cast<Field*>(record.data);
  const std::size_t count = record.size;
  if (count <= kInsertionSortLimit) {
    StringRecord* keys[kInsertionSortLimit];
    for (std::size_t i = 0; i < count; ++i) keys[i] = NodeAccess::key(fields[i]);
    std::uint8_t order[kInsertionSortLimit];
    keyOrder(keys, count, order);
    if (shapes != nullptr) shapes->remember(*cursor, fields, count);
    applyKeyOrder(fields, order, count);
  } else {
    if (inKeyOrder(record)) return;
    sortThroughIndex(record);
  }
  foldRepeatedKeys(record, context, rule);
}

// Gives back the room a remembered shape reserved (findOrAppendField) and
// the finished structure left unused: small structures that start with the
// key of a large shape would each keep the large one's room. What is left
// is no more than growth by doubling leaves. When memory refuses the smaller
// block the structure keeps its room.
void giveBackUnusedRoom(ArrayRecord& record) noexcept {
  if (record.size == 0 ||
      record.capacity <= std::max<std::size_t>(4, std::size_t{record.size} * 2)) {
    return;
  }
  void* trimmed = memory::reallocate(record.data, std::size_t{record.size} * sizeof(Field));
  if (trimmed == nullptr) return;
  record.data = trimmed;
  record.capacity = record.size;
}

}  // namespace

void reserveFields(ValueNode& node, std::size_t count) {
  node.makeStructure();
  growArray(*NodeAccess::payload(node).array, count, sizeof(Field));
}

ValueNode& appendField(ValueNode& structure, std::string_view key) {
  ArrayRecord& record = *NodeAccess::payload(structure).array;
  Field* field = nextField(record);
  ValueContext* context = NodeAccess::context(structure);
  NodeAccess::initField(field, context->intern(key), context);
  ++record.size;
  return NodeAccess::value(*field);
}

ValueNode& appendField(ValueNode& structure, std::string_view key, KeyShapes& shapes,
                       ShapeCursor& cursor) {
  ArrayRecord& record = *NodeAccess::payload(structure).array;
  Field* field = nextField(record);
  ValueContext* context = NodeAccess::context(structure);
  NodeAccess::initField(field, shapes.key(cursor, *context, key, record.size == 0), context);
  ++record.size;
  return NodeAccess::value(*field);
}

Field& findOrAppendField(ValueNode& structure, std::string_view key, KeyShapes& shapes,
                         ShapeCursor& cursor) {
  ArrayRecord& record = *NodeAccess::payload(structure).array;
  ValueContext* context = NodeAccess::context(structure);
  const bool first = record.size == 0;
  StringRecord* interned = shapes.key(cursor, *context, key, first);
  auto* fields = static_cast<Field*>(record.data);
  for (std::uint32_t i = 0; i < record.size; ++i) {
    if (NodeAccess::key(fields[i]) == interned) {
      context->release(interned);
      return fields[i];
    }
  }
  if (record.size == record.capacity) {
    std::size_t room = std::max<std::size_t>(4, std::size_t{record.size} * 2);
    if (first && cursor.shape != nullptr) room = std::max<std::size_t>(room, cursor.shape->count);
    try {
      growArray(record, room, sizeof(Field));
    } catch (...) {
      context->release(interned);
      throw;
    }
  }
  Field* field = static_cast<Field*>(record.data) + record.size;
  NodeAccess::initField(field, interned, context);
  ++record.size;
  return *field;
}

const ValueNode& findInArrivalOrder(const ValueNode& structure, std::string_view key) noexcept {
  for (const Field& field : structure.fields()) {
    if (field.key() == key) return field.value();
  }
  return ValueNode::sharedEmpty();
}

ValueNode& appendElement(ValueNode& collection) {
  ArrayRecord& record = *NodeAccess::payload(collection).array;
  if (record.size == record.capacity) {
    growArray(record, std::max<std::size_t>(4, std::size_t{record.size} * 2), sizeof(ValueNode));
  }
  ValueNode* node = static_cast<ValueNode*>(record.data) + record.size;
  NodeAccess::initNode(node, NodeAccess::context(collection));
  ++record.size;
  return *node;
}

ValueNode& appendPending(PendingFields& pending, ValueNode& structure, std::string_view key) {
  reservePending(pending);
  ValueContext* context = NodeAccess::context(structure);
  return pushPending(pending, context, context->intern(key));
}

ValueNode& appendPending(PendingFields& pending, ValueNode& structure, std::string_view key,
                         KeyShapes& shapes, ShapeCursor& cursor) {
  reservePending(pending);
  ValueContext* context = NodeAccess::context(structure);
  return pushPending(pending, context, shapes.key(cursor, *context, key, pending.size == 0));
}

void adoptPending(PendingFields& pending, ValueNode& structure, RepeatedKey rule) {
  if (pending.size != 0) movePending(pending, *NodeAccess::payload(structure).array);
  finishFields(structure, rule);
}

void adoptPending(PendingFields& pending, ValueNode& structure, RepeatedKey rule, KeyShapes& shapes,
                  const ShapeCursor& cursor) {
  ArrayRecord& record = *NodeAccess::payload(structure).array;
  // Fields that follow a remembered shape are put in order before they move.
  const bool ordered =
      record.size == 0 && pending.size >= 2 && shapes.recall(cursor, pending.data, pending.size);
  if (pending.size != 0) movePending(pending, record);
  if (!ordered && record.size >= 2) {
    sortFields(record, *NodeAccess::context(structure), rule, &shapes, &cursor);
  }
}

void releasePending(PendingFields& pending) noexcept {
  for (std::uint32_t i = 0; i < pending.size; ++i) {
    const ValueNode& value = NodeAccess::value(pending.data[i]);
    releasePayload(NodeAccess::kind(value), NodeAccess::payload(value), pending.context);
    pending.context->release(NodeAccess::key(pending.data[i]));
  }
  memory::release(pending.data);
  pending = noPendingFields();
}

void finishFields(ValueNode& structure, RepeatedKey rule) {
  if (structure.kind() != ValueKind::Structure) return;
  ArrayRecord& record = *NodeAccess::payload(structure).array;
  // Documents written in key order, and copies, are the common case.
  if (inKeyOrder(record)) return;
  sortFields(record, *NodeAccess::context(structure), rule, nullptr, nullptr);
}

void finishFields(ValueNode& structure, RepeatedKey rule, KeyShapes& shapes,
                  const ShapeCursor& cursor) {
  if (structure.kind() != ValueKind::Structure) return;
  ArrayRecord& record = *NodeAccess::payload(structure).array;
  if (record.size >= 2 && !shapes.recall(cursor, static_cast<Field*>(record.data), record.size)) {
    sortFields(record, *NodeAccess::context(structure), rule, &shapes, &cursor);
  }
  giveBackUnusedRoom(record);
}

}  // namespace zel::binding::internal

// The records behind the values of kind blob, enum, collection and
// structure, taken from the cell pools of the tree's context, and NodeAccess,
// the one door through which the tree algorithms reach a node's fields.
//
//   ArrayRecord* record = newArrayRecord(context);   // from the 12-byte pool
//   record->data = ...;                              // bytes, nodes or fields
//
// A collection's data is an array of ValueNode, a structure's an array of
// Field sorted by key, a blob's the bytes; each array comes from zel::memory
// and belongs to its record, which belongs to the node holding it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/value.h"

namespace zel::binding::internal {

struct ArrayRecord {
  void* data;
  std::uint32_t size;
  union {
    std::uint32_t capacity;
    // While a tree is torn down, the records waiting for it are chained here.
    ArrayRecord* nextPending;
  };
};

struct EnumRecord {
  std::int32_t number;
  std::uint32_t typeId;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ArrayRecord) == 12);
static_assert(sizeof(EnumRecord) == 8);
static_assert(sizeof(ValueNode) == 16);
static_assert(sizeof(BindingValue) == 16);
#endif

struct NodeAccess {
  using Payload = ValueNode::Payload;

  static std::uint8_t& kind(ValueNode& node) noexcept { return node.kind_; }
  static std::uint8_t kind(const ValueNode& node) noexcept { return node.kind_; }
  static Payload& payload(ValueNode& node) noexcept { return node.payload_; }
  static const Payload& payload(const ValueNode& node) noexcept { return node.payload_; }
  static ValueContext*& context(ValueNode& node) noexcept { return node.context_; }
  static ValueContext* context(const ValueNode& node) noexcept { return node.context_; }

  // Constructs an empty, non-standalone node of a tree in raw storage.
  static void initNode(ValueNode* node, ValueContext* context) noexcept {
    node->payload_.raw = 0;
    node->context_ = context;
    node->kind_ = 0;
    node->standalone_ = 0;
  }
  static void initField(Field* field, StringRecord* key, ValueContext* context) noexcept {
    field->key_ = key;
    initNode(&field->value_, context);
  }
  static StringRecord* key(const Field& field) noexcept { return field.key_; }
  static ValueNode& value(Field& field) noexcept { return field.value_; }
  static const ValueNode& value(const Field& field) noexcept { return field.value_; }
  // ValueNode::field(), returning the whole entry.
  static Field& fieldEntry(ValueNode& node, std::string_view key) { return node.fieldEntry(key); }
};

}  // namespace zel::binding::internal

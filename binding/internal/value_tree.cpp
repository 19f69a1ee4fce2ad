#include "binding/internal/value_tree.h"

#include <cstring>
#include <new>

#include "binding/internal/value_context.h"
#include "binding/internal/work_stack.h"
#include "binding/string_record.h"
#include "boundary/compiler_hints.h"
#include "memory/memory.h"

namespace zel::binding::internal {
namespace {

constexpr auto kStructure = static_cast<std::uint8_t>(ValueKind::Structure);
constexpr auto kString = static_cast<std::uint8_t>(ValueKind::String);

void* allocateOrThrow(std::size_t bytes) {
  void* block = memory::allocate(bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

// Records of containers waiting to be torn down, chained through the
// records themselves so that teardown needs no memory of its own.
struct PendingLists {
  ArrayRecord* collections = nullptr;
  ArrayRecord* structures = nullptr;
};

// How a teardown gives back texts: counted down and taken out of the intern
// table, or, when the whole context is destroyed right after, counted down
// and freed while the table, about to go, keeps its slots as they are.
enum class Texts { Release, ContextEnds };

template <Texts kTexts>
inline void releaseText(StringRecord* text, ValueContext& context,
                        memory::ReleaseBatch& batch) noexcept {
  if constexpr (kTexts == Texts::Release) {
    context.release(text, batch);
  } else {
    context.releaseAsContextEnds(text, batch);
  }
}

// Frees a child's payload; a container child is chained for later.
template <Texts kTexts>
void releaseChild(std::uint8_t kind, NodeAccess::Payload payload, ValueContext& context,
                  PendingLists& pending, memory::ReleaseBatch& batch) noexcept {
  switch (static_cast<ValueKind>(kind)) {
    case ValueKind::String:
      releaseText<kTexts>(payload.string, context, batch);
      break;
    case ValueKind::Blob:
      batch.release(payload.array->data);
      context.releaseCell(payload.array, sizeof(ArrayRecord));
      break;
    case ValueKind::Enum:
      context.releaseCell(payload.enumRecord, sizeof(EnumRecord));
      break;
    case ValueKind::Collection:
      payload.array->nextPending = pending.collections;
      pending.collections = payload.array;
      break;
    case ValueKind::Structure:
      payload.array->nextPending = pending.structures;
      pending.structures = payload.array;
      break;
    default:
      break;
  }
}

// The record behind the next node of a teardown was written long ago and is
// rarely still in cache; its load starts while the current node is freed.
inline void prefetchRecord(const ValueNode& next) noexcept {
  if (NodeAccess::kind(next) >= kString) ZEL_PREFETCH_FOR_WRITE(NodeAccess::payload(next).string);
}

// Children are visited last to first, so the pending lists hand back the
// containers first to last: the order in which they were allocated.
template <Texts kTexts>
void tearDown(PendingLists& pending, ValueContext& context, memory::ReleaseBatch& batch) noexcept {
  while (pending.collections != nullptr || pending.structures != nullptr) {
    ArrayRecord* record;
    if (pending.collections != nullptr) {
      record = pending.collections;
      pending.collections = record->nextPending;
      auto* nodes = static_cast<ValueNode*>(record->data);
      for (std::uint32_t i = record->size; i-- > 0;) {
        if (i != 0) prefetchRecord(nodes[i - 1]);
        releaseChild<kTexts>(NodeAccess::kind(nodes[i]), NodeAccess::payload(nodes[i]), context,
                             pending, batch);
      }
    } else {
      record = pending.structures;
      pending.structures = record->nextPending;
      auto* fields = static_cast<Field*>(record->data);
      for (std::uint32_t i = record->size; i-- > 0;) {
        if (i != 0) prefetchRecord(NodeAccess::value(fields[i - 1]));
        releaseText<kTexts>(NodeAccess::key(fields[i]), context, batch);
        const ValueNode& value = NodeAccess::value(fields[i]);
        releaseChild<kTexts>(NodeAccess::kind(value), NodeAccess::payload(value), context, pending,
                             batch);
      }
    }
    batch.release(record->data);
    context.releaseCell(record, sizeof(ArrayRecord));
  }
}

struct CopyTask {
  const ArrayRecord* source;
  ArrayRecord* target;
  bool structure;
};
using CopyTasks = WorkStack<CopyTask, 32>;

StringRecord* copyText(StringRecord* text, const ValueNode& source, ValueContext* context) {
  if (text->isShared()) return text;
  if (NodeAccess::context(source) == context) {
    InternTable::retain(text);
    return text;
  }
  return context->intern(text->view());
}

// Copies one node; containers get their arrays of empty entries (and keys)
// now and their children later, through a task.
void copyShallow(ValueNode& target, const ValueNode& source, ValueContext* context,
                 CopyTasks& tasks) {
  const std::uint8_t kind = NodeAccess::kind(source);
  const NodeAccess::Payload& from = NodeAccess::payload(source);
  NodeAccess::Payload& to = NodeAccess::payload(target);
  switch (static_cast<ValueKind>(kind)) {
    case ValueKind::Empty:
      return;
    case ValueKind::Bool:
    case ValueKind::Signed:
    case ValueKind::Unsigned:
    case ValueKind::Float:
      to = from;
      break;
    case ValueKind::String:
      to.string = copyText(from.string, source, context);
      break;
    case ValueKind::Blob:
      to.array = newBlobRecord(*context, from.array->data, from.array->size);
      break;
    case ValueKind::Enum:
      to.enumRecord = newEnumRecord(*context, from.enumRecord->number, from.enumRecord->typeId);
      break;
    case ValueKind::Collection:
    case ValueKind::Structure: {
      const ArrayRecord* array = from.array;
      const bool structure = kind == kStructure;
      ArrayRecord* copy = newArrayRecord(*context);
      to.array = copy;
      NodeAccess::kind(target) = kind;
      if (array->size == 0) return;
      growArray(*copy, array->size, structure ? sizeof(Field) : sizeof(ValueNode));
      if (structure) {
        const auto* fields = static_cast<const Field*>(array->data);
        auto* copies = static_cast<Field*>(copy->data);
        for (std::uint32_t i = 0; i < array->size; ++i) {
          NodeAccess::initField(&copies[i], copyText(NodeAccess::key(fields[i]), source, context),
                                context);
          ++copy->size;
        }
      } else {
        auto* copies = static_cast<ValueNode*>(copy->data);
        for (std::uint32_t i = 0; i < array->size; ++i) NodeAccess::initNode(&copies[i], context);
        copy->size = array->size;
      }
      if (!tasks.push(CopyTask{array, copy, structure})) throw std::bad_alloc();
      return;
    }
  }
  NodeAccess::kind(target) = kind;
}

template <Texts kTexts>
void releaseTree(std::uint8_t kind, NodeAccess::Payload payload, ValueContext* context) noexcept {
  if (kind == static_cast<std::uint8_t>(ValueKind::String) && payload.string->isShared()) return;
  if (kind < static_cast<std::uint8_t>(ValueKind::String) || context == nullptr) return;
  // A teardown frees and never allocates, so its frees are counted at its end.
  memory::ReleaseBatch batch;
  PendingLists pending;
  releaseChild<kTexts>(kind, payload, *context, pending, batch);
  tearDown<kTexts>(pending, *context, batch);
}

}  // namespace

void releasePayload(std::uint8_t kind, NodeAccess::Payload payload,
                    ValueContext* context) noexcept {
  releaseTree<Texts::Release>(kind, payload, context);
}

void releaseRootAndContext(std::uint8_t kind, NodeAccess::Payload payload,
                           ValueContext* context) noexcept {
  releaseTree<Texts::ContextEnds>(kind, payload, context);
  delete context;
}

void copyTree(ValueNode& target, const ValueNode& source, ValueContext* context) {
  CopyTasks tasks;
  copyShallow(target, source, context, tasks);
  while (!tasks.empty()) {
    const CopyTask task = tasks.pop();
    if (task.structure) {
      const auto* fields = static_cast<const Field*>(task.source->data);
      auto* copies = static_cast<Field*>(task.target->data);
      for (std::uint32_t i = 0; i < task.target->size; ++i) {
        copyShallow(NodeAccess::value(copies[i]), NodeAccess::value(fields[i]), context, tasks);
      }
    } else {
      const auto* nodes = static_cast<const ValueNode*>(task.source->data);
      auto* copies = static_cast<ValueNode*>(task.target->data);
      for (std::uint32_t i = 0; i < task.target->size; ++i) {
        copyShallow(copies[i], nodes[i], context, tasks);
      }
    }
  }
}

ArrayRecord* newArrayRecord(ValueContext& context) {
  auto* record = static_cast<ArrayRecord*>(context.allocateCell(sizeof(ArrayRecord)));
  record->data = nullptr;
  record->size = 0;
  record->capacity = 0;
  return record;
}

ArrayRecord* newBlobRecord(ValueContext& context, const void* bytes, std::size_t count) {
  if (count > UINT32_MAX) throw std::bad_alloc();
  void* copy = nullptr;
  if (count != 0) {
    copy = allocateOrThrow(count);
    std::memcpy(copy, bytes, count);
  }
  ArrayRecord* record;
  try {
    record = newArrayRecord(context);
  } catch (...) {
    memory::release(copy);
    throw;
  }
  record->data = copy;
  record->size = static_cast<std::uint32_t>(count);
  record->capacity = static_cast<std::uint32_t>(count);
  return record;
}

EnumRecord* newEnumRecord(ValueContext& context, std::int32_t number, std::uint32_t typeId) {
  auto* record = static_cast<EnumRecord*>(context.allocateCell(sizeof(EnumRecord)));
  record->number = number;
  record->typeId = typeId;
  return record;
}

void growArray(ArrayRecord& record, std::size_t capacity, std::size_t entryBytes) {
  if (capacity <= record.capacity) return;
  if (capacity > UINT32_MAX / entryBytes) throw std::bad_alloc();
  void* grown = memory::reallocate(record.data, capacity * entryBytes);
  if (grown == nullptr) throw std::bad_alloc();
  record.data = grown;
  record.capacity = static_cast<std::uint32_t>(capacity);
}

}  // namespace zel::binding::internal

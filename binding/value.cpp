#include "binding/value.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "binding/internal/value_context.h"
#include "binding/internal/value_tree.h"
#include "binding/string_record.h"
#include "binding/value_records.h"
#include "memory/memory.h"

namespace zel {

namespace bi = binding::internal;
using bi::NodeAccess;

namespace {

constinit const bi::LooseNode sharedEmptyNode;

constexpr const char* kKindNames[] = {"empty",  "bool", "signed", "unsigned",   "float",
                                      "string", "blob", "enum",   "collection", "structure"};

// Whether copying `node` needs storage in the target's context.
bool needsContext(const ValueNode& node) noexcept {
  switch (node.kind()) {
    case ValueKind::String:
      return !NodeAccess::payload(node).string->isShared();
    case ValueKind::Blob:
    case ValueKind::Enum:
    case ValueKind::Collection:
    case ValueKind::Structure:
      return true;
    default:
      return false;
  }
}

// The first field whose key is not below `key`.
std::size_t lowerBound(const Field* fields, std::size_t count, std::string_view key) noexcept {
  std::size_t low = 0;
  while (count > 0) {
    const std::size_t half = count / 2;
    if (bi::compareKeys(fields[low + half].key(), key) < 0) {
      low += half + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  return low;
}

}  // namespace

const char* valueKindName(std::uint8_t code) noexcept {
  return code < std::size(kKindNames) ? kKindNames[code] : "";
}

const char* valueKindName(ValueKind kind) noexcept {
  return valueKindName(static_cast<std::uint8_t>(kind));
}

const ValueNode& ValueNode::sharedEmpty() noexcept {
  return sharedEmptyNode;
}

bi::ValueContext& ValueNode::context() {
  // Only a standalone value lacks a context; its tree gets one now.
  if (context_ == nullptr) context_ = new bi::ValueContext();
  return *context_;
}

void ValueNode::swapStorage(ValueNode& other) noexcept {
  std::swap(payload_, other.payload_);
  std::swap(context_, other.context_);
  std::swap(kind_, other.kind_);
  std::swap(standalone_, other.standalone_);
}

void ValueNode::destroy() noexcept {
  if (standalone_ == 0) return reset();
  bi::releaseRootAndContext(kind_, payload_, context_);
  kind_ = 0;
  payload_.raw = 0;
  context_ = nullptr;
}

void ValueNode::reset() noexcept {
  if (kind_ == 0) return;
  bi::releasePayload(kind_, payload_, context_);
  kind_ = 0;
  payload_.raw = 0;
}

ValueNode& ValueNode::operator=(const ValueNode& other) {
  if (this == &other) return *this;
  bi::ValueContext* target = needsContext(other) ? &context() : context_;
  // Built apart first: `other` may lie inside this node's tree, or this node
  // inside `other`.
  bi::DetachedNode copy(target);
  bi::copyTree(copy.node(), other, target);
  reset();
  copy.moveInto(*this);
  return *this;
}

ValueNode& ValueNode::operator=(ValueNode&& other) {
  if (this == &other) return *this;
  if (standalone_ != 0 && other.standalone_ != 0) {
    swapStorage(other);
    other.reset();
    return *this;
  }
  if (other.context_ != nullptr && other.context_ == context_) {
    if (other.standalone_ != 0) {
      // This node lies inside `other`'s tree and goes with it.
      other.reset();
      return *this;
    }
    // One tree: the content changes place without a copy. Detaching it first
    // keeps it safe when `other` lies inside this node.
    const std::uint8_t kind = other.kind_;
    const Payload payload = other.payload_;
    other.kind_ = 0;
    other.payload_.raw = 0;
    reset();
    kind_ = kind;
    payload_ = payload;
    return *this;
  }
  *this = static_cast<const ValueNode&>(other);
  other.reset();
  return *this;
}

std::size_t ValueNode::size() const noexcept {
  switch (kind()) {
    case ValueKind::Empty:
      return 0;
    case ValueKind::String:
      return payload_.string->length;
    case ValueKind::Blob:
    case ValueKind::Collection:
    case ValueKind::Structure:
      return payload_.array->size;
    default:
      return 1;
  }
}

void ValueNode::setBool(bool value) noexcept {
  reset();
  payload_.raw = 0;
  payload_.boolean = value;
  kind_ = static_cast<std::uint8_t>(ValueKind::Bool);
}

void ValueNode::setSigned(std::int64_t value) noexcept {
  reset();
  payload_.signedValue = value;
  kind_ = static_cast<std::uint8_t>(ValueKind::Signed);
}

void ValueNode::setUnsigned(std::uint64_t value) noexcept {
  reset();
  payload_.unsignedValue = value;
  kind_ = static_cast<std::uint8_t>(ValueKind::Unsigned);
}

void ValueNode::setFloat(double value) noexcept {
  reset();
  payload_.floatValue = value;
  kind_ = static_cast<std::uint8_t>(ValueKind::Float);
}

void ValueNode::setString(const char* text) {
  setString(text == nullptr ? std::string_view() : std::string_view(text));
}

void ValueNode::setString(std::string_view text) {
  // Interned before the reset: the text may belong to this node.
  bi::StringRecord* record = text.empty() ? bi::emptyStringRecord() : context().intern(text);
  reset();
  payload_.string = record;
  kind_ = static_cast<std::uint8_t>(ValueKind::String);
}

void ValueNode::setBlob(const void* bytes, std::size_t count) {
  bi::ArrayRecord* record = bi::newBlobRecord(context(), bytes, count);
  reset();
  payload_.array = record;
  kind_ = static_cast<std::uint8_t>(ValueKind::Blob);
}

void ValueNode::adoptBlob(void* block, std::size_t count) {
  bi::ArrayRecord* record;
  try {
    if (count > UINT32_MAX) throw std::bad_alloc();
    record = bi::newArrayRecord(context());
  } catch (...) {
    memory::release(block);
    throw;
  }
  record->data = block;
  record->size = static_cast<std::uint32_t>(count);
  record->capacity = static_cast<std::uint32_t>(count);
  reset();
  payload_.array = record;
  kind_ = static_cast<std::uint8_t>(ValueKind::Blob);
}

void ValueNode::setEnum(std::int32_t number, std::uint32_t typeId) {
  bi::EnumRecord* record = bi::newEnumRecord(context(), number, typeId);
  reset();
  payload_.enumRecord = record;
  kind_ = static_cast<std::uint8_t>(ValueKind::Enum);
}

bool ValueNode::asBool(bool fallback) const noexcept {
  return kind() == ValueKind::Bool ? payload_.boolean : fallback;
}

std::int64_t ValueNode::asSigned(std::int64_t fallback) const noexcept {
  return kind() == ValueKind::Signed ? payload_.signedValue : fallback;
}

std::uint64_t ValueNode::asUnsigned(std::uint64_t fallback) const noexcept {
  return kind() == ValueKind::Unsigned ? payload_.unsignedValue : fallback;
}

double ValueNode::asFloat(double fallback) const noexcept {
  return kind() == ValueKind::Float ? payload_.floatValue : fallback;
}

std::string_view ValueNode::asString(std::string_view fallback) const noexcept {
  return kind() == ValueKind::String ? payload_.string->view() : fallback;
}

const char* ValueNode::asCString(const char* fallback) const noexcept {
  return kind() == ValueKind::String ? payload_.string->text() : fallback;
}

std::span<const std::uint8_t> ValueNode::asBlob(
    std::span<const std::uint8_t> fallback) const noexcept {
  if (kind() != ValueKind::Blob) return fallback;
  return {static_cast<const std::uint8_t*>(payload_.array->data), payload_.array->size};
}

EnumValue ValueNode::asEnum(EnumValue fallback) const noexcept {
  if (kind() != ValueKind::Enum) return fallback;
  return {payload_.enumRecord->number, payload_.enumRecord->typeId};
}

void ValueNode::makeCollection() {
  if (kind() == ValueKind::Collection) return;
  bi::ArrayRecord* record = bi::newArrayRecord(context());
  reset();
  payload_.array = record;
  kind_ = static_cast<std::uint8_t>(ValueKind::Collection);
}

void ValueNode::reserve(std::size_t count) {
  if (kind() != ValueKind::Collection) return;
  bi::growArray(*payload_.array, count, sizeof(ValueNode));
}

ValueNode& ValueNode::element(std::size_t index) {
  makeCollection();
  bi::ArrayRecord& record = *payload_.array;
  if (index >= record.size) {
    if (index >= UINT32_MAX) throw std::bad_alloc();
    if (index >= record.capacity) {
      bi::growArray(record, std::max<std::size_t>({index + 1, std::size_t{record.capacity} * 2, 4}),
                    sizeof(ValueNode));
    }
    auto* nodes = static_cast<ValueNode*>(record.data);
    for (std::size_t i = record.size; i <= index; ++i) NodeAccess::initNode(&nodes[i], context_);
    record.size = static_cast<std::uint32_t>(index + 1);
  }
  return static_cast<ValueNode*>(record.data)[index];
}

ValueNode& ValueNode::append() {
  return element(kind() == ValueKind::Collection ? payload_.array->size : 0);
}

const ValueNode& ValueNode::at(std::size_t index) const noexcept {
  if (kind() != ValueKind::Collection || index >= payload_.array->size) return sharedEmptyNode;
  return static_cast<const ValueNode*>(payload_.array->data)[index];
}

std::span<const ValueNode> ValueNode::elements() const noexcept {
  if (kind() != ValueKind::Collection) return {};
  return {static_cast<const ValueNode*>(payload_.array->data), payload_.array->size};
}

std::span<ValueNode> ValueNode::elements() noexcept {
  if (kind() != ValueKind::Collection) return {};
  return {static_cast<ValueNode*>(payload_.array->data), payload_.array->size};
}

void ValueNode::makeStructure() {
  if (kind() == ValueKind::Structure) return;
  bi::ArrayRecord* record = bi::newArrayRecord(context());
  reset();
  payload_.array = record;
  kind_ = static_cast<std::uint8_t>(ValueKind::Structure);
}

ValueNode& ValueNode::field(std::string_view key) {
  return NodeAccess::value(fieldEntry(key));
}

Field& ValueNode::fieldEntry(std::string_view key) {
  makeStructure();
  bi::ArrayRecord& record = *payload_.array;
  auto* fields = static_cast<Field*>(record.data);
  const std::size_t count = record.size;
  // Keys that arrive in order (copies, sorted documents) append at once.
  std::size_t at = count;
  if (count != 0 && bi::compareKeys(fields[count - 1].key(), key) >= 0) {
    at = lowerBound(fields, count, key);
    if (fields[at].key() == key) return fields[at];
  }
  if (count == record.capacity) {
    bi::growArray(record, std::max<std::size_t>(4, count * 2), sizeof(Field));
    fields = static_cast<Field*>(record.data);
  }
  bi::StringRecord* interned = context_->intern(key);
  std::memmove(static_cast<void*>(&fields[at + 1]), static_cast<const void*>(&fields[at]),
               (count - at) * sizeof(Field));
  NodeAccess::initField(&fields[at], interned, context_);
  ++record.size;
  return fields[at];
}

const ValueNode& ValueNode::find(const char* key) const noexcept {
  return find(std::string_view(key));
}

const ValueNode& ValueNode::find(std::string_view key) const noexcept {
  if (kind() != ValueKind::Structure) return sharedEmptyNode;
  const auto* fields = static_cast<const Field*>(payload_.array->data);
  const std::size_t count = payload_.array->size;
  const std::size_t at = lowerBound(fields, count, key);
  if (at == count || fields[at].key() != key) return sharedEmptyNode;
  return NodeAccess::value(fields[at]);
}

std::span<const Field> ValueNode::fields() const noexcept {
  if (kind() != ValueKind::Structure) return {};
  return {static_cast<const Field*>(payload_.array->data), payload_.array->size};
}

std::span<Field> ValueNode::fields() noexcept {
  if (kind() != ValueKind::Structure) return {};
  return {static_cast<Field*>(payload_.array->data), payload_.array->size};
}

std::string_view Field::key() const noexcept {
  return key_->view();
}

const char* Field::keyCString() const noexcept {
  return key_->text();
}

}  // namespace zel

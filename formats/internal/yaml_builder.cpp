#include "formats/internal/yaml_builder.h"

#include <algorithm>
#include <cstring>

#include "binding/field_builder.h"
#include "binding/string_record.h"
#include "binding/value_records.h"
#include "diagnostics/format.h"
#include "formats/internal/yaml_scalar.h"
#include "formats/messages.h"

namespace zel::formats::internal {
namespace {

namespace messages = formats::messages;
namespace bi = binding::internal;

// Open mappings up to this many fields find a repeated key by comparing key
// records; larger ones are put into key order and searched.
constexpr std::size_t kArrivalOrderFields = 32;

// The step of the root slot, and of slots whose step is not recorded yet.
constexpr std::size_t kRootStep = static_cast<std::size_t>(-1);
constexpr std::size_t kNoStep = static_cast<std::size_t>(-2);

const char* text(const yaml_char_t* chars) noexcept {
  return reinterpret_cast<const char*>(chars);
}

// a + b, or the largest size when that does not fit.
std::size_t addSaturating(std::size_t a, std::size_t b) noexcept {
  return b > static_cast<std::size_t>(-1) - a ? static_cast<std::size_t>(-1) : a + b;
}

}  // namespace

YamlBuilder::YamlBuilder(BindingValue& result, std::size_t inputBytes)
    : result_(result),
      aliasBytesBudget_(maxAliasExpansionBytes(inputBytes)),
      aliasBytesLeft_(aliasBytesBudget_) {
  slots_.reserve(16);
  slots_.emplace_back(&result_, nullptr, 0, kRootStep);
}

bool YamlBuilder::take(const yaml_event_t& event) {
  switch (event.type) {
    case YAML_NO_EVENT:
    case YAML_STREAM_START_EVENT:
    case YAML_DOCUMENT_END_EVENT:
    case YAML_STREAM_END_EVENT:
      return true;
    case YAML_DOCUMENT_START_EVENT:
      // Only one document is read; a second one is refused even when the
      // first was empty.
      return ++documents_ == 1 || fail(messages::kYamlMultiDocument);
    default:
      break;
  }
  const Position at{event.start_mark.line + 1, event.start_mark.column + 1};

  // The slot this event fills: a new element of an open sequence, the field
  // of a pending key, or else the innermost open slot itself.
  ValueNode& top = *slots_.back().node;
  bool fresh = true;
  if (top.kind() == ValueKind::Collection && event.type != YAML_SEQUENCE_END_EVENT) {
    pushElement(top);
  } else if (top.kind() == ValueKind::Structure && pendingField_ != nullptr) {
    pushField();
  } else {
    fresh = false;
  }
  ValueNode& slot = *slots_.back().node;
  // An open mapping that is not given a fresh field is waiting for a key.
  const bool awaitingKey = !fresh && slot.kind() == ValueKind::Structure;

  switch (event.type) {
    case YAML_SCALAR_EVENT:
      return awaitingKey ? takeKey(event, at) : takeScalar(slot, event, at);
    case YAML_SEQUENCE_START_EVENT:
      return openContainer(slot, event.data.sequence_start.anchor, false, at);
    case YAML_MAPPING_START_EVENT:
      return openContainer(slot, event.data.mapping_start.anchor, true, at);
    case YAML_SEQUENCE_END_EVENT:
    case YAML_MAPPING_END_EVENT:
      closeContainer();
      return true;
    case YAML_ALIAS_EVENT:
      return takeAlias(slot, awaitingKey, event, at);
    default:
      return true;
  }
}

void YamlBuilder::pushElement(ValueNode& collection) {
  const std::size_t index = bi::NodeAccess::payload(collection).array->size;
  slots_.emplace_back(&bi::appendElement(collection), nullptr, index, kNoStep);
}

void YamlBuilder::pushField() {
  slots_.emplace_back(&bi::NodeAccess::value(*pendingField_), bi::NodeAccess::key(*pendingField_),
                      0, kNoStep);
  pendingField_ = nullptr;
}

void YamlBuilder::enterKey(std::string_view key) {
  Slot& open = slots_.back();
  ValueNode& structure = *open.node;
  if (!open.keyOrder && bi::NodeAccess::payload(structure).array->size == kArrivalOrderFields) {
    bi::finishFields(structure, bi::RepeatedKey::Replace);
    open.keyOrder = true;
  }
  pendingField_ = open.keyOrder ? &bi::NodeAccess::fieldEntry(structure, key)
                                : &bi::findOrAppendField(structure, key, shapes_, open.cursor);
}

bool YamlBuilder::takeKey(const yaml_event_t& event, Position at) {
  const auto& scalar = event.data.scalar;
  if (scalar.tag != nullptr && std::strcmp(text(scalar.tag), kYamlStringTag) != 0) {
    return fail(formatPositional(messages::kYamlInvalidKey, at.line, at.column));
  }
  // An empty key is a key like any other.
  const std::string_view key(text(scalar.value), scalar.length);
  enterKey(key);
  // The key's anchor names its text; it is not an anchor of the mapping.
  if (scalar.anchor == nullptr) return true;
  Anchor* anchor = addAnchor(scalar.anchor, at);
  if (anchor == nullptr) return false;
  anchor->isKey = true;
  anchor->keyText = key;
  return true;
}

bool YamlBuilder::takeScalar(ValueNode& slot, const yaml_event_t& event, Position at) {
  const auto& scalar = event.data.scalar;
  const bool quoted = scalar.style == YAML_SINGLE_QUOTED_SCALAR_STYLE ||
                      scalar.style == YAML_DOUBLE_QUOTED_SCALAR_STYLE;
  if (!typeScalar(slot, std::string_view(text(scalar.value), scalar.length),
                  scalar.tag != nullptr ? text(scalar.tag) : nullptr, quoted, error_)) {
    return false;
  }
  if (scalar.anchor != nullptr) {
    Anchor* anchor = addAnchor(scalar.anchor, at);
    if (anchor == nullptr) return false;
    anchor->step = currentStep();
  }
  slots_.pop_back();
  return true;
}

bool YamlBuilder::openContainer(ValueNode& slot, const yaml_char_t* anchor, bool isMapping,
                                Position at) {
  if (slot.kind() == ValueKind::Structure) {
    return fail(formatPositional(
        isMapping ? messages::kYamlUnexpectedMapping : messages::kYamlUnexpectedSequence, at.line,
        at.column));
  }
  if (depth_ == kMaxNestingDepth) {
    return fail(formatPositional(messages::kYamlTooDeep, kMaxNestingDepth, at.line, at.column));
  }
  if (isMapping) {
    slot.makeStructure();
  } else {
    slot.makeCollection();
  }
  ++depth_;
  if (anchor != nullptr) {
    Anchor* entered = addAnchor(anchor, at);
    if (entered == nullptr) return false;
    entered->step = currentStep();
    entered->open = true;
    slots_.back().anchor = entered;
  }
  return true;
}

void YamlBuilder::closeContainer() {
  Slot& open = slots_.back();
  if (open.anchor != nullptr) open.anchor->open = false;
  if (open.node->kind() == ValueKind::Structure && !open.keyOrder) {
    bi::finishFields(*open.node, bi::RepeatedKey::Replace, shapes_, open.cursor);
  }
  slots_.pop_back();
  --depth_;
}

bool YamlBuilder::takeAlias(ValueNode& slot, bool awaitingKey, const yaml_event_t& event,
                            Position at) {
  const char* name = text(event.data.alias.anchor);
  const auto found = anchors_.find(name);
  if (found != anchors_.end() && found->second.open) {
    return fail(formatPositional(messages::kYamlCyclicAlias, name, at.line, at.column));
  }
  if (found == anchors_.end()) {
    return fail(formatPositional(messages::kYamlUndefinedAlias, name, at.line, at.column));
  }
  const Anchor& anchor = found->second;

  if (awaitingKey) {
    // An alias as a mapping key stands for the text it names.
    std::string_view key = anchor.keyText;
    if (!anchor.isKey) {
      bool open = false;
      const ValueNode& source = resolve(anchor.step, open);
      if (source.kind() != ValueKind::String) {
        return fail(formatPositional(messages::kYamlInvalidKey, at.line, at.column));
      }
      key = source.asString();
    }
    if (!chargeAlias(0, key.size(), key.size(), name, at)) return false;
    enterKey(key);
    return true;
  }

  if (anchor.isKey) {
    if (!chargeAlias(1, anchor.keyText.size(), anchor.keyText.size(), name, at)) return false;
    slot.setString(anchor.keyText);
  } else {
    bool open = false;
    const ValueNode& source = resolve(anchor.step, open);
    // The copy shares its texts with the source, but they are charged in
    // full: whatever reads the value later copies them.
    const Cost cost = measure(source, aliasNodesLeft_, aliasBytesLeft_);
    if (!chargeAlias(cost.nodes, 0, cost.bytes, name, at)) return false;
    if (depth_ + cost.height > kMaxNestingDepth) {
      return fail(formatPositional(messages::kYamlTooDeep, kMaxNestingDepth, at.line, at.column));
    }
    slot = source;
    if (open) putInKeyOrder(slot);
  }
  slots_.pop_back();
  return true;
}

bool YamlBuilder::chargeAlias(std::size_t nodes, std::size_t keyTextBytes, std::size_t copiedBytes,
                              const char* name, Position at) {
  if (nodes > aliasNodesLeft_) {
    return fail(formatPositional(messages::kYamlTooManyAliasNodes, kMaxAliasNodes, name, at.line,
                                 at.column));
  }
  if (keyTextBytes > aliasTextLeft_) {
    return fail(formatPositional(messages::kYamlTooMuchAliasText, kMaxAliasTextBytes, name, at.line,
                                 at.column));
  }
  if (copiedBytes > aliasBytesLeft_) {
    return fail(formatPositional(messages::kYamlTooMuchAliasExpansion, aliasBytesBudget_, name,
                                 at.line, at.column));
  }
  aliasNodesLeft_ -= nodes;
  aliasTextLeft_ -= keyTextBytes;
  aliasBytesLeft_ -= copiedBytes;
  return true;
}

YamlBuilder::Anchor* YamlBuilder::addAnchor(const yaml_char_t* name, Position at) {
  const auto [entry, inserted] = anchors_.try_emplace(text(name));
  if (!inserted) {
    fail(formatPositional(messages::kYamlDuplicateAnchor, text(name), at.line, at.column));
    return nullptr;
  }
  return &entry->second;
}

std::size_t YamlBuilder::currentStep() {
  std::size_t first = slots_.size() - 1;
  while (slots_[first].step == kNoStep) --first;  // the root slot always has its step
  for (std::size_t i = first + 1; i < slots_.size(); ++i) {
    Slot& slot = slots_[i];
    const bool isField = slot.key != nullptr;
    steps_.push_back(Step{slots_[i - 1].step, slot.index,
                          isField ? std::string(slot.key->view()) : std::string(), isField});
    slot.step = steps_.size() - 1;
  }
  return slots_.back().step;
}

const ValueNode& YamlBuilder::resolve(std::size_t step, bool& open) {
  chain_.clear();
  for (std::size_t at = step; at != kRootStep; at = steps_[at].parent) chain_.push_back(at);
  const ValueNode* node = &result_;
  std::size_t depth = 0;
  for (auto at = chain_.rbegin(); at != chain_.rend(); ++at, ++depth) {
    const Step& next = steps_[*at];
    if (!next.isField) {
      node = &node->at(next.index);
      continue;
    }
    // A mapping still open may hold its fields in arrival order; the open
    // containers are the slots, one per depth.
    const bool inArrivalOrder =
        depth < slots_.size() && slots_[depth].node == node && !slots_[depth].keyOrder;
    node = inArrivalOrder ? &bi::findInArrivalOrder(*node, next.key) : &node->find(next.key);
  }
  open = depth < slots_.size() && slots_[depth].node == node;
  return *node;
}

void YamlBuilder::putInKeyOrder(ValueNode& copy) {
  copies_.clear();
  copies_.push_back(&copy);
  while (!copies_.empty()) {
    ValueNode& node = *copies_.back();
    copies_.pop_back();
    bi::finishFields(node, bi::RepeatedKey::Replace);
    for (ValueNode& element : node.elements()) copies_.push_back(&element);
    for (Field& field : node.fields()) copies_.push_back(&field.value());
  }
}

YamlBuilder::Cost YamlBuilder::measure(const ValueNode& source, std::size_t nodeLimit,
                                       std::size_t byteLimit) {
  Cost cost{0, 0, 0};
  walk_.clear();
  walk_.emplace_back(&source, 0);
  while (!walk_.empty()) {
    // Nodes counted plus nodes seen but not yet counted.
    if (cost.nodes + walk_.size() > nodeLimit) return {nodeLimit + 1, cost.bytes, cost.height};
    if (cost.bytes > byteLimit) return cost;
    const auto [node, depth] = walk_.back();
    walk_.pop_back();
    ++cost.nodes;
    switch (node->kind()) {
      case ValueKind::String:
      case ValueKind::Blob:
        cost.bytes = addSaturating(cost.bytes, node->size());
        break;
      case ValueKind::Collection:
        cost.height = std::max(cost.height, depth + 1);
        for (const ValueNode& element : node->elements()) walk_.emplace_back(&element, depth + 1);
        break;
      case ValueKind::Structure:
        cost.height = std::max(cost.height, depth + 1);
        for (const Field& field : node->fields()) {
          cost.bytes = addSaturating(cost.bytes, field.key().size());
          walk_.emplace_back(&field.value(), depth + 1);
        }
        break;
      default:
        break;
    }
  }
  return cost;
}

bool YamlBuilder::fail(std::string message) {
  error_ = std::move(message);
  return false;
}

}  // namespace zel::formats::internal

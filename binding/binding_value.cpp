#include "binding/value.h"

#include "binding/internal/value_context.h"
#include "binding/string_record.h"
#include "binding/value_records.h"

namespace zel {

namespace bi = binding::internal;
using bi::NodeAccess;

namespace {

constexpr char kErrorField[] = "error";

}  // namespace

BindingValue::BindingValue(const BindingValue& other) : ok_(other.ok_) {
  standalone_ = 1;
  try {
    ValueNode::operator=(other);
  } catch (...) {
    destroy();
    throw;
  }
}

BindingValue::BindingValue(const ValueNode& node) {
  standalone_ = 1;
  try {
    ValueNode::operator=(node);
  } catch (...) {
    destroy();
    throw;
  }
}

BindingValue::BindingValue(BindingValue&& other) noexcept : ok_(other.ok_) {
  standalone_ = 1;
  swapStorage(other);
  other.reset();
}

BindingValue::BindingValue(ValueNode&& node) {
  standalone_ = 1;
  try {
    ValueNode::operator=(std::move(node));
  } catch (...) {
    destroy();
    throw;
  }
}

BindingValue& BindingValue::operator=(const BindingValue& other) {
  ValueNode::operator=(other);
  return *this;
}

BindingValue& BindingValue::operator=(BindingValue&& other) noexcept {
  if (this == &other) return *this;
  ok_ = other.ok_;
  // Two standalone values: their storage is exchanged, nothing allocates.
  swapStorage(other);
  other.reset();
  return *this;
}

BindingValue& BindingValue::operator=(const ValueNode& node) {
  ValueNode::operator=(node);
  return *this;
}

BindingValue& BindingValue::operator=(ValueNode&& node) {
  ValueNode::operator=(std::move(node));
  return *this;
}

void BindingValue::setError(std::string_view message) {
  // Interned before the reset: the message may be this value's own text.
  bi::StringRecord* text = message.empty() ? bi::emptyStringRecord() : context().intern(message);
  reset();
  ok_ = 0;
  ValueNode* slot;
  try {
    slot = &field(kErrorField);
  } catch (...) {
    context_->release(text);
    throw;
  }
  NodeAccess::payload(*slot).string = text;
  NodeAccess::kind(*slot) = static_cast<std::uint8_t>(ValueKind::String);
}

std::string_view BindingValue::errorMessage() const noexcept {
  if (ok_ != 0) return {};
  return find(kErrorField).asString();
}

BindingValue BindingValue::error(std::string_view message) {
  BindingValue value;
  value.setError(message);
  return value;
}

}  // namespace zel

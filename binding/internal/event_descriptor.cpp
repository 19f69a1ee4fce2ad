#include "binding/internal/event_descriptor.h"

namespace zel {

EventBuilder& EventBuilder::setDescription(std::string_view description) {
  if (!alreadyRegistered_) event_->description_ = description;
  return *this;
}

EventBuilder& EventBuilder::setNameSpace(std::string_view nameSpace) {
  if (!alreadyRegistered_) event_->nameSpace_ = nameSpace;
  return *this;
}

EventBuilder& EventBuilder::addTag(std::string_view tag) {
  if (!alreadyRegistered_ && !tag.empty()) event_->tags_.emplace_back(tag);
  return *this;
}

}  // namespace zel

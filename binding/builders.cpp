#include "binding/builders.h"

#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "binding/event_descriptor.h"
#include "binding/type_descriptor.h"
#include "binding/value.h"

namespace zel {

TypeBuilder::TypeBuilder(TypeRegistry& registry, TypeDescriptor& descriptor,
                         bool alreadyRegistered) noexcept
    : registry_(&registry), descriptor_(&descriptor), alreadyRegistered_(alreadyRegistered) {}

TypeBuilder& TypeBuilder::addField(std::string_view name, std::string_view description,
                                   std::uint32_t offset, const TypeIdentity& identity, TypeRef type,
                                   TypeRef elementType, FieldFlags flags,
                                   std::unique_ptr<FieldConverter> converter, bool optional) {
  if (alreadyRegistered_) return *this;
  descriptor_->fields_.emplace_back(name, description, identity, offset, type, elementType, flags,
                                    std::move(converter), *descriptor_, optional);
  return *this;
}

TypeBuilder& TypeBuilder::addEnumerator(std::string_view name, std::int32_t value,
                                        std::string_view description) {
  if (alreadyRegistered_) return *this;
  auto& enumerators = descriptor_->enumerators_;
  const auto found = enumerators.find(name);
  if (found != enumerators.end()) {
    found->second.value_ = value;
    found->second.description_ = description;
  } else {
    const auto order = static_cast<std::uint32_t>(enumerators.size());
    enumerators.emplace(std::piecewise_construct, std::forward_as_tuple(name),
                        std::forward_as_tuple(value, name, description, *descriptor_, order));
  }
  return *this;
}

TypeBuilder& TypeBuilder::setDescription(std::string_view description) {
  if (!alreadyRegistered_) descriptor_->description_ = description;
  return *this;
}

TypeBuilder& TypeBuilder::setNameSpace(std::string_view nameSpace) {
  if (!alreadyRegistered_) descriptor_->nameSpace_ = nameSpace;
  return *this;
}

TypeBuilder& TypeBuilder::addTag(std::string_view tag) {
  if (!alreadyRegistered_ && !tag.empty()) descriptor_->tags_.emplace_back(tag);
  return *this;
}

TypeBuilder& TypeBuilder::addTextMapField(std::string_view name, std::string_view description,
                                          std::uint32_t offset, FieldFlags flags) {
  using TextMap = std::unordered_map<std::string, std::string>;
  if (alreadyRegistered_) return *this;
  return addField(name, description, offset, typeIdentity<TextMap>(),
                  TypeRef{TypeKind::Map, TypeKind::String, nullptr}, TypeRef{}, flags,
                  makeConverter<TextMap>());
}

TypeBuilder& TypeBuilder::addObjectField(std::string_view name, std::string_view description,
                                         std::uint32_t offset, FieldFlags flags) {
  if (alreadyRegistered_) return *this;
  return addField(name, description, offset, typeIdentity<BindingValue>(),
                  TypeRef{TypeKind::Object, TypeKind::None, nullptr}, TypeRef{}, flags,
                  makeConverter<BindingValue>());
}

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

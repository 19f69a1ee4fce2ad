#include "binding/type_registry.h"

#include <mutex>
#include <unordered_map>
#include <utility>

#include "binding/event_descriptor.h"
#include "binding/function_descriptor.h"
#include "binding/internal/builtin_types.h"
#include "binding/registry_access.h"
#include "binding/type_descriptor.h"

namespace zel {
namespace {

using binding::internal::RegistryAttachment;

// Hashes a type id byte by byte with FNV-1a.
struct TypeIdHash {
  std::size_t operator()(std::uint32_t id) const noexcept {
    std::uint32_t hash = binding::internal::kFnvOffsetBasis;
    for (int shift = 0; shift < 32; shift += 8) {
      hash = (hash ^ ((id >> shift) & 0xFFu)) * binding::internal::kFnvPrime;
    }
    return hash;
  }
};

}  // namespace

struct TypeRegistry::State {
  std::mutex lock;
  // Keys view the descriptors' own names.
  std::unordered_map<std::string_view, std::unique_ptr<FunctionDescriptor>> functions;
  std::unordered_map<std::string_view, std::unique_ptr<EventDescriptor>> events;
  std::unordered_map<std::string_view, std::unique_ptr<TypeDescriptor>> types;
  std::unordered_map<std::uint32_t, const TypeDescriptor*, TypeIdHash> typesById;
  std::unordered_map<std::uint32_t, std::unique_ptr<RegistryAttachment>> attachments;
  std::uint64_t changeCount = 0;
};

TypeRegistry::TypeRegistry() : state_(std::make_unique<State>()) {
  initialize();
}

TypeRegistry::~TypeRegistry() {
  clear();
}

void TypeRegistry::clear() {
  // What refers to functions and types goes first.
  std::unordered_map<std::uint32_t, std::unique_ptr<RegistryAttachment>> attachments;
  std::unordered_map<std::string_view, std::unique_ptr<EventDescriptor>> events;
  std::unordered_map<std::string_view, std::unique_ptr<FunctionDescriptor>> functions;
  std::unordered_map<std::string_view, std::unique_ptr<TypeDescriptor>> types;
  {
    std::lock_guard guard(state_->lock);
    attachments.swap(state_->attachments);
    events.swap(state_->events);
    state_->changeCount += state_->functions.size();
    functions.swap(state_->functions);
    state_->typesById.clear();
    types.swap(state_->types);
  }
  // Destroyed outside the lock, in this order; a handler's destructor may
  // look something up.
  attachments.clear();
  events.clear();
  functions.clear();
  types.clear();
}

void TypeRegistry::initialize() {
  if (initialized_) clear();
  binding::internal::registerBuiltinTypes(*this);
  initialized_ = true;
}

TypeBuilder TypeRegistry::registerType(std::uint32_t size, std::string_view name,
                                       const TypeIdentity& identity, bool isEnum) {
  std::lock_guard guard(state_->lock);
  if (const auto found = state_->types.find(name); found != state_->types.end()) {
    return TypeBuilder(*this, *found->second, true);
  }
  auto descriptor = std::make_unique<TypeDescriptor>(size, isEnum, name, identity, *this);
  TypeDescriptor& added = *descriptor;
  state_->types.emplace(std::string_view(added.name()), std::move(descriptor));
  if (!identity.isNoType()) state_->typesById.try_emplace(identity.id(), &added);
  return TypeBuilder(*this, added, false);
}

RegisteredFunction binding::internal::RegistryAccess::registerFunction(
    TypeRegistry& registry, std::string_view name, std::unique_ptr<FunctionHandlerBase> handler) {
  std::unique_lock guard(registry.state_->lock);
  if (const auto found = registry.state_->functions.find(name);
      found != registry.state_->functions.end()) {
    guard.unlock();  // the unused handler is destroyed outside the lock
    return RegisteredFunction{found->second.get(), true};
  }
  auto descriptor = std::make_unique<FunctionDescriptor>(name, std::move(handler), registry);
  FunctionDescriptor& added = *descriptor;
  registry.state_->functions.emplace(std::string_view(added.name()), std::move(descriptor));
  ++registry.state_->changeCount;
  return RegisteredFunction{&added, false};
}

bool binding::internal::RegistryAccess::removeFunction(TypeRegistry& registry,
                                                       std::string_view name) {
  std::unique_ptr<FunctionDescriptor> removed;
  {
    std::lock_guard guard(registry.state_->lock);
    const auto found = registry.state_->functions.find(name);
    if (found == registry.state_->functions.end()) return false;
    removed = std::move(found->second);
    registry.state_->functions.erase(found);
    ++registry.state_->changeCount;
  }
  return true;  // removed (handler and descriptor) is destroyed here, outside the lock
}

EventBuilder binding::internal::RegistryAccess::registerEvent(TypeRegistry& registry,
                                                              std::string_view name,
                                                              const TypeDescriptor* payload) {
  std::lock_guard guard(registry.state_->lock);
  if (const auto found = registry.state_->events.find(name);
      found != registry.state_->events.end()) {
    return EventBuilder(*found->second, true);
  }
  auto descriptor = std::make_unique<EventDescriptor>(name, payload);
  EventDescriptor& added = *descriptor;
  registry.state_->events.emplace(std::string_view(added.name()), std::move(descriptor));
  return EventBuilder(added, false);
}

const FunctionDescriptor* binding::internal::RegistryAccess::findFunction(
    const TypeRegistry& registry, std::string_view name) {
  std::lock_guard guard(registry.state_->lock);
  const auto found = registry.state_->functions.find(name);
  return found != registry.state_->functions.end() ? found->second.get() : nullptr;
}

FunctionDescriptor* binding::internal::RegistryAccess::findFunction(TypeRegistry& registry,
                                                                    std::string_view name) {
  std::lock_guard guard(registry.state_->lock);
  const auto found = registry.state_->functions.find(name);
  return found != registry.state_->functions.end() ? found->second.get() : nullptr;
}

const TypeDescriptor* TypeRegistry::findType(std::uint32_t id) const {
  std::lock_guard guard(state_->lock);
  const auto found = state_->typesById.find(id);
  return found != state_->typesById.end() ? found->second : nullptr;
}

const TypeDescriptor* TypeRegistry::findType(std::string_view name) const {
  std::lock_guard guard(state_->lock);
  const auto found = state_->types.find(name);
  return found != state_->types.end() ? found->second.get() : nullptr;
}

const EventDescriptor* binding::internal::RegistryAccess::findEvent(const TypeRegistry& registry,
                                                                    std::string_view name) {
  std::lock_guard guard(registry.state_->lock);
  const auto found = registry.state_->events.find(name);
  return found != registry.state_->events.end() ? found->second.get() : nullptr;
}

const char* binding::internal::enumeratorName(const TypeRegistry* registry, std::uint32_t typeId,
                                              std::int32_t value) {
  if (registry == nullptr) return nullptr;
  const TypeDescriptor* type = registry->findType(typeId);
  if (type == nullptr) return nullptr;
  const EnumeratorDescriptor* enumerator = type->findEnumerator(value);
  return enumerator != nullptr ? enumerator->name().c_str() : nullptr;
}

std::vector<const FunctionDescriptor*> binding::internal::RegistryAccess::functions(
    const TypeRegistry& registry) {
  std::lock_guard guard(registry.state_->lock);
  std::vector<const FunctionDescriptor*> snapshot;
  snapshot.reserve(registry.state_->functions.size());
  for (const auto& [name, function] : registry.state_->functions)
    snapshot.push_back(function.get());
  return snapshot;
}

std::vector<const TypeDescriptor*> binding::internal::RegistryAccess::types(
    const TypeRegistry& registry) {
  std::lock_guard guard(registry.state_->lock);
  std::vector<const TypeDescriptor*> snapshot;
  snapshot.reserve(registry.state_->types.size());
  for (const auto& [name, type] : registry.state_->types) snapshot.push_back(type.get());
  return snapshot;
}

std::vector<const EventDescriptor*> binding::internal::RegistryAccess::events(
    const TypeRegistry& registry) {
  std::lock_guard guard(registry.state_->lock);
  std::vector<const EventDescriptor*> snapshot;
  snapshot.reserve(registry.state_->events.size());
  for (const auto& [name, event] : registry.state_->events) snapshot.push_back(event.get());
  return snapshot;
}

std::uint64_t binding::internal::RegistryAccess::changeCount(const TypeRegistry& registry) {
  std::lock_guard guard(registry.state_->lock);
  return registry.state_->changeCount;
}

RegistryAttachment& binding::internal::RegistryAccess::attachmentById(TypeRegistry& registry,
                                                                      std::uint32_t id,
                                                                      AttachmentFactory factory) {
  {
    std::lock_guard guard(registry.state_->lock);
    if (const auto found = registry.state_->attachments.find(id);
        found != registry.state_->attachments.end()) {
      return *found->second;
    }
  }
  // Made outside the lock, so that its constructor may use the registry.
  std::unique_ptr<RegistryAttachment> made = factory();
  std::lock_guard guard(registry.state_->lock);
  return *registry.state_->attachments.try_emplace(id, std::move(made)).first->second;
}

const TypeDescriptor* binding::internal::findRegisteredType(const TypeRegistry* registry,
                                                            const TypeIdentity& identity) {
  if (registry == nullptr) return nullptr;
  const TypeDescriptor* type = registry->findType(identity.id());
  if (type == nullptr) return nullptr;
  // Identities are unique per native type; compare names only when the
  // objects differ, which happens only when two names hash alike.
  const TypeIdentity& found = type->identity();
  return &found == &identity || found.name() == identity.name() ? type : nullptr;
}

}  // namespace zel

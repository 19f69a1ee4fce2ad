#include "binding/type_registry.h"

#include <utility>

#include "binding/internal/builtin_types.h"

namespace zel {

std::size_t TypeRegistry::TypeIdHash::operator()(std::uint32_t id) const noexcept {
  std::uint32_t hash = kFnvOffsetBasis;
  for (int shift = 0; shift < 32; shift += 8) {
    hash = (hash ^ ((id >> shift) & 0xFFu)) * kFnvPrime;
  }
  return hash;
}

TypeRegistry::TypeRegistry() {
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
    std::lock_guard guard(lock_);
    attachments.swap(attachments_);
    events.swap(events_);
    changeCount_ += functions_.size();
    functions.swap(functions_);
    typesById_.clear();
    types.swap(types_);
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
  registerBuiltinTypes(*this);
  initialized_ = true;
}

TypeBuilder TypeRegistry::registerType(std::uint32_t size, std::string_view name,
                                       const TypeIdentity& identity, bool isEnum) {
  std::lock_guard guard(lock_);
  if (const auto found = types_.find(name); found != types_.end()) {
    return TypeBuilder(*this, *found->second, true);
  }
  auto descriptor = std::make_unique<TypeDescriptor>(size, isEnum, name, identity, *this);
  TypeDescriptor& added = *descriptor;
  types_.emplace(std::string_view(added.name()), std::move(descriptor));
  if (!identity.isNoType()) typesById_.try_emplace(identity.id(), &added);
  return TypeBuilder(*this, added, false);
}

RegisteredFunction TypeRegistry::registerFunction(std::string_view name,
                                                  std::unique_ptr<FunctionHandlerBase> handler) {
  std::unique_lock guard(lock_);
  if (const auto found = functions_.find(name); found != functions_.end()) {
    guard.unlock();  // the unused handler is destroyed outside the lock
    return RegisteredFunction{found->second.get(), true};
  }
  auto descriptor = std::make_unique<FunctionDescriptor>(name, std::move(handler), *this);
  FunctionDescriptor& added = *descriptor;
  functions_.emplace(std::string_view(added.name()), std::move(descriptor));
  ++changeCount_;
  return RegisteredFunction{&added, false};
}

bool TypeRegistry::removeFunction(std::string_view name) {
  std::unique_ptr<FunctionDescriptor> removed;
  {
    std::lock_guard guard(lock_);
    const auto found = functions_.find(name);
    if (found == functions_.end()) return false;
    removed = std::move(found->second);
    functions_.erase(found);
    ++changeCount_;
  }
  return true;  // removed (handler and descriptor) is destroyed here, outside the lock
}

EventBuilder TypeRegistry::registerEvent(std::string_view name, const TypeDescriptor* payload) {
  std::lock_guard guard(lock_);
  if (const auto found = events_.find(name); found != events_.end()) {
    return EventBuilder(*found->second, true);
  }
  auto descriptor = std::make_unique<EventDescriptor>(name, payload);
  EventDescriptor& added = *descriptor;
  events_.emplace(std::string_view(added.name()), std::move(descriptor));
  return EventBuilder(added, false);
}

const FunctionDescriptor* TypeRegistry::findFunction(std::string_view name) const {
  std::lock_guard guard(lock_);
  const auto found = functions_.find(name);
  return found != functions_.end() ? found->second.get() : nullptr;
}

FunctionDescriptor* TypeRegistry::findFunction(std::string_view name) {
  std::lock_guard guard(lock_);
  const auto found = functions_.find(name);
  return found != functions_.end() ? found->second.get() : nullptr;
}

const TypeDescriptor* TypeRegistry::findType(std::uint32_t id) const {
  std::lock_guard guard(lock_);
  const auto found = typesById_.find(id);
  return found != typesById_.end() ? found->second : nullptr;
}

const TypeDescriptor* TypeRegistry::findType(std::string_view name) const {
  std::lock_guard guard(lock_);
  const auto found = types_.find(name);
  return found != types_.end() ? found->second.get() : nullptr;
}

const EventDescriptor* TypeRegistry::findEvent(std::string_view name) const {
  std::lock_guard guard(lock_);
  const auto found = events_.find(name);
  return found != events_.end() ? found->second.get() : nullptr;
}

const char* TypeRegistry::enumeratorName(std::uint32_t typeId, std::int32_t value) const {
  const TypeDescriptor* type = findType(typeId);
  if (type == nullptr) return nullptr;
  const EnumeratorDescriptor* enumerator = type->findEnumerator(value);
  return enumerator != nullptr ? enumerator->name().c_str() : nullptr;
}

std::vector<const FunctionDescriptor*> TypeRegistry::functionsSnapshot() const {
  std::lock_guard guard(lock_);
  std::vector<const FunctionDescriptor*> snapshot;
  snapshot.reserve(functions_.size());
  for (const auto& [name, function] : functions_) snapshot.push_back(function.get());
  return snapshot;
}

std::vector<const TypeDescriptor*> TypeRegistry::typesSnapshot() const {
  std::lock_guard guard(lock_);
  std::vector<const TypeDescriptor*> snapshot;
  snapshot.reserve(types_.size());
  for (const auto& [name, type] : types_) snapshot.push_back(type.get());
  return snapshot;
}

std::vector<const EventDescriptor*> TypeRegistry::eventsSnapshot() const {
  std::lock_guard guard(lock_);
  std::vector<const EventDescriptor*> snapshot;
  snapshot.reserve(events_.size());
  for (const auto& [name, event] : events_) snapshot.push_back(event.get());
  return snapshot;
}

std::uint64_t TypeRegistry::changeCount() const {
  std::lock_guard guard(lock_);
  return changeCount_;
}

RegistryAttachment& TypeRegistry::attachment(std::uint32_t id, AttachmentFactory factory) {
  {
    std::lock_guard guard(lock_);
    if (const auto found = attachments_.find(id); found != attachments_.end()) {
      return *found->second;
    }
  }
  // Made outside the lock, so that its constructor may use the registry.
  std::unique_ptr<RegistryAttachment> made = factory();
  std::lock_guard guard(lock_);
  return *attachments_.try_emplace(id, std::move(made)).first->second;
}

const TypeDescriptor* findRegisteredType(const TypeRegistry* registry,
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

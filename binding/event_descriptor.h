// EventDescriptor: an event the plugin sends or receives, with the type of
// its payload, and EventBuilder, which registering an event returns
// (RegistryAccess::registerEvent, binding/registry_access.h).
//
//   RegistryAccess::registerEvent<BindingCallbackEvent>(registry, "OnCallback")
//       .setDescription("Fired when a callback is invoked.")
//       .addTag("$builtin");
//
// The registry owns every event descriptor. When the event was registered
// before, the builder's steps do nothing: the first registration wins.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel {

class TypeDescriptor;

class EventDescriptor {
 public:
  EventDescriptor(std::string_view name, const TypeDescriptor* payload)
      : name_(name), payload_(payload) {}
  EventDescriptor(const EventDescriptor&) = delete;
  EventDescriptor& operator=(const EventDescriptor&) = delete;

  const std::string& name() const noexcept { return name_; }
  // The payload's structure type; null when it is not registered.
  const TypeDescriptor* payload() const noexcept { return payload_; }
  const std::string& nameSpace() const noexcept { return nameSpace_; }
  const std::string& description() const noexcept { return description_; }
  const std::vector<std::string>& tags() const noexcept { return tags_; }

 private:
  friend class EventBuilder;

  std::string name_;
  const TypeDescriptor* payload_;
  std::string nameSpace_;
  std::string description_;
  std::vector<std::string> tags_;
};

// The steps of an event's registration; each returns the builder itself.
class EventBuilder {
 public:
  EventBuilder(EventDescriptor& event, bool alreadyRegistered) noexcept
      : event_(&event), alreadyRegistered_(alreadyRegistered) {}

  EventBuilder& setDescription(std::string_view description);
  EventBuilder& setNameSpace(std::string_view nameSpace);
  // Appends the tag unless it is empty.
  EventBuilder& addTag(std::string_view tag);

  const EventDescriptor& descriptor() const noexcept { return *event_; }
  bool alreadyRegistered() const noexcept { return alreadyRegistered_; }

 private:
  EventDescriptor* event_;
  bool alreadyRegistered_;
};

}  // namespace zel

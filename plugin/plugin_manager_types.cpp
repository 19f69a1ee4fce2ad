#include "plugin/plugin_manager_types.h"

#include "binding/type_registry.h"
#include "plugin/events_messages.h"

namespace zel {

void registerPluginManagerTypes(TypeRegistry& registry) {
  namespace text = events::messages;

  registry.registerEnum<PluginManagerState>("PluginManagerState")
      .enumerator("NotReady", PluginManagerState::NotReady)
      .enumerator("PluginsInitialized", PluginManagerState::PluginsInitialized);
  registry.registerStruct<PluginManagerResource>("PluginManagerResource")
      .field("state", &PluginManagerResource::state);

  registry.registerEnum<PluginResourceEventType>("PluginResourceEventType")
      .enumerator("Create", PluginResourceEventType::Create)
      .enumerator("Update", PluginResourceEventType::Update)
      .enumerator("Delete", PluginResourceEventType::Delete);
  registry.registerStruct<PluginResourceEvent>("PluginResourceEvent")
      .field("uri", &PluginResourceEvent::uri)
      .field("eventType", &PluginResourceEvent::eventType)
      .field("data", &PluginResourceEvent::data);

  registry.registerStruct<PluginLcdsEvent>("PluginLcdsEvent")
      .field("clientId", &PluginLcdsEvent::clientId)
      .field("subtopic", &PluginLcdsEvent::subtopic)
      .field("typeName", &PluginLcdsEvent::typeName)
      .field("body", &PluginLcdsEvent::body);
  registry.registerStruct<PluginLcdsResponse>("PluginLcdsResponse")
      .field("typeName", &PluginLcdsResponse::typeName)
      .field("body", &PluginLcdsResponse::body);

  using ServiceProxyResponse = PluginServiceProxyResponse;
  registry.registerStruct<ServiceProxyResponse>("PluginServiceProxyResponse")
      .field("uuid", &ServiceProxyResponse::uuid)
      .field("serviceName", &ServiceProxyResponse::serviceName)
      .field("methodName", &ServiceProxyResponse::methodName)
      .field("payload", &ServiceProxyResponse::payload)
      .field("status", &ServiceProxyResponse::status)
      .field("error", &ServiceProxyResponse::error);

  registry.registerEvent<PluginResourceEvent>(text::kJsonApiEvent)
      .setDescription(text::kJsonApiEventDescription);
  registry.registerEvent<PluginLcdsEvent>(text::kLcdsEvent)
      .setDescription(text::kLcdsEventDescription);
  registry.registerEvent<ServiceProxyResponse>(text::kServiceProxyUuidEvent)
      .setDescription(text::kServiceProxyUuidEventDescription);
  registry.registerEvent<ServiceProxyResponse>(text::kServiceProxyMethodEvent)
      .setDescription(text::kServiceProxyMethodEventDescription);
  registry.registerEvent<ServiceProxyResponse>(text::kServiceProxyAsyncEvent)
      .setDescription(text::kServiceProxyAsyncEventDescription);
}

}  // namespace zel

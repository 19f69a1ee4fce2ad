#include "plugin/plugin_manager_types.h"

#include "binding/registry_access.h"
#include "binding/type_registry.h"
#include "plugin/messages.h"

namespace zel {

void registerPluginManagerTypes(TypeRegistry& registry) {
  namespace text = plugin::messages;
  constexpr const char* kNameSpace = "vclient";

  registry.registerEnum<PluginManagerState>("PluginManagerState")
      .setNameSpace(kNameSpace)
      .enumerator("NotReady", PluginManagerState::NotReady)
      .enumerator("PluginsInitialized", PluginManagerState::PluginsInitialized);
  registry.registerStruct<PluginManagerResource>("PluginManagerResource")
      .setNameSpace(kNameSpace)
      .field("state", &PluginManagerResource::state);

  registry.registerEnum<PluginResourceEventType>("PluginResourceEventType")
      .setNameSpace(kNameSpace)
      .enumerator("Create", PluginResourceEventType::Create)
      .enumerator("Update", PluginResourceEventType::Update)
      .enumerator("Delete", PluginResourceEventType::Delete);
  registry.registerStruct<PluginResourceEvent>("PluginResourceEvent")
      .setNameSpace(kNameSpace)
      .field("uri", &PluginResourceEvent::uri)
      .field("eventType", &PluginResourceEvent::eventType)
      .field(kResourceDataKey, &PluginResourceEvent::data);

  registry.registerStruct<PluginLcdsEvent>("PluginLcdsEvent")
      .setNameSpace(kNameSpace)
      .field("clientId", &PluginLcdsEvent::clientId)
      .field("subtopic", &PluginLcdsEvent::subtopic)
      .field("typeName", &PluginLcdsEvent::typeName)
      .field("body", &PluginLcdsEvent::body);
  registry.registerStruct<PluginLcdsResponse>("PluginLcdsResponse")
      .setNameSpace(kNameSpace)
      .field("typeName", &PluginLcdsResponse::typeName)
      .field("body", &PluginLcdsResponse::body);

  using ServiceProxyResponse = PluginServiceProxyResponse;
  registry.registerStruct<ServiceProxyResponse>("PluginServiceProxyResponse")
      .setNameSpace(kNameSpace)
      .field("uuid", &ServiceProxyResponse::uuid)
      .field("serviceName", &ServiceProxyResponse::serviceName)
      .field("methodName", &ServiceProxyResponse::methodName)
      .field("payload", &ServiceProxyResponse::payload)
      .field("status", &ServiceProxyResponse::status)
      .field("error", &ServiceProxyResponse::error);

  using binding::internal::RegistryAccess;

  RegistryAccess::registerEvent<PluginResourceEvent>(registry, text::kJsonApiEvent)
      .setNameSpace(kNameSpace)
      .setDescription(text::kJsonApiEventDescription);
  RegistryAccess::registerEvent<PluginLcdsEvent>(registry, text::kLcdsEvent)
      .setNameSpace(kNameSpace)
      .setDescription(text::kLcdsEventDescription);
  RegistryAccess::registerEvent<ServiceProxyResponse>(registry, text::kServiceProxyUuidEvent)
      .setNameSpace(kNameSpace)
      .setDescription(text::kServiceProxyUuidEventDescription);
  RegistryAccess::registerEvent<ServiceProxyResponse>(registry, text::kServiceProxyMethodEvent)
      .setNameSpace(kNameSpace)
      .setDescription(text::kServiceProxyMethodEventDescription);
  RegistryAccess::registerEvent<ServiceProxyResponse>(registry, text::kServiceProxyAsyncEvent)
      .setNameSpace(kNameSpace)
      .setDescription(text::kServiceProxyAsyncEventDescription);
}

}  // namespace zel

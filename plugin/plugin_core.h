// PluginCore: the event and service-proxy machinery under every plugin
// object, and the abstract host operations that PluginBase implements. The
// core owns its handler tables; the plugin object owns the core (it is its
// base) from load until the host calls shutdown.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "plugin/host_api.h"

namespace zel {

class PluginBase;
class TypeRegistry;

// The empty interface at the root of every plugin object.
class PluginInterface {
 public:
  virtual ~PluginInterface() = default;
};

class PluginCore : public PluginInterface {
 public:
  // A handler of one event name, called with each delivered event.
  using EventHandler = std::function<void(const HostEvent&)>;

  PluginCore() = default;
  PluginCore(const PluginCore&) = delete;
  PluginCore& operator=(const PluginCore&) = delete;
  ~PluginCore() override = default;

  // Unsubscribes every event name that has a handler, then clears the tables.
  virtual void stop();

  virtual std::int32_t hostSendRequest(HostResponse* response, const HostRequest* request) = 0;
  virtual std::int32_t hostReserved1(std::uint32_t a, std::uint32_t b) = 0;
  virtual std::int32_t hostSendEvent(const HostEvent* event) = 0;
  virtual std::int32_t hostSubscribe(const char* eventName, std::uint32_t pluginHandle,
                                     HostEventCallback callback, void* context,
                                     std::uint32_t flag) = 0;
  virtual std::int32_t hostUnsubscribe(const char* eventName, std::uint32_t pluginHandle) = 0;
  virtual std::int32_t hostReserved5(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                     std::uint64_t d, std::uint32_t e) = 0;
  virtual std::int32_t hostYield() = 0;
  virtual std::int32_t hostBeginWait(const char* label, std::uint32_t flags) = 0;
  virtual std::int32_t hostEndWait() = 0;
  virtual void registerApi() = 0;
  virtual bool start() = 0;

  std::uint32_t pluginHandle() const noexcept { return pluginHandle_; }
  const std::string& userAgent() const noexcept { return userAgent_; }
  bool shuttingDown() const noexcept { return shuttingDown_ != 0; }

 protected:
  // Called by attach with what the connection and the plugin object give.
  void connect(std::uint32_t pluginHandle, const std::string& shortName,
               const std::string& userAgent, TypeRegistry* registry, PluginBase* owner);

  TypeRegistry* conversionRegistry_ = nullptr;  // copied at attach
  PluginBase* owner_ = nullptr;                 // set at attach
  TypeRegistry* apiRegistry_ = nullptr;
  std::uint32_t pluginHandle_ = 0;
  std::string shortName_;
  std::string userAgent_;
  std::unordered_map<std::string, std::vector<EventHandler>> eventHandlers_;
  std::unordered_map<std::string, std::uint32_t> subscriptionCounts_;  // kept across stop
  std::mutex serviceProxyMutex_;
  std::mutex tablesMutex_;
  std::uint8_t shuttingDown_ = 0;
};

}  // namespace zel

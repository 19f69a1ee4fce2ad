// HostApiTable: the HostApi table a host hands to a plugin. Its ten C entries
// find the host again from the table's address and call the matching member,
// with null texts read as empty; a host derives from it and overrides the
// entries it serves. An entry it does not override does nothing.
//
//   class LogOnlyHost : public HostApiTable {
//     void writeLog(std::int32_t level, std::string_view text) override { ... }
//   };
//   plugin.attach(host.api(), 1);
//
// Every entry returns 0, and no exception leaves one: what an override throws
// is dropped there, and sendRequest first fills the response as a bare error.
// Neither copyable nor movable: the plugin keeps the table's address, so the
// host outlives the plugin's use of it.
#pragma once

#include <cstdint>
#include <string_view>

#include "boundary/host_api.h"
#include "host/scripted_response.h"

namespace zel::host {

class HostApiTable {
 public:
  HostApiTable(const HostApiTable&) = delete;
  HostApiTable& operator=(const HostApiTable&) = delete;

  [[nodiscard]] HostApi* api() { return &table_.api; }

 protected:
  HostApiTable();
  ~HostApiTable() = default;

  // Called by every entry before its member, even where the member is not
  // called (a null response or event): the place to count or record calls.
  virtual void entered(HostCall) {}

  virtual void sendRequest(HostResponse&, const HostRequest*) {}
  virtual void reserved1() {}
  virtual void sendEvent(const HostEvent&) {}
  virtual void subscribe(RecordedSubscription) {}
  virtual void unsubscribe(std::string_view /*eventName*/, std::uint32_t /*pluginHandle*/) {}
  virtual void reserved5() {}
  virtual void yield() {}
  virtual void beginWait(std::string_view /*label*/, std::uint32_t /*flags*/) {}
  virtual void endWait() {}
  virtual void writeLog(std::int32_t /*level*/, std::string_view /*text*/) {}

 private:
  struct Entries;

  // What the plugin sees, with the way back to the host; standard layout, so
  // a HostApi* converts back to the Table*.
  struct Table {
    HostApi api;
    HostApiTable* owner;
  };

  Table table_;
};

}  // namespace zel::host

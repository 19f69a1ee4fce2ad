// QuietHost: a host that never allocates, for the reliability tests and the
// fuzzers. It serves the two game-data documents from static text, accepts
// events and log lines without keeping them, and remembers up to
// kMaxSubscriptions subscriptions so a test can deliver an event the way the
// platform does. Because it takes nothing from the counting allocator, an
// injected allocation failure always lands in the plugin, never in the
// test's own host.
//
//   QuietHost host;
//   HostConnection connection{host.api(), 7};
//   host.deliver("OnRegionLocaleChanged");   // reruns the catalogue load
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "boundary/host_api.h"

namespace zel::reliability {

inline constexpr const char kMapsDocumentUrl[] = "/zel-game-data/assets/v1/maps.json";
inline constexpr const char kAssetsDocumentUrl[] =
    "/zel-game-data/assets/v1/map-assets/map-assets.json";

inline constexpr const char kMapsDocument[] = R"([
  {"id": 42, "name": "Harbor", "mapStringId": "HB", "description": "A port"},
  {"id": 43, "name": "Orphan"},
  {"id": 7, "name": "Dunes", "properties": {"size": [3, 4], "tags": {"a": true}}}
])";
inline constexpr const char kAssetsDocument[] = R"({
  "42": [{"gameMode": "A", "isDefault": true, "assets": {"icon": "h.png", "splash": "h2.png"}},
         {"gameMode": "B", "isDefault": false},
         {"gameMode": "B", "gameMutator": "X", "gameModeName": "Bravo"}],
  "7": [{"gameMode": "A", "isDefault": true, "assets": {"icon": "d.png"}}]
})";
// Variants in the catalogue built from the two documents.
inline constexpr std::size_t kVariantCount = 4;

class QuietHost {
 public:
  static constexpr std::size_t kMaxSubscriptions = 16;

  QuietHost() {
    api_.sendRequest = &sendRequest;
    api_.reserved1 = [](HostApi*, std::uint32_t, std::uint32_t) -> std::int32_t { return 0; };
    api_.sendEvent = [](HostApi*, const HostEvent*) -> std::int32_t { return 1; };
    api_.subscribe = &subscribe;
    api_.unsubscribe = &unsubscribe;
    api_.reserved5 = [](HostApi*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint64_t,
                        std::uint32_t) -> std::int32_t { return 0; };
    api_.yield = [](HostApi*) -> std::int32_t { return 1; };
    api_.beginWait = [](HostApi*, const char*, std::uint32_t) -> std::int32_t { return 1; };
    api_.endWait = [](HostApi*) -> std::int32_t { return 1; };
    api_.writeLog = [](HostApi*, std::int32_t, const char*) -> std::int32_t { return 1; };
  }
  QuietHost(const QuietHost&) = delete;
  QuietHost& operator=(const QuietHost&) = delete;

  HostApi* api() { return &api_; }

  // Calls every live subscription of the name with an empty payload; returns
  // how many were called.
  int deliver(std::string_view name) {
    int called = 0;
    for (Subscription& subscription : subscriptions_) {
      if (!subscription.active || name != subscription.name) continue;
      HostEvent event{};
      event.name = subscription.name;
      event.context = subscription.context;
      subscription.callback(&event);
      ++called;
    }
    return called;
  }

 private:
  struct Stream {
    const char* text;
    std::size_t offset;
  };
  struct Subscription {
    bool active = false;
    char name[64] = {};
    HostEventCallback callback = nullptr;
    void* context = nullptr;
  };

  static QuietHost& self(HostApi* api) {
    // api_ is the first member: the table's address is the host's.
    return *reinterpret_cast<QuietHost*>(api);
  }

  static std::uint8_t readStream(void* context, void* buffer, std::uint32_t* length,
                                 std::uint8_t* more) {
    Stream& stream = *static_cast<Stream*>(context);
    const std::size_t size = std::strlen(stream.text);
    const std::size_t count = std::min<std::size_t>(*length, size - stream.offset);
    std::memcpy(buffer, stream.text + stream.offset, count);
    stream.offset += count;
    *length = static_cast<std::uint32_t>(count);
    *more = stream.offset < size ? 1 : 0;
    return 1;
  }

  static std::int32_t sendRequest(HostApi* api, HostResponse* response,
                                  const HostRequest* request) {
    QuietHost& host = self(api);
    Stream* stream = nullptr;
    if (std::strcmp(request->url, kMapsDocumentUrl) == 0) {
      stream = &host.streams_[0];
      *stream = Stream{kMapsDocument, 0};
    } else if (std::strcmp(request->url, kAssetsDocumentUrl) == 0) {
      stream = &host.streams_[1];
      *stream = Stream{kAssetsDocument, 0};
    }
    if (stream == nullptr) {
      response->error = "Not found";
      response->status = 404;
    } else {
      response->status = 200;
      response->streamRead = &readStream;
      response->streamContext = stream;
      response->sizeHint = std::strlen(stream->text);
    }
    response->reason = "";
    response->release = [](HostResponse* released) { *released = HostResponse{}; };
    return 1;
  }

  static std::int32_t subscribe(HostApi* api, const char* eventName, std::uint32_t,
                                HostEventCallback callback, void* context, std::uint32_t) {
    for (Subscription& subscription : self(api).subscriptions_) {
      if (subscription.active) continue;
      subscription.active = true;
      std::strncpy(subscription.name, eventName, sizeof(subscription.name) - 1);
      subscription.callback = callback;
      subscription.context = context;
      return 1;
    }
    return 0;
  }

  static std::int32_t unsubscribe(HostApi* api, const char* eventName, std::uint32_t) {
    for (Subscription& subscription : self(api).subscriptions_) {
      if (subscription.active && std::strcmp(subscription.name, eventName) == 0) {
        subscription.active = false;
      }
    }
    return 1;
  }

  HostApi api_{};
  Stream streams_[2] = {};
  Subscription subscriptions_[kMaxSubscriptions];
};

}  // namespace zel::reliability

// QuietHost: a host that never allocates, for the reliability tests and the
// fuzzers. It serves a few documents from static text (any other url
// answers status 404), accepts events and log lines without keeping them,
// and remembers up to kMaxSubscriptions subscriptions so a test can deliver
// an event the way the platform does. Because it takes nothing from the
// counting allocator, an injected allocation failure always lands in the
// plugin, never in the test's own host.
//
//   constexpr QuietDocument kDocuments[] = {{"/svc/list.json", "[1, 2]"}};
//   QuietHost host(kDocuments);
//   HostConnection connection{host.api(), 7};
//   host.deliver("OnRegionLocaleChanged");   // calls the plugin's subscription
//
// The documents are the caller's and must outlive the host; static text
// does.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "boundary/host_api.h"

namespace zel::host {

// A document the quiet host answers: a request of url streams text.
struct QuietDocument {
  const char* url;
  const char* text;
};

class QuietHost {
 public:
  static constexpr std::size_t kMaxSubscriptions = 16;
  // One read position per document, kept in the host: no allocation.
  static constexpr std::size_t kMaxDocuments = 4;

  // Answers every url with status 404.
  QuietHost() : QuietHost(std::span<const QuietDocument>()) {}
  template <std::size_t N>
  explicit QuietHost(const QuietDocument (&documents)[N])
      : QuietHost(std::span<const QuietDocument>(documents)) {
    static_assert(N <= kMaxDocuments, "the quiet host keeps a read position for kMaxDocuments");
  }
  QuietHost(const QuietHost&) = delete;
  QuietHost& operator=(const QuietHost&) = delete;

  [[nodiscard]] HostApi* api() { return &api_; }

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

  explicit QuietHost(std::span<const QuietDocument> documents) : documents_(documents) {
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
    for (std::size_t i = 0; i < host.documents_.size(); ++i) {
      if (std::strcmp(request->url, host.documents_[i].url) != 0) continue;
      stream = &host.streams_[i];
      *stream = Stream{host.documents_[i].text, 0};
      break;
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
  std::span<const QuietDocument> documents_;
  Stream streams_[kMaxDocuments] = {};
  Subscription subscriptions_[kMaxSubscriptions];
};

}  // namespace zel::host

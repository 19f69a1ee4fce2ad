#include "host/hosting/response_filler.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "host/conversions/host_flat_value.h"
#include "host/messages.h"

namespace zel::host {

namespace {

struct StreamState {
  std::vector<ScriptedStream::Step> steps;
  std::size_t index = 0;
  std::size_t offset = 0;
  bool closed = false;
  bool failed = false;
  std::shared_ptr<ResponseJournal> journal;
};

struct ResponseState {
  std::shared_ptr<ResponseJournal> journal;
  HostFlatValue body;
  std::string error;
  std::string reason;
  std::vector<std::string> headerTexts;
  std::vector<const char*> headerPointers;
  std::unique_ptr<StreamState> stream;
};

// The live response states, by the address of their reason text.
struct Registry {
  std::mutex mutex;
  std::unordered_map<const char*, std::unique_ptr<ResponseState>> states;
  std::atomic<std::uint32_t> strayReleases{0};
};

Registry& registry() {
  static Registry instance;
  return instance;
}

void releaseEntry(HostResponse* response) {
  if (response == nullptr) return;
  const char* key = response->reason;
  if (key == nullptr) return;
  std::unique_ptr<ResponseState> state;
  {
    Registry& live = registry();
    std::lock_guard<std::mutex> lock(live.mutex);
    auto found = live.states.find(key);
    if (found != live.states.end()) {
      state = std::move(found->second);
      live.states.erase(found);
    }
  }
  if (!state) {
    registry().strayReleases.fetch_add(1);
    return;
  }
  std::memset(static_cast<void*>(response), 0, sizeof *response);
  state->journal->released.fetch_add(1);
}

std::uint8_t streamReadEntry(void* context, void* buffer, std::uint32_t* length,
                             std::uint8_t* more) {
  auto* stream = static_cast<StreamState*>(context);
  if (stream == nullptr || length == nullptr || more == nullptr) return 0;
  stream->journal->streamReads.fetch_add(1);
  if (stream->closed) {
    stream->journal->addFault(std::string(messages::kReadAfterClose));
    return 0;
  }
  if (stream->failed) return 0;
  if (stream->index == stream->steps.size()) {
    *length = 0;
    *more = 0;
    return 1;
  }
  const ScriptedStream::Step& step = stream->steps[stream->index];
  switch (step.kind) {
    case ScriptedStream::StepKind::Pending:
      ++stream->index;
      *length = 0;
      *more = 1;
      return 1;
    case ScriptedStream::StepKind::Fail:
      stream->failed = true;
      return 0;
    case ScriptedStream::StepKind::Data:
      break;
  }
  std::size_t count = std::min<std::size_t>(*length, step.bytes.size() - stream->offset);
  if (count > 0 && buffer == nullptr) return 0;
  if (count > 0) std::memcpy(buffer, step.bytes.data() + stream->offset, count);
  stream->offset += count;
  if (stream->offset == step.bytes.size()) {
    ++stream->index;
    stream->offset = 0;
  }
  *length = static_cast<std::uint32_t>(count);
  *more = stream->index < stream->steps.size() ? 1 : 0;
  return 1;
}

std::int32_t streamCloseEntry(void* context) {
  auto* stream = static_cast<StreamState*>(context);
  if (stream == nullptr) return 0;
  if (stream->closed) {
    stream->journal->addFault(std::string(messages::kCloseTwice));
    return 0;
  }
  stream->closed = true;
  stream->journal->streamCloses.fetch_add(1);
  return 0;
}

}  // namespace

void fillBareError(HostResponse& response) noexcept {
  static const char kText[] = "Host out of memory";
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  response.error = kText;
  response.status = 500;
  response.reason = "";
}

void fillResponse(HostResponse& response, const ScriptedResponse& script,
                  const std::shared_ptr<ResponseJournal>& journal) {
  auto state = std::make_unique<ResponseState>();
  state->journal = journal;
  if (!script.stream) state->body = HostFlatValue(script.body);
  if (script.error) state->error = *script.error;
  state->reason = script.reason;
  state->headerTexts.reserve(script.headers.size() * 2);
  for (const auto& [name, value] : script.headers) {
    state->headerTexts.push_back(name);
    state->headerTexts.push_back(value);
  }
  for (const std::string& text : state->headerTexts) state->headerPointers.push_back(text.c_str());

  HostResponse filled;
  std::memset(static_cast<void*>(&filled), 0, sizeof filled);
  filled.body = state->body.value();
  filled.error = script.error ? state->error.c_str() : nullptr;
  filled.errorOwned = script.error ? 1 : 0;
  filled.passThrough = script.passThrough;
  filled.passThroughCode = script.passThroughCode;
  filled.status = script.status;
  filled.reason = state->reason.c_str();
  filled.headers = state->headerPointers.empty() ? nullptr : state->headerPointers.data();
  filled.headerCount = static_cast<std::uint32_t>(script.headers.size());
  if (script.stream) {
    state->stream = std::make_unique<StreamState>();
    state->stream->steps = script.stream->steps();
    state->stream->journal = journal;
    filled.streamRead = &streamReadEntry;
    filled.streamClose = script.stream->hasClose() ? &streamCloseEntry : nullptr;
    filled.sizeHint = script.stream->hint();
    filled.streamContext = state->stream.get();
  }
  filled.release = script.hasRelease ? &releaseEntry : nullptr;

  {
    Registry& live = registry();
    std::lock_guard<std::mutex> lock(live.mutex);
    const char* key = state->reason.c_str();
    live.states.emplace(key, std::move(state));
  }
  journal->given.fetch_add(1);
  std::memcpy(static_cast<void*>(&response), &filled, sizeof filled);
}

std::uint32_t strayResponseReleases() {
  return registry().strayReleases.load();
}

}  // namespace zel::host

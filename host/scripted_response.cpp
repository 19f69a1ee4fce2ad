#include "host/scripted_response.h"

#include <utility>

namespace zel::host {

ScriptedStream& ScriptedStream::data(std::string_view bytes) {
  steps_.push_back(Step{StepKind::Data, std::string(bytes)});
  return *this;
}

ScriptedStream& ScriptedStream::pending() {
  steps_.push_back(Step{StepKind::Pending, {}});
  return *this;
}

ScriptedStream& ScriptedStream::fail() {
  steps_.push_back(Step{StepKind::Fail, {}});
  return *this;
}

ScriptedStream& ScriptedStream::chunked(std::string_view body, std::size_t chunkSize) {
  if (chunkSize == 0) chunkSize = body.size();
  for (std::size_t offset = 0; offset < body.size(); offset += chunkSize) {
    data(body.substr(offset, chunkSize));
  }
  return *this;
}

ScriptedStream& ScriptedStream::sizeHint(std::uint64_t hint) {
  sizeHint_ = hint;
  return *this;
}

ScriptedStream& ScriptedStream::withoutClose() {
  hasClose_ = false;
  return *this;
}

ScriptedResponse ScriptedResponse::withBody(HostValue body, std::uint32_t status) {
  ScriptedResponse response;
  response.body = std::move(body);
  response.status = status;
  return response;
}

ScriptedResponse ScriptedResponse::withError(std::string error, std::uint32_t status) {
  ScriptedResponse response;
  response.error = std::move(error);
  response.status = status;
  return response;
}

ScriptedResponse ScriptedResponse::withStream(ScriptedStream stream, std::uint32_t status) {
  ScriptedResponse response;
  response.stream = std::move(stream);
  response.status = status;
  return response;
}

ScriptedResponse ScriptedResponse::withStreamedText(std::string_view text, std::size_t chunkSize) {
  return withStream(ScriptedStream().chunked(text, chunkSize).sizeHint(text.size()));
}

void ResponseJournal::addFault(std::string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.push_back(std::move(text));
}

std::vector<std::string> ResponseJournal::faults() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_;
}

}  // namespace zel::host

// Reading a HostResponse that the plugin filled (the answer of one of its
// functions): a plain copy for assertions, draining its body stream, and
// handing the record back through its own release function.
//
//   HostReply reply = readReply(response);     // body, error, status, headers
//   releaseResponse(response);                 // the plugin frees what it owns
//
// readReply copies; the record stays the plugin's until released.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "boundary/host_messages.h"
#include "host/function_caller.h"

namespace zel::host {

// The plain copy is a HostReply (host/function_caller.h), the part of a
// function's answer that CallReply carries.
[[nodiscard]] HostReply readReply(const HostResponse& response);

// Pulls the whole body stream in reads of bufferSize bytes, then closes it.
// None when the response has no stream, or a read fails (the stream is still
// closed). A read that brings nothing while more is announced is retried, up
// to maxEmptyReads times in a row.
[[nodiscard]] std::optional<std::string> drainStream(HostResponse& response,
                                                     std::uint32_t bufferSize = 4096,
                                                     std::uint32_t maxEmptyReads = 1000);

// Calls the record's release function once, if it has one; returns whether it did.
bool releaseResponse(HostResponse& response);

}  // namespace zel::host

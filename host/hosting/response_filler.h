// Turns a ScriptedResponse into a filled HostResponse record whose memory the
// host owns until the plugin calls the record's release function; the record's
// stream functions play the scripted reads.
//
//   auto journal = std::make_shared<ResponseJournal>();
//   fillResponse(response, ScriptedResponse::withBody(HostValue::makeSigned(1)), journal);
//   response.release(&response);    // what the plugin does when it is done
//
// Each filled record owns a state object, found again on release by the
// record's reason pointer (which every filled record sets); the journal
// (ResponseJournal, host/scripted_response.h) is shared so that counting
// stays safe whoever goes first.
#pragma once

#include <cstdint>
#include <memory>

#include "boundary/host_messages.h"
#include "host/scripted_response.h"

namespace zel::host {

// Overwrites all 62 bytes of response. May throw std::bad_alloc, leaving the
// record untouched.
void fillResponse(HostResponse& response, const ScriptedResponse& script,
                  const std::shared_ptr<ResponseJournal>& journal);

// Used when even the answer cannot be built (out of memory): a failure the
// plugin can read, owning nothing.
void fillBareError(HostResponse& response) noexcept;

// Releases of records that no longer belonged to any response of this host
// (a copy released twice, or a record from elsewhere), process-wide.
[[nodiscard]] std::uint32_t strayResponseReleases();

}  // namespace zel::host

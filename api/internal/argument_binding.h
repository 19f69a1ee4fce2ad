// Argument binding: fills a call's argument vector (one value per argument of
// the selected function, in order) from the request: headers, path
// placeholders and query values as texts, then the host's named and
// positional arguments, then the body decoded by its content type.
//
//   CallResult call;
//   std::vector<BindingValue> arguments = gatherArguments(request, context, call);
//   if (!call.ok()) ...   // call.result.errorMessage(): why binding stopped
//
// Texts given for structured arguments (object, vector, struct, map) are
// decoded when they look like MessagePack, JSON ("{" or "[" after leading
// spaces) or YAML ("---"); other texts stay strings, converted to the
// parameter's type when the handler runs. Dotted names ("filter.name=a",
// "ids.0=5") write into fields and elements of an argument.
//
// The first failure is stored in the CallResult and stops further binding,
// except that a body error replaces any earlier one. Nothing here keeps the
// request or the context beyond the call.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "api/call_result.h"
#include "api/internal/compiled_route.h"
#include "binding/value.h"
#include "boundary/host_messages.h"

namespace zel {
class ArgumentDescriptor;
}  // namespace zel

namespace zel::api::internal {

// The highest collection index a dotted name may write.
inline constexpr std::uint64_t kMaxDottedIndex = 65535;

// context holds the selected function, its route and the path arguments.
[[nodiscard]] std::vector<BindingValue> gatherArguments(const HostRequest& request,
                                                        const RequestContext& context,
                                                        CallResult& call);

// True for the argument kinds whose texts are examined for structured data.
[[nodiscard]] bool isStructuredArgument(const ArgumentDescriptor& argument) noexcept;

}  // namespace zel::api::internal

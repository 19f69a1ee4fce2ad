// Fills the host's own message templates: "%1" to "%9" stand for the
// arguments in order, "%%" for one percent sign. The host does not carry the
// plugin SDK, so it has this small filler of its own.
//
//   fillTemplate(messages::kNoHandler, {"GET", "/a"});  // "No handler for GET /a"
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace zel::host {

// A placeholder without an argument is dropped.
[[nodiscard]] std::string fillTemplate(std::string_view pattern,
                                       std::initializer_list<std::string_view> args);

}  // namespace zel::host

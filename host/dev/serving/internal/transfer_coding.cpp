#include "host/dev/serving/internal/transfer_coding.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "host/conversions/text_template.h"
#include "host/dev/serving/messages.h"

namespace zel::host::internal {

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The codings of a header value, lower-cased, empty list elements skipped.
void appendCodings(std::string_view value, std::vector<std::string>& codings) {
  for (std::size_t round = 0, rounds = value.size(); round <= rounds; ++round) {
    std::size_t comma = value.find(',');
    std::string_view coding = trimmed(value.substr(0, comma));
    if (!coding.empty()) codings.push_back(lowerCaseAscii(coding));
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
}

}  // namespace

std::optional<HeadRefusal> checkTransferEncoding(const HttpRequest& head) {
  std::vector<std::string> codings;
  bool present = false;
  std::string shown;
  for (const auto& [name, value] : head.headers) {
    if (!equalsIgnoringCase(name, "Transfer-Encoding")) continue;
    present = true;
    appendCodings(value, codings);
    shown += (shown.empty() ? "" : ", ") + value;
  }
  if (!present) return std::nullopt;
  if (codings.empty() || codings.back() != "chunked" ||
      std::count(codings.begin(), codings.end(), "chunked") > 1) {
    return HeadRefusal{400, fillTemplate(messages::kBadTransferEncoding, {shown})};
  }
  if (codings.size() > 1) {
    return HeadRefusal{501, fillTemplate(messages::kUnknownTransferCoding, {shown})};
  }
  return std::nullopt;
}

}  // namespace zel::host::internal

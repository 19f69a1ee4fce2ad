#include "host/description/api_facts.h"

#include <string_view>

#include "boundary/description_records.h"

namespace zel::host {

namespace {

// A status from 100 to 599 written in decimal; 0 for anything else.
std::uint32_t statusOf(std::string_view text) {
  if (text.empty() || text.size() > 3) return 0;
  std::uint32_t status = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    status = status * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return status >= 100 && status <= 599 ? status : 0;
}

// The status fact of a list {key, status, meaning}; status 0 when malformed.
StatusFact statusFact(const std::vector<std::string>& list) {
  if (list.size() != 3) return {};
  return StatusFact{statusOf(list[1]), list[2]};
}

// The rest of a list {key, name, texts...} under name, unless name has one.
void keepNamed(std::map<std::string, std::vector<std::string>, std::less<>>& facts,
               const std::vector<std::string>& list) {
  if (list.size() < 2 || facts.count(list[1]) != 0) return;
  facts.emplace(list[1], std::vector<std::string>(list.begin() + 2, list.end()));
}

}  // namespace

RouteFacts readRouteFacts(const FunctionInfo& function) {
  RouteFacts facts;
  for (const std::vector<std::string>& list : function.textLists) {
    if (list.empty()) continue;
    if (list[0] == kFactReturns && facts.success.status == 0) {
      facts.success = statusFact(list);
    } else if (list[0] == kFactError) {
      StatusFact error = statusFact(list);
      if (error.status != 0) facts.errors.push_back(std::move(error));
    }
  }
  return facts;
}

PluginFacts readPluginFacts(const ApiCatalog& catalog) {
  PluginFacts facts;
  for (const FunctionInfo& function : catalog.functions) {
    for (const std::vector<std::string>& list : function.textLists) {
      if (list.empty()) continue;
      if (list[0] == kFactVersion && list.size() == 2 && facts.version.empty()) {
        facts.version = list[1];
      } else if (list[0] == kFactRequired) {
        keepNamed(facts.required, list);
      } else if (list[0] == kFactEnumOrder) {
        keepNamed(facts.enumOrder, list);
      }
    }
  }
  return facts;
}

}  // namespace zel::host

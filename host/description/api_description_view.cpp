#include "host/description/api_description_view.h"

#include <cstring>

namespace zel::host {

std::uint32_t countLinkedRecords(const void* first, std::uint32_t limit) {
  std::uint32_t count = 0;
  for (const void* record = first; record != nullptr && count < limit; ++count) {
    // Records are byte-packed: read the link without assuming alignment.
    std::memcpy(&record, record, sizeof record);
  }
  return count;
}

namespace {

// One more than the count, so that a chain longer than announced shows.
std::uint32_t linkLimit(std::uint32_t count) {
  return count == UINT32_MAX ? count : count + 1;
}

}  // namespace

ApiDescriptionView ApiDescriptionView::read(const ApiDescription* description) {
  ApiDescriptionView view;
  if (description == nullptr) return view;
  std::memcpy(&view.words, description, sizeof view.words);
  view.linkedFunctions =
      countLinkedRecords(view.words.functions, linkLimit(view.words.functionCount));
  view.linkedTypes = countLinkedRecords(view.words.types, linkLimit(view.words.typeCount));
  view.linkedEvents = countLinkedRecords(view.words.events, linkLimit(view.words.eventCount));
  return view;
}

bool ApiDescriptionView::linksMatchCounts() const {
  return linkedFunctions == words.functionCount && linkedTypes == words.typeCount &&
         linkedEvents == words.eventCount;
}

}  // namespace zel::host

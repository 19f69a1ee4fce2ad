// zel-host describe: the JSON description of the real plugin's records.
#include "host/dev/documents/describe_document.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/dev/documents/document_paths.h"

namespace zel::host {
namespace {

using testing_support::at;
using testing_support::PluginDocumentTest;
using testing_support::textAt;

TEST_F(PluginDocumentTest, TheDescriptionListsFunctionsTypesAndEvents) {
  HostValue document = describeDocument(catalog_, info_);
  const HostValue* functions = document.find("functions");
  ASSERT_NE(functions, nullptr);
  ASSERT_EQ(functions->elements.size(), 6u);
  const HostValue& first = functions->elements[0];  // sorted by template
  EXPECT_EQ(textAt(first, {"method"}), "POST");
  EXPECT_EQ(textAt(first, {"urlTemplate"}), "/zel-maps/v1/map");
  ASSERT_EQ(at(first, {"arguments"})->elements.size(), 1u);
  EXPECT_EQ(textAt(at(first, {"arguments"})->elements[0], {"location"}), "body");
  EXPECT_EQ(textAt(at(first, {"arguments"})->elements[0], {"type", "kind"}), "struct");
  EXPECT_EQ(at(document, {"types"})->elements.size(), catalog_.types.size());
  std::vector<std::string> events;
  for (const HostValue& event : at(document, {"events"})->elements) {
    events.push_back(textAt(event, {"name"}));
  }
  EXPECT_TRUE(std::is_sorted(events.begin(), events.end()));
  EXPECT_EQ(events.size(), catalog_.events.size());
}

}  // namespace
}  // namespace zel::host

// Reading a plugin's description records into the host's catalogue: a
// description is the plugin's to get wrong, so a count without its list
// reads as an empty list.
#include "host/description/api_catalog.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "boundary/description_records.h"

namespace zel::host {
namespace {

TEST(ApiCatalogTest, CountsWithoutTheirListsReadAsEmptyLists) {
  TextListNode list{};
  list.count = 3;  // and no texts
  FunctionRecord record;
  std::memset(static_cast<void*>(&record), 0, sizeof record);
  record.function.name = "GetA";
  record.function.tagCount = 2;  // and no tags
  record.urlTemplate = "/a";
  record.textLists = &list;
  record.textListCount = 1;
  const ApiDescription description{&record, 1, nullptr, 0, nullptr, 0};

  const ApiCatalog catalog = readApiCatalog(&description);
  ASSERT_EQ(catalog.functions.size(), 1u);
  const FunctionInfo& function = catalog.functions[0];
  EXPECT_EQ(function.name, "GetA");
  EXPECT_EQ(function.urlTemplate, "/a");
  EXPECT_TRUE(function.tags.empty());
  EXPECT_EQ(function.textLists, std::vector<std::vector<std::string>>{{}});
}

}  // namespace
}  // namespace zel::host

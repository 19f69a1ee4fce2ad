// Reading a plugin's description records into the host's catalogue: the
// lists of texts a function carries, and counts without their lists (a
// description is the plugin's to get wrong), which read as empty lists.
#include "host/description/api_catalog.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "boundary/description_records.h"

namespace zel::host {
namespace {

using Texts = std::vector<std::string>;

FunctionRecord functionRecord(const char* name) {
  FunctionRecord record;
  std::memset(static_cast<void*>(&record), 0, sizeof record);
  record.function.name = name;
  return record;
}

TEST(ApiCatalogTest, ReadsTextListsAndCountsWithoutTheirListsAsEmpty) {
  const char* const tags[] = {"Plugins", "Plugin zel-test"};
  const char* const required[] = {"required", "Note", "text"};
  const TextListNode missing{nullptr, nullptr, 3};
  const TextListNode facts{&missing, required, 3};

  FunctionRecord bare = functionRecord("GetB");
  bare.function.tagCount = 2;  // and no tags
  FunctionRecord listed = functionRecord("GetA");
  listed.function.next = &bare;
  listed.function.tags = tags;
  listed.function.tagCount = 2;
  listed.textLists = &facts;
  listed.textListCount = 2;
  const ApiDescription description{&listed, 2, nullptr, 0, nullptr, 0};

  const ApiCatalog catalog = readApiCatalog(&description);
  ASSERT_EQ(catalog.functions.size(), 2u);
  EXPECT_EQ(catalog.functions[0].name, "GetA");
  EXPECT_EQ(catalog.functions[0].tags, (Texts{"Plugins", "Plugin zel-test"}));
  EXPECT_EQ(catalog.functions[0].textLists, (std::vector<Texts>{{"required", "Note", "text"}, {}}));
  EXPECT_EQ(catalog.functions[1].name, "GetB");
  EXPECT_TRUE(catalog.functions[1].tags.empty());
}

}  // namespace
}  // namespace zel::host

#include "maps/map_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "binding/convert_native.h"
#include "binding/type_registry.h"

namespace zel::maps {
namespace {

MapsResource variant(std::int64_t id, bool isDefault, const char* mode, const char* mutator,
                     const char* name = "") {
  MapsResource map;
  map.id = id;
  map.isDefault = isDefault;
  map.gameMode = mode;
  map.gameMutator = mutator;
  map.name = name;
  return map;
}

// (42, default, A), (42, B), (42, B, X): the lookups of both versions.
class CatalogueLookup : public ::testing::Test {
 protected:
  CatalogueLookup() {
    catalogue.update(variant(42, true, "A", "", "first"));
    catalogue.update(variant(42, false, "B", "", "second"));
    catalogue.update(variant(42, false, "B", "X", "third"));
  }
  MapCatalogue catalogue;
};

TEST_F(CatalogueLookup, VersionOneAndTwoSelection) {
  struct Row {
    int line;
    const char* mode;
    const char* mutator;
    const char* expected;
  };
  EXPECT_EQ(catalogue.findDefault(42)->name, "first");
  const Row rows[] = {
      {__LINE__, "B", "", "second"},   // route 4: mode without a mutator
      {__LINE__, "B", "X", "third"},   // exact match
      {__LINE__, "B", "Y", "second"},  // unknown mutator: the mode's plain variant
      {__LINE__, "C", "", "first"},    // unknown mode: the default variant
      {__LINE__, "b", "", "first"},    // case-sensitive
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const auto found = catalogue.findVariant(42, row.mode, row.mutator);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->name, row.expected);
  }
  EXPECT_FALSE(catalogue.findDefault(99).has_value());
  EXPECT_FALSE(catalogue.findVariant(99, "A", "").has_value());
}

TEST(MapCatalogue, FallbacksPickFirstDefaultInVersionOneAndLastInVersionTwo) {
  MapCatalogue catalogue;
  catalogue.update(variant(7, true, "A", "", "early"));
  catalogue.update(variant(7, true, "B", "", "late"));
  EXPECT_EQ(catalogue.findDefault(7)->name, "early");
  EXPECT_EQ(catalogue.findVariant(7, "Z", "")->name, "late");
}

TEST(MapCatalogue, NoMatchAndNoDefaultGivesAnEmptyRecord) {
  MapCatalogue catalogue;
  catalogue.update(variant(5, false, "A", "M", "only"));
  const auto v1 = catalogue.findDefault(5);
  ASSERT_TRUE(v1.has_value());
  EXPECT_EQ(v1->id, 0);
  const auto v2 = catalogue.findVariant(5, "A", "");  // mode matches, mutator does not
  ASSERT_TRUE(v2.has_value());
  EXPECT_EQ(v2->id, 0);
  EXPECT_TRUE(v2->name.empty());
}

TEST(MapCatalogue, UpdateReplacesInPlaceOrAppends) {
  MapCatalogue catalogue;
  catalogue.update(variant(1, true, "A", "", "a"));
  catalogue.update(variant(1, false, "B", "", "b"));
  catalogue.update(variant(1, false, "A", "", "a2"));  // same (id, mode, mutator)
  MapsList all = catalogue.allVariants();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "a2");
  EXPECT_FALSE(all[0].isDefault);                       // every field is overwritten
  catalogue.update(variant(1, false, "A", "X", "ax"));  // new mutator appends
  catalogue.update(variant(2, true, "A", "", "new id"));
  all = catalogue.allVariants();
  EXPECT_EQ(all.size(), 4u);
  EXPECT_EQ(catalogue.findVariant(1, "A", "X")->name, "ax");
  EXPECT_EQ(catalogue.findDefault(2)->name, "new id");
}

TEST(MapCatalogue, ListsFollowListOrderAndDefaults) {
  MapCatalogue catalogue;
  EXPECT_TRUE(catalogue.defaultVariants().empty());
  catalogue.update(variant(3, false, "A", "", "a"));
  catalogue.update(variant(3, false, "B", "", "b"));
  EXPECT_TRUE(catalogue.defaultVariants().empty());
  EXPECT_EQ(catalogue.allVariants().size(), 2u);
  catalogue.update(variant(3, true, "C", "", "c"));
  catalogue.update(variant(3, true, "D", "", "d"));
  catalogue.update(variant(5, false, "A", "", "e"));

  // The lists as values hold the same records, converted in the same order.
  TypeRegistry registry;
  registerMapsTypes(registry, "ZelMaps");
  BindingValue defaults, all;
  catalogue.listValues(defaults, all, &registry);
  ASSERT_TRUE(defaults.ok() && all.ok());
  ASSERT_EQ(defaults.size(), 2u);
  EXPECT_EQ(defaults.at(0).find("name").asString(), "c");
  EXPECT_EQ(defaults.at(1).find("name").asString(), "d");
  const MapsList copies = catalogue.allVariants();
  const BindingValue expected = toValue(copies, &registry);
  ASSERT_EQ(all.size(), 5u);
  for (std::size_t i = 0; i < copies.size(); ++i) {
    EXPECT_EQ(all.at(i).find("name").asString(), copies[i].name);
    EXPECT_EQ(all.at(i).fields().size(), expected.at(i).fields().size());
    EXPECT_EQ(all.at(i).find("gameMode").asString(), expected.at(i).find("gameMode").asString());
  }

  // A registry without the map structure fails the conversion: both are errors.
  TypeRegistry empty;
  catalogue.listValues(defaults, all, &empty);
  EXPECT_FALSE(defaults.ok());
  EXPECT_FALSE(all.ok());
}

TEST(MapCatalogue, ReplaceDropsTheOldCatalogue) {
  MapCatalogue catalogue;
  catalogue.update(variant(1, true, "A", "", "old"));
  MapVariants fresh;
  fresh[2].push_back(variant(2, true, "A", "", "new"));
  catalogue.replace(std::move(fresh));
  EXPECT_FALSE(catalogue.findDefault(1).has_value());
  EXPECT_EQ(catalogue.findDefault(2)->name, "new");
}

TEST(MapCatalogue, ConcurrentUpdatesAndLookupsLoseNothing) {
  MapCatalogue catalogue;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&catalogue, t] {
      for (int i = 0; i < 200; ++i) {
        catalogue.update(variant(t, i == 0, "M", std::to_string(i).c_str()));
        (void)catalogue.findVariant(t, "M", "3");
        (void)catalogue.allVariants();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(catalogue.allVariants().size(), 800u);
  EXPECT_EQ(catalogue.defaultVariants().size(), 4u);
}

}  // namespace
}  // namespace zel::maps

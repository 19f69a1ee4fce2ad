// The tests' own plugin is built with zel_plugin_library(... NAME zel-test):
// the host finds its entry load_zel_test by the file name, and the library
// exports no other entry.
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/loading/entry_name.h"
#include "host/plugin_host.h"

namespace zel {
namespace {

// The plugin is driven through our host library, whose names read unqualified here.
using namespace host;

using testing::HasSubstr;

// Kept loaded to the end, like the end-to-end tests' copy: a library that
// carries its own C++ runtime leaves that runtime's buffers behind when it goes.
const PluginLibrary& keptLoaded() {
  static const PluginLibrary* kept = new PluginLibrary(PluginLibrary::open(ZEL_TEST_PLUGIN_PATH));
  return *kept;
}

TEST(TestPluginEntryTest, TheHostFindsTheEntryNamedAfterTheFile) {
  const PluginLibrary& library = keptLoaded();
  ASSERT_TRUE(library.isOpen()) << library.error();
  EXPECT_EQ(library.entryName(), "load_zel_test");
  EXPECT_EQ(entryNameForLibrary(ZEL_TEST_PLUGIN_PATH), entryNameForShortName("zel-test"));
}

TEST(TestPluginEntryTest, TheLibraryExportsNoMapsEntry) {
  ASSERT_TRUE(keptLoaded().isOpen()) << keptLoaded().error();
  PluginLibrary maps = PluginLibrary::open(ZEL_TEST_PLUGIN_PATH, kEntryFunctionName);
  EXPECT_FALSE(maps.isOpen());
  EXPECT_THAT(maps.error(), HasSubstr("has no entry function load_zel_maps"));
}

}  // namespace
}  // namespace zel

// Opening a plugin library: the entry found by the file name, the fallback to
// load_zel_maps, an entry named by the caller, and the errors of each.
#include "host/plugin_host.h"

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/loading/program_path.h"

namespace zel::host {
namespace {

using testing::HasSubstr;

TEST(PluginLibraryEntryTest, TheMapsPluginIsFoundByItsFileName) {
  PluginLibrary library = PluginLibrary::open(ZEL_PLUGIN_PATH);
  ASSERT_TRUE(library.isOpen()) << library.error();
  EXPECT_EQ(library.entryName(), "load_zel_maps");
  EXPECT_NE(library.entry(), nullptr);
  library.close();
  EXPECT_FALSE(library.isOpen());
  EXPECT_EQ(library.entryName(), "");
}

TEST(PluginLibraryEntryTest, AnEntryNamedByTheCallerIsTheOnlyOneTried) {
  PluginLibrary library = PluginLibrary::open(ZEL_PLUGIN_PATH, "load_zel_notes");
  EXPECT_FALSE(library.isOpen());
  EXPECT_EQ(library.entry(), nullptr);
  EXPECT_THAT(library.error(), HasSubstr("has no entry function load_zel_notes"));
  EXPECT_THAT(library.error(), HasSubstr(ZEL_PLUGIN_PATH));

  PluginLibrary named = PluginLibrary::open(ZEL_PLUGIN_PATH, "load_zel_maps");
  ASSERT_TRUE(named.isOpen()) << named.error();
  EXPECT_EQ(named.entryName(), "load_zel_maps");
}

TEST(PluginLibraryEntryTest, ALibraryRenamedFallsBackToTheMapsEntry) {
  // A copy under another name is another library to the loader. It stays
  // loaded to the end: a library carrying its own C++ runtime leaves that
  // runtime's buffers behind when it goes. A name of its own per run, as
  // Windows keeps a loaded file from being replaced.
  namespace fs = std::filesystem;
  // On Windows the path is a bare file name that the loader finds beside the
  // program, wherever the test runs from.
  fs::path source = ZEL_PLUGIN_PATH;
  if (source.is_relative()) source = programPath().parent_path() / source;
  fs::path copy =
      fs::temp_directory_path() / ("zel_renamed_plugin_" + std::to_string(std::random_device{}()) +
                                   source.extension().string());
  std::error_code error;
  // A fresh wine prefix names a temporary folder it has not made yet.
  fs::create_directories(copy.parent_path(), error);
  fs::copy_file(source, copy, fs::copy_options::overwrite_existing, error);
  ASSERT_FALSE(error) << copy.string() << ": " << error.message();
  static PluginLibrary* renamed = new PluginLibrary(PluginLibrary::open(copy.string()));
  ASSERT_TRUE(renamed->isOpen()) << renamed->error();
  EXPECT_EQ(renamed->entryName(), "load_zel_maps");
  // Linux lets the loaded file go; Windows keeps it until the process ends.
  fs::remove(copy, error);
}

TEST(PluginLibraryEntryTest, AMovedLibraryKeepsItsEntryName) {
  PluginLibrary library = PluginLibrary::open(ZEL_PLUGIN_PATH);
  PluginLibrary moved(std::move(library));
  EXPECT_EQ(moved.entryName(), "load_zel_maps");
  EXPECT_TRUE(moved.isOpen());
  PluginLibrary assigned;
  assigned = std::move(moved);
  EXPECT_EQ(assigned.entryName(), "load_zel_maps");
  EXPECT_TRUE(assigned.isOpen());
}

}  // namespace
}  // namespace zel::host

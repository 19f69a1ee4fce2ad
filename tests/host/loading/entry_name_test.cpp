// The entry name the host derives for a plugin library from its file name.
#include "host/loading/entry_name.h"

#include <string>

#include <gtest/gtest.h>

namespace zel::host {
namespace {

TEST(EntryNameTest, ShortNamesTurnDashesIntoUnderscores) {
  EXPECT_EQ(entryNameForShortName("zel-maps"), "load_zel_maps");
  EXPECT_EQ(entryNameForShortName("zel-notes"), "load_zel_notes");
  EXPECT_EQ(entryNameForShortName("a-b-c"), "load_a_b_c");
  EXPECT_EQ(entryNameForShortName("plain"), "load_plain");
}

TEST(EntryNameTest, LibraryPathsGiveTheirFileNameWithoutFoldersOrExtension) {
  struct Row {
    int line;
    const char* path;
    const char* entry;
  };
  const Row rows[] = {
      {__LINE__, "zel_maps.dll", "load_zel_maps"},
      {__LINE__, "zel_notes.so", "load_zel_notes"},
      {__LINE__, "/opt/plugins/zel_notes.so", "load_zel_notes"},
      {__LINE__, "C:\\plugins\\zel_notes.dll", "load_zel_notes"},
      {__LINE__, "plugins/zel-notes.dll", "load_zel_notes"},
      {__LINE__, "my.dir/zel_notes", "load_zel_notes"},  // a dot in a folder is no extension
      {__LINE__, "zel_notes.1.so", "load_zel_notes.1"},  // only the last extension goes
      {__LINE__, "", "load_zel_maps"},                   // nothing to derive from
      {__LINE__, "plugins/", "load_zel_maps"},
      {__LINE__, "plugins/.so", "load_zel_maps"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.path);
    EXPECT_EQ(entryNameForLibrary(row.path), row.entry);
  }
}

}  // namespace
}  // namespace zel::host

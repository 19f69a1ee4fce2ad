#include "host/dev/hosting/file_watcher.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

FileSignature signature(std::uintmax_t size, int tick) {
  return FileSignature{true, size, std::filesystem::file_time_type(std::chrono::seconds(tick))};
}

TEST(ChangeDetectorTest, ReportsAChangeOnceItHasSettled) {
  const FileSignature absent{};
  struct Row {
    int line;
    FileSignature poll;
    bool reported;
  };
  const Row rows[] = {
      {__LINE__, signature(10, 1), false},  // as loaded
      {__LINE__, signature(4, 2), false},   // being written
      {__LINE__, signature(8, 3), false},   // still being written
      {__LINE__, signature(12, 4), false},  // last write
      {__LINE__, signature(12, 4), true},   // settled: reported once
      {__LINE__, signature(12, 4), false},
      {__LINE__, absent, false},  // removed before the next build writes it
      {__LINE__, absent, false},  // an absent file is never loaded
      {__LINE__, signature(0, 5), false},
      {__LINE__, signature(0, 5), true},  // an empty one is, and fails to load
      {__LINE__, signature(0, 5), false},
      {__LINE__, signature(12, 4), false},  // rewritten as it was
      {__LINE__, signature(12, 4), true},
      {__LINE__, signature(12, 6), false},  // touched
      {__LINE__, signature(12, 6), true},
      {__LINE__, absent, false},
      {__LINE__, signature(12, 6), false},  // back as it was: nothing to do
  };
  ChangeDetector detector(signature(10, 1));
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    EXPECT_EQ(detector.observe(row.poll), row.reported);
  }
}

TEST(FileSignatureTest, FollowsTheFile) {
  std::filesystem::path file = testing_support::artifactDirectory() / "scratch" / "signature.bin";
  std::filesystem::create_directories(file.parent_path());
  std::filesystem::remove(file);
  EXPECT_FALSE(fileSignature(file).exists);
  testing_support::writeTextFile(file, "12345");
  FileSignature written = fileSignature(file);
  EXPECT_TRUE(written.exists);
  EXPECT_EQ(written.size, 5u);
  testing_support::writeTextFile(file, "1234567");
  EXPECT_NE(fileSignature(file), written);
}

TEST(FileWatcherTest, CallsBackWhenTheFileChanges) {
  std::filesystem::path file = testing_support::artifactDirectory() / "scratch" / "watched.bin";
  std::filesystem::create_directories(file.parent_path());
  testing_support::writeTextFile(file, "first");
  std::atomic<int> calls{0};
  FileWatcher watcher(file, std::chrono::milliseconds(20), [&] { ++calls; });
  watcher.start();
  testing_support::writeTextFile(file, "second, longer");
  for (int i = 0; i < 3000 && calls == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  watcher.stop();
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace zel::host

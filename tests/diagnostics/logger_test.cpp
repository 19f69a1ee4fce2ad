// The logger: built-in targets, level, mute and channel filtering (the typed
// log formats only what passes), target configuration, release, and
// configuring targets while other threads log.
#include "diagnostics/logger.h"
#include "diagnostics/logger_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/console_log_targets.h"
#include "diagnostics/format.h"
#include "diagnostics/log_line.h"
#include "memory/memory.h"

namespace zel {
namespace {

// A target built only from the descriptor interface, outside the LogTarget
// class tree; it keeps every message and rendered line it is given.
class RecordingTarget {
 public:
  explicit RecordingTarget(const char* name, const char* lineTemplate = kDefaultLineTemplate)
      : name_(name), lineTemplate_(lineTemplate) {
    descriptor_ = {
        kLogTargetDescriptorVersion,
        [](LogTargetDescriptor* d, std::int32_t level) { self(d).level_ = level; },
        [](const LogTargetDescriptor* d) { return self(d).level_.load(); },
        [](LogTargetDescriptor* d, std::uint64_t include, std::uint64_t exclude) {
          self(d).include_ = include;
          self(d).exclude_ = exclude;
        },
        [](const LogTargetDescriptor* d) { return self(d).include_.load(); },
        [](const LogTargetDescriptor* d) { return self(d).exclude_.load(); },
        [](const LogTargetDescriptor* d) { return self(d).name_; },
        [](const LogTargetDescriptor* d) { return self(d).lineTemplate_; },
        [](LogTargetDescriptor* d) { self(d).attached_ = logger::attachTarget(d); },
        [](LogTargetDescriptor* d) {
          logger::detachTarget(d);
          self(d).attached_ = false;
          std::lock_guard guard(detachMutex());
          detachOrder().push_back(self(d).name_);
        },
        [](const LogTargetDescriptor* d) { return self(d).attached_.load(); },
        [](LogTargetDescriptor* d, const LogRecord& record) {
          RecordingTarget& target = self(d);
          char line[kLogLineBufferSize];
          renderLogLine(target.lineTemplate_, record, line, sizeof line);
          std::lock_guard guard(target.mutex_);
          target.messages_.push_back(record.message);
          target.lines_.push_back(line);
          target.levels_.push_back(record.level);
          return true;
        },
        this,
    };
  }
  ~RecordingTarget() { logger::detachTarget(&descriptor_); }

  LogTargetDescriptor* descriptor() { return &descriptor_; }
  void attach() { descriptor_.attach(&descriptor_); }
  void set(std::int32_t level, std::uint64_t include, std::uint64_t exclude) {
    level_ = level;
    include_ = include;
    exclude_ = exclude;
  }
  bool attached() const { return attached_; }
  std::vector<std::string> messages() {
    std::lock_guard guard(mutex_);
    return messages_;
  }
  std::vector<std::string> lines() {
    std::lock_guard guard(mutex_);
    return lines_;
  }
  void clear() {
    std::lock_guard guard(mutex_);
    messages_.clear();
    lines_.clear();
    levels_.clear();
  }

  static std::mutex& detachMutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::vector<std::string>& detachOrder() {
    static std::vector<std::string> order;
    return order;
  }

 private:
  static RecordingTarget& self(const LogTargetDescriptor* d) {
    return *static_cast<RecordingTarget*>(d->context);
  }

  const char* name_;
  const char* lineTemplate_;
  std::atomic<std::int32_t> level_{kLogOkay};
  std::atomic<std::uint64_t> include_{0};
  std::atomic<std::uint64_t> exclude_{0};
  std::atomic<bool> attached_{false};
  std::mutex mutex_;
  std::vector<std::string> messages_;
  std::vector<std::string> lines_;
  std::vector<std::int32_t> levels_;
  LogTargetDescriptor descriptor_{};
};

// A target of the LogTarget class tree, for configure().
class CollectingLogTarget : public LogTarget {
 public:
  ~CollectingLogTarget() override { detach(); }
  bool write(const LogRecord& record) override {
    char line[kLogLineBufferSize];
    renderLine(record, line, sizeof line);
    lines_.push_back(line);
    return true;
  }
  // Only read once no thread logs any more.
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// Each test starts from a freshly created logger and ends by destroying it.
class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override { logger::acquire(); }
  void TearDown() override { logger::release(); }

  // Only the recording targets of a test see its lines.
  static void detachBuiltIns() {
    logger::stdErrTarget()->detach();
    logger::debuggerTarget()->detach();
  }
};

TEST_F(LoggerTest, StartsWithItsInitialSettingsAndBuiltInTargets) {
  EXPECT_EQ(loggerInterface().interfaceVersion(), 1u);
  EXPECT_EQ(logger::minimumLevel(), kLogWarn);
  EXPECT_EQ(logger::muteMask(), kTagXtr);
  EXPECT_FALSE(logger::isDisabled());

  StdErrLogTarget* stdErr = logger::stdErrTarget();
  StdOutLogTarget* stdOut = logger::stdOutTarget();
  DebuggerConsoleLogTarget* debugger = logger::debuggerTarget();
  ASSERT_NE(stdErr, nullptr);
  ASSERT_NE(stdOut, nullptr);
  ASSERT_NE(debugger, nullptr);

  struct Row {
    int line;
    LogTarget* target;
    const char* name;
    std::uint64_t include;
    std::uint64_t exclude;
    const char* lineTemplate;
    bool attached;
  };
  const Row rows[] = {
      {__LINE__, stdErr, "StdErrLogTarget", kTagDbg, kTagGen, "#E(#T): #L| #M", true},
      {__LINE__, stdOut, "StdOutLogTarget", kTagGen, kTagDbg, "#M", false},
      {__LINE__, debugger, "DebuggerConsoleLogTarget", kTagDbg, 0, "#E(#T): #L| #M", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_STREQ(row.target->name(), row.name);
    EXPECT_EQ(row.target->minimumLevel(), kLogWarn);
    EXPECT_EQ(row.target->includeMask(), row.include);
    EXPECT_EQ(row.target->excludeMask(), row.exclude);
    EXPECT_STREQ(row.target->lineTemplate(), row.lineTemplate);
    EXPECT_EQ(row.target->isAttached(), row.attached);
    EXPECT_EQ(logger::findTarget(row.name), row.attached ? row.target->descriptor() : nullptr);
  }
  EXPECT_FALSE(stdOut->flushEachLine());
  stdOut->setFlushEachLine(true);
  EXPECT_TRUE(stdOut->flushEachLine());
  stdOut->setFlushEachLine(false);
  EXPECT_EQ(logger::findTarget("PluginLogTarget"), nullptr);
}

TEST_F(LoggerTest, BuiltInTargetsRouteByChannel) {
  logger::stdOutTarget()->attach();
  const std::string prefix = std::string(logProcessName()) + "(";

  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  logMessage(kLogError, kTagDbg, "to %s", "stderr");
  logMessage(kLogError, kTagGen, "to stdout");
  logMessage(kLogWarn, 0, "to both");
  logMessage(kLogOkay, 0, "dropped: below the minimum level");
  logMessage(kLogAlways, kTagXtr | kTagDbg, "dropped: muted");
  logger::stdOutTarget()->flush();
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_EQ(out, "to stdout\nto both\n");
  char thread[16];
  std::snprintf(thread, sizeof thread, "%08X", platform::currentThreadId());
  EXPECT_EQ(err,
            prefix + thread + "):  ERROR| to stderr\n" + prefix + thread + "):   WARN| to both\n");
}

// An argument of the typed log that counts how often it is formatted.
struct CountedArgument {
  int* renders;
  std::string toString() const {
    ++*renders;
    return "counted";
  }
};

TEST_F(LoggerTest, FiltersByLevelMuteMaskAndTargetMasks) {
  detachBuiltIns();
  struct Row {
    int line;
    std::int32_t targetLevel;
    std::uint64_t include;
    std::uint64_t exclude;
    std::int32_t level;
    std::uint64_t mask;
    bool delivered;
    bool formatted;  // passes the logger's own filters, so log() formats it
  };
  const Row rows[] = {
      {__LINE__, kLogOkay, 0, 0, kLogWarn, 0, true, true},
      {__LINE__, kLogOkay, 0, 0, kLogOkay, 0, false, false},          // below the logger's level
      {__LINE__, kLogOkay, 0, 0, kLogAlways, kTagXtr, false, false},  // muted
      {__LINE__, kLogOkay, 0, 0, kLogAlways, kTagXtr | kTagDbg, false, false},
      {__LINE__, kLogError, 0, 0, kLogWarn, 0, false, true},  // below the target's level
      {__LINE__, kLogError, 0, 0, kLogError, kTagGen, true, true},
      {__LINE__, kLogOkay, kTagDbg, 0, kLogWarn, kTagDbg, true, true},
      {__LINE__, kLogOkay, kTagDbg, 0, kLogWarn, kTagGen, false, true},
      {__LINE__, kLogOkay, kTagDbg, 0, kLogWarn, kTagGen | kTagDbg, true, true},
      {__LINE__, kLogOkay, kTagDbg, 0, kLogWarn, 0, true, true},  // mask 0 passes every mask test
      {__LINE__, kLogOkay, 0, kTagGen, kLogWarn, kTagGen | kTagDbg, false, true},
      {__LINE__, kLogOkay, kTagDbg, kTagGen, kLogWarn, kTagGen | kTagDbg, false, true},
      {__LINE__, kLogOkay, 0, kTagGen, kLogWarn, kTagNet, true, true},
      {__LINE__, kLogOkay, 0, kTagGen, kLogWarn, 0, true, true},
  };
  RecordingTarget target("Recorder");
  target.attach();
  ASSERT_TRUE(target.attached());
  int renders = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    target.clear();
    renders = 0;
    target.set(row.targetLevel, row.include, row.exclude);
    logMessage(row.level, row.mask, "message %d", row.line);
    log(row.level, row.mask, "typed %1 at %2", CountedArgument{&renders}, row.line);
    const std::vector<std::string> expected =
        row.delivered ? std::vector<std::string>{formatPositional("message %1", row.line),
                                                 formatPositional("typed counted at %1", row.line)}
                      : std::vector<std::string>{};
    EXPECT_EQ(target.messages(), expected);
    EXPECT_EQ(renders, row.formatted ? 1 : 0);
  }

  // Disabled drops everything, unformatted; the logger's level can be lowered.
  target.set(kLogOkay, 0, 0);
  target.clear();
  renders = 0;
  logger::disable();
  logMessage(kLogAlways, 0, "while disabled");
  log(kLogAlways, 0, "while disabled %1", CountedArgument{&renders});
  EXPECT_EQ(renders, 0);
  logger::enable();
  logger::setMinimumLevel(kLogOkay);
  logger::setMuteMask(0);
  logMessage(kLogOkay, kTagXtr, "okay and extra");
  EXPECT_EQ(target.messages(), std::vector<std::string>{"okay and extra"});
}

TEST_F(LoggerTest, CountsWarningsAndErrorsThatPassTheFilters) {
  detachBuiltIns();
  logMessage(kLogWarn, 0, "w1");
  logMessage(kLogWarn, kTagXtr, "muted");
  logMessage(kLogError, kTagDbg, "e1");
  logMessage(kLogError, 0, "e2");
  logMessage(kLogAlways, 0, "a");
  EXPECT_EQ(logger::warningCount(), 1u);
  EXPECT_EQ(logger::errorCount(), 2u);
}

TEST_F(LoggerTest, MessagesAreCutAndLinesEndInOneLineFeed) {
  detachBuiltIns();
  RecordingTarget target("Recorder", "#L| #M");
  target.attach();
  const std::string longText(6000, 'z');
  logMessage(kLogWarn, 0, "%s", longText.c_str());
  logMessage(kLogWarn, 0, "ends in a line feed\n");
  logText(kLogWarn, 0, "100% %s %n as is");
  logMessage(kLogWarn, 0, "%*d|", 9000, 1);
  log(kLogWarn, 0, "%1 of %2 at %3", std::string("100% %s %n"), std::uint8_t{7}, 2.5);

  const std::vector<std::string> messages = target.messages();
  const std::vector<std::string> lines = target.lines();
  ASSERT_EQ(messages.size(), 5u);
  EXPECT_EQ(messages[0], std::string(4095, 'z'));
  EXPECT_EQ(lines[0].size(), 4095u);
  EXPECT_EQ(lines[0].back(), '\n');
  EXPECT_EQ(lines[1], "  WARN| ends in a line feed\n");
  EXPECT_EQ(lines[2], "  WARN| 100% %s %n as is\n");
  EXPECT_EQ(messages[3], std::string(4095, ' '));
  EXPECT_EQ(lines[4], "  WARN| 100% %s %n of 7 at 2.5\n");
}

TEST_F(LoggerTest, AttachDetachAndFindKeepOneEntryPerTarget) {
  detachBuiltIns();
  RecordingTarget first("First");
  RecordingTarget second("Second");
  first.attach();
  second.attach();
  first.attach();  // listed once
  EXPECT_EQ(logger::findTarget("Second"), second.descriptor());
  logMessage(kLogWarn, 0, "one");
  EXPECT_EQ(first.messages().size(), 1u);
  logger::detachTarget(first.descriptor());
  logMessage(kLogWarn, 0, "two");
  EXPECT_EQ(first.messages().size(), 1u);
  EXPECT_EQ(second.messages().size(), 2u);
  EXPECT_EQ(logger::findTarget("First"), nullptr);

  LogTargetDescriptor wrongVersion = *first.descriptor();
  wrongVersion.version = 2;
  EXPECT_FALSE(logger::attachTarget(&wrongVersion));
}

// A target that leaves the detaching to ~LogTarget: destroyed while
// attached, it must leave the list before its memory goes.
TEST_F(LoggerTest, ATargetDestroyedWhileAttachedLeavesTheList) {
  class Bare : public LogTarget {
   public:
    bool write(const LogRecord&) override { return true; }
  };
  detachBuiltIns();
  auto target = std::make_unique<Bare>();
  EXPECT_EQ(target->includeMask(), 0u);  // every tag, until set
  target->attach();
  ASSERT_TRUE(target->isAttached());
  target.reset();
  logMessage(kLogWarn, 0, "nobody listens");
  CollectingLogTarget after;
  after.attach();
  logMessage(kLogWarn, 0, "one listens");
  EXPECT_EQ(after.lines().size(), 1u);
}

TEST_F(LoggerTest, TheListHoldsAtMost32Targets) {
  detachBuiltIns();
  constexpr std::size_t kLimit = 32;  // as a number, so that a changed limit shows here
  std::deque<RecordingTarget> targets;
  for (std::size_t i = 0; i <= kLimit; ++i) targets.emplace_back("Listed");
  RecordingTarget& extra = targets.back();
  for (std::size_t i = 0; i < kLimit; ++i) {
    EXPECT_TRUE(logger::attachTarget(targets[i].descriptor())) << i;
  }
  EXPECT_FALSE(logger::attachTarget(extra.descriptor()));
  EXPECT_TRUE(logger::attachTarget(targets[0].descriptor()));  // already listed, still once
  logMessage(kLogWarn, 0, "full");
  EXPECT_EQ(targets[0].messages(), std::vector<std::string>{"full"});
  EXPECT_EQ(targets[kLimit - 1].messages(), std::vector<std::string>{"full"});
  EXPECT_TRUE(extra.messages().empty());

  logger::detachTarget(targets[0].descriptor());
  EXPECT_TRUE(logger::attachTarget(extra.descriptor()));
}

TEST_F(LoggerTest, TheLastReleaseDetachesEveryTargetInReverseOrder) {
  RecordingTarget first("First");
  RecordingTarget second("Second");
  first.attach();
  second.attach();
  RecordingTarget::detachOrder().clear();

  logger::acquire();
  logger::release();  // not the last user
  EXPECT_TRUE(first.attached());
  EXPECT_TRUE(RecordingTarget::detachOrder().empty());

  logger::release();
  EXPECT_EQ(RecordingTarget::detachOrder(), (std::vector<std::string>{"Second", "First"}));
  EXPECT_FALSE(first.attached());
  EXPECT_EQ(logger::stdErrTarget(), nullptr);

  logger::acquire();  // for TearDown; a new logger with new built-in targets
  EXPECT_NE(logger::stdErrTarget(), nullptr);
  EXPECT_EQ(logger::findTarget("First"), nullptr);
}

// A built-in target that cannot be allocated is left out; the logger is
// created all the same, serves the other targets, and frees what it made.
TEST_F(LoggerTest, ExhaustedMemoryLeavesBuiltInTargetsOutNotTheLogger) {
  logger::release();  // the fixture's logger; each round creates its own
  const std::int64_t live = memory::liveBytes();
  int roundsWithoutOne = 0;
  for (std::uint64_t nth = 1; nth <= 8; ++nth) {
    SCOPED_TRACE(nth);
    memory::failAllocationForTest(nth);
    logger::acquire();
    memory::failAllocationForTest(0);
    const int missing = (logger::stdErrTarget() == nullptr ? 1 : 0) +
                        (logger::stdOutTarget() == nullptr ? 1 : 0) +
                        (logger::debuggerTarget() == nullptr ? 1 : 0);
    EXPECT_LE(missing, 1);
    if (missing != 0) ++roundsWithoutOne;
    if (StdErrLogTarget* stdErr = logger::stdErrTarget()) {
      EXPECT_TRUE(stdErr->isAttached());
      stdErr->detach();
    }
    if (DebuggerConsoleLogTarget* debugger = logger::debuggerTarget()) debugger->detach();
    {
      RecordingTarget target("Recording");
      target.attach();
      logMessage(kLogWarn, 0, "still logged %d", 7);
      EXPECT_EQ(target.messages(), (std::vector<std::string>{"still logged 7"}));
    }
    logger::release();
    EXPECT_EQ(memory::liveBytes(), live);
  }
  EXPECT_EQ(roundsWithoutOne, 3) << "each built-in target was left out once";
  logger::acquire();  // for TearDown
}

TEST_F(LoggerTest, ConfiguringATargetRemovesExcludedBitsFromItsIncludeMask) {
  detachBuiltIns();
  CollectingLogTarget target;
  EXPECT_STREQ(target.name(), "LogTarget");
  EXPECT_EQ(target.minimumLevel(), kLogWarn);
  EXPECT_STREQ(target.lineTemplate(), "#D| #L| #G| #M");
  EXPECT_FALSE(target.isAttached());

  target.configure(kLogOkay, kTagDbg, kTagDbg, "#G: #M");
  EXPECT_TRUE(target.isAttached());
  EXPECT_EQ(target.includeMask(), 0u);
  EXPECT_EQ(target.excludeMask(), kTagDbg);
  EXPECT_STREQ(target.lineTemplate(), "#G: #M");

  logMessage(kLogWarn, kTagGen, "general");
  logMessage(kLogWarn, kTagDbg, "debug");
  logMessage(kLogWarn, kTagNet | kTagPrf, "network");
  EXPECT_EQ(target.lines(), (std::vector<std::string>{"GEN: general\n", "PRF;NET: network\n"}));

  target.configure(kLogError, kTagNet | kTagGen, kTagGen, "#M");
  EXPECT_EQ(target.includeMask(), kTagNet);
  EXPECT_TRUE(target.isAttached());
}

// Configuration takes the target's lock and the logger's; logging takes them
// in the other order. Neither may wait for the other forever.
TEST_F(LoggerTest, ConfiguringWhileOtherThreadsLogDoesNotDeadlock) {
  detachBuiltIns();
  logger::setMinimumLevel(kLogOkay);
  CollectingLogTarget configured;
  RecordingTarget recorder("Recorder", "#M");
  recorder.attach();

  std::mutex doneMutex;
  std::condition_variable doneChanged;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock lock(doneMutex);
    if (!doneChanged.wait_for(lock, std::chrono::seconds(120), [&] { return done; })) {
      std::fprintf(stderr, "logging and configuring deadlocked\n");
      std::abort();
    }
  });

  std::atomic<bool> stop{false};
  std::atomic<int> logged{0};
  std::vector<std::thread> loggers;
  for (int t = 0; t < 3; ++t) {
    loggers.emplace_back([&stop, &logged, t] {
      int n = 0;
      while (!stop.load()) {
        logMessage(kLogWarn, kTagDbg, "thread %d line %d", t, n++);
        ++logged;
      }
    });
  }
  // Keep configuring until the threads have logged plenty meanwhile.
  for (int i = 0; i < 2000 || logged.load() < 20000; ++i) {
    configured.configure(i % 2 == 0 ? kLogOkay : kLogError, kTagDbg, i % 3 == 0 ? kTagGen : 0,
                         i % 2 == 0 ? "#L| #M" : "#M");
    configured.setMinimumLevel(kLogOkay);
    if (i % 50 == 0) {
      recorder.descriptor()->detach(recorder.descriptor());
      recorder.attach();
    }
  }
  stop = true;
  for (std::thread& thread : loggers) thread.join();
  {
    std::lock_guard lock(doneMutex);
    done = true;
  }
  doneChanged.notify_one();
  watchdog.join();

  EXPECT_TRUE(configured.isAttached());
  EXPECT_FALSE(configured.lines().empty());
  // Lines from different threads never mix within a target.
  for (const std::string& line : configured.lines()) {
    ASSERT_TRUE(line.rfind("thread ", 0) == 0 || line.rfind("  WARN| thread ", 0) == 0) << line;
    ASSERT_EQ(line.find('\n'), line.size() - 1) << line;
  }
  EXPECT_FALSE(recorder.messages().empty());
}

void logThroughTable(std::int32_t level, std::uint64_t mask, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  loggerInterface().log(level, mask, format, arguments);
  va_end(arguments);
}

TEST_F(LoggerTest, TheFunctionTableReachesTheSameLogger) {
  detachBuiltIns();
  const LoggerInterface& table = loggerInterface();
  RecordingTarget target("Recorder");
  ASSERT_TRUE(table.attachTarget(target.descriptor()));
  table.setMinimumLevel(kLogOkay);
  EXPECT_EQ(logger::minimumLevel(), kLogOkay);
  logThroughTable(kLogOkay, table.registerTag("NET"), "%s=%lld", "id", 42LL);
  EXPECT_EQ(target.messages(), std::vector<std::string>{"id=42"});
  EXPECT_EQ(table.findTarget("Recorder"), target.descriptor());
  table.detachTarget(target.descriptor());
  EXPECT_EQ(table.findTarget("Recorder"), nullptr);
}

}  // namespace
}  // namespace zel

// Exhausted memory at every allocation of an operation in turn: each reader,
// every maps route called through its function record, the catalogue load
// and the load handshake. Every run must end in an error result or a
// success, give back every byte it took, and leave the catalogue whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "api/messages.h"
#include "binding/convert_flat.h"
#include "binding/flat_value_ops.h"
#include "boundary/description_records.h"
#include "boundary/host_api.h"
#include "boundary/method_codes.h"
#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"
#include "host/sdk_fakes/quiet_host.h"
#include "host/sdk_fakes/value_equality.h"
#include "maps/map_catalogue.h"
#include "maps/maps_service.h"
#include "memory/memory.h"
#include "plugin/entry.h"
#include "tests/formats/value_text.h"
#include "tests/reliability/game_data_documents.h"

namespace zel::reliability {
namespace {

using host::QuietHost;
using host::sameValue;

constexpr std::uint32_t kServerError = 500;
// No operation here comes near this many allocations; reaching it means the
// hook does not fire.
constexpr std::uint64_t kMaxRuns = 20000;

std::uint64_t allocationCount() {
  MemoryStats stats{};
  memory::readStats(stats);
  return stats.allocations;
}

// Blocks counted allocated and not yet freed.
std::int64_t liveBlocks() {
  MemoryStats stats{};
  memory::readStats(stats);
  return static_cast<std::int64_t>(stats.allocations - stats.frees);
}

// The counters hold usable sizes. 64-bit glibc hands out a whole free chunk
// when what would be left of it is smaller than its smallest chunk (32 bytes),
// so the same request may get up to 16 usable bytes more or less than it got
// the run before. With 4-byte pointers that remainder is never left (the
// smallest chunk is the 16-byte alignment), and _msize and the sanitizers'
// allocators answer the size asked for: there, a block's bytes are exact.
#if defined(__GLIBC__) && UINTPTR_MAX > 0xFFFFFFFFu && !defined(__SANITIZE_ADDRESS__)
constexpr std::int64_t kUsableSlackPerBlock = 16;
#else
constexpr std::int64_t kUsableSlackPerBlock = 0;
#endif

std::size_t failureCount() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

// How memory runs out in a sweep: only the nth allocation fails, or the nth
// and every one after it, as in a process that has used up its address space
// (where the code cleaning up after the failure finds no memory either).
enum class Exhaustion { OneAllocation, FromThereOn };

// Runs operation with its nth allocation failing, n = 1, 2, ... until a run
// makes fewer than n allocations (the failure was never reached), once for
// each kind of exhaustion. Each n runs twice: what the first run caches for
// good (a log buffer grown by its first error line, an interned name) is no
// leak, so only the second run must give back every block it took, with its
// bytes. The operation releases what it made before it returns; check runs
// after the bytes are counted, outside the failing window, so that the test's
// own records of failures are not mistaken for a leak.
// Returns the number of runs of both sweeps together.
std::uint64_t failEachAllocation(const std::function<void()>& operation,
                                 const std::function<void(std::uint64_t)>& check) {
  std::uint64_t runs = 0;
  for (const Exhaustion exhaustion : {Exhaustion::OneAllocation, Exhaustion::FromThereOn}) {
    SCOPED_TRACE(exhaustion == Exhaustion::OneAllocation ? "one allocation fails"
                                                         : "every allocation fails from there on");
    std::uint64_t n = 1;
    for (; n < kMaxRuns; ++n) {
      const std::size_t failuresBefore = failureCount();
      bool reached = false;
      for (int pass = 0; pass < 2; ++pass) {
        const std::int64_t before = memory::liveBytes();
        const std::int64_t blocksBefore = liveBlocks();
        const std::uint64_t start = allocationCount();
        if (exhaustion == Exhaustion::OneAllocation) {
          memory::failAllocationForTest(n);
        } else {
          memory::failAllocationsFromForTest(n);
        }
        operation();
        memory::failAllocationForTest(0);
        const std::uint64_t allocations = allocationCount() - start;
        reached = allocations >= n;
        const std::int64_t after = memory::liveBytes();
        const std::int64_t keptBlocks = liveBlocks() - blocksBefore;
        if (pass == 1) {
          // A failed allocation counts as an allocation of nothing that is
          // never freed, a failed reallocation as its block kept: one block
          // more per failure, or none.
          const std::int64_t failures = !reached ? 0
                                        : exhaustion == Exhaustion::OneAllocation
                                            ? 1
                                            : static_cast<std::int64_t>(allocations - (n - 1));
          EXPECT_GE(keptBlocks, 0)
              << "more blocks freed than taken after the failure of allocation " << n;
          EXPECT_LE(keptBlocks, failures) << "blocks kept after the failure of allocation " << n;
          // Every block the run left in place of another may differ by the slack.
          const std::int64_t slack = kUsableSlackPerBlock * static_cast<std::int64_t>(allocations);
          EXPECT_LE(after - before, slack) << "bytes kept after the failure of allocation " << n;
          EXPECT_GE(after - before, -slack) << "bytes freed after the failure of allocation " << n;
        }
        check(n);
      }
      if (failureCount() != failuresBefore || !reached) break;
    }
    EXPECT_LT(n, kMaxRuns);
    runs += n;
  }
  return runs;
}

// --- Readers --------------------------------------------------------------

constexpr const char kJson[] = R"({"id": 42, "name": "Harbor", "tags": ["a", "b", "c"],
  "size": {"w": 3.5, "h": -4}, "flags": [true, false, null],
  "long": "a text long enough to leave the small buffer of a string behind it",
  "nested": [[1], [2, [3, {"x": "y"}]]]})";

constexpr const char kYaml[] = R"(name: Harbor
id: 42
tags: [a, b, c]
size: {w: 3.5, h: -4}
anchor: &shared
  deep: [1, 2, 3]
again: *shared
text: |
  a block of text
  over two lines
)";

// {"id": 42, "name": "Harbor", "tags": ["a", "b"], "bin": <3 bytes>, "f": 1.5}
constexpr unsigned char kMessagePack[] = {
    0x85, 0xa2, 'i',  'd',  0x2a, 0xa4, 'n',  'a',  'm',  'e',  0xa6, 'H',  'a', 'r', 'b', 'o',
    'r',  0xa4, 't',  'a',  'g',  's',  0x92, 0xa1, 'a',  0xa1, 'b',  0xa3, 'b', 'i', 'n', 0xc4,
    0x03, 0x01, 0x02, 0x03, 0xa1, 'f',  0xcb, 0x3f, 0xf8, 0,    0,    0,    0,   0,   0};

TEST(AllocationFailureTest, ReadersAnswerAnErrorOrTheWholeValue) {
  struct Row {
    int line;
    const char* name;
    std::function<BindingValue()> read;
  };
  const Row rows[] = {
      {__LINE__, "json", [] { return readJson(kJson); }},
      {__LINE__, "yaml", [] { return readYaml(kYaml); }},
      {__LINE__, "msgpack",
       [] { return MessagePackReader(kMessagePack, sizeof kMessagePack).read(); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    // Warm the intern tables and pools, and keep the complete answer.
    const BindingValue expected = row.read();
    ASSERT_TRUE(expected.ok()) << expected.errorMessage();

    // Exhausted memory may also leave a reader as std::bad_alloc: the
    // callers at the boundary (function callbacks, event dispatchers) answer
    // it; what matters here is that nothing is kept.
    enum class Outcome { Whole, Different, Error, Silent, Thrown } outcome{};
    bool lastOk = false;
    const std::uint64_t runs = failEachAllocation(
        [&] {
          try {
            const BindingValue value = row.read();
            memory::failAllocationForTest(0);
            lastOk = value.ok();
            if (lastOk) {
              outcome = sameValue(value, expected) ? Outcome::Whole : Outcome::Different;
            } else {
              outcome = value.errorMessage().empty() ? Outcome::Silent : Outcome::Error;
            }
          } catch (const std::bad_alloc&) {
            outcome = Outcome::Thrown;
            lastOk = false;
          }
        },
        [&](std::uint64_t n) {
          EXPECT_NE(outcome, Outcome::Different) << row.name << " run " << n;
          EXPECT_NE(outcome, Outcome::Silent) << row.name << " run " << n;
        });
    EXPECT_TRUE(lastOk) << row.name << " never succeeded in " << runs << " runs";
  }
}

// Every kind a flat value owns something of: nested collections and
// structures (with owned keys), texts, blobs, an enum, and more sibling
// containers than the teardown of a flat value notes without allocating.
BindingValue richValue() {
  BindingValue value;
  value.field("name").setString("a text long enough to leave the small buffer behind");
  const unsigned char bytes[] = {0, 1, 2, 0xFF};
  value.field("bytes").setBlob(bytes, sizeof bytes);
  value.field("no bytes").setBlob(nullptr, 0);
  value.field("enum").setEnum(3, 77);
  value.field("flags").element(2).setBool(true);
  ValueNode& wide = value.field("wide");
  for (int i = 0; i < 40; ++i) {
    ValueNode& entry = wide.element(static_cast<std::size_t>(i));
    entry.field("key " + std::to_string(i)).setUnsigned(static_cast<std::uint64_t>(i));
    entry.field("list").element(1).setFloat(0.5);
  }
  ValueNode* deep = &value.field("deep");
  for (int i = 0; i < 40; ++i) deep = &deep->element(0).field("d");
  deep->setSigned(-7);
  return value;
}

TEST(AllocationFailureTest, FlatCopyIsWholeOrClear) {
  const BindingValue rich = richValue();
  // The flat form of the rich value, made outside the failing window and read
  // back by flatToValue below.
  FlatValue richFlat{};
  ASSERT_TRUE(valueToFlat(richFlat, rich, nullptr));
  struct FlatGuard {
    FlatValue& value;
    ~FlatGuard() { clearFlatValue(value); }
  } guard{richFlat};

  enum class Outcome { Whole, Different, Clear, NotClear };
  struct Row {
    int line;
    const char* name;
    BindingValue source;
    // Converts within the failing window, then judges the result with
    // failures turned off.
    std::function<Outcome(const BindingValue& source, const BindingValue& expected)> run;
  };
  // valueToFlat, then the flat value cleared (the clear allocates when the
  // teardown needs more room than it holds inline).
  const auto toFlat = [](const BindingValue& source, const BindingValue& expected) {
    FlatValue flat{};
    const bool copied = valueToFlat(flat, source, nullptr);
    memory::failAllocationForTest(0);
    Outcome outcome = flat.kind == 0 ? Outcome::Clear : Outcome::NotClear;
    if (copied) {
      BindingValue back;
      outcome = flatToValue(back, flat, "<flat>").ok() && sameValue(back, expected)
                    ? Outcome::Whole
                    : Outcome::Different;
    }
    clearFlatValue(flat);
    return outcome;
  };
  const Row rows[] = {
      {__LINE__, "json document to flat", readJson(kJson), toFlat},
      {__LINE__, "containers, texts, blobs, enum, owned keys to flat", richValue(), toFlat},
      {__LINE__, "flat to value", BindingValue(),
       [&](const BindingValue&, const BindingValue& expected) {
         BindingValue value;
         try {
           const FlatConversion read = flatToValue(value, richFlat, "<flat>");
           memory::failAllocationForTest(0);
           return read.ok() && sameValue(value, expected) ? Outcome::Whole : Outcome::Different;
         } catch (const std::bad_alloc&) {
           // What was built so far goes with the value.
           return Outcome::Clear;
         }
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    // The enum comes back as its number: the expected value is the one a
    // complete run reads back.
    BindingValue expected;
    if (row.source.isEmpty()) {
      ASSERT_TRUE(flatToValue(expected, richFlat, "<flat>").ok());
    } else {
      FlatValue warm{};
      ASSERT_TRUE(valueToFlat(warm, row.source, nullptr));
      ASSERT_TRUE(flatToValue(expected, warm, "<flat>").ok());
      clearFlatValue(warm);
    }
    Outcome outcome = Outcome::Different;
    failEachAllocation([&] { outcome = row.run(row.source, expected); },
                       [&](std::uint64_t n) {
                         EXPECT_NE(outcome, Outcome::Different) << row.name << " run " << n;
                         EXPECT_NE(outcome, Outcome::NotClear) << row.name << " run " << n;
                       });
    EXPECT_EQ(outcome, Outcome::Whole) << row.name;
  }
}

// --- The plugin in-process ------------------------------------------------

// The maps plugin loaded and attached in-process, with the quiet host.
class InProcessPlugin {
 public:
  InProcessPlugin() {
    info_.major = 18;
    loaded_ = loadPlugin(&info_, maps::kShortName,
                         []() -> PluginBase* { return new maps::MapsService; }) != 0;
    if (!loaded_) return;
    connection_ = HostConnection{host_.api(), 9};
    attached_ = info_.entryPoints->attach(info_.plugin, &connection_) != 0;
  }
  ~InProcessPlugin() {
    if (loaded_) info_.entryPoints->shutdown(info_.plugin);
  }
  InProcessPlugin(const InProcessPlugin&) = delete;
  InProcessPlugin& operator=(const InProcessPlugin&) = delete;

  bool ready() const { return loaded_ && attached_; }
  QuietHost& host() { return host_; }
  maps::MapsService& service() { return *static_cast<maps::MapsService*>(info_.plugin); }

  const FunctionRecord* function(std::uint32_t method, std::string_view urlTemplate) const {
    const auto* records = static_cast<const FunctionRecord*>(info_.description->functions);
    for (std::uint32_t i = 0; i < info_.description->functionCount; ++i) {
      const std::uint32_t recordMethod = records[i].method;
      if (recordMethod == method && urlTemplate == records[i].urlTemplate) return &records[i];
    }
    return nullptr;
  }

 private:
  QuietHost host_{kGameDataDocuments};
  HostLoadInfo info_{};
  HostConnection connection_{};
  bool loaded_ = false;
  bool attached_ = false;
};

// The whole catalogue as text, to compare before and after a run.
std::string catalogueText(maps::MapsService& service) {
  std::string text;
  for (const maps::MapsResource& map : service.listAllMaps()) {
    text += std::to_string(map.id) + "/" + map.gameMode + "/" + map.gameMutator + "/" + map.name +
            "/" + map.description + "/" + map.gameModeName + "/" +
            std::to_string(map.assets.size()) + "/" + testing_support::describe(map.properties) +
            ";";
  }
  return text;
}

TEST(AllocationFailureTest, EveryRouteAnswersAnErrorOrItsResult) {
  InProcessPlugin plugin;
  ASSERT_TRUE(plugin.ready());

  struct Row {
    int line;
    std::uint32_t method;
    const char* urlTemplate;
    const char* url;
    const char* contentType;
    const char* body;
  };
  const Row rows[] = {
      {__LINE__, kMethodGet, "/zel-maps/v1/maps", "/zel-maps/v1/maps", nullptr, nullptr},
      {__LINE__, kMethodGet, "/zel-maps/v2/maps", "/zel-maps/v2/maps?x=1", nullptr, nullptr},
      {__LINE__, kMethodGet, "/zel-maps/v1/map/{id}", "/zel-maps/v1/map/42", nullptr, nullptr},
      {__LINE__, kMethodGet, "/zel-maps/v1/map/{id}", "/zel-maps/v1/map/99", nullptr, nullptr},
      {__LINE__, kMethodGet, "/zel-maps/v2/map/{id}/{gameMode}", "/zel-maps/v2/map/42/B", nullptr,
       nullptr},
      {__LINE__, kMethodGet, "/zel-maps/v2/map/{id}/{gameMode}/{gameMutator}",
       "/zel-maps/v2/map/42/B/X", nullptr, nullptr},
      {__LINE__, kMethodPost, "/zel-maps/v1/map", "/zel-maps/v1/map", "application/json",
       R"({"id": 42, "gameMode": "B", "gameMutator": "X", "name": "Renamed",
           "gameModeName": "Bravo", "assets": {"icon": "r.png"}, "properties": {"k": [1, 2]}})"},
      {__LINE__, kMethodPost, "/zel-maps/v1/map", "/zel-maps/v1/map", "application/x-yaml",
       "id: 42\ngameMode: B\ngameMutator: X\nname: Renamed\ngameModeName: Bravo\n"
       "assets: {icon: r.png}\nproperties: {k: [1, 2]}\n"},
      {__LINE__, kMethodPost, "/zel-maps/v1/map", "/zel-maps/v1/map", "application/json",
       R"({"id": "forty"})"},
      // Properties with a blob and nested containers, then the variant as a
      // result: {"id": 42, "gameMode": "B", "gameMutator": "X", "name": "Packed",
      // "assets": {"icon": "p.png"}, "properties": {"bin": <1 2 3>, "nested": [{"k": "t"}]}}
      // (few enough records that a copy of the properties beside the one it
      // replaces takes no page of the cell pools, whose bookkeeping would come
      // and go with every other update).
      {__LINE__, kMethodPost, "/zel-maps/v1/map", "/zel-maps/v1/map", "application/x-msgpack",
       "\x86\xa2id\x2a\xa8gameMode\xa1"
       "B\xabgameMutator\xa1X\xa4name\xa6Packed"
       "\xa6"
       "assets\x81\xa4icon\xa5p.png"
       "\xaaproperties\x82\xa3"
       "bin\xc4\x03\x01\x02\x03\xa6nested\x91\x81\xa1k\xa1t"},
      {__LINE__, kMethodGet, "/zel-maps/v2/map/{id}/{gameMode}/{gameMutator}",
       "/zel-maps/v2/map/42/B/X", nullptr, nullptr},
  };
  const char* const headers[] = {"Accept", "application/json", "X-Trace", "abc"};

  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const FunctionRecord* function = plugin.function(row.method, row.urlTemplate);
    ASSERT_NE(function, nullptr) << row.urlTemplate;
    HostRequest request{};
    request.method = row.method;
    request.url = row.url;
    request.context = const_cast<void*>(function->function.context);
    request.headers = headers;
    request.headerCount = 2;
    request.contentType = row.contentType;
    request.body = row.body;
    request.bodyLength =
        row.body != nullptr ? static_cast<std::uint32_t>(std::strlen(row.body)) : 0;

    // The first call warms everything and gives the answer every later
    // complete run must give; updates in place keep the catalogue's size.
    bool released = false;
    const auto call = [&](std::uint32_t& status, bool& failed) {
      HostResponse response{};
      function->callback(&response, &request);
      status = response.status;
      failed = response.error != nullptr;
      // A refusal for want of memory says so, and nothing else.
      if (status == kServerError &&
          (!failed || std::strcmp(response.error, api::messages::kOutOfMemory) != 0)) {
        failed = false;
      }
      released = response.release != nullptr;
      if (released) response.release(&response);
    };
    std::uint32_t expectedStatus = 0;
    bool expectedFailed = false;
    call(expectedStatus, expectedFailed);
    const std::string catalogue = catalogueText(plugin.service());

    std::uint32_t status = 0;
    bool failed = false;
    failEachAllocation([&] { call(status, failed); },
                       [&](std::uint64_t n) {
                         EXPECT_TRUE(released) << "run " << n;
                         if (failed && status == kServerError) {
                           // Exhausted memory, also while the result is
                           // copied for the host: refused as a whole.
                         } else {
                           EXPECT_EQ(status, expectedStatus) << "run " << n;
                           EXPECT_EQ(failed, expectedFailed) << "run " << n;
                         }
                         EXPECT_EQ(catalogueText(plugin.service()), catalogue) << "run " << n;
                       });
    EXPECT_EQ(status, expectedStatus);
  }
}

TEST(AllocationFailureTest, CatalogueReloadKeepsTheOldCatalogueOrBuildsTheNew) {
  InProcessPlugin plugin;
  ASSERT_TRUE(plugin.ready());
  // Warm up with one complete reload.
  ASSERT_EQ(plugin.host().deliver("OnRegionLocaleChanged"), 1);
  const std::string loaded = catalogueText(plugin.service());
  ASSERT_EQ(plugin.service().listAllMaps().size(), kGameDataVariantCount);

  // A changed catalogue shows whether a failed reload kept it or replaced it.
  maps::MapsResource extra;
  extra.id = 900;
  extra.gameMode = "Z";
  extra.name = "Added";
  plugin.service().updateMap(extra);
  const std::string changed = catalogueText(plugin.service());

  int delivered = 0;
  bool whole = false;
  bool replaced = false;
  failEachAllocation(
      [&] {
        delivered = plugin.host().deliver("OnRegionLocaleChanged");
        memory::failAllocationForTest(0);
        const std::string after = catalogueText(plugin.service());
        whole = after == changed || after == loaded;
        replaced = after == loaded;
        // Back to the changed catalogue, the way the warm-up left it.
        if (replaced) plugin.service().updateMap(extra);
      },
      [&](std::uint64_t n) {
        EXPECT_EQ(delivered, 1);
        EXPECT_TRUE(whole) << "run " << n;
      });
  EXPECT_TRUE(replaced);
}

// A digest of an event as the host receives it: its name and its whole
// payload. Allocates nothing, so it runs inside the failing window.
std::uint64_t digest(std::uint64_t hash, const void* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    hash = (hash ^ static_cast<const unsigned char*>(bytes)[i]) * 0x100000001b3u;
  }
  return hash;
}

std::uint64_t digest(std::uint64_t hash, const FlatValue& value) {
  hash = digest(hash, &value.kind, sizeof value.kind);
  const auto& span = value.payload.span;
  switch (static_cast<FlatKind>(value.kind)) {
    case FlatKind::StringRef:
    case FlatKind::String:
    case FlatKind::BlobRef:
    case FlatKind::Blob:
      return digest(hash, span.pointer, span.pointer != nullptr ? span.count : 0);
    case FlatKind::Collection:
      for (std::uint32_t i = 0; span.pointer != nullptr && i < span.count; ++i) {
        hash = digest(hash, flatElements(value)[i]);
      }
      return hash;
    case FlatKind::Structure:
      for (std::uint32_t i = 0; span.pointer != nullptr && i < span.count; ++i) {
        const FlatEntry& entry = flatEntries(value)[i];
        hash = digest(hash, entry.key, std::strlen(entry.key) + 1);
        hash = digest(hash, entry.value);
      }
      return hash;
    default:
      return digest(hash, value.payload.raw, sizeof value.payload.raw);
  }
}

// The events the plugin sent, as digests, in fixed storage.
struct SentEvents {
  static constexpr std::size_t kMax = 16;
  std::uint64_t digests[kMax] = {};
  std::size_t count = 0;
  std::size_t dropped = 0;
};
SentEvents sentEvents;

std::int32_t recordEvent(HostApi*, const HostEvent* event) {
  std::uint64_t hash = digest(0xcbf29ce484222325u, event->name, std::strlen(event->name) + 1);
  hash = digest(hash, event->payload);
  if (sentEvents.count < SentEvents::kMax) {
    sentEvents.digests[sentEvents.count++] = hash;
  } else {
    ++sentEvents.dropped;
  }
  return 1;
}

TEST(AllocationFailureTest, CatalogueChangesListsAndEventsAreWholeOrAbsent) {
  InProcessPlugin plugin;
  ASSERT_TRUE(plugin.ready());
  plugin.host().api()->sendEvent = &recordEvent;
  // A variant whose properties hold every kind of value, announced in both
  // lists with the game data's variants.
  maps::MapsResource rich;
  rich.id = 901;
  rich.isDefault = true;
  rich.gameMode = "R";
  rich.name = "Rich";
  rich.assets = {{"icon", "rich.png"}, {"splash", "rich-splash.png"}};
  rich.properties = richValue();
  plugin.service().updateMap(rich);
  const TypeRegistry* registry = &plugin.service().registry();
  enum class Outcome { Whole, Different, Absent };
  maps::MapVariants variants;
  for (maps::MapsResource& variant : plugin.service().listAllMaps()) {
    variants[variant.id].push_back(std::move(variant));
  }
  maps::MapCatalogue catalogue;
  catalogue.replace(variants);
  // A variant of a new id, and a change of every text of a stored variant
  // (texts too long to be kept inside their strings).
  maps::MapsResource added = rich;
  added.id = 902;
  const maps::MapsResource stored = variants.begin()->second.front();
  maps::MapsResource changed = stored;
  changed.name = "a name long enough to need a block of its own";
  changed.description = "a description long enough to need a block of its own";
  changed.gameModeName = "a game mode name long enough to need a block of its own";
  changed.properties = richValue();
  // A variant of a mode of its own beside the stored one: the id's list grows.
  maps::MapsResource another = stored;
  another.gameMode = "a mode the stored id does not have yet";
  // What the catalogue holds under `whole`'s id, mode and mutator: all of
  // `whole`, all of `before` (or nothing, for a new id), or something else.
  const auto judge = [&](const maps::MapsResource& whole, const maps::MapsResource* before) {
    const std::optional<maps::MapsResource> found =
        catalogue.findVariant(whole.id, whole.gameMode, whole.gameMutator);
    const auto same = [](const maps::MapsResource& a, const maps::MapsResource& b) {
      return a.id == b.id && a.gameMode == b.gameMode && a.name == b.name &&
             a.description == b.description && a.gameModeName == b.gameModeName &&
             a.assets == b.assets && sameValue(a.properties, b.properties);
    };
    if (found && same(*found, whole)) return Outcome::Whole;
    if (before == nullptr ? !found : found && same(*found, *before)) return Outcome::Absent;
    return Outcome::Different;
  };

  struct Row {
    int line;
    const char* name;
    // Runs within the failing window; `warm` is the complete run's record.
    std::function<Outcome(bool warm)> run;
  };
  BindingValue expectedDefaults;
  BindingValue expectedAll;
  std::uint64_t expectedEvents[SentEvents::kMax] = {};
  std::size_t expectedEventCount = 0;
  const Row rows[] = {
      {__LINE__, "a variant of a new id",
       [&](bool) {
         try {
           catalogue.update(added);
         } catch (const std::bad_alloc&) {
         }
         memory::failAllocationForTest(0);
         const Outcome outcome = judge(added, nullptr);
         catalogue.replace(variants);
         return outcome;
       }},
      {__LINE__, "a new variant of a stored id",
       [&](bool) {
         try {
           catalogue.update(another);
         } catch (const std::bad_alloc&) {
         }
         memory::failAllocationForTest(0);
         // Looked up among every variant: a lookup of a mode the id lacks
         // falls back to another of its variants.
         std::size_t withMode = 0;
         bool storedKept = false;
         for (const maps::MapsResource& variant : catalogue.allVariants()) {
           withMode += variant.id == another.id && variant.gameMode == another.gameMode;
           storedKept =
               storedKept || (variant.id == stored.id && variant.gameMode == stored.gameMode &&
                              variant.name == stored.name);
         }
         catalogue.replace(variants);
         // The id's other variants stay, whatever became of the new one.
         if (!storedKept || withMode > 1) return Outcome::Different;
         return withMode == 1 ? Outcome::Whole : Outcome::Absent;
       }},
      {__LINE__, "a changed variant",
       [&](bool) {
         try {
           catalogue.update(changed);
         } catch (const std::bad_alloc&) {
         }
         memory::failAllocationForTest(0);
         const Outcome outcome = judge(changed, &stored);
         // Stored afresh, so that the next run's texts have no room yet.
         catalogue.replace(variants);
         return outcome;
       }},
      {__LINE__, "the v1 and v2 lists",
       [&](bool warm) {
         BindingValue defaults;
         BindingValue all;
         try {
           catalogue.listValues(defaults, all, registry);
         } catch (const std::bad_alloc&) {
           return Outcome::Absent;
         }
         memory::failAllocationForTest(0);
         if (warm) {
           expectedDefaults = defaults;
           expectedAll = all;
         }
         if (!defaults.ok() && !all.ok()) return Outcome::Absent;
         return sameValue(defaults, expectedDefaults) && sameValue(all, expectedAll) &&
                        defaults.ok() && all.ok()
                    ? Outcome::Whole
                    : Outcome::Different;
       }},
      {__LINE__, "the events of a change",
       [&](bool warm) {
         sentEvents = SentEvents{};
         try {
           plugin.service().updateMap(rich);
         } catch (const std::bad_alloc&) {
           // The change may still have been made; its events are what is judged.
         }
         memory::failAllocationForTest(0);
         if (warm) {
           std::copy_n(sentEvents.digests, sentEvents.count, expectedEvents);
           expectedEventCount = sentEvents.count;
         }
         // Every event sent is one of the complete run's, each list's under
         // its own name and then as OnJsonApiEvent; what could not be built
         // is not sent at all.
         for (std::size_t i = 0; i < sentEvents.count; ++i) {
           if (std::find(expectedEvents, expectedEvents + expectedEventCount,
                         sentEvents.digests[i]) == expectedEvents + expectedEventCount) {
             return Outcome::Different;
           }
         }
         return sentEvents.count == expectedEventCount && sentEvents.dropped == 0 ? Outcome::Whole
                                                                                  : Outcome::Absent;
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ASSERT_EQ(row.run(true), Outcome::Whole) << row.name;
    Outcome outcome = Outcome::Different;
    failEachAllocation([&] { outcome = row.run(false); },
                       [&](std::uint64_t n) {
                         EXPECT_NE(outcome, Outcome::Different) << row.name << " run " << n;
                       });
    EXPECT_EQ(outcome, Outcome::Whole) << row.name;
  }
  EXPECT_EQ(expectedEventCount, 4u);
}

TEST(AllocationFailureTest, LoadHandshakeSucceedsOrRefusesAndAttachSucceedsOrFails) {
  {
    InProcessPlugin warm;
    ASSERT_TRUE(warm.ready());
  }
  bool ready = false;
  failEachAllocation(
      [&] {
        InProcessPlugin plugin;
        ready = plugin.ready();
      },
      [](std::uint64_t) {});
  EXPECT_TRUE(ready);
}

}  // namespace
}  // namespace zel::reliability

#include "binding/value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "binding/internal/page_pool.h"
#include "binding/internal/value_context.h"
#include "binding/value_records.h"
#include "boundary/host_api.h"
#include "memory/memory.h"

namespace zel {
namespace {

using namespace std::literals;
using binding::internal::PagePool;

std::vector<std::string> keysOf(const ValueNode& node) {
  std::vector<std::string> keys;
  for (const Field& field : node.fields()) keys.emplace_back(field.key());
  return keys;
}

std::size_t internedCount(const ValueNode& root) {
  return zel::binding::internal::NodeAccess::context(root) == nullptr
             ? 0
             : zel::binding::internal::NodeAccess::context(root)->stringsForTest().sizeForTest();
}

// A tree with every kind in it, nested a few levels.
void fillSample(ValueNode& root) {
  root.field("name").setString("Summoner's Rift");
  root.field("id").setUnsigned(11);
  root.field("delta").setSigned(-3);
  root.field("ratio").setFloat(0.25);
  root.field("ranked").setBool(true);
  const std::uint8_t bytes[] = {0, 1, 2, 255};
  root.field("icon").setBlob(bytes, sizeof(bytes));
  root.field("mode").setEnum(2, 0xABCD);
  ValueNode& modes = root.field("modes");
  for (int i = 0; i < 5; ++i) {
    ValueNode& mode = modes.element(static_cast<std::size_t>(i));
    mode.field("name").setString("MODE_" + std::to_string(i % 2));
    mode.field("tags").element(1).setString("name");  // also used as a key
  }
}

void expectSample(const ValueNode& root) {
  EXPECT_EQ(root.kind(), ValueKind::Structure);
  EXPECT_GE(root.size(), 8u);
  EXPECT_EQ(root.find("name").asString(), "Summoner's Rift");
  EXPECT_EQ(root.find("id").asUnsigned(), 11u);
  EXPECT_EQ(root.find("delta").asSigned(), -3);
  EXPECT_EQ(root.find("ratio").asFloat(), 0.25);
  EXPECT_TRUE(root.find("ranked").asBool());
  const auto icon = root.find("icon").asBlob();
  EXPECT_EQ(std::vector<std::uint8_t>(icon.begin(), icon.end()),
            (std::vector<std::uint8_t>{0, 1, 2, 255}));
  EXPECT_EQ(root.find("mode").asEnum(), (EnumValue{2, 0xABCD}));
  const ValueNode& modes = root.find("modes");
  ASSERT_EQ(modes.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(modes.at(i).find("name").asString(), "MODE_" + std::to_string(i % 2));
    EXPECT_TRUE(modes.at(i).find("tags").at(0).isEmpty());
    EXPECT_EQ(modes.at(i).find("tags").at(1).asString(), "name");
  }
}

// Nests `depth` levels, alternating collections and structures.
void buildDeep(ValueNode& root, std::size_t depth) {
  ValueNode* node = &root;
  for (std::size_t i = 0; i < depth; ++i) node = i % 2 == 0 ? &node->element(0) : &node->field("x");
  node->setString("leaf");
}

std::size_t depthOf(const ValueNode& root) {
  std::size_t depth = 0;
  const ValueNode* node = &root;
  for (;;) {
    if (node->kind() == ValueKind::Collection) {
      node = &node->at(0);
    } else if (node->kind() == ValueKind::Structure) {
      node = &node->find("x");
    } else {
      return node->asString() == "leaf" ? depth : 0;
    }
    ++depth;
  }
}

TEST(ValueKindTest, NamesByCode) {
  const struct {
    int line;
    std::uint8_t code;
    const char* name;
  } rows[] = {
      {__LINE__, 0, "empty"},     {__LINE__, 1, "bool"},  {__LINE__, 2, "signed"},
      {__LINE__, 3, "unsigned"},  {__LINE__, 4, "float"}, {__LINE__, 5, "string"},
      {__LINE__, 6, "blob"},      {__LINE__, 7, "enum"},  {__LINE__, 8, "collection"},
      {__LINE__, 9, "structure"}, {__LINE__, 10, ""},     {__LINE__, 255, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_STREQ(valueKindName(row.code), row.name);
  }
}

TEST(BindingValueTest, NewValueIsEmptyOkStandaloneWithoutStorage) {
  BindingValue value;
  EXPECT_EQ(value.kind(), ValueKind::Empty);
  EXPECT_TRUE(value.ok());
  EXPECT_TRUE(value.isStandalone());
  EXPECT_EQ(value.size(), 0u);
  EXPECT_EQ(zel::binding::internal::NodeAccess::context(value), nullptr);
  value.setSigned(5);
  value.setString("");
  EXPECT_EQ(zel::binding::internal::NodeAccess::context(value), nullptr)
      << "scalars and the empty text need no context";
}

TEST(BindingValueTest, ReadersAnswerOnlyForTheirOwnKind) {
  const std::uint8_t bytes[] = {7, 8};
  const std::uint8_t fallbackBytes[] = {9};
  const struct {
    int line;
    std::function<void(ValueNode&)> set;
    ValueKind kind;
    std::size_t size;
  } rows[] = {
      {__LINE__, [](ValueNode& v) { v.setBool(true); }, ValueKind::Bool, 1},
      {__LINE__, [](ValueNode& v) { v.setSigned(-7); }, ValueKind::Signed, 1},
      {__LINE__, [](ValueNode& v) { v.setUnsigned(7); }, ValueKind::Unsigned, 1},
      {__LINE__, [](ValueNode& v) { v.setFloat(1.5); }, ValueKind::Float, 1},
      {__LINE__, [](ValueNode& v) { v.setString("abc"); }, ValueKind::String, 3},
      {__LINE__, [&](ValueNode& v) { v.setBlob(bytes, 2); }, ValueKind::Blob, 2},
      {__LINE__, [](ValueNode& v) { v.setEnum(3, 44); }, ValueKind::Enum, 1},
      {__LINE__, [](ValueNode& v) { v.element(3); }, ValueKind::Collection, 4},
      {__LINE__, [](ValueNode& v) { v.field("a"); }, ValueKind::Structure, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    BindingValue value;
    value.setString("previous content");  // every setter replaces whatever was there
    row.set(value);
    EXPECT_EQ(value.kind(), row.kind);
    EXPECT_EQ(value.size(), row.size);
    const bool is = true;
    EXPECT_EQ(value.asBool(false), row.kind == ValueKind::Bool ? is : false);
    EXPECT_EQ(value.asSigned(99), row.kind == ValueKind::Signed ? -7 : 99);
    EXPECT_EQ(value.asUnsigned(99), row.kind == ValueKind::Unsigned ? 7u : 99u);
    EXPECT_EQ(value.asFloat(9.5), row.kind == ValueKind::Float ? 1.5 : 9.5);
    EXPECT_EQ(value.asString("none"), row.kind == ValueKind::String ? "abc" : "none");
    EXPECT_STREQ(value.asCString("none"), row.kind == ValueKind::String ? "abc" : "none");
    EXPECT_EQ(value.asBlob(fallbackBytes).data(),
              row.kind == ValueKind::Blob ? value.asBlob().data() : fallbackBytes);
    const EnumValue expected = row.kind == ValueKind::Enum ? EnumValue{3, 44} : EnumValue{1, 2};
    EXPECT_EQ(value.asEnum({1, 2}), expected);
  }
}

TEST(BindingValueTest, NumbersKeepTheirExactValues) {
  BindingValue value;
  value.setSigned(std::int32_t{-1});
  EXPECT_EQ(value.asSigned(), -1) << "a 32-bit number sign-extends";
  value.setUnsigned(std::uint32_t{0xFFFFFFFFu});
  EXPECT_EQ(value.asUnsigned(), 0xFFFFFFFFu);
  value.setUnsigned(UINT64_MAX);
  EXPECT_EQ(value.asUnsigned(), UINT64_MAX);
  value.setFloat(0.1f);
  EXPECT_EQ(value.asFloat(), static_cast<double>(0.1f));
}

TEST(BindingValueTest, TextsKeepEveryByte) {
  BindingValue value;
  value.setString("a\0b\0"sv);
  EXPECT_EQ(value.size(), 4u);
  EXPECT_EQ(value.asString(), "a\0b\0"sv);
  EXPECT_EQ(value.asCString()[4], '\0') << "interned texts are zero-terminated";

  value.setString(static_cast<const char*>("up to\0 the zero"));
  EXPECT_EQ(value.asString(), "up to");

  value.setString(value.asString().substr(3));  // from the value's own text
  EXPECT_EQ(value.asString(), "to");

  ValueNode& field = value.field("a\0b"sv);
  field.setUnsigned(1);
  value.field("a\0c"sv).setUnsigned(2);
  value.field("a").setUnsigned(3);
  EXPECT_EQ(value.size(), 3u) << "keys differing after a NUL are distinct";
  EXPECT_EQ(value.find("a\0c"sv).asUnsigned(), 2u);
  EXPECT_EQ(keysOf(value), (std::vector<std::string>{"a", "a\0b"s, "a\0c"s}));
}

TEST(BindingValueTest, StructureKeysAreInUnsignedByteOrder) {
  const struct {
    int line;
    std::vector<std::string> inserted;
    std::vector<std::string> ordered;
  } rows[] = {
      {__LINE__, {"b", "a", "B"}, {"B", "a", "b"}},
      {__LINE__, {"ab", "a", ""}, {"", "a", "ab"}},
      {__LINE__, {"\xC3\xA9", "z", "Z"}, {"Z", "z", "\xC3\xA9"}},
      {__LINE__, {"k3", "k1", "k2", "k1", "k0"}, {"k0", "k1", "k2", "k3"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    BindingValue value;
    for (const std::string& key : row.inserted) value.field(key).setString(key);
    EXPECT_EQ(keysOf(value), row.ordered);
    for (const std::string& key : row.ordered) EXPECT_EQ(value.find(key).asString(), key);
  }
}

TEST(BindingValueTest, LargeStructuresStaySortedWhateverTheInsertionOrder) {
  BindingValue value;
  constexpr std::size_t kCount = 2000;
  for (std::size_t i = 0; i < kCount; ++i) {
    const std::size_t n = (i * 7919) % kCount;  // a permutation
    value.field("key" + std::to_string(n)).setUnsigned(n);
  }
  ASSERT_EQ(value.size(), kCount);
  const auto fields = value.fields();
  for (std::size_t i = 1; i < fields.size(); ++i) EXPECT_LT(fields[i - 1].key(), fields[i].key());
  for (std::size_t n = 0; n < kCount; ++n) {
    EXPECT_EQ(value.find("key" + std::to_string(n)).asUnsigned(99999), n);
  }
}

TEST(BindingValueTest, WritingAFieldTwiceKeepsOneFieldWithTheLaterValue) {
  BindingValue value;
  value.field("a").setString("first");
  value.field("a").setUnsigned(2);
  EXPECT_EQ(value.size(), 1u);
  EXPECT_EQ(value.find("a").asUnsigned(), 2u);
}

TEST(BindingValueTest, WritingAccessorsReplaceOtherKinds) {
  BindingValue value;
  value.element(4);
  EXPECT_EQ(value.kind(), ValueKind::Collection);
  EXPECT_EQ(value.size(), 5u);
  for (const ValueNode& element : value.elements()) EXPECT_TRUE(element.isEmpty());

  value.setString("discarded");
  value.element(2).setBool(true);
  EXPECT_EQ(value.size(), 3u);
  EXPECT_TRUE(value.at(2).asBool());

  value.makeCollection();
  EXPECT_EQ(value.size(), 3u) << "an existing collection is kept";
  value.reserve(100);
  EXPECT_EQ(value.size(), 3u);
  value.append().setSigned(4);
  EXPECT_EQ(value.at(3).asSigned(), 4);

  value.field("k").setSigned(1);
  EXPECT_EQ(value.kind(), ValueKind::Structure);
  EXPECT_EQ(value.size(), 1u);
  value.makeStructure();
  EXPECT_EQ(value.size(), 1u) << "an existing structure is kept";
  value.reserve(10);
  EXPECT_EQ(value.kind(), ValueKind::Structure) << "reserve does nothing on other kinds";

  value.makeCollection();
  EXPECT_EQ(value.size(), 0u);
  value.setString("x");
  value.append().setString("y");
  EXPECT_EQ(value.size(), 1u);
}

TEST(BindingValueTest, MissesReturnTheSharedEmptyNodeAndChangeNothing) {
  const ValueNode& shared = ValueNode::sharedEmpty();
  BindingValue list;
  for (int i = 0; i < 3; ++i) list.append().setSigned(i);
  BindingValue text;
  text.setString("abc");

  EXPECT_EQ(&list.at(5), &shared);
  EXPECT_EQ(&list.at(3), &shared);
  EXPECT_EQ(&text.at(0), &shared);
  EXPECT_EQ(&list.find("a"), &shared);
  EXPECT_EQ(&text.find("abc"), &shared);
  EXPECT_EQ(list.size(), 3u);
  EXPECT_EQ(text.asString(), "abc");
  // The writable views too: a text has no elements, a list no fields.
  EXPECT_TRUE(text.elements().empty());
  EXPECT_TRUE(list.fields().empty());

  // Using the shared node as a source leaves it as it was.
  BindingValue copy(shared);
  copy = shared;
  copy.element(0) = shared;
  copy.field("x").setString("x");
  copy.field("x") = list.at(7);
  EXPECT_TRUE(copy.find("x").isEmpty());
  EXPECT_TRUE(shared.isEmpty());
  EXPECT_EQ(shared.size(), 0u);
  EXPECT_EQ(zel::binding::internal::NodeAccess::context(shared), nullptr);
  EXPECT_TRUE(shared.elements().empty());
  EXPECT_TRUE(shared.fields().empty());
}

TEST(BindingValueTest, SetErrorLeavesOnlyTheMessage) {
  BindingValue value;
  value.element(2).setString("gone");
  value.setError("boom");
  EXPECT_FALSE(value.ok());
  EXPECT_EQ(value.kind(), ValueKind::Structure);
  EXPECT_EQ(keysOf(value), std::vector<std::string>{"error"});
  EXPECT_EQ(value.errorMessage(), "boom");

  value.setError(value.errorMessage().substr(1));  // from its own text
  EXPECT_EQ(value.errorMessage(), "oom");

  value.field("error").setUnsigned(3);
  EXPECT_EQ(value.errorMessage(), "") << "a field that is not a text is no message";

  BindingValue fine;
  fine.field("error").setString("not a failure");
  EXPECT_TRUE(fine.ok());
  EXPECT_EQ(fine.errorMessage(), "");

  const BindingValue made = BindingValue::error("made");
  EXPECT_FALSE(made.ok());
  EXPECT_EQ(made.errorMessage(), "made");
}

TEST(BindingValueTest, CopiesAreDeepAndIndependentAcrossContexts) {
  BindingValue source;
  fillSample(source);
  BindingValue copy(source);
  expectSample(copy);
  EXPECT_NE(zel::binding::internal::NodeAccess::context(copy),
            zel::binding::internal::NodeAccess::context(source));
  EXPECT_NE(copy.find("name").asCString(), source.find("name").asCString())
      << "texts are interned again in the copy's context";

  source.field("name").setString("changed");
  source.field("modes").element(0).field("name").setString("changed");
  source.field("icon").setBlob(nullptr, 0);
  expectSample(copy);

  BindingValue assigned;
  assigned.setString("old");
  assigned = copy;
  expectSample(assigned);
  BindingValue intoElement;
  intoElement.element(1) = copy;
  expectSample(intoElement.at(1));
  source.reset();
  copy.reset();
  expectSample(assigned);
  expectSample(intoElement.at(1));
}

TEST(BindingValueTest, CopyAssignmentKeepsTheOkFlagAndCopyConstructionCarriesIt) {
  const BindingValue failed = BindingValue::error("bad");
  BindingValue constructed(failed);
  EXPECT_FALSE(constructed.ok()) << "a copied error result is still an error result";
  EXPECT_EQ(constructed.errorMessage(), "bad");

  BindingValue assigned;
  assigned = failed;
  EXPECT_TRUE(assigned.ok());
  EXPECT_EQ(assigned.find("error").asString(), "bad");

  BindingValue error = BindingValue::error("x");
  BindingValue good;
  good.setUnsigned(1);
  error = good;
  EXPECT_FALSE(error.ok());
  EXPECT_EQ(error.asUnsigned(), 1u);
}

TEST(BindingValueTest, CopiesWithinOneTreeAreSafeInBothDirections) {
  BindingValue value;
  value.setString("self");
  BindingValue& same = value;  // through a reference, as generic code assigns
  value = same;
  EXPECT_EQ(value.asString(), "self");

  value.reset();
  value.element(0).setString("first");
  value.element(1).field("k").setString("second");
  value.element(0) = value;  // an ancestor into its descendant
  EXPECT_EQ(value.at(0).at(0).asString(), "first");
  EXPECT_EQ(value.at(0).at(1).find("k").asString(), "second");
  EXPECT_EQ(value.at(1).find("k").asString(), "second");

  value = value.at(1);  // a descendant into its ancestor
  EXPECT_EQ(value.kind(), ValueKind::Structure);
  EXPECT_EQ(value.find("k").asString(), "second");
  EXPECT_EQ(internedCount(value), 2u) << "only the key k and its text remain";
}

TEST(BindingValueTest, MovingBetweenStandaloneValuesExchangesStorage) {
  BindingValue source;
  fillSample(source);
  const binding::internal::ValueContext* context =
      zel::binding::internal::NodeAccess::context(source);
  const ValueNode* modes = &source.find("modes");

  BindingValue target;
  target.setString("target");
  target = std::move(source);
  expectSample(target);
  EXPECT_EQ(zel::binding::internal::NodeAccess::context(target), context);
  EXPECT_EQ(&target.find("modes"), modes) << "no node was copied";
  EXPECT_TRUE(source.isEmpty());

  BindingValue constructed(std::move(target));
  EXPECT_EQ(&constructed.find("modes"), modes);
  EXPECT_TRUE(target.isEmpty());

  BindingValue failed = BindingValue::error("e");
  BindingValue moved(std::move(failed));
  EXPECT_FALSE(moved.ok()) << "moves carry the ok flag";
  BindingValue fine;
  fine = std::move(moved);
  EXPECT_FALSE(fine.ok());
  EXPECT_EQ(fine.errorMessage(), "e");
  BindingValue& alias = fine;
  fine = std::move(alias);
  EXPECT_EQ(fine.errorMessage(), "e") << "moving onto itself changes nothing";
}

TEST(BindingValueTest, MovingOutOfATreeCopiesAndEmptiesTheElement) {
  BindingValue tree;
  fillSample(tree.element(1));
  BindingValue out(std::move(tree.element(1)));
  expectSample(out);
  EXPECT_TRUE(out.ok());
  EXPECT_NE(zel::binding::internal::NodeAccess::context(out),
            zel::binding::internal::NodeAccess::context(tree));
  EXPECT_TRUE(tree.at(1).isEmpty());
  EXPECT_EQ(tree.size(), 2u);

  BindingValue back;
  fillSample(back);
  tree.element(0) = std::move(back);  // a standalone value into a tree: copied
  expectSample(tree.at(0));
  EXPECT_TRUE(back.isEmpty());

  BindingValue assigned;
  assigned = std::move(tree.element(0));
  expectSample(assigned);
  EXPECT_TRUE(tree.at(0).isEmpty());
}

TEST(BindingValueTest, MovingWithinOneTreeTakesTheContentOver) {
  BindingValue tree;
  fillSample(tree.element(0));
  const ValueNode* modes = &tree.at(0).find("modes");
  tree.element(1) = std::move(tree.element(0));
  EXPECT_TRUE(tree.at(0).isEmpty());
  expectSample(tree.at(1));
  EXPECT_EQ(&tree.at(1).find("modes"), modes);

  tree = std::move(tree.element(1).field("modes").element(2));  // a descendant into its root
  EXPECT_EQ(tree.find("name").asString(), "MODE_0");
  EXPECT_EQ(internedCount(tree), 3u) << "only name, tags and MODE_0 are left";
}

TEST(BindingValueTest, EqualTextsInOneTreeShareOneRecord) {
  BindingValue tree;
  tree.element(0).setString("shared");
  tree.element(1).setString("shared");
  tree.element(2).field("shared").setString("other");
  EXPECT_EQ(tree.at(0).asCString(), tree.at(1).asCString());
  EXPECT_EQ(tree.at(2).fields()[0].keyCString(), tree.at(0).asCString()) << "keys are interned too";
  EXPECT_EQ(internedCount(tree), 2u);

  tree.element(0).reset();
  tree.element(2).reset();
  EXPECT_EQ(tree.at(1).asString(), "shared");
  EXPECT_EQ(internedCount(tree), 1u);
  tree.element(1).setUnsigned(0);
  EXPECT_EQ(internedCount(tree), 0u);

  BindingValue other;
  other.setString("shared");
  tree.element(0).setString("shared");
  EXPECT_NE(other.asCString(), tree.at(0).asCString()) << "each tree interns in its own context";
}

TEST(BindingValueTest, BlobsAndEnums) {
  BindingValue value;
  const char bytes[] = {'a', '\0', 'b'};
  value.setBlob(bytes, sizeof(bytes));
  value.setBlob(value.asBlob().subspan(1));  // from its own bytes
  EXPECT_EQ(value.size(), 2u);
  EXPECT_EQ(std::memcmp(value.asBlob().data(), "\0b", 2), 0);

  auto* block = static_cast<std::uint8_t*>(memory::allocate(3));
  block[0] = 1;
  block[1] = 2;
  block[2] = 3;
  value.adoptBlob(block, 3);
  EXPECT_EQ(value.asBlob().data(), block) << "taken over, not copied";
  value.setBlob(nullptr, 0);
  EXPECT_EQ(value.kind(), ValueKind::Blob);
  EXPECT_EQ(value.size(), 0u);

  value.setEnum(EnumValue{-5, 77});
  EXPECT_EQ(value.asEnum(), (EnumValue{-5, 77}));
  EXPECT_EQ(value.size(), 1u);
}

TEST(BindingValueTest, DeepTreesAreDestroyedCopiedAndMovedWithoutRecursion) {
  constexpr std::size_t kDepth = 200000;  // far past what recursion would survive
  const std::int64_t before = memory::liveBytes();
  {
    BindingValue deep;
    buildDeep(deep, kDepth);
    BindingValue copy(deep);
    EXPECT_EQ(depthOf(copy), kDepth);
    BindingValue holder;
    holder.element(0) = std::move(copy);  // across trees: a copy as well
    EXPECT_EQ(depthOf(holder.at(0)), kDepth);
    EXPECT_TRUE(copy.isEmpty());
    deep.setError("replaced");  // reset of a deep tree
    EXPECT_EQ(deep.errorMessage(), "replaced");
  }
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(BindingValueTest, BuildingAndDroppingManyTreesLeavesNoMemoryBehind) {
  {
    BindingValue warmUp;  // the first page and reservation bookkeeping
    fillSample(warmUp);
  }
  const std::int64_t before = memory::liveBytes();
  MemoryStats statsBefore{};
  memory::readStats(statsBefore);
  const std::size_t reservations = PagePool::instance().reservationCountForTest();
  std::vector<BindingValue> batch(50);
  for (int round = 0; round < 200; ++round) {  // 10,000 trees, 50 alive at a time
    for (BindingValue& tree : batch) {
      fillSample(tree);
      for (int i = 0; i < 20; ++i)
        tree.field("list").append().setEnum(i, 1);  // pages, not just areas
    }
    BindingValue copy(batch[round % 50]);
    expectSample(copy);
    for (BindingValue& tree : batch) tree = BindingValue();
  }
  batch.clear();
  batch.shrink_to_fit();
  EXPECT_EQ(memory::liveBytes(), before);
  // Teardowns count their frees in one addition each; every block is there.
  MemoryStats statsAfter{};
  memory::readStats(statsAfter);
  EXPECT_GT(statsAfter.frees, statsBefore.frees + 10000);
  EXPECT_EQ(statsAfter.allocations - statsBefore.allocations, statsAfter.frees - statsBefore.frees);
  EXPECT_EQ(PagePool::instance().reservationCountForTest(), reservations);
}

TEST(BindingValueTest, DestroyingARootFreesEachSharedTextOnceWhateverItsShape) {
  const std::int64_t before = memory::liveBytes();
  MemoryStats statsBefore{};
  memory::readStats(statsBefore);
  {
    BindingValue text;
    text.setString("alone");  // a root that is a text
    BindingValue tree;
    for (int i = 0; i < 50; ++i) {
      ValueNode& entry = tree.field("entries").append();
      entry.field("name").setString("name");  // the key's own text as a value
      entry.field("k" + std::to_string(i % 7)).setString("v" + std::to_string(i % 5));
      entry.field("list").append().setString("");
    }
    BindingValue emptied;
    emptied.field("gone").setString("gone");
    emptied.reset();  // its texts leave the table one by one
    emptied.field("back").setString("back");
  }
  MemoryStats statsAfter{};
  memory::readStats(statsAfter);
  EXPECT_EQ(memory::liveBytes(), before);
  EXPECT_EQ(statsAfter.allocations - statsBefore.allocations, statsAfter.frees - statsBefore.frees);
}

TEST(BindingValueTest, ExhaustedMemoryDuringSetErrorKeepsNoTextBehind) {
  const std::int64_t before = memory::liveBytes();
  bool set = false;
  for (std::uint64_t nth = 1; !set && nth < 100; ++nth) {
    BindingValue value;
    memory::failAllocationForTest(nth);
    try {
      value.setError("a message that no other value holds");
      set = true;
    } catch (const std::bad_alloc&) {
      memory::failAllocationForTest(0);
      const auto* context = zel::binding::internal::NodeAccess::context(value);
      EXPECT_TRUE(context == nullptr || context->stringsForTest().sizeForTest() == 0) << nth;
    }
    memory::failAllocationForTest(0);
  }
  EXPECT_TRUE(set);
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(BindingValueTest, ExhaustedMemoryDuringACopyLeavesTargetAndMemoryAsTheyWere) {
  BindingValue source;
  fillSample(source);
  buildDeep(source.field("deep"), 100);
  BindingValue target;
  target = source;  // grows the target's intern table and pool table to their final size
  target.reset();
  target.field("kept").setString("kept");
  const std::int64_t before = memory::liveBytes();
  bool copied = false;
  for (std::uint64_t nth = 1; !copied && nth < 10000; ++nth) {
    memory::failAllocationForTest(nth);
    try {
      target = source;
      copied = true;
    } catch (const std::bad_alloc&) {
      memory::failAllocationForTest(0);
      EXPECT_EQ(memory::liveBytes(), before) << "failing allocation " << nth;
      ASSERT_EQ(keysOf(target), std::vector<std::string>{"kept"});
      ASSERT_EQ(target.find("kept").asString(), "kept");
    }
  }
  memory::failAllocationForTest(0);
  ASSERT_TRUE(copied);
  expectSample(target);
  EXPECT_EQ(depthOf(target.find("deep")), 100u);
}

}  // namespace
}  // namespace zel

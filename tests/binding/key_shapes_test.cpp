#include "binding/key_shapes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "binding/field_builder.h"
#include "binding/internal/value_context.h"
#include "binding/value_records.h"
#include "memory/memory.h"
#include "tests/formats/value_text.h"

namespace zel::binding::internal {
namespace {

using zel::testing_support::describe;

// A structure to build: its keys in arrival order, each holding a number
// or, where `nested` names it, a structure of its own.
struct Spec {
  std::vector<std::string> keys;
  std::vector<Spec> nested;  // one per key; an empty key list means a number
};

// Builds `spec` into `node` field by field, the way a reader does; with
// `shapes` null the plain functions are used.
void build(ValueNode& node, const Spec& spec, RepeatedKey rule, KeyShapes* shapes,
           std::uint64_t& counter) {
  reserveFields(node, 0);
  ShapeCursor cursor{};
  for (std::size_t i = 0; i < spec.keys.size(); ++i) {
    ValueNode& slot = shapes != nullptr ? appendField(node, spec.keys[i], *shapes, cursor)
                                        : appendField(node, spec.keys[i]);
    if (spec.nested[i].keys.empty()) {
      slot.setUnsigned(counter++);
    } else {
      build(slot, spec.nested[i], rule, shapes, counter);
    }
  }
  if (shapes != nullptr) {
    finishFields(node, rule, *shapes, cursor);
  } else {
    finishFields(node, rule);
  }
}

std::string buildAll(const std::vector<Spec>& specs, RepeatedKey rule, bool withShapes) {
  BindingValue root;
  root.makeCollection();
  KeyShapes shapes;
  std::uint64_t counter = 0;
  for (const Spec& spec : specs)
    build(root.append(), spec, rule, withShapes ? &shapes : nullptr, counter);
  shapes.release();
  return describe(root);
}

struct Random {
  std::uint32_t state;
  std::uint32_t below(std::uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % n;
  }
};

// Keys from a small vocabulary, so that shapes repeat, vary by a key left
// out or added, repeat a key, and collide in the shapes' slots.
Spec randomSpec(Random& random, int depth) {
  static const char* const kKeys[] = {"id",   "name", "mode", "assets", "tags", "b", "a",
                                      "zeta", "k1",   "k2",   "",       "k10",  "nm"};
  Spec spec;
  const std::uint32_t template_ = random.below(3);
  const std::uint32_t count = 1 + random.below(8);
  for (std::uint32_t i = 0; i < count; ++i) {
    // Mostly one of three fixed key orders; sometimes a stray key.
    const std::uint32_t pick =
        random.below(6) == 0 ? random.below(13) : (i * (template_ + 2) + template_) % 13;
    spec.keys.push_back(kKeys[pick]);
    spec.nested.push_back(depth < 2 && random.below(4) == 0 ? randomSpec(random, depth + 1)
                                                            : Spec{});
  }
  return spec;
}

TEST(KeyShapesTest, BuildsTheSameTreesAsWithoutShapes) {
  for (const RepeatedKey rule : {RepeatedKey::Replace, RepeatedKey::Merge}) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
      SCOPED_TRACE(testing::Message() << "seed " << seed);
      Random random{seed};
      std::vector<Spec> specs;
      for (int i = 0; i < 60; ++i) {
        // Runs of one structure shape, as documents have them.
        const Spec spec = randomSpec(random, 0);
        for (std::uint32_t n = 1 + random.below(4); n > 0; --n) specs.push_back(spec);
      }
      EXPECT_EQ(buildAll(specs, rule, true), buildAll(specs, rule, false));
    }
  }
}

// Structures of a few templates, each leaving optional keys out, some
// adding a key of their own or repeating one.
TEST(KeyShapesTest, StructuresThatLeaveKeysOutBuildTheSameTrees) {
  static const char* const kKeys[] = {"id",     "name",   "gameMode", "isDefault", "assets",
                                      "icon-a", "icon-b", "z",        "a",         "k9",
                                      "k10",    "m",      "",         "preview",   "tags"};
  for (const RepeatedKey rule : {RepeatedKey::Replace, RepeatedKey::Merge}) {
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
      SCOPED_TRACE(testing::Message() << "seed " << seed);
      Random random{seed};
      std::vector<std::vector<std::string>> templates(3);
      for (auto& keys : templates) {
        // Unique keys in a random order.
        std::vector<std::string> pool(std::begin(kKeys), std::end(kKeys));
        for (std::uint32_t n = 4 + random.below(10); n > 0; --n) {
          const std::uint32_t pick = random.below(static_cast<std::uint32_t>(pool.size()));
          keys.push_back(pool[pick]);
          pool.erase(pool.begin() + pick);
        }
      }
      std::vector<Spec> specs;
      for (int i = 0; i < 200; ++i) {
        const auto& keys = templates[random.below(3)];
        Spec spec;
        for (std::size_t k = 0; k < keys.size(); ++k) {
          // The first key stays: it names the shape.
          if (k != 0 && random.below(4) == 0) continue;
          spec.keys.push_back(keys[k]);
          if (random.below(25) == 0) spec.keys.push_back(kKeys[random.below(15)]);
        }
        spec.nested.assign(spec.keys.size(), Spec{});
        specs.push_back(spec);
      }
      EXPECT_EQ(buildAll(specs, rule, true), buildAll(specs, rule, false));
    }
  }
}

// Two inner structures whose first keys have the slots of the outer one's:
// the second takes the outer shape's slot over while the outer structure is
// being built, and the outer's last keys then line up with its shape.
TEST(KeyShapesTest, AShapeTakenOverMidwayDoesNotOrderTheOuterStructure) {
  const auto slots = shapeSlots(fnv1aHash("m"));
  std::vector<std::string> inner;
  for (int i = 0; inner.size() < 2; ++i) {
    const std::string key = "x" + std::to_string(i);
    const auto candidate = shapeSlots(fnv1aHash(key));
    if ((candidate[0] == slots[0] && candidate[1] == slots[1]) ||
        (candidate[0] == slots[1] && candidate[1] == slots[0])) {
      inner.push_back(key);
    }
  }
  const Spec first{{inner[0], "c"}, {Spec{}, Spec{}}};
  const Spec second{{inner[1], "q", "r", "c", "b"}, {Spec{}, Spec{}, Spec{}, Spec{}, Spec{}}};
  const Spec outer{{"m", "z", "w", "c", "b"}, {Spec{}, first, second, Spec{}, Spec{}}};
  const std::vector<Spec> specs{outer, outer, outer};
  EXPECT_EQ(buildAll(specs, RepeatedKey::Replace, true),
            buildAll(specs, RepeatedKey::Replace, false));
}

// Builds a structure of `keys` under the shapes and asks for the
// remembered order before any sort: true when the shapes gave it.
bool recalled(ValueNode& node, KeyShapes& shapes, const std::vector<std::string>& keys) {
  reserveFields(node, 0);
  ShapeCursor cursor{};
  std::uint64_t number = 0;
  for (const std::string& key : keys) appendField(node, key, shapes, cursor).setUnsigned(number++);
  ArrayRecord& record = *NodeAccess::payload(node).array;
  if (shapes.recall(cursor, static_cast<Field*>(record.data), record.size)) return true;
  finishFields(node, RepeatedKey::Replace, shapes, cursor);
  return false;
}

TEST(KeyShapesTest, ShapesLearnOptionalKeysAndOrderStructuresThatLeaveThemOut) {
  BindingValue root;
  root.makeCollection();
  KeyShapes shapes;
  EXPECT_FALSE(recalled(root.append(), shapes, {"z", "m", "a", "q"}));
  EXPECT_TRUE(recalled(root.append(), shapes, {"z", "m", "a", "q"}));
  EXPECT_TRUE(recalled(root.append(), shapes, {"z", "a"}));
  // A key the shape lacks is learnt in its place.
  EXPECT_FALSE(recalled(root.append(), shapes, {"z", "n", "a"}));
  EXPECT_TRUE(recalled(root.append(), shapes, {"z", "m", "a"}));
  EXPECT_TRUE(recalled(root.append(), shapes, {"z", "n", "a", "q"}));
  // Keys out of the shape's order start it anew.
  EXPECT_FALSE(recalled(root.append(), shapes, {"z", "q", "a"}));
  EXPECT_TRUE(recalled(root.append(), shapes, {"z", "q", "a"}));
  EXPECT_FALSE(recalled(root.append(), shapes, {"z", "a", "q"}));
  // A structure that repeats a key is never taken as a shape.
  EXPECT_FALSE(recalled(root.append(), shapes, {"z", "b", "b"}));
  EXPECT_TRUE(recalled(root.append(), shapes, {"z", "a", "q"}));
  shapes.release();
  EXPECT_EQ(describe(root),
            "[{a:u2,m:u1,q:u3,z:u0},{a:u2,m:u1,q:u3,z:u0},{a:u1,z:u0},{a:u2,n:u1,z:u0},"
            "{a:u2,m:u1,z:u0},{a:u2,n:u1,q:u3,z:u0},{a:u2,q:u1,z:u0},{a:u2,q:u1,z:u0},"
            "{a:u1,q:u2,z:u0},{b:u2,z:u0},{a:u1,q:u2,z:u0}]");
}

TEST(KeyShapesTest, MatchedKeysAreTheContextsRecordsAndAllAreReleased) {
  const std::int64_t before = memory::liveBytes();
  {
    BindingValue root;
    root.makeCollection();
    ValueContext* context = nullptr;
    {
      KeyShapes shapes;
      std::uint64_t counter = 0;
      const Spec spec{{"zeta", "alpha", "mid"}, {Spec{}, Spec{}, Spec{}}};
      for (int i = 0; i < 3; ++i)
        build(root.append(), spec, RepeatedKey::Replace, &shapes, counter);
      EXPECT_EQ(describe(root),
                "[{alpha:u1,mid:u2,zeta:u0},{alpha:u4,mid:u5,zeta:u3},"
                "{alpha:u7,mid:u8,zeta:u6}]");
      context = NodeAccess::context(root);
      // Three keys, each one record whatever path found it.
      EXPECT_EQ(context->stringsForTest().sizeForTest(), 3u);
      EXPECT_EQ(root.element(0).fields().begin()->key().data(),
                root.element(2).fields().begin()->key().data());
    }
    // With the shapes gone, the tree holds the only references.
    root.element(0).reset();
    root.element(1).reset();
    EXPECT_EQ(context->stringsForTest().sizeForTest(), 3u);
    root.element(2).reset();
    EXPECT_EQ(context->stringsForTest().sizeForTest(), 0u);
  }
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(KeyShapesTest, KeysOfAnotherContextAreInternedThereAndNotRemembered) {
  BindingValue first;
  BindingValue second;
  KeyShapes shapes;
  std::uint64_t counter = 0;
  const Spec spec{{"b", "a"}, {Spec{}, Spec{}}};
  build(first, spec, RepeatedKey::Replace, &shapes, counter);
  build(second, spec, RepeatedKey::Replace, &shapes, counter);
  build(first.field("c"), spec, RepeatedKey::Replace, &shapes, counter);
  EXPECT_EQ(describe(first), "{a:u1,b:u0,c:{a:u5,b:u4}}");
  EXPECT_EQ(describe(second), "{a:u3,b:u2}");
  shapes.release();
  first.reset();
  EXPECT_EQ(NodeAccess::context(second)->stringsForTest().sizeForTest(), 2u);
}

}  // namespace
}  // namespace zel::binding::internal

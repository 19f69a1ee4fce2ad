#include "binding/type_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "binding/event_descriptor.h"
#include "binding/function_descriptor.h"
#include "binding/registry_access.h"
#include "binding/type_descriptor.h"
#include "diagnostics/format.h"

namespace zel {

struct FixedIdRecord {
  int x = 0;
};
template <>
struct StaticType<FixedIdRecord> {
  static constexpr std::string_view kName = "zel::FixedIdRecord";
  static constexpr std::uint32_t kId = 0x466F9860;
};

// A type whose name hashes like FixedIdRecord's would.
struct CollidingRecord {
  double y = 0;
};
template <>
struct StaticType<CollidingRecord> {
  static constexpr std::string_view kName = "zel::CollidingRecord";
  static constexpr std::uint32_t kId = 0x466F9860;
};

namespace {

using Access = binding::internal::RegistryAccess;

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::string label;
};

struct Shape {
  std::vector<Point> points;
  std::unordered_map<std::string, std::string> assets;
  BindingValue properties;
};

enum class Color : std::int32_t { Red = 1, Green = 2 };

// Counts its destruction, so tests can see who destroys a handler and when.
class CountingHandler : public FunctionHandlerBase {
 public:
  explicit CountingHandler(std::atomic<int>& destroyed) : destroyed_(destroyed) {}
  ~CountingHandler() override { ++destroyed_; }

 private:
  std::atomic<int>& destroyed_;
};

std::vector<std::string> fieldNames(const TypeDescriptor& type) {
  std::vector<std::string> names;
  for (const FieldDescriptor& field : type.fields()) names.push_back(field.name());
  return names;
}

// The name is the compiler's own spelling of the type, read from the
// signature of a function template; the ids of every build hang on it.
TEST(TypeIdentityTest, NamesAreTheCompilersSpelling) {
#if defined(__clang__)
  constexpr bool clang = true;
#else
  constexpr bool clang = false;
#endif
  struct Row {
    int line;
    std::string_view name, gcc, clang;
  };
  const Row rows[] = {
      {__LINE__, StaticType<Point>::kName, "zel::{anonymous}::Point",
       "zel::(anonymous namespace)::Point"},
      {__LINE__, StaticType<std::vector<Point>>::kName, "std::vector<zel::{anonymous}::Point>",
       "std::vector<zel::(anonymous namespace)::Point>"},
      {__LINE__, StaticType<Color>::kName, "zel::{anonymous}::Color",
       "zel::(anonymous namespace)::Color"},
      {__LINE__, StaticType<long long>::kName, "long long int", "long long"},
      {__LINE__, StaticType<BindingValue>::kName, "zel::BindingValue", "zel::BindingValue"},
      {__LINE__, StaticType<const char*>::kName, "const char*", "const char *"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.name, clang ? row.clang : row.gcc);
  }
  // MSVC's signature names T between angle brackets, with the class key.
  const std::string_view msvc[][2] = {
      {"class std::basic_string_view<char,struct std::char_traits<char> > __cdecl "
       "zel::binding::internal::signatureNaming<struct zel::`anonymous namespace'::Point>(void) "
       "noexcept",
       "zel::`anonymous namespace'::Point"},
      {"class std::basic_string_view<char,struct std::char_traits<char> > __cdecl "
       "zel::binding::internal::signatureNaming<class std::vector<struct zel::Point,class "
       "std::allocator<struct zel::Point> > >(void) noexcept",
       "std::vector<struct zel::Point,class std::allocator<struct zel::Point> >"},
      {"... __cdecl zel::binding::internal::signatureNaming<__int64>(void) noexcept", "__int64"},
      {"... __cdecl zel::binding::internal::signatureNaming<enum zel::Color>(void) noexcept",
       "zel::Color"},
      {"no template here", ""},
  };
  for (const auto& [signature, name] : msvc) {
    EXPECT_EQ(binding::internal::nameInAngles(signature), name) << signature;
  }
}

TEST(TypeIdentityTest, ConstantDistinctIdsAndDisplayText) {
  constexpr const TypeIdentity& point = typeIdentity<Point>();
  static_assert(point.id() == StaticType<Point>::kId, "the id is a build-time constant");
  static_assert(typeIdentity<FixedIdRecord>().id() == 0x466F9860);
  EXPECT_EQ(&typeIdentity<const Point>(), &point) << "one identity per type";
  EXPECT_EQ(std::string(point.displayText()), formatPositional("#%1$08X", point.id()));
  EXPECT_STREQ(typeIdentity<FixedIdRecord>().displayText(), "#466F9860");
  EXPECT_TRUE(noTypeIdentity().isNoType());
  EXPECT_STREQ(noTypeIdentity().displayText(), "#00000000");

  const std::uint32_t ids[] = {
      typeIdentity<Point>().id(),
      typeIdentity<Shape>().id(),
      typeIdentity<Color>().id(),
      typeIdentity<std::int32_t>().id(),
      typeIdentity<std::uint32_t>().id(),
      typeIdentity<std::string>().id(),
      typeIdentity<std::vector<Point>>().id(),
      typeIdentity<BindingValue>().id(),
  };
  for (const std::uint32_t id : ids) EXPECT_NE(id, kNoTypeId);
  std::vector<std::uint32_t> sorted(std::begin(ids), std::end(ids));
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST(TypeRegistryTest, FirstRegistrationWins) {
  TypeRegistry registry;
  const StructBuilder<Point> first = registry.registerStruct<Point>("Point")
                                         .field("x", &Point::x)
                                         .field("y", &Point::y)
                                         .setDescription("first")
                                         .addTag("geometry");
  EXPECT_FALSE(first.alreadyRegistered());

  struct OtherPoint {
    double z = 0;
  };
  auto second = registry.registerStruct<OtherPoint>("Point");
  second.field("z", &OtherPoint::z).setDescription("second").addTag("other");
  EXPECT_TRUE(second.alreadyRegistered());
  EXPECT_EQ(&second.descriptor(), &first.descriptor());

  const TypeDescriptor* point = registry.findType("Point");
  ASSERT_NE(point, nullptr);
  EXPECT_EQ(fieldNames(*point), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(point->description(), "first");
  EXPECT_EQ(point->tags(), std::vector<std::string>{"geometry"});
  EXPECT_EQ(point->size(), sizeof(Point));
  EXPECT_EQ(registry.findType<Point>(), point);
  EXPECT_EQ(registry.findType<OtherPoint>(), nullptr) << "the refused type is not indexed by id";

  // Another name for the same native type: found by its name; the id keeps the first.
  registry.registerStruct<Point>("PointAgain").field("label", &Point::label);
  EXPECT_NE(registry.findType("PointAgain"), nullptr);
  EXPECT_EQ(registry.findType<Point>(), point);
}

TEST(TypeRegistryTest, FieldDescriptorsOfMemberPointers) {
  TypeRegistry registry;
  registry.registerStruct<Point>("Point").field("x", &Point::x);
  registry.registerStruct<Shape>("Shape")
      .field("points", &Shape::points, "The corners", FieldFlags::Required)
      .untyped()
      .addTextMapField("assets", "", memberOffset(&Shape::assets), FieldFlags::OmitWhenZero)
      .addObjectField("properties", "Free form", memberOffset(&Shape::properties));
  const TypeDescriptor* shape = registry.findType<Shape>();
  const TypeDescriptor* point = registry.findType<Point>();
  ASSERT_NE(shape, nullptr);
  ASSERT_EQ(shape->fields().size(), 3u);
  const Shape sample;
  auto offsetIn = [&sample](const void* member) {
    return static_cast<std::uint32_t>(static_cast<const char*>(member) -
                                      reinterpret_cast<const char*>(&sample));
  };
  struct {
    int line;
    std::size_t index;
    std::uint32_t offset;
    TypeRef type;
    bool required;
    bool omitWhenZero;
  } rows[] = {
      {__LINE__,
       0,
       offsetIn(&sample.points),
       {TypeKind::Vector, TypeKind::Struct, point},
       true,
       false},
      {__LINE__,
       1,
       offsetIn(&sample.assets),
       {TypeKind::Map, TypeKind::String, nullptr},
       false,
       true},
      {__LINE__,
       2,
       offsetIn(&sample.properties),
       {TypeKind::Object, TypeKind::None, nullptr},
       false,
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const FieldDescriptor& field = shape->fields()[row.index];
    EXPECT_EQ(field.offset(), row.offset);
    EXPECT_EQ(field.type().kind, row.type.kind);
    EXPECT_EQ(field.type().elementKind, row.type.elementKind);
    EXPECT_EQ(field.type().type, row.type.type);
    EXPECT_EQ(field.required(), row.required);
    EXPECT_EQ(field.omitWhenZero(), row.omitWhenZero);
    EXPECT_EQ(field.nameHash(), binding::internal::fnv1aHash(field.name()));
    EXPECT_EQ(&field.owner(), shape);
    EXPECT_FALSE(field.optional());
  }
  EXPECT_EQ(shape->fields()[0].description(), "The corners");
  EXPECT_EQ(&shape->fields()[0].identity(), &typeIdentity<std::vector<Point>>());
}

TEST(TypeRegistryTest, ElementTypeOverrideIsKeptOnlyWithAKind) {
  TypeRegistry registry;
  TypeBuilder builder = Access::registerType(registry, 8, "Raw", noTypeIdentity(), false);
  builder.addField("a", "", 0, typeIdentity<std::int32_t>(), {TypeKind::Int32}, {},
                   FieldFlags::None, makeConverter<std::int32_t>());
  builder.addField("b", "", 4, typeIdentity<std::int32_t>(), {TypeKind::Int32}, {TypeKind::UInt32},
                   FieldFlags::None, makeConverter<std::int32_t>());
  const TypeDescriptor* raw = registry.findType("Raw");
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->fields()[0].exportedType().kind, TypeKind::Int32);
  EXPECT_EQ(raw->fields()[1].exportedType().kind, TypeKind::UInt32);
}

TEST(TypeRegistryTest, AnIdTakenByAnotherNativeTypeFindsNothing) {
  TypeRegistry registry;
  registry.registerStruct<FixedIdRecord>("Fixed").field("x", &FixedIdRecord::x);
  registry.registerStruct<CollidingRecord>("Colliding").field("y", &CollidingRecord::y);
  EXPECT_EQ(registry.findType<FixedIdRecord>(), registry.findType("Fixed"));
  EXPECT_EQ(registry.findType<CollidingRecord>(), nullptr);
  EXPECT_NE(registry.findType("Colliding"), nullptr);
  const BindingValue value = toValue(CollidingRecord{}, &registry);
  EXPECT_EQ(value.errorMessage(),
            "Couldn't convert native value because it's an unregistered structure.");
}

TEST(TypeRegistryTest, NoTypeIdentityIsFoundByNameOnly) {
  TypeRegistry registry;
  Access::registerType(registry, 0, "Nothing", noTypeIdentity(), false);
  EXPECT_NE(registry.findType("Nothing"), nullptr);
  EXPECT_EQ(registry.findType(kNoTypeId), nullptr);
  EXPECT_EQ(registry.findType(0xDEADBEEFu), nullptr) << "an unknown id is no error";
}

TEST(TypeRegistryTest, TagsAndEnumerators) {
  TypeRegistry registry;
  registry.registerEnum<Color>("Color")
      .addTag("$builtin")
      .addTag("")
      .addTag("")
      .enumerator("Red", Color::Red, "warm")
      .enumerator("Green", Color::Green)
      .untyped()
      .addEnumerator("Red", 7, "replaced");
  const TypeDescriptor* color = registry.findType<Color>();
  ASSERT_NE(color, nullptr);
  EXPECT_TRUE(color->isEnum());
  EXPECT_EQ(color->tags(), std::vector<std::string>{"$builtin"});
  ASSERT_EQ(color->enumerators().size(), 2u);
  const EnumeratorDescriptor* red = color->findEnumerator("Red");
  ASSERT_NE(red, nullptr);
  EXPECT_EQ(red->value(), 7);
  EXPECT_EQ(red->description(), "replaced");
  EXPECT_EQ(color->findEnumerator(std::int32_t{2})->name(), "Green");
  EXPECT_EQ(color->findEnumerator(std::int32_t{1}), nullptr);
  EXPECT_EQ(color->findEnumerator("red"), nullptr);
  EXPECT_STREQ(binding::internal::enumeratorName(&registry, color->typeId(), 7), "Red");
  EXPECT_EQ(binding::internal::enumeratorName(&registry, color->typeId(), 1), nullptr);
  EXPECT_EQ(binding::internal::enumeratorName(&registry, 0x12345u, 7), nullptr);
}

TEST(TypeRegistryTest, EnumeratorsByValueAreFoundInNameOrder) {
  TypeRegistry registry;
  Access::registerType(registry, 4, "Twice", noTypeIdentity(), true)
      .addEnumerator("b", 1, "")
      .addEnumerator("B", 1, "")
      .addEnumerator("a", 1, "");
  const TypeDescriptor* twice = registry.findType("Twice");
  std::vector<std::string> order;
  for (const auto& [name, enumerator] : twice->enumerators()) order.push_back(name);
  EXPECT_EQ(order, (std::vector<std::string>{"B", "a", "b"}));
  EXPECT_EQ(twice->findEnumerator(std::int32_t{1})->name(), "B");
}

TEST(TypeRegistryTest, FunctionsAndTheChangeCounter) {
  TypeRegistry registry;
  std::atomic<int> destroyed{0};
  const std::uint64_t start = Access::changeCount(registry);

  const RegisteredFunction added =
      Access::registerFunction(registry, "GetA", std::make_unique<CountingHandler>(destroyed));
  EXPECT_FALSE(added.alreadyRegistered);
  EXPECT_EQ(Access::changeCount(registry), start + 1);
  FunctionHandlerBase* handler = added.function->handler();

  const RegisteredFunction again =
      Access::registerFunction(registry, "GetA", std::make_unique<CountingHandler>(destroyed));
  EXPECT_TRUE(again.alreadyRegistered);
  EXPECT_EQ(again.function, added.function);
  EXPECT_EQ(again.function->handler(), handler) << "the first handler stays";
  EXPECT_EQ(destroyed, 1) << "the second handler is dropped";
  EXPECT_EQ(Access::changeCount(registry), start + 1);

  added.function->addArgument(typeRefOf<Point>(registry)).setName("point", "A point");
  added.function->addTag("Plugins");
  added.function->addTag("");
  EXPECT_EQ(Access::findFunction(registry, "GetA")->arguments().at(0).name(), "point");
  EXPECT_EQ(Access::findFunction(registry, "GetA")->tags(), std::vector<std::string>{"Plugins"});

  EXPECT_TRUE(Access::removeFunction(registry, "GetA"));
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(Access::changeCount(registry), start + 2);
  EXPECT_EQ(Access::findFunction(registry, "GetA"), nullptr);
  EXPECT_FALSE(Access::removeFunction(registry, "GetA"));
  EXPECT_EQ(Access::changeCount(registry), start + 2);
}

TEST(TypeRegistryTest, EventsKeepTheirFirstDefinition) {
  TypeRegistry registry;
  registry.registerStruct<Point>("Point");
  EventBuilder first = binding::internal::RegistryAccess::registerEvent<Point>(registry, "OnPoint");
  first.setDescription("first").setNameSpace("maps").addTag("a").addTag("");
  EXPECT_FALSE(first.alreadyRegistered());
  EventBuilder second =
      binding::internal::RegistryAccess::registerEvent(registry, "OnPoint", nullptr);
  second.setDescription("second").setNameSpace("other").addTag("b");
  EXPECT_TRUE(second.alreadyRegistered());

  const EventDescriptor* event = Access::findEvent(registry, "OnPoint");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->payload(), registry.findType<Point>());
  EXPECT_EQ(event->description(), "first");
  EXPECT_EQ(event->nameSpace(), "maps");
  EXPECT_EQ(event->tags(), std::vector<std::string>{"a"});
  EXPECT_EQ(Access::findEvent(registry, "OnOther"), nullptr);
}

TEST(TypeRegistryTest, SnapshotsAndInitialiseAgain) {
  struct Routes : binding::internal::RegistryAttachment {
    int value = 0;
  };
  TypeRegistry registry;
  const std::size_t builtinTypes = Access::types(registry).size();
  const std::size_t builtinEvents = Access::events(registry).size();
  registry.registerStruct<Point>("Point");
  binding::internal::RegistryAccess::registerEvent<Point>(registry, "OnPoint");
  Access::registerFunction(registry, "GetA", nullptr);
  Access::attachment<Routes>(registry).value = 5;
  EXPECT_EQ(Access::attachment<Routes>(registry).value, 5) << "one attachment per type";

  EXPECT_EQ(Access::types(registry).size(), builtinTypes + 1);
  EXPECT_EQ(Access::events(registry).size(), builtinEvents + 1);
  const auto functions = Access::functions(registry);
  ASSERT_EQ(functions.size(), 1u);
  EXPECT_EQ(functions[0]->name(), "GetA");

  const std::uint64_t changes = Access::changeCount(registry);
  registry.initialize();
  EXPECT_EQ(registry.findType("Point"), nullptr);
  EXPECT_EQ(registry.findType<Point>(), nullptr);
  EXPECT_EQ(Access::findEvent(registry, "OnPoint"), nullptr);
  EXPECT_TRUE(Access::functions(registry).empty());
  EXPECT_EQ(Access::changeCount(registry), changes + 1) << "the removed function counts";
  EXPECT_EQ(Access::types(registry).size(), builtinTypes);
  EXPECT_NE(Access::findEvent(registry, "OnCallback"), nullptr);
  EXPECT_EQ(Access::attachment<Routes>(registry).value, 0) << "attachments start afresh";
}

TEST(TypeRegistryTest, ConcurrentRegistrationAndLookup) {
  TypeRegistry registry;
  constexpr int kThreads = 4;
  constexpr int kFunctions = 200;
  const std::uint64_t start = Access::changeCount(registry);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&registry, t] {
      for (int i = 0; i < kFunctions; ++i) {
        const std::string name = formatPositional("F%1_%2", t, i);
        (void)Access::registerFunction(registry, name, nullptr);
        EXPECT_NE(Access::findFunction(registry, name), nullptr);
        EXPECT_NE(registry.findType("BindingAsyncState"), nullptr);
        (void)Access::registerFunction(registry, "Shared", nullptr);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(Access::functions(registry).size(), std::size_t{kThreads * kFunctions + 1});
  EXPECT_EQ(Access::changeCount(registry), start + kThreads * kFunctions + 1);
}

}  // namespace
}  // namespace zel

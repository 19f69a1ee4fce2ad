// The host-facing description records: their byte layout on the 32-bit
// builds, the links of every array, the type references, and the
// FunctionRecords of the ApiDescription.
#include "api/internal/description_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "api/describe_registry.h"
#include "api/internal/invocation.h"
#include "api/route_declarer.h"
#include "binding/registry_access.h"
#include "binding/type_descriptor.h"
#include "binding/type_registry.h"
#include "boundary/method_codes.h"

namespace zel {
namespace {

using api::internal::BuiltDescriptions;
using api::internal::DescriptionBuilder;
using api::internal::functionCallback;
using api::internal::InvocationContext;
using api::internal::RouteDescriptor;
using api::internal::RouteTable;

enum class Colour : std::int32_t { Red = 1, Green = 2 };
enum class Nothing : std::int32_t {};

struct Point {
  std::int32_t x = 0;
};

struct Empty {};

struct Segment {
  Point from;
  std::vector<Point> points;
  std::int32_t count = 0;
  Colour colour = Colour::Red;
  std::vector<std::int32_t> numbers;
  std::unordered_map<std::string, Point> named;
};

constexpr bool kThirtyTwoBit = sizeof(void*) == 4;

// The 32-bit word at a byte offset of a packed record (the records' layout
// is checked on the 32-bit builds only).
[[maybe_unused]] std::uint32_t word(const void* record, std::size_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
  return value;
}

[[maybe_unused]] std::uint32_t address(const void* pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

template <typename Record>
void expectLinkedArray(const Record* records, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(static_cast<const void*>(records[i].next),
              i + 1 < count ? static_cast<const void*>(&records[i + 1]) : nullptr);
    if constexpr (kThirtyTwoBit) {
      EXPECT_EQ(word(&records[i], 0), i + 1 < count ? address(&records[i + 1]) : 0u);
    }
  }
}

class Descriptions : public testing::Test {
 protected:
  void SetUp() override {
    registry_.registerEnum<Colour>("Colour")
        .enumerator("Red", Colour::Red, "warm")
        .enumerator("Green", Colour::Green)
        .addTag("palette");
    registry_.registerEnum<Nothing>("Nothing");
    registry_.registerStruct<Point>("Point")
        .field("x", &Point::x, "across")
        .setDescription("A point");
    registry_.registerStruct<Empty>("Empty");
    registry_.registerStruct<Segment>("Segment")
        .field("from", &Segment::from)
        .field("points", &Segment::points)
        .field("count", &Segment::count)
        .field("colour", &Segment::colour)
        .field("numbers", &Segment::numbers)
        .field("named", &Segment::named);
    binding::internal::RegistryAccess::registerEvent<Point>(registry_, "OnPoint")
        .setDescription("moved")
        .addTag("a")
        .addTag("b");
    RouteDeclarer routes(registry_, {"Plugins", "Plugin zel-test"});
    routes
        .declare(HttpMethod::Post, "/segments/{id}",
                 [](std::int64_t, const Segment& segment) { return segment.points; })
        .pathArgument("id", "Which segment")
        .bodyArgument("segment")
        .description("Replaces a segment")
        .help("POST a segment");
    routes.declare(HttpMethod::Get, "/colour", [] { return Colour::Green; });
  }

  const TypeDescription* type(const BuiltDescriptions& built, std::string_view name) {
    for (std::uint32_t i = 0; i < built.typeCount; ++i) {
      if (name == built.types[i].name) return &built.types[i];
    }
    return nullptr;
  }

  BuiltDescriptions build() {
    return binding::internal::RegistryAccess::attachment<DescriptionBuilder>(registry_).build(
        binding::internal::RegistryAccess::functions(registry_),
        binding::internal::RegistryAccess::types(registry_),
        binding::internal::RegistryAccess::events(registry_));
  }

  TypeRegistry registry_;
};

TEST_F(Descriptions, EveryArrayIsALinkedListEndingInZero) {
  const BuiltDescriptions built = build();
  EXPECT_EQ(built.functionCount, binding::internal::RegistryAccess::functions(registry_).size());
  EXPECT_EQ(built.typeCount, binding::internal::RegistryAccess::types(registry_).size());
  EXPECT_EQ(built.eventCount, binding::internal::RegistryAccess::events(registry_).size());
  expectLinkedArray(built.functions, built.functionCount);
  expectLinkedArray(built.types, built.typeCount);
  expectLinkedArray(built.events, built.eventCount);
  for (std::uint32_t i = 0; i < built.typeCount; ++i) {
    expectLinkedArray(built.types[i].fields, built.types[i].fields ? built.types[i].count : 0);
    expectLinkedArray(built.types[i].enumerators,
                      built.types[i].enumerators ? built.types[i].count : 0);
  }
  for (std::uint32_t i = 0; i < built.functionCount; ++i) {
    expectLinkedArray(built.functions[i].arguments, built.functions[i].argumentCount);
  }
}

TEST_F(Descriptions, FieldsCarryOffsetsKindsAndNamedTypes) {
  const BuiltDescriptions built = build();
  const TypeDescription* segment = type(built, "Segment");
  ASSERT_NE(segment, nullptr);
  EXPECT_EQ(+segment->size, sizeof(Segment));
  EXPECT_EQ(+segment->enumerators, nullptr);
  ASSERT_EQ(+segment->count, 6u);
  const struct {
    int line;
    const char* name;
    std::uint32_t offset;
    std::uint32_t kind;
    std::uint32_t elementKind;
    const char* typeName;
  } rows[] = {
      {__LINE__, "from", memberOffset(&Segment::from), 17, 0, "Point"},
      {__LINE__, "points", memberOffset(&Segment::points), 15, 17, "Point"},
      {__LINE__, "count", memberOffset(&Segment::count), 6, 0, ""},
      {__LINE__, "colour", memberOffset(&Segment::colour), 16, 0, "Colour"},
      {__LINE__, "numbers", memberOffset(&Segment::numbers), 15, 6, ""},
      {__LINE__, "named", memberOffset(&Segment::named), 19, 17, "Point"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].line);
    const FieldDescription& field = segment->fields[i];
    EXPECT_STREQ(field.name, rows[i].name);
    EXPECT_STREQ(field.description, "");
    EXPECT_EQ(+field.offset, rows[i].offset);
    EXPECT_EQ(+field.kind, rows[i].kind);
    EXPECT_EQ(+field.elementKind, rows[i].elementKind);
    EXPECT_STREQ(field.typeName, rows[i].typeName);
    EXPECT_EQ(+field.reserved, 0);
  }
  if constexpr (kThirtyTwoBit) {
    const FieldDescription& points = segment->fields[1];
    EXPECT_EQ(word(&points, 4), address(points.name));
    EXPECT_EQ(word(&points, 12), memberOffset(&Segment::points));
    EXPECT_EQ(word(&points, 16), 15u);
    EXPECT_EQ(word(&points, 20), 17u);
    EXPECT_EQ(word(&points, 24), address(registry_.findType("Point")->name().c_str()));
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&points)[28], 0);
  }
}

TEST_F(Descriptions, EnumsListTheirEnumeratorsByNameAndEmptyTypesLookAlike) {
  const BuiltDescriptions built = build();
  const TypeDescription* colour = type(built, "Colour");
  ASSERT_NE(colour, nullptr);
  EXPECT_EQ(+colour->fields, nullptr);
  ASSERT_EQ(+colour->count, 2u);
  EXPECT_STREQ(colour->enumerators[0].name, "Green");
  EXPECT_EQ(+colour->enumerators[0].value, 2);
  EXPECT_STREQ(colour->enumerators[1].name, "Red");
  EXPECT_STREQ(colour->enumerators[1].description, "warm");
  ASSERT_EQ(+colour->tagCount, 1u);
  EXPECT_STREQ(colour->tags[0], "palette");

  for (const char* name : {"Empty", "Nothing"}) {
    SCOPED_TRACE(name);
    const TypeDescription* empty = type(built, name);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(+empty->fields, nullptr);
    EXPECT_EQ(+empty->enumerators, nullptr);
    EXPECT_EQ(+empty->count, 0u);
    EXPECT_EQ(+empty->tags, nullptr);
    EXPECT_EQ(+empty->tagCount, 0u);
    EXPECT_STREQ(empty->description, "");
    EXPECT_STREQ(empty->nameSpace, "");
  }

  if constexpr (kThirtyTwoBit) {
    const TypeDescription* point = type(built, "Point");
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(word(point, 4), address(point->name));
    EXPECT_EQ(word(point, 12), sizeof(Point));
    EXPECT_EQ(word(point, 16), address(point->description));
    EXPECT_STREQ(point->description, "A point");
    EXPECT_EQ(word(point, 28), address(point->fields));
    EXPECT_EQ(word(point, 32), 0u);
    EXPECT_EQ(word(point, 36), 1u);
    EXPECT_EQ(word(&colour->enumerators[0], 12), 2u);
    EXPECT_EQ(word(colour, 28), 0u);
    EXPECT_EQ(word(colour, 32), address(colour->enumerators));
  }
}

TEST_F(Descriptions, FunctionsAndEventsDescribeTheirSignatures) {
  const BuiltDescriptions built = build();
  const FunctionDescription* post = nullptr;
  for (std::uint32_t i = 0; i < built.functionCount; ++i) {
    if (std::string_view(built.functions[i].name) == "PostSegmentsById") post = &built.functions[i];
  }
  ASSERT_NE(post, nullptr);
  EXPECT_EQ(+post->reserved, 0u);
  EXPECT_EQ(+post->context, nullptr);
  EXPECT_STREQ(post->description, "Replaces a segment");
  EXPECT_STREQ(post->help, "POST a segment");
  EXPECT_EQ(+post->resultKind, 15u);
  EXPECT_EQ(+post->resultElementKind, 17u);
  EXPECT_STREQ(post->resultTypeName, "Point");
  EXPECT_STREQ(post->asyncResultTypeName, "");
  EXPECT_EQ(+post->threadSafe, 0);
  ASSERT_EQ(+post->argumentCount, 2u);
  EXPECT_STREQ(post->arguments[0].name, "id");
  EXPECT_STREQ(post->arguments[0].description, "Which segment");
  EXPECT_EQ(+post->arguments[0].kind, 8u);
  EXPECT_STREQ(post->arguments[0].typeName, "");
  EXPECT_EQ(+post->arguments[1].kind, 17u);
  EXPECT_STREQ(post->arguments[1].typeName, "Segment");
  EXPECT_EQ(+post->arguments[1].optional, 0);
  ASSERT_EQ(+post->tagCount, 2u);
  EXPECT_STREQ(post->tags[1], "Plugin zel-test");

  const EventDescription* event = nullptr;
  for (std::uint32_t i = 0; i < built.eventCount; ++i) {
    if (std::string_view(built.events[i].name) == "OnPoint") event = &built.events[i];
  }
  ASSERT_NE(event, nullptr);
  EXPECT_STREQ(event->payloadTypeName, "Point");
  EXPECT_STREQ(event->description, "moved");
  ASSERT_EQ(+event->tagCount, 2u);

  if constexpr (kThirtyTwoBit) {
    EXPECT_EQ(word(post, 12), address(post->name));
    EXPECT_EQ(word(post, 20), address(post->arguments));
    EXPECT_EQ(word(post, 24), 2u);
    EXPECT_EQ(word(post, 28), 15u);
    EXPECT_EQ(word(post, 32), 17u);
    EXPECT_EQ(word(post, 36), address(post->resultTypeName));
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(post)[48], 0);
    EXPECT_EQ(word(post, 49), address(post->asyncResultTypeName));
    EXPECT_EQ(word(post, 53), address(post->tags));
    EXPECT_EQ(word(post, 57), 2u);
    const ArgumentDescription* segment = &post->arguments[1];
    EXPECT_EQ(word(segment, 12), 17u);
    EXPECT_EQ(word(segment, 20), address(segment->typeName));
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(segment)[24], 0);
    EXPECT_EQ(word(event, 12), address(event->payloadTypeName));
    EXPECT_EQ(word(event, 24), 2u);
  }
}

TEST_F(Descriptions, FunctionRecordsAddCallbackContextAndRouting) {
  FunctionDescriptor* post =
      binding::internal::RegistryAccess::findFunction(registry_, "PostSegmentsById");
  RouteDescriptor& route =
      *binding::internal::RegistryAccess::attachment<RouteTable>(registry_).find(*post);
  route.setFlag(1);
  route.addTextList({"a", "b"});
  route.addTextList({});

  const ApiDescription description = buildApiDescription(registry_);
  ASSERT_EQ(+description.functionCount, 2u);
  const auto* records = static_cast<const FunctionRecord*>(description.functions);
  EXPECT_EQ(+records[0].function.next, &records[1]);
  EXPECT_EQ(+records[1].function.next, nullptr);

  const FunctionRecord* record =
      std::string_view(records[0].function.name) == "PostSegmentsById" ? &records[0] : &records[1];
  const auto* context = static_cast<const InvocationContext*>(record->function.context);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->registry, &registry_);
  EXPECT_EQ(context->route, &route);
  EXPECT_EQ(+record->callback, &functionCallback);
  EXPECT_STREQ(record->urlTemplate, "/segments/{id}");
  EXPECT_EQ(+record->method, kMethodPost);
  EXPECT_EQ(+record->flag, 1);
  EXPECT_STREQ(record->customMethod, "");
  EXPECT_EQ(+record->function.argumentCount, 2u);
  EXPECT_STREQ(record->function.arguments[1].typeName, "Segment");
  ASSERT_NE(+record->locations, nullptr);
  EXPECT_EQ(+record->locations->location, 2u);
  ASSERT_NE(+record->locations->next, nullptr);
  EXPECT_EQ(+record->locations->next->location, 5u);
  EXPECT_EQ(+record->locations->next->next, nullptr);
  ASSERT_EQ(+record->textListCount, 2u);
  EXPECT_EQ(+record->textLists->count, 2u);
  EXPECT_STREQ(record->textLists->texts[1], "b");
  EXPECT_EQ(+record->textLists->next->count, 0u);
  EXPECT_EQ(+record->textLists->next->next, nullptr);

  EXPECT_GE(+description.typeCount, 5u);
  EXPECT_GE(+description.eventCount, 1u);

  if constexpr (kThirtyTwoBit) {
    EXPECT_EQ(word(record, 8), address(context));
    EXPECT_EQ(word(record, 12), address(record->function.name));
    EXPECT_EQ(word(record, 61), address(reinterpret_cast<const void*>(&functionCallback)));
    EXPECT_EQ(word(record, 65), address(record->locations));
    EXPECT_EQ(word(record, 69), address(record->urlTemplate));
    EXPECT_EQ(word(record, 73), 6u);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(record)[77], 1);
    EXPECT_EQ(word(record, 78), address(record->textLists));
    EXPECT_EQ(word(record, 82), 2u);
    EXPECT_EQ(word(record, 86), address(record->customMethod));
    EXPECT_EQ(word(record->locations, 4), 2u);
    EXPECT_EQ(word(record->textLists, 8), 2u);
  }

  // Building again keeps the records handed out before, and the same contexts.
  const ApiDescription again = buildApiDescription(registry_);
  EXPECT_NE(+again.functions, description.functions);
  EXPECT_STREQ(record->urlTemplate, "/segments/{id}");
  const auto* second = static_cast<const FunctionRecord*>(again.functions);
  const FunctionRecord* same =
      std::string_view(second[0].function.name) == "PostSegmentsById" ? &second[0] : &second[1];
  EXPECT_EQ(+same->function.context, +record->function.context);
}

}  // namespace
}  // namespace zel

#include "binding/convert_native.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/convert_number.h"
#include "binding/type_registry.h"
#include "binding/value.h"

namespace zel {
namespace {

BindingValue text(std::string_view s) {
  BindingValue v;
  v.setString(s);
  return v;
}
BindingValue sint(std::int64_t n) {
  BindingValue v;
  v.setSigned(n);
  return v;
}
BindingValue uint(std::uint64_t n) {
  BindingValue v;
  v.setUnsigned(n);
  return v;
}
BindingValue real(double d) {
  BindingValue v;
  v.setFloat(d);
  return v;
}
BindingValue boolean(bool b) {
  BindingValue v;
  v.setBool(b);
  return v;
}
// An enum record: integer targets take its number, whatever its type.
BindingValue enumeration(std::int32_t number) {
  BindingValue v;
  v.setEnum(number, 0x1234);
  return v;
}
BindingValue empty() {
  return BindingValue();
}
BindingValue collection() {
  BindingValue v;
  v.makeCollection();
  return v;
}
BindingValue structure() {
  BindingValue v;
  v.makeStructure();
  return v;
}

// What converting one input should give: a value, or a failure message.
template <typename T>
struct Expect {
  bool ok;
  T value;
  std::string message;
};
template <typename T>
Expect<T> gives(T value) {
  return {true, value, {}};
}
template <typename T>
Expect<T> fails(std::string message) {
  return {false, T{}, std::move(message)};
}

template <typename T>
struct Row {
  int line;
  BindingValue input;
  Expect<T> expected;
};

template <typename T>
void checkRows(const std::vector<Row<T>>& rows, const TypeRegistry* registry = nullptr) {
  for (const Row<T>& row : rows) {
    SCOPED_TRACE(row.line);
    ConversionStatus status;
    T target{};
    toNative(status, target, row.input, "p", registry);
    if (row.expected.ok) {
      EXPECT_TRUE(status.ok()) << status.errorMessage();
      if constexpr (std::is_floating_point_v<T>) {
        if (std::isnan(row.expected.value)) {
          EXPECT_TRUE(std::isnan(target));
          continue;
        }
      }
      EXPECT_EQ(target, row.expected.value);
    } else {
      EXPECT_FALSE(status.ok());
      EXPECT_EQ(status.errorMessage(), row.expected.message);
      EXPECT_EQ(target, T{}) << "a failed conversion leaves the target unchanged";
    }
  }
}

TEST(ConvertScalarTest, Bool) {
  checkRows<bool>({
      {__LINE__, text("true"), gives(true)},
      {__LINE__, text("1"), gives(true)},
      {__LINE__, text("false"), gives(false)},
      {__LINE__, text("0"), gives(false)},
      {__LINE__, boolean(true), gives(true)},
      {__LINE__, text("TRUE"),
       fails<bool>("Value TRUE for 'p' of type bool is in an incorrect format. Options are "
                   "\"true\", \"false\", \"1\", \"0\".")},
      {__LINE__, text("yes"),
       fails<bool>("Value yes for 'p' of type bool is in an incorrect format. Options are "
                   "\"true\", \"false\", \"1\", \"0\".")},
      {__LINE__, text(" 1"),
       fails<bool>("Value  1 for 'p' of type bool is in an incorrect format. Options are "
                   "\"true\", \"false\", \"1\", \"0\".")},
      {__LINE__, sint(1),
       fails<bool>(
           "Couldn't assign value to 'p' of type bool because the input is of an invalid type "
           "signed.")},
      {__LINE__, collection(),
       fails<bool>(
           "Couldn't assign value to 'p' of type bool because the input is of an invalid type "
           "collection.")},
      {__LINE__, empty(), fails<bool>("A value for 'p' is required.")},
  });
}

TEST(ConvertScalarTest, Int32) {
  const std::string range = " for 'p' of type int32 is out of range";
  const std::string format = " for 'p' of type int32 is in an incorrect format";
  checkRows<std::int32_t>({
      {__LINE__, text("0x7fffffff"), gives(2147483647)},
      {__LINE__, text("0X10"), gives(16)},
      {__LINE__, text("017"), gives(15)},
      {__LINE__, text("  -42"), gives(-42)},
      {__LINE__, text("+7"), gives(7)},
      {__LINE__, text("-2147483648"), gives(INT32_MIN)},
      {__LINE__, text(""), gives(0)},
      {__LINE__, text("2147483648"), fails<std::int32_t>("Value 2147483648" + range)},
      {__LINE__, text("99999999999999999999"),
       fails<std::int32_t>("Value 99999999999999999999" + range)},
      {__LINE__, text("12a"), fails<std::int32_t>("Value 12a" + format)},
      {__LINE__, text("08"), fails<std::int32_t>("Value 08" + format)},
      {__LINE__, text("0x"), fails<std::int32_t>("Value 0x" + format)},
      {__LINE__, text(" "), fails<std::int32_t>("Value  " + format)},
      {__LINE__, text("-"), fails<std::int32_t>("Value -" + format)},
      {__LINE__, real(3.9), gives(3)},
      {__LINE__, real(-3.9), gives(-3)},
      {__LINE__, real(2147483647.0), gives(2147483647)},
      {__LINE__, real(2147483648.0), fails<std::int32_t>("Value 2.14748e+09" + range)},
      {__LINE__, real(std::nan("")), fails<std::int32_t>("Value nan" + range)},
      {__LINE__, sint(-2147483649LL), fails<std::int32_t>("Value -2147483649" + range)},
      {__LINE__, uint(2147483647), gives(2147483647)},
      {__LINE__, uint(2147483648u), fails<std::int32_t>("Value 2147483648" + range)},
      {__LINE__, enumeration(INT32_MIN), gives(INT32_MIN)},
      {__LINE__, boolean(true),
       fails<std::int32_t>(
           "Couldn't assign value to 'p' of type int32 because the input is of an invalid type "
           "bool.")},
      {__LINE__, structure(),
       fails<std::int32_t>(
           "Couldn't assign value to 'p' of type int32 because the input is of an invalid type "
           "structure.")},
      {__LINE__, empty(), fails<std::int32_t>("A value for 'p' is required.")},
  });
}

// An optional is empty for the empty input and converts anything else as its
// value does, with the value's messages.
TEST(ConvertScalarTest, OptionalInt32) {
  using Optional = std::optional<std::int32_t>;
  checkRows<Optional>({
      {__LINE__, empty(), gives<Optional>(std::nullopt)},
      {__LINE__, text("0x10"), gives<Optional>(16)},
      {__LINE__, text(""), gives<Optional>(0)},
      {__LINE__, text("12a"),
       fails<Optional>("Value 12a for 'p' of type int32 is in an incorrect format")},
      {__LINE__, boolean(true),
       fails<Optional>(
           "Couldn't assign value to 'p' of type int32 because the input is of an invalid type "
           "bool.")},
  });
  // The empty input empties a target that held a value.
  Optional held = 5;
  ConversionStatus status;
  toNative(status, held, empty(), "p", nullptr);
  EXPECT_TRUE(status.ok());
  EXPECT_EQ(held, std::nullopt);
  EXPECT_EQ(toValue(Optional{}, nullptr).kind(), ValueKind::Empty);
  EXPECT_EQ(toValue(Optional{-3}, nullptr).asSigned(), -3);
}

TEST(ConvertScalarTest, NumbersAreReadWithTheirFullLength) {
  using binding::internal::ParseOutcome;
  const std::string_view withNul(
      "1\0"
      "2",
      3);
  std::int64_t n = 0;
  std::uint64_t u = 0;
  double d = 0;
  EXPECT_EQ(binding::internal::parseSigned(withNul, INT64_MIN, INT64_MAX, n), ParseOutcome::Format);
  EXPECT_EQ(binding::internal::parseUnsigned(withNul, UINT64_MAX, u), ParseOutcome::Format);
  EXPECT_EQ(binding::internal::parseFloating(withNul, -1e308, 1e308, d), ParseOutcome::Format);
  EXPECT_EQ(binding::internal::parseSigned(withNul.substr(0, 1), INT64_MIN, INT64_MAX, n),
            ParseOutcome::Ok);
  EXPECT_EQ(n, 1);
}

TEST(ConvertScalarTest, UInt32) {
  const std::string range = " for 'p' of type uint32 is out of range";
  checkRows<std::uint32_t>({
      {__LINE__, text("4294967295"), gives(4294967295u)},
      {__LINE__, text("0xFFFFFFFF"), gives(4294967295u)},
      {__LINE__, text("-1"), fails<std::uint32_t>("Value -1" + range)},
      {__LINE__, text("-0"), fails<std::uint32_t>("Value -0" + range)},
      {__LINE__, text("4294967296"), fails<std::uint32_t>("Value 4294967296" + range)},
      {__LINE__, text("-x"),
       fails<std::uint32_t>("Value -x for 'p' of type uint32 is in an incorrect format")},
      {__LINE__, sint(-1), fails<std::uint32_t>("Value -1" + range)},
      {__LINE__, sint(7), gives(7u)},
      {__LINE__, uint(4294967296u), fails<std::uint32_t>("Value 4294967296" + range)},
      {__LINE__, real(-0.5), fails<std::uint32_t>("Value -0.5" + range)},
      {__LINE__, real(4294967295.9), fails<std::uint32_t>("Value 4.29497e+09" + range)},
      {__LINE__, real(3.9), gives(3u)},
      {__LINE__, enumeration(INT32_MAX), gives(2147483647u)},
      {__LINE__, enumeration(-1), fails<std::uint32_t>("Value -1" + range)},
      {__LINE__, boolean(true),
       fails<std::uint32_t>(
           "Couldn't assign value to 'p' of type uint32 because the input is of an invalid type "
           "bool.")},
      {__LINE__, empty(), fails<std::uint32_t>("A value for 'p' is required.")},
  });
}

TEST(ConvertScalarTest, SixtyFourBitEdges) {
  checkRows<std::int64_t>({
      {__LINE__, text("9223372036854775807"), gives(INT64_MAX)},
      {__LINE__, text("-9223372036854775808"), gives(INT64_MIN)},
      {__LINE__, text("9223372036854775808"),
       fails<std::int64_t>("Value 9223372036854775808 for 'p' of type int64 is out of range")},
      {__LINE__, uint(9223372036854775808u),
       fails<std::int64_t>("Value 9223372036854775808 for 'p' of type int64 is out of range")},
      // 2^63 as a double compares equal to the maximum but cannot be held.
      {__LINE__, real(9223372036854775808.0),
       fails<std::int64_t>("Value 9.22337e+18 for 'p' of type int64 is out of range")},
      {__LINE__, real(-9223372036854775808.0), gives(INT64_MIN)},
  });
  checkRows<std::uint64_t>({
      {__LINE__, text("18446744073709551615"), gives(UINT64_MAX)},
      {__LINE__, text("18446744073709551616"),
       fails<std::uint64_t>("Value 18446744073709551616 for 'p' of type uint64 is out of range")},
      // A sign after white space still makes the text negative.
      {__LINE__, text(" -1"),
       fails<std::uint64_t>("Value  -1 for 'p' of type uint64 is out of range")},
      {__LINE__, real(18446744073709551616.0),
       fails<std::uint64_t>("Value 1.84467e+19 for 'p' of type uint64 is out of range")},
  });
}

// Every kind of input at the far edges of the two 64-bit types, so that no
// conversion leans on a narrower type's checks.
TEST(ConvertScalarTest, SixtyFourBitEdgesOfEveryInputKind) {
  const std::string u64 = " for 'p' of type uint64 is out of range";
  checkRows<std::uint64_t>({
      {__LINE__, sint(-1), fails<std::uint64_t>("Value -1" + u64)},
      {__LINE__, sint(INT64_MIN), fails<std::uint64_t>("Value -9223372036854775808" + u64)},
      {__LINE__, sint(INT64_MAX), gives<std::uint64_t>(INT64_MAX)},
      {__LINE__, uint(UINT64_MAX), gives(UINT64_MAX)},
      {__LINE__, text("-1"), fails<std::uint64_t>("Value -1" + u64)},
      {__LINE__, text("-0"), fails<std::uint64_t>("Value -0" + u64)},
      {__LINE__, text("0xffffffffffffffff"), gives(UINT64_MAX)},
      {__LINE__, text("0x10000000000000000"),
       fails<std::uint64_t>("Value 0x10000000000000000" + u64)},
      {__LINE__, real(-1.0), fails<std::uint64_t>("Value -1" + u64)},
      // The largest double below 2^64 is held exactly.
      {__LINE__, real(18446744073709549568.0), gives<std::uint64_t>(18446744073709549568u)},
  });
  const std::string i64 = " for 'p' of type int64 is out of range";
  checkRows<std::int64_t>({
      {__LINE__, sint(INT64_MIN), gives(INT64_MIN)},
      {__LINE__, uint(9223372036854775807u), gives(INT64_MAX)},
      {__LINE__, uint(UINT64_MAX), fails<std::int64_t>("Value 18446744073709551615" + i64)},
      {__LINE__, text("-9223372036854775809"),
       fails<std::int64_t>("Value -9223372036854775809" + i64)},
      {__LINE__, text("0x7fffffffffffffff"), gives(INT64_MAX)},
      {__LINE__, text("0x8000000000000000"), fails<std::int64_t>("Value 0x8000000000000000" + i64)},
      // The double next below -2^63.
      {__LINE__, real(-9223372036854777856.0), fails<std::int64_t>("Value -9.22337e+18" + i64)},
  });
}

TEST(ConvertScalarTest, NarrowIntegers) {
  checkRows<std::int8_t>({
      {__LINE__, text("-128"), gives<std::int8_t>(-128)},
      {__LINE__, sint(128), fails<std::int8_t>("Value 128 for 'p' of type int8 is out of range")},
      {__LINE__, enumeration(-129),
       fails<std::int8_t>("Value -129 for 'p' of type int8 is out of range")},
      {__LINE__, boolean(false),
       fails<std::int8_t>(
           "Couldn't assign value to 'p' of type int8 because the input is of an invalid type "
           "bool.")},
  });
  checkRows<std::uint8_t>({
      {__LINE__, text("0xff"), gives<std::uint8_t>(255)},
      {__LINE__, uint(256), fails<std::uint8_t>("Value 256 for 'p' of type uint8 is out of range")},
      {__LINE__, enumeration(256),
       fails<std::uint8_t>("Value 256 for 'p' of type uint8 is out of range")},
  });
  checkRows<std::int16_t>({
      {__LINE__, sint(-32768), gives<std::int16_t>(-32768)},
      {__LINE__, text("32768"),
       fails<std::int16_t>("Value 32768 for 'p' of type int16 is out of range")},
  });
  checkRows<std::uint16_t>({
      {__LINE__, real(65535.0), gives<std::uint16_t>(65535)},
      {__LINE__, sint(-1), fails<std::uint16_t>("Value -1 for 'p' of type uint16 is out of range")},
  });
}

// Each spelling of an integer type is a scalar compiled on its own
// (binding/native_scalars.cpp): its largest value goes both ways, one more is
// out of range under the name of its width.
template <typename T>
void checkIntegerSpelling(int line, const char* kind) {
  SCOPED_TRACE(line);
  const T max = std::numeric_limits<T>::max();
  ConversionStatus status;
  T target{};
  toNative(status, target, toValue(max, nullptr), "p", nullptr);
  EXPECT_TRUE(status.ok()) << status.errorMessage();
  EXPECT_TRUE(target == max);
  if constexpr (sizeof(T) < 8) {
    const std::uint64_t over = static_cast<std::uint64_t>(max) + 1;
    BindingValue input;
    input.setUnsigned(over);
    toNative(status, target, input, "p", nullptr);
    EXPECT_EQ(status.errorMessage(),
              "Value " + std::to_string(over) + " for 'p' of type " + kind + " is out of range");
  }
}

TEST(ConvertScalarTest, EveryIntegerSpelling) {
  const char* kChar = std::is_signed_v<char> ? "int8" : "uint8";
  const char* kWide = sizeof(wchar_t) == 2 ? (std::is_signed_v<wchar_t> ? "int16" : "uint16")
                                           : (std::is_signed_v<wchar_t> ? "int32" : "uint32");
  const bool kLongIs32 = sizeof(long) == 4;
  checkIntegerSpelling<char>(__LINE__, kChar);
  checkIntegerSpelling<signed char>(__LINE__, "int8");
  checkIntegerSpelling<unsigned char>(__LINE__, "uint8");
  checkIntegerSpelling<wchar_t>(__LINE__, kWide);
  checkIntegerSpelling<char8_t>(__LINE__, "uint8");
  checkIntegerSpelling<char16_t>(__LINE__, "uint16");
  checkIntegerSpelling<char32_t>(__LINE__, "uint32");
  checkIntegerSpelling<short>(__LINE__, "int16");
  checkIntegerSpelling<unsigned short>(__LINE__, "uint16");
  checkIntegerSpelling<int>(__LINE__, "int32");
  checkIntegerSpelling<unsigned>(__LINE__, "uint32");
  checkIntegerSpelling<long>(__LINE__, kLongIs32 ? "int32" : "int64");
  checkIntegerSpelling<unsigned long>(__LINE__, kLongIs32 ? "uint32" : "uint64");
  checkIntegerSpelling<long long>(__LINE__, "int64");
  checkIntegerSpelling<unsigned long long>(__LINE__, "uint64");
}

TEST(ConvertScalarTest, Floating) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  checkRows<double>({
      {__LINE__, text("1.5"), gives(1.5)},
      {__LINE__, text("  -2.5e3"), gives(-2500.0)},
      {__LINE__, text("0x1p3"), gives(8.0)},
      {__LINE__, text(""), gives(0.0)},
      {__LINE__, text("1e400"),
       fails<double>("Value 1e400 for 'p' of type double is out of range")},
      {__LINE__, text("1.5x"),
       fails<double>("Value 1.5x for 'p' of type double is in an incorrect format")},
      {__LINE__, text("+-1"),
       fails<double>("Value +-1 for 'p' of type double is in an incorrect format")},
      {__LINE__, real(kNaN), gives(kNaN)},
      {__LINE__, real(-std::numeric_limits<double>::infinity()),
       fails<double>("Value -inf for 'p' of type double is out of range")},
      {__LINE__, sint(INT64_MIN), gives(-9223372036854775808.0)},
      {__LINE__, uint(UINT64_MAX), gives(18446744073709551615.0)},
      {__LINE__, enumeration(-3), gives(-3.0)},
      {__LINE__, empty(), fails<double>("A value for 'p' is required.")},
      {__LINE__, collection(),
       fails<double>(
           "Couldn't assign value to 'p' of type double because the input is of an invalid "
           "type collection.")},
  });
  checkRows<float>({
      {__LINE__, real(0.5), gives(0.5f)},
      {__LINE__, text("1e39"), fails<float>("Value 1e39 for 'p' of type float is out of range")},
      {__LINE__, real(1e39), fails<float>("Value 1e+39 for 'p' of type float is out of range")},
  });
}

enum class State : std::int32_t { None = 0, Running = 1 };

class ConvertEnumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_.registerEnum<State>("State")
        .enumerator("None", State::None)
        .enumerator("Running", State::Running);
  }
  TypeRegistry registry_;
};

TEST_F(ConvertEnumTest, ByNameNumberAndNumericText) {
  BindingValue record;
  record.setEnum(1, 0x1234);  // the record's own type id is not compared
  checkRows<State>(
      {
          {__LINE__, text("Running"), gives(State::Running)},
          {__LINE__, sint(1), gives(State::Running)},
          {__LINE__, uint(0x100000001u), gives(State::Running)},  // its low 32 bits
          {__LINE__, text("1"), gives(State::Running)},
          {__LINE__, text("0x1"), gives(State::Running)},
          {__LINE__, record, gives(State::Running)},
          {__LINE__, text("running"),
           fails<State>("running is not a valid State enumeration value for 'p'.")},
          {__LINE__, text("2"), fails<State>("2 is not a valid State enumeration value for 'p'.")},
          {__LINE__, text("99999999999"),
           fails<State>("99999999999 is not a valid State enumeration value for 'p'.")},
          {__LINE__, sint(-7), fails<State>("-7 is not a valid State enumeration value for 'p'.")},
          // An unsigned number is shown whole, though its low 32 bits were looked up.
          {__LINE__, uint(0x100000002u),
           fails<State>("4294967298 is not a valid State enumeration value for 'p'.")},
          {__LINE__, enumeration(2),
           fails<State>("2 is not a valid State enumeration value for 'p'.")},
          {__LINE__, real(1.0),
           fails<State>(
               "Couldn't assign value to 'p' of enum type because the input is of an invalid "
               "type float.")},
          {__LINE__, empty(), fails<State>("A value for 'p' is required.")},
      },
      &registry_);
  checkRows<std::optional<State>>(
      {
          {__LINE__, text("Running"), gives<std::optional<State>>(State::Running)},
          {__LINE__, empty(), gives<std::optional<State>>(std::nullopt)},
          {__LINE__, text("running"),
           fails<std::optional<State>>("running is not a valid State enumeration value for 'p'.")},
      },
      &registry_);
}

TEST_F(ConvertEnumTest, TextFromEnum) {
  BindingValue named;
  named.setEnum(1, typeIdentity<State>().id());
  BindingValue unnamed;
  unnamed.setEnum(5, typeIdentity<State>().id());
  checkRows<std::string>(
      {
          {__LINE__, named, gives<std::string>("Running")},
          {__LINE__, text(std::string_view("a\0b", 3)), gives(std::string("a\0b", 3))},
          {__LINE__, unnamed, fails<std::string>("5 is not a valid enumeration value for 'p'.")},
          {__LINE__, boolean(true),
           fails<std::string>("Couldn't assign value to 'p' because the input is not a string.")},
          {__LINE__, sint(3),
           fails<std::string>("Couldn't assign value to 'p' because the input is not a string.")},
          {__LINE__, empty(), fails<std::string>("A value for 'p' is required.")},
      },
      &registry_);
}

TEST_F(ConvertEnumTest, NativeEnumBecomesEnumRecord) {
  const BindingValue value = toValue(State::Running, &registry_);
  ASSERT_EQ(value.kind(), ValueKind::Enum);
  EXPECT_EQ(value.asEnum(), (EnumValue{1, typeIdentity<State>().id()}));
}

TEST(ConvertBlobTest, BytesOfBlobsAndStrings) {
  BindingValue bytes;
  const std::uint8_t raw[] = {0, 1, 255};
  bytes.setBlob(raw, 3);
  checkRows<Blob>({
      {__LINE__, bytes, gives(Blob{0, 1, 255})},
      {__LINE__, text("ab"), gives(Blob{'a', 'b'})},
      {__LINE__, sint(1),
       fails<Blob>(
           "Couldn't assign value to 'p' of type blob because the input is of an invalid type "
           "signed.")},
  });
  const BindingValue back = toValue(Blob{7, 8}, nullptr);
  ASSERT_EQ(back.kind(), ValueKind::Blob);
  EXPECT_EQ(back.size(), 2u);
  EXPECT_EQ(back.asBlob()[1], 8);
}

TEST(ConvertCallbackTest, CarriesItsId) {
  checkRows<BindingCallback>({
      {__LINE__, uint(9), gives(BindingCallback{9})},
      {__LINE__, sint(-1),
       fails<BindingCallback>("Value -1 for 'p' of type callback is out of range")},
  });
  EXPECT_EQ(toValue(BindingCallback{4}, nullptr).asUnsigned(), 4u);
}

struct Pair {
  std::int32_t a = 0;
  std::string b;
};

struct Outer {
  Pair pair;
  std::vector<std::int32_t> numbers;
  std::unordered_map<std::string, std::string> assets;
  BindingValue properties;
  State state = State::None;
};

struct Sparse {
  std::optional<std::int32_t> count;
  std::optional<Pair> pair;
  std::optional<std::vector<State>> states;
  std::optional<BindingValue> extra;
};

struct Omitting {
  std::string label;
  std::int32_t count = 0;
  double ratio = 0.0;
  std::vector<std::int32_t> list;
  bool flag = false;
  bool shown = false;  // omitted while false
};

class ConvertStructureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_.registerEnum<State>("State")
        .enumerator("None", State::None)
        .enumerator("Running", State::Running);
    registry_.registerStruct<Pair>("Pair")
        .field("a", &Pair::a, FieldFlags::Required)
        .field("b", &Pair::b);
    registry_.registerStruct<Outer>("Outer")
        .field("pair", &Outer::pair)
        .field("numbers", &Outer::numbers)
        .field("assets", &Outer::assets)
        .field("properties", &Outer::properties)
        .field("state", &Outer::state);
    const FieldFlags omit = FieldFlags::OmitWhenZero;
    registry_.registerStruct<Omitting>("Omitting")
        .field("label", &Omitting::label, omit)
        .field("count", &Omitting::count, omit)
        .field("ratio", &Omitting::ratio, omit)
        .field("list", &Omitting::list, omit)
        .field("flag", &Omitting::flag)
        .field("shown", &Omitting::shown, omit);
    // Required does not apply to an optional field.
    registry_.registerStruct<Sparse>("Sparse")
        .field("count", &Sparse::count, FieldFlags::Required)
        .field("pair", &Sparse::pair)
        .field("states", &Sparse::states)
        .field("extra", &Sparse::extra);
  }

  std::string convertPair(const BindingValue& input, Pair& pair) {
    ConversionStatus status;
    toNative(status, pair, input, "body", &registry_);
    return std::string(status.errorMessage());
  }

  TypeRegistry registry_;
};

TEST_F(ConvertStructureTest, RequiredFieldsAndUnknownKeys) {
  BindingValue onlyB;
  onlyB.field("b").setString("x");
  BindingValue emptyA;
  emptyA.field("a");
  emptyA.field("b").setString("x");
  BindingValue extra;
  extra.field("a").setSigned(3);
  extra.field("c").setString("ignored");
  const std::string missing =
      "Couldn't assign value to 'body' of type Pair because the input structure doesn't have "
      "required field 'a'.";
  struct {
    int line;
    const BindingValue& input;
    std::string message;
    std::int32_t a;
  } rows[] = {
      {__LINE__, onlyB, missing, 0},
      {__LINE__, emptyA, missing, 0},
      {__LINE__, extra, "", 3},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    Pair pair;
    EXPECT_EQ(convertPair(row.input, pair), row.message);
    EXPECT_EQ(pair.a, row.a);
  }
}

TEST_F(ConvertStructureTest, InputsThatAreNotStructures) {
  Pair pair;
  EXPECT_EQ(convertPair(sint(1), pair),
            "Couldn't assign value to 'body' of type Pair because the input not a structure.");
  EXPECT_EQ(convertPair(empty(), pair), "A value for 'body' is required.");

  struct Unregistered {
    int x = 0;
  } unregistered;
  ConversionStatus status;
  toNative(status, unregistered, structure(), "u", &registry_);
  EXPECT_EQ(status.errorMessage(),
            "Couldn't assign value to 'u' because the input is an unregistered structure or not "
            "a structure at all.");
  const BindingValue out = toValue(unregistered, &registry_);
  EXPECT_FALSE(out.ok());
  EXPECT_EQ(out.errorMessage(),
            "Couldn't convert native value because it's an unregistered structure.");
}

TEST_F(ConvertStructureTest, NestedFailureNamesTheFieldAndKeepsEarlierFields) {
  BindingValue input;
  input.field("pair").field("a").setSigned(5);
  input.field("numbers").element(0).setString("x");
  input.field("state").setString("Running");
  Outer outer;
  ConversionStatus status;
  toNative(status, outer, input, "<value>", &registry_);
  EXPECT_EQ(status.errorMessage(), "Value x for 'numbers' of type int32 is in an incorrect format");
  EXPECT_EQ(outer.pair.a, 5) << "fields before the failure stay assigned";
  EXPECT_EQ(outer.state, State::None) << "fields after the failure are not touched";

  BindingValue deeper;
  deeper.field("pair").field("a").setString("abc");
  toNative(status = ConversionStatus(), outer, deeper, "<value>", &registry_);
  EXPECT_EQ(status.errorMessage(), "Value abc for 'a' of type int32 is in an incorrect format");
}

TEST_F(ConvertStructureTest, FirstFailureWins) {
  ConversionStatus status;
  status.setError("earlier");
  Pair pair{7, "kept"};
  BindingValue input;
  input.field("a").setSigned(1);
  toNative(status, pair, input, "body", &registry_);
  std::vector<std::int32_t> numbers{1, 2};
  toNative(status, numbers, sint(3), "n", &registry_);
  Blob bytes{1, 2};
  toNative(status, bytes, sint(3), "b", &registry_);
  std::string word = "kept";
  toNative(status, word, sint(3), "w", &registry_);
  EXPECT_EQ(status.errorMessage(), "earlier");
  EXPECT_EQ(pair.a, 7);
  EXPECT_EQ(bytes, (Blob{1, 2}));
  EXPECT_EQ(word, "kept");
  EXPECT_TRUE(numbers.empty()) << "a vector is emptied before the status is tested";
}

TEST_F(ConvertStructureTest, VectorsAndMaps) {
  BindingValue three;
  three.element(0).setSigned(1);
  three.element(2).setSigned(3);  // element 1 stays empty
  std::vector<std::int32_t> numbers{9, 9, 9, 9};
  ConversionStatus status;
  toNative(status, numbers, three, "n", &registry_);
  EXPECT_TRUE(status.ok());
  EXPECT_EQ(numbers, (std::vector<std::int32_t>{1, 0, 3}));

  toNative(status, numbers, text("1"), "n", &registry_);
  EXPECT_EQ(status.errorMessage(),
            "Couldn't assign value to 'n' of type vector because the input not a collection.");

  std::unordered_map<std::string, std::string> assets{{"b", "2"}, {"c", "3"}};
  BindingValue replacement;
  replacement.field("a").setString("1");
  replacement.field("skipped");
  toNative(status = ConversionStatus(), assets, replacement, "assets", &registry_);
  EXPECT_TRUE(status.ok());
  EXPECT_EQ(assets, (std::unordered_map<std::string, std::string>{{"a", "1"}}));

  toNative(status, assets, sint(5), "assets", &registry_);
  EXPECT_EQ(status.errorMessage(),
            "Couldn't assign value to 'assets' of type map because the input not a structure.");

  std::vector<bool> flags;
  BindingValue bools;
  bools.element(0).setBool(true);
  bools.element(1).setString("false");
  toNative(status = ConversionStatus(), flags, bools, "f", &registry_);
  EXPECT_EQ(flags, (std::vector<bool>{true, false}));
  EXPECT_EQ(toValue(flags, &registry_).at(0).asBool(), true);
}

TEST_F(ConvertStructureTest, ObjectFieldsTakeAnyValueUnchanged) {
  BindingValue list;
  list.element(0).setSigned(1);
  list.element(1).field("k").setString("v");
  for (const BindingValue& input : {sint(4), list, empty()}) {
    BindingValue target = text("old");
    ConversionStatus status;
    toNative(status, target, input, "properties", &registry_);
    EXPECT_TRUE(status.ok());
    ASSERT_EQ(target.kind(), input.kind());
    EXPECT_EQ(target.size(), input.size());
  }
}

TEST_F(ConvertStructureTest, RecordRoundTrip) {
  Outer outer;
  outer.pair = {-3, "b"};
  outer.numbers = {4, 5};
  outer.assets = {{"x", "1"}, {"y", "2"}};
  outer.properties.field("deep").element(1).setFloat(0.25);
  outer.state = State::Running;

  const BindingValue value = toValue(outer, &registry_);
  ASSERT_TRUE(value.ok()) << value.errorMessage();
  EXPECT_EQ(value.find("pair").find("a").asSigned(), -3);
  EXPECT_EQ(value.find("numbers").size(), 2u);
  EXPECT_EQ(value.find("assets").find("y").asString(), "2");
  EXPECT_EQ(value.find("state").asEnum().number, 1);

  Outer back;
  ConversionStatus status;
  toNative(status, back, value, "<value>", &registry_);
  ASSERT_TRUE(status.ok()) << status.errorMessage();
  EXPECT_EQ(back.pair.a, -3);
  EXPECT_EQ(back.pair.b, "b");
  EXPECT_EQ(back.numbers, outer.numbers);
  EXPECT_EQ(back.assets, outer.assets);
  EXPECT_EQ(back.properties.find("deep").at(1).asFloat(), 0.25);
  EXPECT_EQ(back.state, State::Running);
}

TEST_F(ConvertStructureTest, OmitWhenZero) {
  struct {
    int line;
    Omitting record;
    std::vector<std::string> keys;
  } rows[] = {
      {__LINE__, {}, {"flag"}},
      {__LINE__, {"", 0, -0.0, {}, false}, {"flag"}},
      {__LINE__, {"x", 0, 0.0, {}, false}, {"flag", "label"}},
      {__LINE__, {"", 2, 0.5, {0}, true}, {"count", "flag", "list", "ratio"}},
      {__LINE__, {"", 0, 0.0, {}, false, true}, {"flag", "shown"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const BindingValue value = toValue(row.record, &registry_);
    ASSERT_TRUE(value.ok());
    std::vector<std::string> keys;
    for (const Field& field : value.fields()) keys.emplace_back(field.key());
    EXPECT_EQ(keys, row.keys);
  }
}

TEST_F(ConvertStructureTest, OptionalFields) {
  BindingValue full;
  full.field("count").setString("7");
  full.field("pair").field("a").setSigned(1);
  full.field("states").element(0).setString("Running");
  full.field("extra").setBool(true);
  BindingValue badPair;
  badPair.field("pair").field("b").setString("x");
  BindingValue emptyCount;
  emptyCount.field("count");
  struct {
    int line;
    const BindingValue& input;
    std::string message;
    std::vector<std::string> keysBack;  // of the record converted back
  } rows[] = {
      {__LINE__, structure(), "", {}},
      {__LINE__, emptyCount, "", {}},
      {__LINE__, full, "", {"count", "extra", "pair", "states"}},
      {__LINE__,
       badPair,
       "Couldn't assign value to 'pair' of type Pair because the input structure doesn't have "
       "required field 'a'.",
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    Sparse sparse;
    ConversionStatus status;
    toNative(status, sparse, row.input, "body", &registry_);
    EXPECT_EQ(status.errorMessage(), row.message);
    EXPECT_EQ(sparse.pair.has_value(), row.input.find("pair").find("a").kind() != ValueKind::Empty)
        << "a failed conversion leaves an empty optional empty";
    const BindingValue back = toValue(sparse, &registry_);
    ASSERT_TRUE(back.ok()) << back.errorMessage();
    std::vector<std::string> keys;
    for (const Field& field : back.fields()) keys.emplace_back(field.key());
    EXPECT_EQ(keys, row.keysBack);
  }
  Sparse sparse;
  ConversionStatus status;
  toNative(status, sparse, full, "body", &registry_);
  EXPECT_EQ(sparse.count, 7);
  EXPECT_EQ(sparse.pair->a, 1);
  EXPECT_EQ(sparse.states, (std::vector<State>{State::Running}));
  EXPECT_TRUE(sparse.extra->asBool());
  const BindingValue back = toValue(sparse, &registry_);
  EXPECT_EQ(back.find("count").asSigned(), 7);
  EXPECT_EQ(back.find("pair").find("a").asSigned(), 1);
  EXPECT_EQ(back.find("states").at(0).asEnum().number, 1);
  // A present optional is written as its value is, an empty value included.
  sparse.extra.emplace();
  EXPECT_EQ(toValue(sparse, &registry_).size(), 4u);
}

TEST_F(ConvertStructureTest, TypeRefsOfNativeTypes) {
  const TypeDescriptor* pair = registry_.findType<Pair>();
  const TypeDescriptor* state = registry_.findType<State>();
  ASSERT_NE(pair, nullptr);
  struct {
    int line;
    TypeRef actual;
    TypeRef expected;
  } rows[] = {
      {__LINE__, typeRefOf<void>(registry_), {}},
      {__LINE__, typeRefOf<std::int64_t>(registry_), {TypeKind::Int64, TypeKind::None, nullptr}},
      {__LINE__,
       typeRefOf<long>(registry_),
       {sizeof(long) == 4 ? TypeKind::Int32 : TypeKind::Int64, TypeKind::None, nullptr}},
      {__LINE__, typeRefOf<Pair>(registry_), {TypeKind::Struct, TypeKind::None, pair}},
      {__LINE__, typeRefOf<State>(registry_), {TypeKind::Enum, TypeKind::None, state}},
      {__LINE__,
       typeRefOf<std::vector<Pair>>(registry_),
       {TypeKind::Vector, TypeKind::Struct, pair}},
      {__LINE__,
       typeRefOf<std::vector<std::vector<State>>>(registry_),
       {TypeKind::Vector, TypeKind::Vector, state}},
      {__LINE__,
       typeRefOf<std::unordered_map<std::string, float>>(registry_),
       {TypeKind::Map, TypeKind::Float, nullptr}},
      {__LINE__, typeRefOf<Blob>(registry_), {TypeKind::Blob, TypeKind::None, nullptr}},
      {__LINE__, typeRefOf<BindingValue>(registry_), {TypeKind::Object, TypeKind::None, nullptr}},
      {__LINE__,
       typeRefOf<BindingCallback>(registry_),
       {TypeKind::Callback, TypeKind::None, nullptr}},
      // An optional has its value's type.
      {__LINE__,
       typeRefOf<std::optional<Pair>>(registry_),
       {TypeKind::Struct, TypeKind::None, pair}},
      {__LINE__,
       typeRefOf<std::optional<std::vector<State>>>(registry_),
       {TypeKind::Vector, TypeKind::Enum, state}},
      {__LINE__,
       typeRefOf<std::optional<BindingValue>>(registry_),
       {TypeKind::Object, TypeKind::None, nullptr}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.actual.kind, row.expected.kind);
    EXPECT_EQ(row.actual.elementKind, row.expected.elementKind);
    EXPECT_EQ(row.actual.type, row.expected.type);
  }
}

}  // namespace
}  // namespace zel

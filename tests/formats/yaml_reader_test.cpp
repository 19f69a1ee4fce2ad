#include "formats/yaml_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "formats/reader_limits.h"
#include "memory/memory.h"
#include "tests/formats/value_text.h"

namespace zel {
namespace {

using testing_support::describe;
using testing_support::nested;

struct Case {
  int line;
  std::string input;
  std::string expected;
};

void expectReads(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.input.substr(0, 80));
    EXPECT_EQ(describe(readYaml(c.input)), c.expected);
  }
}

std::string zeros(std::size_t count) {
  return std::string(count, '0');
}
std::string quoted(const std::string& text) {
  return '"' + text + '"';
}

TEST(YamlReaderTest, PlainScalarsAreTyped) {
  expectReads({
      {__LINE__, "", "~"},
      {__LINE__, "42", "u42"},
      {__LINE__, "-7", "i-7"},
      {__LINE__, "+5", "u5"},
      {__LINE__, "2.5", "f2.5"},
      {__LINE__, ".5", "f0.5"},
      {__LINE__, "1e3", "u1000"},
      {__LINE__, "1.0", "u1"},
      {__LINE__, "0x10", "u16"},
      {__LINE__, "0x1p3", "u8"},
      {__LINE__, "017", "u17"},
      {__LINE__, "-0", "u0"},
      {__LINE__, "nan", "fnan"},
      // Integers are read exactly, also beyond the 53 bits of a double.
      {__LINE__, "1234567890123456789", "u1234567890123456789"},
      {__LINE__, "18446744073709551615", "u18446744073709551615"},
      {__LINE__, "-9223372036854775808", "i-9223372036854775808"},
      // Integral numbers outside 64 bits stay floats; a number too small for a double is 0.
      {__LINE__, "18446744073709551616", "f18446744073709551616"},
      {__LINE__, "-9223372036854775809", "f-9223372036854775808"},
      {__LINE__, "1e-400", "u0"},
      // The forms the C library reads: signs, points at either end, exponents,
      // upper-case marks, and signs before "0x".
      {__LINE__, "5.", "u5"},
      {__LINE__, "-.5", "f-0.5"},
      {__LINE__, "-2.5", "f-2.5"},
      {__LINE__, "+2.5e-1", "f0.25"},
      {__LINE__, "1E+3", "u1000"},
      {__LINE__, "-1e3", "i-1000"},
      {__LINE__, "-0.0", "u0"},
      {__LINE__, "-1e-400", "u0"},
      {__LINE__, "0X1F", "u31"},
      {__LINE__, "-0x10", "i-16"},
      {__LINE__, "+0x10", "u16"},
      {__LINE__, "0x1P-1", "f0.5"},
      {__LINE__, "0xFFFFFFFFFFFFFFFF", "u18446744073709551615"},
      {__LINE__, "0xfedcba9876543210", "u18364758544493064720"},
      {__LINE__, "0xABCDEF0123456789", "u12379813738877118345"},
      {__LINE__, "-0x8000000000000000", "i-9223372036854775808"},
      {__LINE__, "0x10000000000000000", "f18446744073709551616"},
      {__LINE__, "-0x8000000000000001", "f-9223372036854775808"},
      {__LINE__, "nan(1)", "fnan"},
      // Integral values just inside and just outside 64 bits, written as floats.
      {__LINE__, "1.8446744073709549568e19", "u18446744073709549568"},
      {__LINE__, "1.8446744073709551616e19", "f18446744073709551616"},
      {__LINE__, "-9.223372036854775808e18", "i-9223372036854775808"},
      {__LINE__, "-9.223372036854777856e18", "f-9223372036854777856"},
      // Beyond the double range, the digits and the exponent together tell an
      // overflow (a text) from an underflow (0): 10^1060 * 10^-1400 is 1e-340,
      // 10^1750 * 10^-1400 is 1e350; zeros after the point lower the value,
      // leading zeros and digits after the first do not.
      {__LINE__, "1" + zeros(1060) + "e-1400", "u0"},
      {__LINE__, "1" + zeros(1750) + "e-1400", quoted("1" + zeros(1750) + "e-1400")},
      {__LINE__, zeros(400) + "1e350", quoted(zeros(400) + "1e350")},
      {__LINE__, "0." + zeros(800) + "1e400", "u0"},
      {__LINE__, "1." + zeros(800) + "e-400", "u0"},
      {__LINE__, "1e+400", R"("1e+400")"},
      {__LINE__, "1e9999999999999999999", R"("1e9999999999999999999")"},
      // A hexadecimal digit weighs four binary places: 16^1100 * 2^-3301 is
      // 2^1099, 16^1100 * 2^-5499 is 2^-1099.
      {__LINE__, "0x1p-5000", "u0"},
      {__LINE__, "0x1p5000", R"("0x1p5000")"},
      {__LINE__, "0x1" + zeros(1100) + "p-3301", quoted("0x1" + zeros(1100) + "p-3301")},
      {__LINE__, "0x1" + zeros(1100) + "p-5499", "u0"},
      // Infinities, overflowing numbers and other near-numbers stay texts.
      {__LINE__, "1e400", R"("1e400")"},
      {__LINE__, "-1e400", R"("-1e400")"},
      {__LINE__, "inf", R"("inf")"},
      {__LINE__, "-inf", R"("-inf")"},
      {__LINE__, ".inf", R"(".inf")"},
      {__LINE__, "0x", R"("0x")"},
      {__LINE__, "1_000", R"("1_000")"},
      {__LINE__, "0o17", R"("0o17")"},
      {__LINE__, "1.2.3", R"("1.2.3")"},
      {__LINE__, "--5", R"("--5")"},
      {__LINE__, "+-5", R"("+-5")"},
      {__LINE__, "0x-5", R"("0x-5")"},
      {__LINE__, "+", R"("+")"},
      {__LINE__, ".", R"(".")"},
      {__LINE__, "1e", R"("1e")"},
      {__LINE__, "1e+", R"("1e+")"},
      {__LINE__, ".nan", R"(".nan")"},
      {__LINE__, "-0x", R"("-0x")"},
      // A hexadecimal number has digits after "0x", never the words.
      {__LINE__, "0xnan", R"("0xnan")"},
      {__LINE__, "-0xnan", R"("-0xnan")"},
      {__LINE__, "0xinf", R"("0xinf")"},
      {__LINE__, "0x.8", "f0.5"},
      {__LINE__, "0x1.8p1", "u3"},
      {__LINE__, "'42'", R"("42")"},
      {__LINE__, "'yes'", R"("yes")"},
      {__LINE__, "~", "~"},
      {__LINE__, "null", "~"},
      {__LINE__, "NULL", "~"},
      {__LINE__, "nULL", R"("nULL")"},
      {__LINE__, "yes", "true"},
      {__LINE__, "YES", "true"},
      {__LINE__, "yEs", R"("yEs")"},
      {__LINE__, "On", "true"},
      {__LINE__, "Off", "false"},
      {__LINE__, "False", "false"},
      {__LINE__, "n", "false"},
      {__LINE__, "Y", "true"},
      {__LINE__, "falsey", R"("falsey")"},
      // Only the lower-case, capitalised and upper-case spellings are words.
      {__LINE__, "Null", "~"},
      {__LINE__, "FALSE", "false"},
      {__LINE__, "oN", R"("oN")"},
      {__LINE__, "nO", R"("nO")"},
      {__LINE__, "OFf", R"("OFf")"},
      {__LINE__, "tRUE", R"("tRUE")"},
      {__LINE__, "TRUe", R"("TRUe")"},
      {__LINE__, "e5", R"("e5")"},
      {__LINE__, "NaN", "fnan"},
      {__LINE__, "Infinity", R"("Infinity")"},
      {__LINE__, "nano", R"("nano")"},
      {__LINE__, "|-\n  42\n", "u42"},
      {__LINE__, "|\n  literal 5\n", R"("literal 5\x0a")"},
      {__LINE__, ">\n  folded\n  text\n", R"("folded text\x0a")"},
      {__LINE__, "\"a\\0b\\u00e9\"", R"("a\x00b\xc3\xa9")"},
  });
}

TEST(YamlReaderTest, TagsDecideTheKind) {
  expectReads({
      {__LINE__, "!!int -5", "i-5"},
      {__LINE__, "!!int 5", "u5"},
      {__LINE__, "!!int 0x1F", "u31"},
      {__LINE__, "!!int 017", "u15"},
      {__LINE__, "!!float 2", "f2"},
      {__LINE__, "!!str 5", R"("5")"},
      {__LINE__, "!!bool yes", "true"},
      {__LINE__, "!!bool Off", "false"},
      {__LINE__, "!!bool maybe", "~"},
      {__LINE__, "!!int 12a",
       "error: Value 12a for 'yaml' of type uint64_t is in an incorrect format"},
      {__LINE__, "!!int -99999999999999999999",
       "error: Value -99999999999999999999 for 'yaml' of type int64_t is out of range"},
      {__LINE__, "!!int 18446744073709551616",
       "error: Value 18446744073709551616 for 'yaml' of type uint64_t is out of range"},
      {__LINE__, "!!float 1e400", "error: Value 1e400 for 'yaml' of type double is out of range"},
      {__LINE__, "!!float x", "error: Value x for 'yaml' of type double is in an incorrect format"},
      {__LINE__, "!!map x", "error: Unsupported YAML tag 'tag:yaml.org,2002:map'."},
      {__LINE__, "a:\n  b: !mine c", "error: Unsupported YAML tag '!mine'."},
  });
}

TEST(YamlReaderTest, MappingsAndSequences) {
  expectReads({
      {__LINE__, "b: 1\na: 2\nB: 3", "{B:u3,a:u2,b:u1}"},
      {__LINE__, "- 1\n- [a, ~]\n- {}\n- []", R"([u1,["a",~],{},[]])"},
      {__LINE__, "list:\n  - x: 1\n    y: [true]\n  -\n", "{list:[{x:u1,y:[true]},~]}"},
      {__LINE__, "? a\n? b", "{a:~,b:~}"},
      // Keys are never typed.
      {__LINE__, "1: a\n~: b\ntrue: c\n'q': d", R"({1:"a",q:"d",true:"c",~:"b"})"},
      {__LINE__, "!!str k: v", R"({k:"v"})"},
      // An empty key is a key like any other.
      {__LINE__, "\"\": a\nb: c", R"({:"a",b:"c"})"},
      {__LINE__, "? !!str\n: v", R"({:"v"})"},
      // A repeated key reuses its field: scalars replace, sequences append, a
      // later scalar or sequence replaces an earlier mapping.
      {__LINE__, "{a: 1, a: 2}", "{a:u2}"},
      {__LINE__, "a: [1]\na: [2]", "{a:[u1,u2]}"},
      {__LINE__, "a: {x: 1}\na: 5\nb: 6", "{a:u5,b:u6}"},
      {__LINE__, "a: [1]\na: {y: 2}", "{a:{y:u2}}"},
      {__LINE__, "a: {x: 1}\na: {y: 2}", "error: Unexpected start of mapping. At line: 2 col: 4"},
      {__LINE__, "a: {x: 1}\na: [2]", "error: Unexpected start of sequence. At line: 2 col: 4"},
      {__LINE__, "? [a]\n: 1", "error: Unexpected start of sequence. At line: 1 col: 3"},
      {__LINE__, "{? {a: 1}: 2}", "error: Unexpected start of mapping. At line: 1 col: 4"},
      {__LINE__, "[a, b]: c", "error: Unexpected start of sequence. At line: 1 col: 1"},
      {__LINE__, "!!int 1: v",
       "error: Invalid mapping key. Only string scalar keys are allowed. At line: 1 col: 1"},
      {__LINE__, "x:\n  y: 1\n  ! z: 2",
       "error: Invalid mapping key. Only string scalar keys are allowed. At line: 3 col: 3"},
  });
}

TEST(YamlReaderTest, RecordsOfOneShapeAndLargeMappings) {
  expectReads({
      // Records of one shape, some leaving keys out, some in another order,
      // one repeating a key.
      {__LINE__, "- {b: 1, a: 2, c: 3}\n- {b: 4, c: 5}\n- {b: 6, c: 7, a: 8}\n- {b: 9, a: 1, a: 2}",
       "[{a:u2,b:u1,c:u3},{b:u4,c:u5},{a:u8,b:u6,c:u7},{a:u2,b:u9}]"},
      // A nested mapping with the same first key as the one around it.
      {__LINE__, "- {a: 1, b: {a: 2, c: 3, b: 4}, c: 5, b: 6}\n- {a: 7, b: 8, c: 9}",
       "[{a:u1,b:u6,c:u5},{a:u7,b:u8,c:u9}]"},
      // Aliases reach anchored nodes through mappings that are still open.
      {__LINE__, "z: 0\na:\n  y: 1\n  b: &x {q: 1}\n  c: *x\nd: *x",
       "{a:{b:{q:u1},c:{q:u1},y:u1},d:{q:u1},z:u0}"},
      // The alias copies what its anchor's path reaches now: here the open
      // mapping that holds the alias, as it stands.
      {__LINE__, "k1: &a1 {x: 1}\nk1: 5\nk1: {y: *a1}", "{k1:{y:{y:~}}}"},
      {__LINE__, "{k1: &a1 [1], k1: [2, *a1]}", "{k1:[u1,u2,[u1,u2,~]]}"},
  });

  // Mappings past the size where repeated keys are found by search: keys
  // repeated before and after that size, and aliases into the mapping while
  // it is open.
  std::string text = "{";
  std::map<std::string, std::string> expected;
  for (int i = 39; i >= 0; --i) {
    const std::string key = "k" + std::to_string(i);
    text += key + ": " + (i == 35 ? "&early " : "") + std::to_string(i) + ", ";
    expected[key] = "u" + std::to_string(i);
    if (i == 20) {
      text += "k39: [a], k35: *early, ";
      expected["k39"] = R"(["a"])";
      expected["k35"] = "u35";
    }
  }
  text += "k39: [b], k0: *early, k35: x}";
  expected["k39"] = R"(["a","b"])";
  expected["k0"] = "u35";
  expected["k35"] = R"("x")";
  std::string description = "{";
  for (const auto& [key, value] : expected) {
    if (description.size() > 1) description += ',';
    description += key + ':' + value;
  }
  description += '}';
  EXPECT_EQ(describe(readYaml(text)), description);
}

// Generated documents against a small model of how a read builds its value:
// a repeated key reaches its field (a scalar replaces, a sequence appends, a
// mapping onto a mapping is refused), and an alias copies what its anchor's
// path reaches when the alias is read.
class YamlModel {
 public:
  explicit YamlModel(std::uint32_t seed) : state_(seed) {}

  // Writes a document; returns its expected description.
  std::string generate(std::string& text) {
    if (!mapping(root_, text, 0)) return "error";
    std::string out;
    describeNode(root_, out);
    return out;
  }

 private:
  struct Node {
    enum class Kind { Null, Number, Word, List, Map } kind = Kind::Null;
    int number = 0;
    std::vector<Node> list;
    std::map<std::string, Node> map;
  };
  struct Step {
    bool isField;
    std::string key;
    std::size_t index;
  };
  struct Anchor {
    std::vector<Step> path;
    bool open;
  };

  std::uint32_t below(std::uint32_t n) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % n;
  }

  const Node* resolve(const std::vector<Step>& path) const {
    const Node* node = &root_;
    for (const Step& step : path) {
      if (step.isField) {
        if (node->kind != Node::Kind::Map) return nullptr;
        const auto found = node->map.find(step.key);
        if (found == node->map.end()) return nullptr;
        node = &found->second;
      } else {
        if (node->kind != Node::Kind::List || step.index >= node->list.size()) return nullptr;
        node = &node->list[step.index];
      }
    }
    return node;
  }

  // An anchor on the node about to be written at the current path.
  std::size_t maybeAnchor(std::string& text) {
    if (below(4) != 0) return anchors_.size() + 1;
    anchors_.push_back(Anchor{path_, true});
    text += "&a" + std::to_string(anchors_.size() - 1) + ' ';
    return anchors_.size() - 1;
  }

  // Writes one value into `slot`; false once the read must fail.
  bool value(Node& slot, std::string& text, int depth) {
    const std::uint32_t choice = below(depth < 3 ? 10 : 6);
    if (choice == 0 && !anchors_.empty()) {
      const std::size_t a = below(static_cast<std::uint32_t>(anchors_.size()));
      if (!anchors_[a].open) {
        text += "*a" + std::to_string(a);
        const Node* source = resolve(anchors_[a].path);
        Node copy = source != nullptr ? *source : Node{};
        slot = std::move(copy);
        return true;
      }
    }
    const std::size_t anchor = maybeAnchor(text);
    bool ok = true;
    if (choice <= 2) {
      slot = Node{Node::Kind::Number, static_cast<int>(below(100)), {}, {}};
      text += std::to_string(slot.number);
    } else if (choice <= 5) {
      slot = Node{Node::Kind::Word, static_cast<int>(below(5)), {}, {}};
      text += "w" + std::to_string(slot.number);
    } else if (choice <= 7) {
      if (slot.kind == Node::Kind::Map) ok = false;
      if (slot.kind != Node::Kind::List) slot = Node{Node::Kind::List, 0, {}, {}};
      text += '[';
      for (std::uint32_t i = 0, n = below(4); ok && i < n; ++i) {
        if (i != 0) text += ", ";
        slot.list.emplace_back();
        path_.push_back(Step{false, {}, slot.list.size() - 1});
        ok = value(slot.list.back(), text, depth + 1);
        path_.pop_back();
      }
      text += ']';
    } else {
      ok = mapping(slot, text, depth + 1);
    }
    if (anchor < anchors_.size()) anchors_[anchor].open = false;
    return ok;
  }

  bool mapping(Node& slot, std::string& text, int depth) {
    if (slot.kind == Node::Kind::Map) {
      text += "{}";
      return false;
    }
    slot = Node{Node::Kind::Map, 0, {}, {}};
    text += '{';
    // Most mappings are records of a few shapes; some are long, with keys
    // from a larger set, so that keys repeat.
    const bool record = below(3) != 0;
    const std::uint32_t keys = record ? 6 : 48;
    const std::uint32_t count = record ? 6 : below(45);
    const std::uint32_t shape = below(3);
    bool ok = true;
    for (std::uint32_t i = 0; ok && i < count; ++i) {
      if (record && below(4) == 0) continue;
      const std::string key =
          "k" + std::to_string(record ? (i * (shape + 1) + shape) % keys : below(keys));
      if (text.back() != '{') text += ", ";
      text += key + ": ";
      path_.push_back(Step{true, key, 0});
      ok = value(slot.map[key], text, depth);
      path_.pop_back();
    }
    text += '}';
    return ok;
  }

  static void describeNode(const Node& node, std::string& out) {
    switch (node.kind) {
      case Node::Kind::Null:
        out += '~';
        return;
      case Node::Kind::Number:
        out += 'u' + std::to_string(node.number);
        return;
      case Node::Kind::Word:
        out += "\"w" + std::to_string(node.number) + '"';
        return;
      case Node::Kind::List:
        out += '[';
        for (std::size_t i = 0; i < node.list.size(); ++i) {
          if (i != 0) out += ',';
          describeNode(node.list[i], out);
        }
        out += ']';
        return;
      case Node::Kind::Map: {
        out += '{';
        bool first = true;
        for (const auto& [key, field] : node.map) {
          if (!first) out += ',';
          first = false;
          out += key + ':';
          describeNode(field, out);
        }
        out += '}';
        return;
      }
    }
  }

  std::uint32_t state_;
  Node root_;
  std::vector<Step> path_;
  std::vector<Anchor> anchors_;
};

TEST(YamlReaderTest, GeneratedDocumentsReadAsTheModelSays) {
  int failures = 0;
  for (std::uint32_t seed = 1; seed <= 400 && failures < 3; ++seed) {
    YamlModel model(seed);
    std::string text;
    const std::string expected = model.generate(text);
    const std::string actual = describe(readYaml(text));
    if (expected == "error") {
      EXPECT_EQ(actual.rfind("error: Unexpected start of", 0), 0u) << text;
    } else {
      EXPECT_EQ(actual, expected) << text;
    }
    if (::testing::Test::HasFailure()) ++failures;
  }
}

TEST(YamlReaderTest, AnchorsAndAliases) {
  expectReads({
      {__LINE__, "a: &x 5\nb: *x", "{a:u5,b:u5}"},
      {__LINE__, "a: &x {b: [1, 2]}\nc: *x", "{a:{b:[u1,u2]},c:{b:[u1,u2]}}"},
      {__LINE__, "- &e [x]\n- *e\n- *e", R"([["x"],["x"],["x"]])"},
      {__LINE__, "&r [1, 2]", "[u1,u2]"},
      {__LINE__, "a: &a !!str b\nc: *a", R"({a:"b",c:"b"})"},
      // An anchor on a key names the key's text, also inside its own mapping.
      {__LINE__, "&m { &k a: *k, b: *k }", R"({a:"a",b:"a"})"},
      {__LINE__, "&k a: 1\nb: *k", R"({a:u1,b:"a"})"},
      // An alias as a key stands for the string it names.
      {__LINE__, "{&k a: 1, *k : 2}", "{a:u2}"},
      {__LINE__, "x: &s str\n*s : 2", R"({str:u2,x:"str"})"},
      {__LINE__, "a: &x 1\n*x : 2",
       "error: Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1"},
      {__LINE__, "a: &x [ *x ]",
       "error: Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 9"},
      {__LINE__, "&m { &k a: *m }",
       "error: Cannot deserialize cyclic aliases. Alias \"m\". At line: 1 col: 12"},
      {__LINE__, "a: &o\n  b: [1, *o]",
       "error: Cannot deserialize cyclic aliases. Alias \"o\". At line: 2 col: 10"},
      {__LINE__, "a: *y", "error: Undefined alias encountered: \"y\". At line: 1 col: 4"},
      {__LINE__, "a: *y\nb: &y 1", "error: Undefined alias encountered: \"y\". At line: 1 col: 4"},
      {__LINE__, "a: &x 1\nb: &x 2",
       "error: Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
      {__LINE__, "a: &k b\n&k c: d",
       "error: Duplicate occurrence of anchor \"k\". At line: 2 col: 1"},
      {__LINE__, "&x a: 1\nb: &x [2]",
       "error: Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
  });
}

TEST(YamlReaderTest, OnlyOneDocumentIsRead) {
  expectReads({
      {__LINE__, "--- x", R"("x")"},
      {__LINE__, "x\n...\n", R"("x")"},
      {__LINE__, "%YAML 1.1\n--- x", R"("x")"},
      {__LINE__, "a: 1\n---\nb: 2", "error: Multi-document YAML is not supported."},
      {__LINE__, "~\n---\na", "error: Multi-document YAML is not supported."},
      {__LINE__, "---\n---", "error: Multi-document YAML is not supported."},
      {__LINE__, "--- []\n--- []", "error: Multi-document YAML is not supported."},
  });
}

TEST(YamlReaderTest, ParserErrorsCountFromZero) {
  expectReads({
      {__LINE__, "a: [1, 2",
       "error: YAML parser error: did not find expected ',' or ']'. At line: 1 col: 0"},
      {__LINE__, "a: b: c",
       "error: YAML parser error: mapping values are not allowed in this context. At line: 0 "
       "col: 4"},
      {__LINE__, "[1, 2]]",
       "error: YAML parser error: did not find expected <document start>. At line: 0 col: 6"},
      {__LINE__, "a:\n\tb",
       "error: YAML parser error: found character that cannot start any token. At line: 1 col: "
       "0"},
      {__LINE__, "\xff",
       "error: YAML parser error: invalid leading UTF-8 octet. At line: 0 col: 0"},
      // Always UTF-8: a UTF-16 byte-order mark does not switch the decoding.
      {__LINE__, std::string("\xff\xfe\x61\x00", 4),
       "error: YAML parser error: invalid leading UTF-8 octet. At line: 0 col: 0"},
      {__LINE__, "a: \"\xc3\x28\"",
       "error: YAML parser error: invalid trailing UTF-8 octet. At line: 0 col: 0"},
      {__LINE__, std::string("a: b\0c", 6),
       "error: YAML parser error: control characters are not allowed. At line: 0 col: 0"},
  });
}

TEST(YamlReaderTest, NestingIsBoundedAtTheLimit) {
  const std::size_t limit = formats::kMaxNestingDepth;
  const BindingValue deepest = readYaml(nested("[", "]", limit));
  EXPECT_TRUE(deepest.ok()) << deepest.errorMessage();
  // A scalar adds no level: the copy of the innermost "x" fits exactly.
  EXPECT_TRUE(
      readYaml("a: &a " + nested("[", "]", 300, "x") + "\nb: " + nested("[", "]", 211, "*a")).ok());
  expectReads({
      {__LINE__, nested("[", "]", limit + 1),
       "error: Nodes are nested deeper than 512 levels. At line: 1 col: 513"},
      {__LINE__, nested("{a: ", "}", limit, "{}"),
       "error: Nodes are nested deeper than 512 levels. At line: 1 col: 2049"},
      {__LINE__, std::string(100'000, '['),
       "error: Nodes are nested deeper than 512 levels. At line: 1 col: 513"},
      // Copies made by aliases count too.
      {__LINE__, "a: &a " + nested("[", "]", 300) + "\nb: " + nested("[", "]", 212, "*a"),
       "error: Nodes are nested deeper than 512 levels. At line: 2 col: 216"},
      {__LINE__, "a: &a " + nested("{a: ", "}", 300, "x") + "\nb: " + nested("[", "]", 212, "*a"),
       "error: Nodes are nested deeper than 512 levels. At line: 2 col: 216"},
  });
}

TEST(YamlReaderTest, AliasesProduceABoundedNumberOfNodes) {
  // Each level holds ten aliases of the one before: a billion strings in all.
  std::string bomb = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
  const std::string names = "abcdefghi";
  for (std::size_t level = 1; level < names.size(); ++level) {
    bomb += names[level];
    bomb += ": &";
    bomb += names[level];
    bomb += " [";
    for (int i = 0; i < 10; ++i) {
      bomb += i == 0 ? "*" : ",*";
      bomb += names[level - 1];
    }
    bomb += "]\n";
  }
  // Levels b to e produce 123,440 nodes; the eighth alias of level f passes a million.
  expectReads({{__LINE__, bomb,
                "error: Aliases expand to more than 1000000 nodes. Alias \"e\". At line: 6 col: "
                "29"}});

  // Up to level d the same shape is read in full: 10,000 strings under d.
  const std::size_t cut = bomb.find("\ne:");
  const BindingValue value = readYaml(std::string_view(bomb).substr(0, cut));
  ASSERT_TRUE(value.ok()) << value.errorMessage();
  EXPECT_EQ(value.find("d").size(), 10u);
  EXPECT_EQ(describe(BindingValue(value.find("d").at(9).at(9).at(9))),
            R"(["x","x","x","x","x","x","x","x","x","x"])");
}

TEST(YamlReaderTest, AliasesCopyABoundedAmountOfText) {
  // An anchored key of 1 MiB: its text is copied by every alias to it.
  const std::string key(1u << 20, 'k');
  std::string values = "? &k " + key + "\n: 1\nlist: [";
  for (int i = 0; i < 17; ++i) values += i == 0 ? "*k" : ", *k";
  values += "]\n";
  expectReads({{__LINE__, values,
                "error: Aliases copy more than 16777216 bytes of text. Alias \"k\". At line: 3 "
                "col: 72"}});
  const std::string keys = "? &k " + std::string(9u << 20, 'k') + "\n: 1\nm: {*k : 1, *k : 2}\n";
  expectReads({{__LINE__, keys,
                "error: Aliases copy more than 16777216 bytes of text. Alias \"k\". At line: 3 "
                "col: 13"}});
}

// A block sequence of `first` followed by `aliases` items "*name".
std::string aliasedItems(const std::string& first, const std::string& name, int aliases) {
  std::string text = "- " + first + "\n";
  for (int i = 0; i < aliases; ++i) text += "- *" + name + "\n";
  return text;
}

TEST(YamlReaderTest, AliasesExpandToABoundedNumberOfBytes) {
  // Copies share the anchored text inside the value but count at full length:
  // 1 MiB aliased ten times over three levels would stand for 1,110 MiB.
  const std::string mib(1u << 20, 'x');
  std::string tree = "s: &s " + mib + "\na: &a [*s";
  for (int i = 1; i < 10; ++i) tree += ", *s";
  tree += "]\nb: &b [*a";
  for (int i = 1; i < 10; ++i) tree += ", *a";
  tree += "]\nc: [*b";
  for (int i = 1; i < 10; ++i) tree += ", *b";
  tree += "]\n";
  expectReads({
      // Level a copies 10 MiB; the sixth copy of it passes 64 MiB.
      {__LINE__, tree,
       "error: Aliases expand to more than 67108864 bytes. Alias \"a\". At line: 3 col: 28"},
      {__LINE__, aliasedItems("&s " + mib, "s", 65),
       "error: Aliases expand to more than 67108864 bytes. Alias \"s\". At line: 66 col: 3"},
      // The keys of a copied mapping count as well.
      {__LINE__, aliasedItems("&m\n  ? " + mib + "\n  : 1", "m", 65),
       "error: Aliases expand to more than 67108864 bytes. Alias \"m\". At line: 68 col: 3"},
  });

  // The budget saturates instead of wrapping for inputs beyond a quarter of
  // the address space.
  EXPECT_EQ(formats::maxAliasExpansionBytes(SIZE_MAX), SIZE_MAX);
  EXPECT_EQ(formats::maxAliasExpansionBytes(SIZE_MAX / 4 + 1), SIZE_MAX);

  // An input over 16 MiB may expand to four times its size instead: four
  // copies of 16 MiB and 1 KiB pass 64 MiB and are made, the fifth is refused.
  std::string large = "- &s ";
  large.append((16u << 20) + 1024, 'x');
  large += "\n";
  for (int i = 0; i < 5; ++i) large += "- *s\n";
  EXPECT_EQ(describe(readYaml(large)),
            "error: Aliases expand to more than 67113084 bytes. Alias \"s\". At line: 6 col: 3");

  // Exactly 64 MiB of copies is read, each one whole.
  const BindingValue value = readYaml(aliasedItems("&s " + mib, "s", 64));
  ASSERT_TRUE(value.ok()) << value.errorMessage();
  ASSERT_EQ(value.size(), 65u);
  for (const ValueNode& element : value.elements()) EXPECT_EQ(element.asString(), mib);
}

TEST(YamlReaderTest, ManyAnchorsUnderALongKeyStayCheap) {
  // Each anchor lies below the same 100 KB key; remembering where it lies must
  // not copy that key per anchor.
  std::string text = "? " + std::string(100'000, 'k') + "\n:\n";
  for (int i = 0; i < 20'000; ++i)
    text += "  - &a" + std::to_string(i) + " " + std::to_string(i) + "\n";
  text += "last: *a19999\n";
  const std::int64_t before = memory::liveBytes();
  const BindingValue value = readYaml(text);
  ASSERT_TRUE(value.ok()) << value.errorMessage();
  EXPECT_LT(memory::liveBytes() - before, 8 << 20);
  EXPECT_EQ(value.find("last").asUnsigned(), 19999u);
  EXPECT_EQ(value.find(std::string(100'000, 'k')).size(), 20'000u);
}

// The room remembered for the keys of a large mapping is not kept by each
// small mapping that starts with the same keys: read after it, the small
// mappings hold about what they hold after a mapping of another first key.
TEST(YamlReaderTest, SmallMappingsAfterALargeOneWithTheirKeysStaySmall) {
  const auto liveBytesPerInputByte = [](const std::string& firstKey, const std::string& small) {
    std::string text = "- {" + firstKey + ": 0";
    for (int i = 1; i < 24; ++i) text += ", k" + std::to_string(i) + ": 0";
    text += "}\n";
    for (int i = 0; i < 20'000; ++i) text += small;
    const std::int64_t before = memory::liveBytes();
    const BindingValue value = readYaml(text);
    EXPECT_EQ(value.size(), 20'001u);
    return static_cast<double>(memory::liveBytes() - before) / static_cast<double>(text.size());
  };
  for (const std::string small :
       {"- {a: 0}\n", "- {a: 0, k1: 0}\n", "- a: 0\n  k1: 0\n  k2: 0\n"}) {
    SCOPED_TRACE(small);
    EXPECT_LT(liveBytesPerInputByte("a", small), liveBytesPerInputByte("b", small) * 1.25);
  }
}

TEST(YamlReaderTest, EveryPrefixGivesAValueOrAnError) {
  const std::string document =
      "maps:\n"
      "  - &first\n"
      "    id: 11\n"
      "    name: \"Rift \\u00e9\"\n"
      "    tags: [a, ~, 2.5]\n"
      "  - {id: 12, base: *first, ok: yes}\n"
      "count: !!int 2\n";
  ASSERT_EQ(describe(readYaml(document)),
            R"({count:u2,maps:[{id:u11,name:"Rift \xc3\xa9",tags:["a",~,f2.5]},)"
            R"({base:{id:u11,name:"Rift \xc3\xa9",tags:["a",~,f2.5]},id:u12,ok:true}]})");
  for (std::size_t length = 0; length < document.size(); ++length) {
    SCOPED_TRACE(length);
    const BindingValue value = readYaml(std::string_view(document).substr(0, length));
    if (!value.ok()) {
      EXPECT_FALSE(value.errorMessage().empty());
    }
  }
}

TEST(YamlReaderTest, LargeScalarIsKeptWhole) {
  std::string text = "a: \"";
  text.append(10 * 1024 * 1024, 'x');
  text += "\"";
  const BindingValue value = readYaml(text);
  ASSERT_TRUE(value.ok()) << value.errorMessage();
  EXPECT_EQ(value.find("a").size(), 10u * 1024 * 1024);
}

TEST(YamlReaderTest, RefusedInputLeavesNoMemoryBehind) {
  const std::int64_t before = memory::liveBytes();
  {
    EXPECT_FALSE(readYaml("a: &x {b: [1, 2]}\nc: *x\nd: *x\ne: [1, *z]").ok());
    EXPECT_FALSE(readYaml(std::string(100'000, '[')).ok());
  }
  EXPECT_EQ(memory::liveBytes(), before);
}

}  // namespace
}  // namespace zel

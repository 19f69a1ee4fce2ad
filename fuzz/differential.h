// What the differential fuzz targets share: a tree comparison that names the
// first place two values part, a report that stops the target on any
// difference no rule explains, and a tally of the rules that did explain one
// (printed when the target exits, so a long run shows what it met).
//
//   zel::fuzz::Rules rules("msgpack");
//   rules.applied("ext types are refused");
//   zel::fuzz::expectSame(ours, expected, zel::fuzz::Integers::Exact, input, size);
//
// Everything here runs inside the fuzz targets and their corpus replays only.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "binding/value.h"

namespace zel::fuzz {

// Prints the input and the difference, then stops the target: every
// difference that reaches here is one the readers' rules do not explain.
[[noreturn]] inline void difference(std::string_view what, const std::uint8_t* input,
                                    std::size_t size) {
  std::fprintf(stderr, "DIFFERENCE: %.*s\ninput (%zu bytes):", static_cast<int>(what.size()),
               what.data(), size);
  for (std::size_t i = 0; i < size && i < 256; ++i) std::fprintf(stderr, " %02x", input[i]);
  std::fprintf(stderr, "%s\n", size > 256 ? " ..." : "");
  __builtin_trap();
}

// How integers compare. A peer that keeps only the number of a non-negative
// integer, not the encoding it came in, cannot tell which of our two integer
// kinds is right; there any integer kind holding the same number matches.
enum class Integers { Exact, SameNumber };

inline std::string describe(const ValueNode& node) {
  std::string text = valueKindName(node.kind());
  switch (node.kind()) {
    case ValueKind::Bool:
      text += node.asBool() ? " true" : " false";
      break;
    case ValueKind::Signed:
      text += " " + std::to_string(node.asSigned());
      break;
    case ValueKind::Unsigned:
      text += " " + std::to_string(node.asUnsigned());
      break;
    case ValueKind::Float: {
      char bits[64];
      std::snprintf(bits, sizeof bits, " %.17g (0x%016llx)", node.asFloat(),
                    static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(node.asFloat())));
      text += bits;
      break;
    }
    case ValueKind::String:
      text += " \"" + std::string(node.asString()) + "\"";
      break;
    default:
      text += " of size " + std::to_string(node.size());
      break;
  }
  return text;
}

inline bool sameNumber(const ValueNode& ours, const ValueNode& expected) {
  const auto nonNegative = [](const ValueNode& node, std::uint64_t& number) {
    if (node.kind() == ValueKind::Unsigned) {
      number = node.asUnsigned();
      return true;
    }
    if (node.kind() == ValueKind::Signed && node.asSigned() >= 0) {
      number = static_cast<std::uint64_t>(node.asSigned());
      return true;
    }
    return false;
  };
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  return nonNegative(ours, a) && nonNegative(expected, b) && a == b;
}

// The path of the first difference below these nodes, or false when there is none.
inline bool firstDifference(const ValueNode& ours, const ValueNode& expected, Integers integers,
                            std::string& path) {
  if (integers == Integers::SameNumber && sameNumber(ours, expected)) return false;
  if (ours.kind() != expected.kind()) {
    path += ": ours is " + describe(ours) + ", the peer's " + describe(expected);
    return true;
  }
  bool same = true;
  switch (ours.kind()) {
    case ValueKind::Collection: {
      const auto a = ours.elements();
      const auto b = expected.elements();
      if (a.size() != b.size()) break;
      for (std::size_t i = 0; i < a.size(); ++i) {
        std::string inner = path + "[" + std::to_string(i) + "]";
        if (firstDifference(a[i], b[i], integers, inner)) {
          path = std::move(inner);
          return true;
        }
      }
      return false;
    }
    case ValueKind::Structure: {
      const auto a = ours.fields();
      const auto b = expected.fields();
      if (a.size() != b.size()) break;
      for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].key() != b[i].key()) {
          path += ": key " + std::to_string(i) + " is \"" + std::string(a[i].key()) +
                  "\" in ours, \"" + std::string(b[i].key()) + "\" in the peer's";
          return true;
        }
        std::string inner = path + "." + std::string(a[i].key());
        if (firstDifference(a[i].value(), b[i].value(), integers, inner)) {
          path = std::move(inner);
          return true;
        }
      }
      return false;
    }
    case ValueKind::Empty:
      return false;
    case ValueKind::Bool:
      same = ours.asBool() == expected.asBool();
      break;
    case ValueKind::Signed:
      same = ours.asSigned() == expected.asSigned();
      break;
    case ValueKind::Unsigned:
      same = ours.asUnsigned() == expected.asUnsigned();
      break;
    case ValueKind::Float:
      // Bit for bit: the sign of a zero and the payload of a NaN count.
      same = std::bit_cast<std::uint64_t>(ours.asFloat()) ==
             std::bit_cast<std::uint64_t>(expected.asFloat());
      break;
    case ValueKind::String:
      same = ours.asString() == expected.asString();
      break;
    case ValueKind::Blob: {
      const auto a = ours.asBlob();
      const auto b = expected.asBlob();
      same = std::string_view(reinterpret_cast<const char*>(a.data()), a.size()) ==
             std::string_view(reinterpret_cast<const char*>(b.data()), b.size());
      break;
    }
    case ValueKind::Enum:
      same = ours.asEnum() == expected.asEnum();
      break;
  }
  if (same) return false;
  path += ": ours is " + describe(ours) + ", the peer's " + describe(expected);
  return true;
}

// Stops the target when the two trees differ, naming where.
inline void expectSame(const ValueNode& ours, const ValueNode& expected, Integers integers,
                       const std::uint8_t* input, std::size_t size) {
  std::string path = "value";
  if (firstDifference(ours, expected, integers, path)) {
    difference("the values differ at " + path, input, size);
  }
}

// The rules under which our reader refuses what a peer accepts (or the other
// way round), counted per run and printed at exit.
class Rules {
 public:
  explicit Rules(const char* reader) : reader_(reader) {}
  Rules(const Rules&) = delete;
  Rules& operator=(const Rules&) = delete;
  ~Rules() {
    std::fprintf(stderr, "%s differential: %llu inputs, both read %llu, both refused %llu\n",
                 reader_, static_cast<unsigned long long>(inputs_),
                 static_cast<unsigned long long>(bothRead_),
                 static_cast<unsigned long long>(bothRefused_));
    for (const auto& [rule, count] : counts_) {
      std::fprintf(stderr, "  by rule, %llu: %s\n", static_cast<unsigned long long>(count),
                   rule.c_str());
    }
  }

  void input() { ++inputs_; }
  void bothRead() { ++bothRead_; }
  void bothRefused() { ++bothRefused_; }
  void applied(const char* rule) { ++counts_[rule]; }

 private:
  const char* reader_;
  std::uint64_t inputs_ = 0;
  std::uint64_t bothRead_ = 0;
  std::uint64_t bothRefused_ = 0;
  std::map<std::string, std::uint64_t> counts_;
};

}  // namespace zel::fuzz

// Our YAML reader against libyaml's own parser, run to the end of the input
// on its own: nothing the parser refuses is read by us (we fail with its
// error, or with an earlier refusal of ours). Where we refuse what it
// accepts, our message must be one a rule of ours gives for an event the
// parser produced, at that event's line and column:
// - one document only;
// - mapping keys are string scalars (no collection, no other tag, and an
//   alias as a key must name a text);
// - a repeated key cannot take a mapping or sequence again;
// - anchors are unique, and an alias names an anchor before it and outside
//   the node it is in;
// - scalars carry no tag but str, int, float and bool, and tagged numbers
//   must convert;
// - the nesting and alias-copy limits.
// Where both read, the root has the kind of the document's root node, a
// sequence's length and a mapping's keys, and every scalar at the root, in
// the root sequence or under a root key is typed as the C library reads it
// (the typing below, by strtod, strtoll and strtoull).
#include <yaml.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/format.h"
#include "formats/messages.h"
#include "formats/reader_limits.h"
#include "formats/yaml_reader.h"
#include "fuzz/differential.h"

namespace {

namespace messages = zel::formats::messages;
using zel::ValueKind;

zel::fuzz::Rules rules("yaml");

const char* text(const yaml_char_t* chars) {
  return reinterpret_cast<const char*>(chars);
}

// A scalar as the parser gives it.
struct Scalar {
  std::string value;
  std::string tag;
  bool quoted = false;
};

// What the parser's events say about the input.
struct Survey {
  bool parserRefused = false;
  std::string parserError;
  // Every refusal a rule of ours may give for these events, with the rule.
  std::map<std::string, const char*> explained;
  bool taggedNumber = false;
  // The first document's root node: its event type, and for a container its
  // direct children (a mapping's keys when all of them are plain texts).
  yaml_event_type_t root = YAML_NO_EVENT;
  std::size_t rootChildren = 0;
  std::set<std::string> rootKeys;
  bool rootKeysKnown = true;
  // The root scalar, the scalars of the root sequence by index, and the
  // last scalar value of each root key (none when its last value is not one).
  std::optional<Scalar> rootScalar;
  std::map<std::size_t, Scalar> elementScalars;
  std::map<std::string, std::optional<Scalar>> fieldScalars;
};

struct Frame {
  bool isMapping;
  std::size_t items = 0;
  std::string anchor;
  std::set<std::string> keys;
  bool keyRepeated = false;
};

class Surveyor {
 public:
  // `inputBytes` sets the alias-copy byte budget, as it does in the reader.
  Surveyor(Survey& survey, std::size_t inputBytes)
      : survey_(survey), aliasBytesBudget_(zel::formats::maxAliasExpansionBytes(inputBytes)) {}

  void take(const yaml_event_t& event) {
    const std::size_t line = event.start_mark.line + 1;
    const std::size_t column = event.start_mark.column + 1;
    switch (event.type) {
      case YAML_DOCUMENT_START_EVENT:
        if (++documents_ > 1) explain(messages::kYamlMultiDocument, "one document only");
        return;
      case YAML_SEQUENCE_END_EVENT:
      case YAML_MAPPING_END_EVENT:
        anchorsOpen_.erase(open_.back().anchor);
        open_.pop_back();
        return;
      case YAML_SCALAR_EVENT:
      case YAML_ALIAS_EVENT:
      case YAML_SEQUENCE_START_EVENT:
      case YAML_MAPPING_START_EVENT:
        break;
      default:
        return;
    }

    const bool atKey = !open_.empty() && open_.back().isMapping && open_.back().items % 2 == 0;
    const bool afterRepeatedKey =
        !open_.empty() && open_.back().isMapping && !atKey && open_.back().keyRepeated;
    noteRoot(event, atKey);
    if (!open_.empty()) ++open_.back().items;

    const bool isContainer =
        event.type == YAML_SEQUENCE_START_EVENT || event.type == YAML_MAPPING_START_EVENT;
    const char* anchor = nullptr;
    if (event.type == YAML_SCALAR_EVENT) {
      anchor = text(event.data.scalar.anchor);
      takeScalar(event, atKey, line, column);
    } else if (event.type == YAML_ALIAS_EVENT) {
      takeAlias(text(event.data.alias.anchor), atKey, line, column);
    } else {
      const bool isMapping = event.type == YAML_MAPPING_START_EVENT;
      anchor = text(isMapping ? event.data.mapping_start.anchor : event.data.sequence_start.anchor);
      const char* unexpected =
          isMapping ? messages::kYamlUnexpectedMapping : messages::kYamlUnexpectedSequence;
      if (atKey) {
        explain(zel::formatPositional(unexpected, line, column), "mapping keys are string scalars");
      }
      if (afterRepeatedKey) {
        explain(zel::formatPositional(unexpected, line, column),
                "a repeated key cannot take a mapping or sequence again");
      }
      if (open_.size() >= zel::formats::kMaxNestingDepth) {
        explain(zel::formatPositional(messages::kYamlTooDeep, zel::formats::kMaxNestingDepth, line,
                                      column),
                "the nesting limit");
      }
    }
    if (anchor != nullptr) {
      if (!anchors_.insert(anchor).second) {
        explain(zel::formatPositional(messages::kYamlDuplicateAnchor, anchor, line, column),
                "anchors are unique");
      }
    }
    if (isContainer) {
      open_.push_back(Frame{
          event.type == YAML_MAPPING_START_EVENT, 0, anchor != nullptr ? anchor : "", {}, false});
      if (anchor != nullptr) anchorsOpen_.insert(anchor);
    }
  }

 private:
  void explain(const std::string& message, const char* rule) {
    survey_.explained.emplace(message, rule);
  }

  void noteRoot(const yaml_event_t& event, bool atKey) {
    if (documents_ != 1) return;
    std::optional<Scalar> scalar;
    if (event.type == YAML_SCALAR_EVENT) {
      const auto& data = event.data.scalar;
      scalar = Scalar{std::string(text(data.value), data.length),
                      data.tag != nullptr ? text(data.tag) : "",
                      data.style == YAML_SINGLE_QUOTED_SCALAR_STYLE ||
                          data.style == YAML_DOUBLE_QUOTED_SCALAR_STYLE};
    }
    if (open_.empty()) {
      if (survey_.root == YAML_NO_EVENT) {
        survey_.root = event.type;
        survey_.rootScalar = scalar;
      }
      return;
    }
    if (open_.size() != 1) return;
    if (open_.front().isMapping) {
      if (!atKey) {
        if (lastRootKey_) survey_.fieldScalars[*lastRootKey_] = scalar;
        return;
      }
      lastRootKey_.reset();
      if (scalar && scalar->tag.empty()) {
        survey_.rootKeys.insert(scalar->value);
        lastRootKey_ = scalar->value;
      } else {
        survey_.rootKeysKnown = false;
      }
    } else if (scalar) {
      survey_.elementScalars.emplace(survey_.rootChildren, *scalar);
    }
    ++survey_.rootChildren;
  }

  void takeScalar(const yaml_event_t& event, bool atKey, std::size_t line, std::size_t column) {
    const auto& scalar = event.data.scalar;
    const char* tag = text(scalar.tag);
    if (atKey) {
      if (tag != nullptr && std::strcmp(tag, "tag:yaml.org,2002:str") != 0) {
        explain(zel::formatPositional(messages::kYamlInvalidKey, line, column),
                "mapping keys are string scalars");
      }
      Frame& mapping = open_.back();
      mapping.keyRepeated = !mapping.keys.emplace(text(scalar.value), scalar.length).second;
      return;
    }
    if (tag == nullptr || std::strcmp(tag, "tag:yaml.org,2002:str") == 0 ||
        std::strcmp(tag, "tag:yaml.org,2002:bool") == 0) {
      return;
    }
    if (std::strcmp(tag, "tag:yaml.org,2002:int") == 0 ||
        std::strcmp(tag, "tag:yaml.org,2002:float") == 0) {
      survey_.taggedNumber = true;
      return;
    }
    explain(zel::formatPositional(messages::kYamlUnsupportedTag, tag),
            "scalars carry no tag but str, int, float and bool");
  }

  void takeAlias(const char* name, bool atKey, std::size_t line, std::size_t column) {
    if (atKey) {
      // Its text is not known without resolving it, so any key may repeat.
      explain(zel::formatPositional(messages::kYamlInvalidKey, line, column),
              "mapping keys are string scalars");
      open_.back().keyRepeated = true;
    }
    if (anchorsOpen_.count(name) != 0) {
      explain(zel::formatPositional(messages::kYamlCyclicAlias, name, line, column),
              "an alias names an anchor outside the node it is in");
    }
    if (anchors_.count(name) == 0) {
      explain(zel::formatPositional(messages::kYamlUndefinedAlias, name, line, column),
              "an alias names an anchor before it");
    }
    explain(zel::formatPositional(messages::kYamlTooManyAliasNodes, zel::formats::kMaxAliasNodes,
                                  name, line, column),
            "the alias-copy limits");
    explain(zel::formatPositional(messages::kYamlTooMuchAliasText, zel::formats::kMaxAliasTextBytes,
                                  name, line, column),
            "the alias-copy limits");
    explain(zel::formatPositional(messages::kYamlTooMuchAliasExpansion, aliasBytesBudget_, name,
                                  line, column),
            "the alias-copy limits");
    explain(
        zel::formatPositional(messages::kYamlTooDeep, zel::formats::kMaxNestingDepth, line, column),
        "the nesting limit");
  }

  Survey& survey_;
  std::size_t aliasBytesBudget_;
  std::size_t documents_ = 0;
  std::vector<Frame> open_;
  std::set<std::string> anchors_;
  std::multiset<std::string> anchorsOpen_;
  std::optional<std::string> lastRootKey_;
};

Survey surveyEvents(const std::uint8_t* data, std::size_t size) {
  Survey survey;
  yaml_parser_t parser;
  if (yaml_parser_initialize(&parser) == 0) __builtin_trap();
  yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
  static const unsigned char kNoInput[1] = {0};
  yaml_parser_set_input_string(&parser, size != 0 ? data : kNoInput, size);
  Surveyor surveyor(survey, size);
  for (;;) {
    yaml_event_t event;
    if (yaml_parser_parse(&parser, &event) == 0) {
      survey.parserRefused = true;
      survey.parserError = zel::formatPositional(
          messages::kYamlParserError, parser.problem != nullptr ? parser.problem : "out of memory",
          parser.problem_mark.line, parser.problem_mark.column);
      break;
    }
    surveyor.take(event);
    const bool end = event.type == YAML_STREAM_END_EVENT;
    yaml_event_delete(&event);
    if (end) break;
  }
  yaml_parser_delete(&parser);
  return survey;
}

bool isOurTemplate(const std::string& message) {
  for (const char* prefix :
       {"Multi-document", "Invalid mapping key", "Duplicate occurrence", "Unexpected start",
        "Cannot deserialize", "Undefined alias", "Unsupported YAML tag", "Nodes are nested",
        "Aliases ", "YAML parser"}) {
    if (message.starts_with(prefix)) return true;
  }
  return false;
}

// The texts that type a plain scalar as null, true or false.
bool isOneOf(const std::string& value, std::initializer_list<const char*> texts) {
  for (const char* candidate : texts) {
    if (value == candidate) return true;
  }
  return false;
}

// A decimal or hexadecimal integer, with a sign at most, after leading white space.
bool isIntegerText(const std::string& value, std::size_t start, bool& hex) {
  std::size_t i = start;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
  hex = value.size() > i + 1 && value[i] == '0' && (value[i + 1] == 'x' || value[i + 1] == 'X');
  if (hex) i += 2;
  if (i == value.size()) return false;
  for (; i < value.size(); ++i) {
    if (!(hex ? std::isxdigit(static_cast<unsigned char>(value[i]))
              : std::isdigit(static_cast<unsigned char>(value[i])))) {
      return false;
    }
  }
  return true;
}

// What an untagged scalar reads as, by the C library's conversions: a text
// that strtod reads completely is a number (positive infinity excepted, and
// here also negative infinity); integers that fit 64 bits are exact; other
// integral values in the 64-bit ranges are integers, the rest floats.
// Nothing is written for a scalar this does not type (tagged ones).
bool expectedScalar(const Scalar& scalar, zel::ValueNode& slot) {
  if (scalar.tag == "tag:yaml.org,2002:str" || (scalar.tag.empty() && scalar.quoted)) {
    slot.setString(scalar.value);
    return true;
  }
  if (!scalar.tag.empty()) return false;
  const std::string& value = scalar.value;
  if (isOneOf(value, {"", "~", "null", "Null", "NULL"})) return true;
  char* end = nullptr;
  const double number = value.empty() ? 0.0 : std::strtod(value.c_str(), &end);
  if (!value.empty() && end == value.c_str() + value.size() && !std::isinf(number)) {
    std::size_t start = 0;
    while (start < value.size() && std::isspace(static_cast<unsigned char>(value[start]))) ++start;
    bool hex = false;
    if (isIntegerText(value, start, hex)) {
      errno = 0;
      if (value[start] == '-') {
        const long long exact = std::strtoll(value.c_str(), nullptr, hex ? 16 : 10);
        if (errno == 0) {
          exact < 0 ? slot.setSigned(exact) : slot.setUnsigned(static_cast<std::uint64_t>(exact));
          return true;
        }
      } else {
        const unsigned long long exact = std::strtoull(value.c_str(), nullptr, hex ? 16 : 10);
        if (errno == 0) {
          slot.setUnsigned(exact);
          return true;
        }
      }
      slot.setFloat(number);
      return true;
    }
    if (std::isnan(number) || number != std::trunc(number) || number >= 18446744073709551616.0 ||
        number < -9223372036854775808.0) {
      slot.setFloat(number);
    } else if (number >= 0) {
      slot.setUnsigned(static_cast<std::uint64_t>(number));
    } else {
      slot.setSigned(static_cast<std::int64_t>(number));
    }
    return true;
  }
  if (isOneOf(value, {"true", "True", "TRUE", "y", "Y", "yes", "Yes", "YES", "on", "On", "ON"})) {
    slot.setBool(true);
  } else if (isOneOf(value, {"false", "False", "FALSE", "n", "N", "no", "No", "NO", "off", "Off",
                             "OFF"})) {
    slot.setBool(false);
  } else {
    slot.setString(value);
  }
  return true;
}

void checkScalar(const zel::ValueNode& ours, const Scalar& scalar, const std::uint8_t* data,
                 std::size_t size) {
  zel::BindingValue expected;
  if (expectedScalar(scalar, expected)) {
    zel::fuzz::expectSame(ours, expected, zel::fuzz::Integers::Exact, data, size);
  }
}

void checkRoot(const zel::BindingValue& ours, const Survey& survey, const std::uint8_t* data,
               std::size_t size) {
  const bool rootIsContainer =
      survey.root == YAML_SEQUENCE_START_EVENT || survey.root == YAML_MAPPING_START_EVENT;
  if (survey.root == YAML_SEQUENCE_START_EVENT &&
      (ours.kind() != ValueKind::Collection || ours.size() != survey.rootChildren)) {
    zel::fuzz::difference("the root sequence has " + std::to_string(survey.rootChildren) +
                              " items, ours is " + zel::valueKindName(ours.kind()) + " of size " +
                              std::to_string(ours.size()),
                          data, size);
  }
  if (survey.root == YAML_MAPPING_START_EVENT) {
    if (ours.kind() != ValueKind::Structure) {
      zel::fuzz::difference(
          std::string("the root is a mapping, ours is ") + zel::valueKindName(ours.kind()), data,
          size);
    }
    if (survey.rootKeysKnown) {
      bool same = ours.size() == survey.rootKeys.size();
      for (const zel::Field& field : ours.fields()) {
        same = same && survey.rootKeys.count(std::string(field.key())) != 0;
      }
      if (!same) zel::fuzz::difference("the root mapping's keys differ", data, size);
    }
  }
  if (!rootIsContainer &&
      (ours.kind() == ValueKind::Collection || ours.kind() == ValueKind::Structure)) {
    zel::fuzz::difference("the root is no container, ours is one", data, size);
  }
  if (survey.rootScalar) checkScalar(ours, *survey.rootScalar, data, size);
  for (const auto& [index, scalar] : survey.elementScalars) {
    checkScalar(ours.at(index), scalar, data, size);
  }
  if (survey.rootKeysKnown) {
    for (const auto& [key, scalar] : survey.fieldScalars) {
      if (scalar) checkScalar(ours.find(key), *scalar, data, size);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  rules.input();
  const zel::BindingValue ours =
      zel::readYaml(std::string_view(reinterpret_cast<const char*>(data), size));
  const Survey survey = surveyEvents(data, size);

  if (ours.ok()) {
    if (survey.parserRefused) {
      zel::fuzz::difference("we read what the parser refuses: " + survey.parserError, data, size);
    }
    checkRoot(ours, survey, data, size);
    rules.bothRead();
    return 0;
  }

  const std::string message(ours.errorMessage());
  if (survey.parserRefused && message == survey.parserError) {
    rules.bothRefused();
    return 0;
  }
  const auto explained = survey.explained.find(message);
  if (explained != survey.explained.end()) {
    if (survey.parserRefused) {
      rules.bothRefused();
    } else {
      rules.applied(explained->second);
    }
    return 0;
  }
  // A tagged number that does not convert fails with the conversion's own message.
  if (survey.taggedNumber && !isOurTemplate(message)) {
    rules.applied("tagged numbers must convert");
    return 0;
  }
  zel::fuzz::difference("we refuse, and no rule explains it: " + message +
                            (survey.parserRefused ? " (the parser's: " + survey.parserError + ")"
                                                  : std::string(" (the parser reads it)")),
                        data, size);
}

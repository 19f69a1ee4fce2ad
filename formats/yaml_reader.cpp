#include "formats/yaml_reader.h"

#include <yaml.h>

#include "diagnostics/format.h"
#include "formats/internal/yaml_builder.h"
#include "formats/messages.h"

namespace zel {
namespace {

namespace messages = formats::messages;

// The parser and its current event, released however the read ends (running
// out of memory while building throws through here).
struct Parser {
  yaml_parser_t parser;
  yaml_event_t event;
  bool initialised = false;
  bool holdsEvent = false;

  Parser() { initialised = yaml_parser_initialize(&parser) != 0; }
  ~Parser() {
    releaseEvent();
    if (initialised) yaml_parser_delete(&parser);
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  bool next() {
    releaseEvent();
    holdsEvent = yaml_parser_parse(&parser, &event) != 0;
    return holdsEvent;
  }
  void releaseEvent() {
    if (holdsEvent) yaml_event_delete(&event);
    holdsEvent = false;
  }
};

}  // namespace

BindingValue readYaml(std::string_view text) {
  BindingValue result;
  Parser reader;
  if (!reader.initialised) {
    result.setError(
        formatPositional(messages::kYamlParserError, messages::kYamlNoProblemText, 0, 0));
    return result;
  }
  yaml_parser_set_encoding(&reader.parser, YAML_UTF8_ENCODING);
  // libyaml insists on a non-null input, even an empty one.
  static const unsigned char kNoInput[1] = {0};
  yaml_parser_set_input_string(
      &reader.parser,
      text.data() != nullptr ? reinterpret_cast<const unsigned char*>(text.data()) : kNoInput,
      text.size());

  formats::internal::YamlBuilder builder(result, text.size());
  while (reader.next()) {
    if (!builder.take(reader.event)) {
      builder.releaseShapes();
      result.setError(builder.error());
      return result;
    }
    if (reader.event.type == YAML_STREAM_END_EVENT) return result;
  }
  builder.releaseShapes();
  const yaml_parser_t& parser = reader.parser;
  result.setError(
      formatPositional(messages::kYamlParserError,
                       parser.problem != nullptr ? parser.problem : messages::kYamlNoProblemText,
                       parser.problem_mark.line, parser.problem_mark.column));
  return result;
}

}  // namespace zel

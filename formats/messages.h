// Every message text of the JSON, MessagePack and YAML readers, in one place.
// Numbered placeholders ("%1") and the printf specifications of the JSON
// error line are filled by zel::formatPositional; each constant says what its
// placeholders stand for.
//
//   result.setError(formatPositional(formats::messages::kMsgpackInvalidData, position));
//
// The texts are static literals of the program.
#pragma once

#include <cstddef>

namespace zel::formats::messages {

// --- JSON ---------------------------------------------------------------------------------------

// %s the text of the reader's error code, %u the byte offset from the start of the text.
inline constexpr const char kJsonError[] = "Error: %s at offset %u.";

// The English text of each error code of the JSON reader, indexed by code.
inline constexpr const char* const kJsonErrorTexts[] = {
    "No error.",                                                // 0
    "The document is empty.",                                   // 1
    "The document root must not be followed by other values.",  // 2
    "Invalid value.",                                           // 3
    "Missing a name for object member.",                        // 4
    "Missing a colon after a name of object member.",           // 5
    "Missing a comma or '}' after an object member.",           // 6
    "Missing a comma or ']' after an array element.",           // 7
    "Incorrect hex digit after \\u escape in string.",          // 8
    "The surrogate pair in string is invalid.",                 // 9
    "Invalid escape character in string.",                      // 10
    "Missing a closing quotation mark in string.",              // 11
    "Invalid encoding in string.",                              // 12
    "Number too big to be stored in double.",                   // 13
    "Miss fraction part in number.",                            // 14
    "Miss exponent in number.",                                 // 15
    "Terminate parsing due to Handler error.",                  // 16
    "Unspecific syntax error.",                                 // 17
};
inline constexpr std::size_t kJsonErrorTextCount =
    sizeof(kJsonErrorTexts) / sizeof(kJsonErrorTexts[0]);

// Any code beyond the table.
inline constexpr const char kJsonUnknownError[] = "Unknown error.";

// --- MessagePack --------------------------------------------------------------------------------
// Positions are byte offsets from the start of the input, in decimal.

// %1 the offset just after the offending type byte.
inline constexpr const char kMsgpackInvalidData[] = "Invalid MessagePack data at position %1.";
// %1 the offset just after the type byte that stands where a key is due.
inline constexpr const char kMsgpackKeyNotString[] =
    "Invalid MessagePack data at position %1. Map keys must be strings.";
// %1 the offset just after the type byte of the container that opens one level too many,
// %2 the deepest nesting accepted.
inline constexpr const char kMsgpackTooDeep[] =
    "Invalid MessagePack data at position %1. Containers are nested deeper than %2 levels.";

// %1 the offset where the missing bytes would have started.
inline constexpr const char kMsgpackTruncated8[] =
    "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.";
inline constexpr const char kMsgpackTruncated16[] =
    "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.";
inline constexpr const char kMsgpackTruncated32[] =
    "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.";
inline constexpr const char kMsgpackTruncated64[] =
    "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.";
// %1 the announced length, %2 the offset where the bytes would have started.
inline constexpr const char kMsgpackStringTruncated[] =
    "Invalid MessagePack data. String of size %1 at position %2 is truncated.";
inline constexpr const char kMsgpackBinTruncated[] =
    "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.";

// --- YAML ---------------------------------------------------------------------------------------
// Lines and columns are those of the offending event's start, counted from 1, except in the
// parser's own error, which prints them as the parser gives them (counted from 0).

inline constexpr const char kYamlMultiDocument[] = "Multi-document YAML is not supported.";
// %1 line, %2 column.
inline constexpr const char kYamlInvalidKey[] =
    "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2";
// %1 anchor name, %2 line, %3 column.
inline constexpr const char kYamlDuplicateAnchor[] =
    "Duplicate occurrence of anchor \"%1\". At line: %2 col: %3";
// %1 line, %2 column.
inline constexpr const char kYamlUnexpectedSequence[] =
    "Unexpected start of sequence. At line: %1 col: %2";
inline constexpr const char kYamlUnexpectedMapping[] =
    "Unexpected start of mapping. At line: %1 col: %2";
// %1 alias name, %2 line, %3 column.
inline constexpr const char kYamlCyclicAlias[] =
    "Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3";
inline constexpr const char kYamlUndefinedAlias[] =
    "Undefined alias encountered: \"%1\". At line: %2 col: %3";
// %1 the tag as the parser resolved it.
inline constexpr const char kYamlUnsupportedTag[] = "Unsupported YAML tag '%1'.";
// %1 the deepest nesting accepted, %2 line, %3 column (of the node or alias that goes deeper).
inline constexpr const char kYamlTooDeep[] =
    "Nodes are nested deeper than %1 levels. At line: %2 col: %3";
// %1 the number of nodes that aliases may produce for one input, %2 alias name, %3 line,
// %4 column.
inline constexpr const char kYamlTooManyAliasNodes[] =
    "Aliases expand to more than %1 nodes. Alias \"%2\". At line: %3 col: %4";
// %1 the number of text bytes that aliases may copy for one input, %2 alias name, %3 line,
// %4 column.
inline constexpr const char kYamlTooMuchAliasText[] =
    "Aliases copy more than %1 bytes of text. Alias \"%2\". At line: %3 col: %4";
// %1 the number of bytes of text (strings, keys and blobs) that the copies aliases make may
// hold for this input (formats::maxAliasExpansionBytes), %2 alias name, %3 line, %4 column.
inline constexpr const char kYamlTooMuchAliasExpansion[] =
    "Aliases expand to more than %1 bytes. Alias \"%2\". At line: %3 col: %4";
// %1 the parser's problem text, %2 line, %3 column (both counted from 0).
inline constexpr const char kYamlParserError[] = "YAML parser error: %1. At line: %2 col: %3";
// The problem text when the parser reports none (it ran out of memory).
inline constexpr const char kYamlNoProblemText[] = "out of memory";

// The path and type names under which tagged numbers are converted.
inline constexpr const char kYamlConversionPath[] = "yaml";
inline constexpr const char kYamlSignedTypeName[] = "int64_t";
inline constexpr const char kYamlUnsignedTypeName[] = "uint64_t";
inline constexpr const char kYamlFloatTypeName[] = "double";

}  // namespace zel::formats::messages

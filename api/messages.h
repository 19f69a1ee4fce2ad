// Every message text of routing, argument binding and invocation, in one
// place. Numbered placeholders ("%1") are filled by zel::formatPositional;
// each constant says what its placeholders stand for.
//
//   result.setError(formatPositional(api::messages::kUnknownArgument, name, function.name()));
//
// The texts are static literals of the program.
#pragma once

namespace zel::api::messages {

// --- Function names ----------------------------------------------------------------------------

// The method prefix of a function name: %1 the method's first character, %2 the rest of the
// method name in lower case ("Get/").
inline constexpr const char kMethodPrefix[] = "%1%2/";

// --- Invocation --------------------------------------------------------------------------------

// No route of the function matches the request's path and method.
inline constexpr const char kInvalidFunction[] = "Invalid function";

// A failure that escaped the call (a fault of a handler or exhausted memory): %1 the function's
// name, %2 what went wrong.
inline constexpr const char kInternalError[] = "Internal error in '%1': %2";

// The answer when not even a message can be built any more. Static; never freed.
inline constexpr const char kOutOfMemory[] = "Out of memory";

// What a fault without a description of its own is called in kInternalError.
inline constexpr const char kUnknownFault[] = "unknown exception";

// The message of the not-found outcome when it is given no text.
inline constexpr const char kNotFound[] = "Not found";

// --- Argument binding --------------------------------------------------------------------------

// %1 argument name (or, for a positional host argument, its computed index), %2 function name.
inline constexpr const char kUnknownArgument[] = "Unknown argument '%1' for '%2'.";

// %1 argument name, %2 function name.
inline constexpr const char kInvalidLocation[] =
    "Argument '%1' for '%2' was specified in an invalid location.";

// %1 argument name.
inline constexpr const char kExpectedValue[] = "Expected value for argument '%1'.";

// %1 the index segment of a dotted name.
inline constexpr const char kIndexIncorrectFormat[] = "Index %1 is in an incorrect format";

// %1 the index segment of a dotted name.
inline constexpr const char kIndexOutOfRange[] = "Index %1 is out of range";

// %1 argument name, %2 function name, %3 the decoder's message.
inline constexpr const char kMessagePackArgument[] =
    "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3";
inline constexpr const char kJsonArgument[] =
    "Couldn't deserialize JSON value for parameter '%1' of '%2': %3";
inline constexpr const char kYamlArgument[] =
    "Couldn't deserialize YAML value for parameter '%1' of '%2': %3";

// No placeholder.
inline constexpr const char kUnsupportedContentType[] = "Unsupported body content type";
inline constexpr const char kExtraMessagePackData[] = "Extra MessgePack data found in body";

}  // namespace zel::api::messages

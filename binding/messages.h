// Every message text of the binding subsystem, in one place. Numbered
// placeholders ("%1") are filled by zel::formatPositional; each constant
// says what its placeholders stand for.
//
//   status.setError(formatPositional(binding::messages::kValueRequired, path));
//
// The texts are static literals of the program.
#pragma once

namespace zel::binding::messages {

// %1 path.
inline constexpr const char kValueRequired[] = "A value for '%1' is required.";

// %1 path, %2 input kind name.
inline constexpr const char kBoolInvalidType[] =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";

// %1 text, %2 path.
inline constexpr const char kBoolIncorrectFormat[] =
    "Value %1 for '%2' of type bool is in an incorrect format. "
    "Options are \"true\", \"false\", \"1\", \"0\".";

// %1 text, %2 path, %3 type name.
inline constexpr const char kNumberIncorrectFormat[] =
    "Value %1 for '%2' of type %3 is in an incorrect format";

// %1 input number or text, %2 path, %3 type name.
inline constexpr const char kNumberOutOfRange[] = "Value %1 for '%2' of type %3 is out of range";

// %1 path, %2 type name, %3 input kind name.
inline constexpr const char kInvalidType[] =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";

// %1 number or text, %2 enum type name, %3 path.
inline constexpr const char kEnumInvalidValue[] =
    "%1 is not a valid %2 enumeration value for '%3'.";

// %1 path, %2 input kind name.
inline constexpr const char kEnumInvalidType[] =
    "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.";

// %1 number, %2 path.
inline constexpr const char kEnumUnnamedValue[] = "%1 is not a valid enumeration value for '%2'.";

// %1 path.
inline constexpr const char kNotAString[] =
    "Couldn't assign value to '%1' because the input is not a string.";

// %1 path.
inline constexpr const char kUnregisteredTarget[] =
    "Couldn't assign value to '%1' because the input is an unregistered structure or not a "
    "structure at all.";

// %1 path, %2 type name.
inline constexpr const char kNotAStructure[] =
    "Couldn't assign value to '%1' of type %2 because the input not a structure.";

// %1 path, %2 type name, %3 field name.
inline constexpr const char kMissingRequiredField[] =
    "Couldn't assign value to '%1' of type %2 because the input structure doesn't have required "
    "field '%3'.";

// %1 path.
inline constexpr const char kNotACollection[] =
    "Couldn't assign value to '%1' of type vector because the input not a collection.";

// %1 path.
inline constexpr const char kMapNotAStructure[] =
    "Couldn't assign value to '%1' of type map because the input not a structure.";

// No placeholder.
inline constexpr const char kUnregisteredSource[] =
    "Couldn't convert native value because it's an unregistered structure.";

// %1 path, %2 flat kind name.
inline constexpr const char kIncompatibleFlatKind[] =
    "Couldn't assign value to '%1' of type object because the input is of an incompatible type "
    "'%2'.";

// --- Registry check at load --------------------------------------------------------------------

// Level ERROR, a field whose structure or enum was not registered before its structure: %1 the
// structure's name, %2 the field's name, %3 the field's native type.
inline constexpr const char kFieldTypeNotRegistered[] =
    "Structure '%1' field '%2' has type '%3', which was not registered before '%1'";

// Level ERROR, a function argument whose structure or enum is not registered: %1 the function's
// name, %2 the argument's name (its index when it has none), %3 the native type it names.
inline constexpr const char kArgumentTypeNotRegistered[] =
    "Function '%1' argument '%2' has type '%3', which is not registered";

// Level ERROR, the same for a function's result: %1 the function's name, %2 the native type.
inline constexpr const char kResultTypeNotRegistered[] =
    "Function '%1' result has type '%2', which is not registered";

}  // namespace zel::binding::messages

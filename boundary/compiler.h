// The compiler half of the platform layer, as the headers a plugin author
// includes need it: each spelling that differs between compilers, the MSVC
// one beside the GCC/Clang one, so those headers compile with any C++20
// compiler. The library's own code-generation hints are in
// boundary/compiler_hints.h; nothing else spells a compiler specific
// (scripts/check-namespaces --compilers fails on one).
//
//   extern "C" ZEL_EXPORT std::int32_t load_zel_maps(HostLoadInfo* info);
//
// Macros only; nothing here is owned.
#pragma once

#if defined(_MSC_VER) && !defined(__clang__)
#define ZEL_COMPILER_MSVC 1
#else
#define ZEL_COMPILER_MSVC 0
#endif

// The enclosing function's signature with its template arguments spelled
// out: "... f() [with T = zel::Point]" (GCC), "... f() [T = zel::Point]"
// (Clang), "... f<struct zel::Point>(void)" (MSVC).
#if ZEL_COMPILER_MSVC
#define ZEL_FUNCTION_SIGNATURE __FUNCSIG__
#else
#define ZEL_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#endif

// Arguments checked against a printf format: the format is argument
// `formatIndex` (`this` counts as 1), the values start at `firstArgument`.
// MSVC has no such check for user functions.
#if ZEL_COMPILER_MSVC
#define ZEL_PRINTF_FORMAT(formatIndex, firstArgument)
#elif defined(__MINGW32__)
#define ZEL_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#elif defined(__GNUC__)
#define ZEL_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define ZEL_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

// A function the shared library exports (the plugin's load entry).
#if defined(_WIN32)
#define ZEL_EXPORT __declspec(dllexport)
#else
#define ZEL_EXPORT __attribute__((visibility("default")))
#endif

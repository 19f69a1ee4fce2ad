// The compiler half of the platform layer: every spelling that differs
// between compilers, each with the MSVC one beside the GCC/Clang one, so that
// the library and the headers a plugin author includes compile with any C++20
// compiler. diagnostics/platform/ keeps the operating system's services; this
// header sits at the bottom so that every folder, memory/ included, may use
// it. Nothing else spells a compiler specific (scripts/check-namespaces
// --compilers fails on one).
//
//   ZEL_ALWAYS_INLINE void countFree(std::size_t bytes) noexcept;
//   extern "C" ZEL_EXPORT std::int32_t load_zel_maps(HostLoadInfo* info);
//
// Macros only; nothing here is owned.
#pragma once

#if defined(_MSC_VER) && !defined(__clang__)
#define ZEL_COMPILER_MSVC 1
#else
#define ZEL_COMPILER_MSVC 0
#endif

// The signature of the enclosing function as a constant text, with its
// template arguments spelled out: "... f() [with T = zel::Point]" from GCC,
// "... f() [T = zel::Point]" from Clang, "... f<struct zel::Point>(void)"
// from MSVC.
#if ZEL_COMPILER_MSVC
#define ZEL_FUNCTION_SIGNATURE __FUNCSIG__
#else
#define ZEL_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#endif

// An inline function the compiler must inline even where it judges otherwise
// (the counting allocator's few counter steps in every allocation).
#if ZEL_COMPILER_MSVC
#define ZEL_ALWAYS_INLINE __forceinline
#else
#define ZEL_ALWAYS_INLINE inline __attribute__((always_inline))
#endif

// Code that may use SSE2 on 32-bit x86, where the build's baseline does not
// include it (GCC's i686). MSVC's x86 baseline is SSE2 already, and on the
// other targets it is the baseline or does not apply.
#if !ZEL_COMPILER_MSVC && defined(__i386__)
#define ZEL_SSE2_CODE __attribute__((target("sse2")))
#else
#define ZEL_SSE2_CODE
#endif

// Starts loading the cache line at `address` for a write soon after; a hint
// that changes no result.
#if ZEL_COMPILER_MSVC && (defined(_M_IX86) || defined(_M_X64))
#include <xmmintrin.h>
#define ZEL_PREFETCH_FOR_WRITE(address) \
  _mm_prefetch(reinterpret_cast<const char*>(address), _MM_HINT_T0)
#elif ZEL_COMPILER_MSVC
#define ZEL_PREFETCH_FOR_WRITE(address) ((void)(address))
#else
#define ZEL_PREFETCH_FOR_WRITE(address) __builtin_prefetch((address), 1)
#endif

// A function whose arguments the compiler checks against a printf format:
// the format is argument `formatIndex` (counting `this` as 1), the values
// start at `firstArgument`. MSVC has no such check for user functions.
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

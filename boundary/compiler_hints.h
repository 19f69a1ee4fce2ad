// The code-generation hints of the library's own sources, the second part of
// the platform layer's compiler half (boundary/compiler.h holds what the
// author's headers need): each spelling beside its MSVC one. Only .cpp files
// include it, so a plugin author's compiler never reads it.
//
//   ZEL_ALWAYS_INLINE void countFree(std::size_t bytes) noexcept;
//
// Macros only; nothing here is owned.
#pragma once

#include "boundary/compiler.h"

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

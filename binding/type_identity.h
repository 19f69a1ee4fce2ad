// TypeIdentity: the one constant identity of every native type that takes part in binding: a 32-bit
// type id, fixed when the program is built, and a display text "#" followed by the id in eight
// upper-case hex digits.
//
//   const TypeIdentity& identity = typeIdentity<MapsResource>();
//   registry.findType(identity.id());         // the registered descriptor
//   identity.displayText();                   // e.g. "#1C4A09F3"
//
// Identities are constants with static storage; references to them stay valid for the life of the
// program. typeIdentity<void>() is the reserved no-type identity (id 0): the result type of a
// handler that returns nothing.
//
// The id is the FNV-1a hash of the readable type name (StaticType<T>::kName), the compiler's
// spelling of the type: the same in every build with the same compiler, but not across compilers
// for some types (g++ spells an anonymous namespace "{anonymous}", clang "(anonymous namespace)").
// A type that needs one id from every compiler specialises StaticType:
//
//   template <> struct zel::StaticType<CallInfo> {
//     static constexpr std::string_view kName = "zel::CallInfo";
//     static constexpr std::uint32_t kId = 0x466F9860;
//   };
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "boundary/compiler.h"

namespace zel {

inline constexpr std::uint32_t kNoTypeId = 0;

namespace binding::internal {

// FNV-1a, 32 bits: the SDK's one text hash (type ids, interned strings, event and resource names).
inline constexpr std::uint32_t kFnvOffsetBasis = 0x811c9dc5u;
inline constexpr std::uint32_t kFnvPrime = 16777619u;

[[nodiscard]] constexpr std::uint32_t fnv1aHash(std::string_view text) noexcept {
  std::uint32_t hash = kFnvOffsetBasis;
  for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
  return hash;
}

// The compiler's signature of this function names T: "... [with T = X]" (GCC, Clang) or
// "...signatureNaming<X>(void)" (MSVC).
template <typename T>
constexpr std::string_view signatureNaming() noexcept {
  return ZEL_FUNCTION_SIGNATURE;
}

// T's name in an MSVC signature, without its "struct "/"class " prefix.
constexpr std::string_view nameInAngles(std::string_view signature) noexcept {
  constexpr std::string_view marker = "signatureNaming<";
  const std::size_t start = signature.find(marker);
  const std::size_t last = signature.rfind(">(");
  if (start == std::string_view::npos || last == std::string_view::npos) return {};
  std::string_view name = signature.substr(start + marker.size(), last - start - marker.size());
  for (std::string_view key : {"struct ", "class ", "enum ", "union "})
    if (name.substr(0, key.size()) == key) name.remove_prefix(key.size());
  // "Pair<int> >(void)": MSVC spaces the closing brackets apart.
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

template <typename T>
constexpr std::string_view readableTypeName() noexcept {
  constexpr std::string_view signature = signatureNaming<T>();
  constexpr std::size_t start = signature.find("T = ");
  if constexpr (start == std::string_view::npos) {
    static_assert(!nameInAngles(signature).empty(), "unsupported compiler signature");
    return nameInAngles(signature);
  } else {
    // The name ends at "; " (further template parameters) or at the last "]".
    constexpr std::size_t last = std::min(signature.find("; ", start), signature.rfind(']'));
    return signature.substr(start + 4, last - start - 4);
  }
}

// The readable name in static storage of its own, zero-terminated.
template <typename T>
struct TypeNameStorage {
  static constexpr std::string_view kView = readableTypeName<T>();
  static constexpr auto kText = [] {
    std::array<char, kView.size() + 1> text{};
    for (std::size_t i = 0; i < kView.size(); ++i) text[i] = kView[i];
    return text;
  }();
};

// Never 0: that id is the no-type identity's.
constexpr std::uint32_t typeIdFromName(std::string_view name) noexcept {
  const std::uint32_t hash = fnv1aHash(name);
  return hash == kNoTypeId ? kFnvOffsetBasis : hash;
}

}  // namespace binding::internal

// The readable name and the constant id of a native type.
template <typename T>
struct StaticType {
  static constexpr std::string_view kName{binding::internal::TypeNameStorage<T>::kText.data(),
                                          binding::internal::TypeNameStorage<T>::kView.size()};
  static constexpr std::uint32_t kId = binding::internal::typeIdFromName(kName);
};

template <>
struct StaticType<void> {
  static constexpr std::string_view kName = "void";
  static constexpr std::uint32_t kId = kNoTypeId;
};

class TypeIdentity {
 public:
  constexpr TypeIdentity(std::uint32_t id, std::string_view name) noexcept
      : id_(id), name_(name), display_(makeDisplayText(id)) {}
  TypeIdentity(const TypeIdentity&) = delete;
  TypeIdentity& operator=(const TypeIdentity&) = delete;

  constexpr std::uint32_t id() const noexcept { return id_; }
  // The readable native type name, e.g. "zel::BindingAsyncState".
  constexpr std::string_view name() const noexcept { return name_; }
  // "#%08X" of the id, zero-terminated.
  constexpr const char* displayText() const noexcept { return display_.data(); }
  constexpr bool isNoType() const noexcept { return id_ == kNoTypeId; }

 private:
  static constexpr std::array<char, 10> makeDisplayText(std::uint32_t id) noexcept {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<char, 10> text{};
    text[0] = '#';
    for (int i = 0; i < 8; ++i) text[8 - i] = kDigits[(id >> (4 * i)) & 0xFu];
    return text;
  }

  std::uint32_t id_;
  std::string_view name_;
  std::array<char, 10> display_;
};

template <typename T>
inline constexpr TypeIdentity kTypeIdentity{StaticType<T>::kId, StaticType<T>::kName};

template <typename T>
constexpr const TypeIdentity& typeIdentity() noexcept {
  return kTypeIdentity<std::remove_cv_t<T>>;
}

inline constexpr const TypeIdentity& noTypeIdentity() noexcept {
  return kTypeIdentity<void>;
}

}  // namespace zel

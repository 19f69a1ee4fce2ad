// The scalar native types in both directions, compiled once per type: the
// templates of binding/convert_native.h call these instances.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "binding/convert_native.h"
#include "binding/internal/convert_rules.h"

namespace zel::binding::internal {

template <typename T>
void scalarToNative(ConversionStatus& status, T& target, const ValueNode& input, const char* path,
                    const TypeRegistry* registry) {
  if constexpr (std::is_same_v<T, bool>) {
    bool value = false;
    if (toBool(status, input, path, value)) target = value;
  } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    static constexpr SignedTarget kTarget{std::numeric_limits<T>::min(),
                                          std::numeric_limits<T>::max(),
                                          typeKindName(integerKind<T>())};
    std::int64_t value = 0;
    if (toSigned(status, input, path, kTarget, value)) target = static_cast<T>(value);
  } else if constexpr (std::is_integral_v<T>) {
    static constexpr UnsignedTarget kTarget{std::numeric_limits<T>::max(),
                                            typeKindName(integerKind<T>())};
    std::uint64_t value = 0;
    if (toUnsigned(status, input, path, kTarget, value)) target = static_cast<T>(value);
  } else if constexpr (std::is_floating_point_v<T>) {
    // The finite range of the type.
    static constexpr FloatTarget kTarget{-static_cast<double>(std::numeric_limits<T>::max()),
                                         static_cast<double>(std::numeric_limits<T>::max()),
                                         typeKindName(scalarKind<T>())};
    double value = 0.0;
    if (toFloating(status, input, path, kTarget, value)) target = static_cast<T>(value);
  } else if constexpr (std::is_same_v<T, std::string>) {
    toText(status, input, path, registry, target);
  } else if constexpr (std::is_same_v<T, BindingValue>) {
    toObject(status, input, target);
  } else if constexpr (std::is_same_v<T, Blob>) {
    toBlob(status, input, path, target);
  } else {
    static_assert(std::is_same_v<T, BindingCallback>);
    // A callback crosses as its 32-bit id.
    static constexpr UnsignedTarget kTarget{std::numeric_limits<std::uint32_t>::max(),
                                            typeKindName(TypeKind::Callback)};
    std::uint64_t value = 0;
    if (toUnsigned(status, input, path, kTarget, value)) {
      target.id = static_cast<std::uint32_t>(value);
    }
  }
}

template <typename T>
void scalarToValue(ValueNode& output, const T& native) {
  if constexpr (std::is_same_v<T, bool>) {
    output.setBool(native);
  } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    output.setSigned(static_cast<std::int64_t>(native));
  } else if constexpr (std::is_integral_v<T>) {
    output.setUnsigned(static_cast<std::uint64_t>(native));
  } else if constexpr (std::is_floating_point_v<T>) {
    output.setFloat(static_cast<double>(native));
  } else if constexpr (std::is_same_v<T, std::string>) {
    output.setString(std::string_view(native));
  } else if constexpr (std::is_same_v<T, BindingValue>) {
    output = static_cast<const ValueNode&>(native);
  } else if constexpr (std::is_same_v<T, Blob>) {
    output.setBlob(native.data(), native.size());
  } else {
    output.setUnsigned(native.id);
  }
}

// Every type that nativeCategory() calls a scalar: each integer type the
// language has, whatever its spelling on this platform.
#define ZEL_SCALAR_INSTANCES(T)                                                         \
  template void scalarToNative<T>(ConversionStatus&, T&, const ValueNode&, const char*, \
                                  const TypeRegistry*);                                 \
  template void scalarToValue<T>(ValueNode&, const T&);

ZEL_SCALAR_INSTANCES(bool)
ZEL_SCALAR_INSTANCES(char)
ZEL_SCALAR_INSTANCES(signed char)
ZEL_SCALAR_INSTANCES(unsigned char)
ZEL_SCALAR_INSTANCES(wchar_t)
ZEL_SCALAR_INSTANCES(char8_t)
ZEL_SCALAR_INSTANCES(char16_t)
ZEL_SCALAR_INSTANCES(char32_t)
ZEL_SCALAR_INSTANCES(short)
ZEL_SCALAR_INSTANCES(unsigned short)
ZEL_SCALAR_INSTANCES(int)
ZEL_SCALAR_INSTANCES(unsigned int)
ZEL_SCALAR_INSTANCES(long)
ZEL_SCALAR_INSTANCES(unsigned long)
ZEL_SCALAR_INSTANCES(long long)
ZEL_SCALAR_INSTANCES(unsigned long long)
ZEL_SCALAR_INSTANCES(float)
ZEL_SCALAR_INSTANCES(double)
ZEL_SCALAR_INSTANCES(std::string)
ZEL_SCALAR_INSTANCES(BindingValue)
ZEL_SCALAR_INSTANCES(Blob)
ZEL_SCALAR_INSTANCES(BindingCallback)

#undef ZEL_SCALAR_INSTANCES

}  // namespace zel::binding::internal

// What a plugin's requests to the REST-style endpoints of other plugins
// (members of PluginBase, plugin/plugin_base.h) take and answer. Every
// failure is a value: a RequestResult holding an ErrorInfo.
//
//   RequestResult<std::vector<BindingValue>> maps =
//       plugin.request<std::vector<BindingValue>>(HttpMethod::Get,
//       "/zel-game-data/assets/v1/maps.json");
//   if (maps.failed()) log(maps.error().message);   // "Error response for GET /...: ..."
//   plugin.requestWithParameters(HttpMethod::Post, url, {requestArgument("count", 3)});
//
// The caller blocks until the answer is complete, yielding to the host, which
// may run other work of the plugin meanwhile: hold no lock such work needs.
// A result owns its value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "binding/convert_native.h"
#include "binding/value.h"
#include "diagnostics/log_field.h"

namespace zel {

class TypeRegistry;

// Why a request failed: a status code (0 when none applies), the message,
// and its named fields method, url and error, all texts.
struct ErrorInfo {
  std::uint32_t status = 0;
  std::string message;
  FieldMap fields;
};

// The result value of a request, or the ErrorInfo of its failure.
template <typename T>
class [[nodiscard]] RequestResult {
 public:
  RequestResult(T value) : value_(std::move(value)) {}
  RequestResult(ErrorInfo error) : error_(std::move(error)), failed_(true) {}

  [[nodiscard]] bool failed() const noexcept { return failed_; }
  [[nodiscard]] bool ok() const noexcept { return !failed_; }
  // Only while ok().
  [[nodiscard]] T& value() { return *value_; }
  [[nodiscard]] const T& value() const { return *value_; }
  [[nodiscard]] const ErrorInfo& error() const noexcept { return error_; }

 private:
  std::optional<T> value_;
  ErrorInfo error_;
  bool failed_ = false;
};

template <>
class [[nodiscard]] RequestResult<void> {
 public:
  RequestResult() = default;
  RequestResult(ErrorInfo error) : error_(std::move(error)), failed_(true) {}

  [[nodiscard]] bool failed() const noexcept { return failed_; }
  [[nodiscard]] bool ok() const noexcept { return !failed_; }
  [[nodiscard]] const ErrorInfo& error() const noexcept { return error_; }

 private:
  ErrorInfo error_;
  bool failed_ = false;
};

// One named parameter of requestWithParameters: the native value, which the
// caller keeps alive during the call, and its conversion.
struct RequestArgument {
  using Convert = void (*)(ValueNode& output, const void* value, const TypeRegistry* registry,
                           ConversionStatus& status);

  std::string_view name;
  const void* value;
  Convert convert;
};

template <typename T>
[[nodiscard]] RequestArgument requestArgument(std::string_view name, const T& value) {
  return RequestArgument{name, &value,
                         [](ValueNode& output, const void* native, const TypeRegistry* registry,
                            ConversionStatus& status) {
                           NativeType<T>::toValue(output, *static_cast<const T*>(native),
                                                  namedTypeOf<T>(registry), registry, status);
                         }};
}

}  // namespace zel

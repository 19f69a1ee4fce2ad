#include "api/outcome.h"

#include "api/messages.h"

namespace zel {

ErrorOutcome failure(std::string message, std::uint32_t status) {
  ErrorOutcome error;
  error.message = std::move(message);
  error.status = status;
  return error;
}

ErrorOutcome notFound(std::string_view message) {
  return failure(
      std::string(message.empty() ? std::string_view(api::messages::kNotFound) : message), 404);
}

}  // namespace zel

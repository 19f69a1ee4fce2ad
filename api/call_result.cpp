#include "api/call_result.h"

namespace zel {

void CallResult::setError(std::string_view message) {
  result.setError(message);
  stream.reset();
}

}  // namespace zel

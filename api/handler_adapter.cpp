#include "api/handler_adapter.h"

namespace zel::api::internal {

const CallInfo& emptyCallInfo() noexcept {
  static const CallInfo info;
  return info;
}

void deliverSuccess(CallResult& call) {
  call.passThrough = 0;
  call.passThroughCode = 0;
  call.status = 0;
  call.reason.clear();
  call.headers.clear();
}

void deliverError(CallResult& call, ErrorOutcome&& error) {
  call.setError(error.message);
  call.passThrough = error.passThrough;
  call.passThroughCode = error.passThroughCode;
  call.status = error.status;
  call.reason = std::move(error.reason);
  call.headers.clear();
  for (auto& header : error.headers) {
    call.headers.insert_or_assign(std::move(header.first), std::move(header.second));
  }
}

}  // namespace zel::api::internal

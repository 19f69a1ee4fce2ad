// What the logger may do to a LogTarget that other code may not: mark it
// attached while the logger itself holds its lock (attach() would take it
// again).
#pragma once

namespace zel {
class LogTarget;
}

namespace zel::diagnostics::internal {

void markAttached(LogTarget& target, bool attached);

}  // namespace zel::diagnostics::internal

// Matchers over the text a child process or a death test left on its output.
#pragma once

#include <string>
#include <vector>

#include <gmock/gmock.h>

namespace zel::host::testing_support {

// Every piece occurs in the text, each after the end of the one before.
MATCHER_P(ContainsInOrder, pieces, "contains, in this order, " + ::testing::PrintToString(pieces)) {
  std::size_t from = 0;
  for (const std::string& piece : pieces) {
    std::size_t found = arg.find(piece, from);
    if (found == std::string::npos) {
      *result_listener << "missing after offset " << from << ": " << piece;
      return false;
    }
    from = found + piece.size();
  }
  return true;
}

// The report the plugin writes to standard error before it ends the process
// because the host speaks another plugin API.
inline std::vector<std::string> incompatibleVersionReport(const std::string& hostVersion) {
  return {"Assertion failed!", "Expression: ALE-EECF0606",
          "Description: zel-maps which supports plugin API 18.0.0 is not compatible with core's "
          "plugin API " +
              hostVersion};
}

}  // namespace zel::host::testing_support

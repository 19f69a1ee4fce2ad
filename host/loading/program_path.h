// Where the running program's file is, from the operating system (not from
// argv[0], which may be a bare name found on PATH). The dev tool finds its
// data relative to it. The only host code besides dynamic_library.cpp that
// sees the platform's headers.
//
//   std::filesystem::path bin = programPath().parent_path();
#pragma once

#include <filesystem>

namespace zel::host {

// The absolute path of the running program; empty when the system will not say.
std::filesystem::path programPath();

}  // namespace zel::host

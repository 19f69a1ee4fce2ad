// The operating system's loader behind PluginLibrary: open a shared library
// by path, find a symbol, close it. The only host code that sees the
// platform's loader headers.
//
//   std::string error;
//   void* library = internal::openLibrary("zel_maps.dll", error);
//   void* symbol = internal::findSymbol(library, "load_zel_maps", error);
//   internal::closeLibrary(library);
#pragma once

#include <string>

namespace zel::host::internal {

// Null on failure, with the loader's reason in error.
void* openLibrary(const char* path, std::string& error);
void* findSymbol(void* library, const char* name, std::string& error);
void closeLibrary(void* library);

}  // namespace zel::host::internal

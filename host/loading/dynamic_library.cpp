#include "host/loading/dynamic_library.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zel::host::internal {

#if defined(_WIN32)

namespace {

std::string lastErrorText() {
  DWORD code = GetLastError();
  char buffer[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, buffer, sizeof buffer, nullptr);
  while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r')) --length;
  std::string text(buffer, length);
  if (!text.empty()) text += " ";
  return text + "(error " + std::to_string(code) + ")";
}

}  // namespace

void* openLibrary(const char* path, std::string& error) {
  HMODULE module = LoadLibraryA(path);
  if (module == nullptr) error = lastErrorText();
  return reinterpret_cast<void*>(module);
}

void* findSymbol(void* library, const char* name, std::string& error) {
  FARPROC symbol = GetProcAddress(static_cast<HMODULE>(library), name);
  if (symbol == nullptr) error = lastErrorText();
  return reinterpret_cast<void*>(symbol);
}

void closeLibrary(void* library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

#else

void* openLibrary(const char* path, std::string& error) {
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "unknown error";
  }
  return library;
}

void* findSymbol(void* library, const char* name, std::string& error) {
  dlerror();
  void* symbol = dlsym(library, name);
  if (symbol == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "symbol is null";
  }
  return symbol;
}

void closeLibrary(void* library) {
  if (library != nullptr) dlclose(library);
}

#endif

}  // namespace zel::host::internal

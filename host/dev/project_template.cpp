#include "host/dev/project_template.h"

#include <cstddef>

namespace zel::host {

namespace {

// The files, with @NAME@ (short name), @FILE@ (file name), @CLASS@ (class
// name) and @SDK@ (the SDK's prefix) to fill in.
constexpr std::string_view kCMakeLists =
    R"zel(# @NAME@: a plugin built against the installed zel SDK (see README.md).
cmake_minimum_required(VERSION 3.25)
project(@FILE@ VERSION 0.1.0 LANGUAGES CXX)

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

find_package(ZelSdk 1.1 REQUIRED)
find_package(GTest CONFIG REQUIRED)

add_library(@FILE@ SHARED @FILE@_plugin.cpp)
target_compile_options(@FILE@ PRIVATE -Wall -Wextra)
# Links the SDK, names the file @FILE@ and exports only load_@FILE@.
zel_plugin_library(@FILE@ NAME @NAME@)

# The plugin's own tests, on the SDK's GoogleTest fixture: @FILE@_test PLUGIN_LIBRARY.
add_executable(@FILE@_test @FILE@_test.cpp)
target_compile_options(@FILE@_test PRIVATE -Wall -Wextra)
target_link_libraries(@FILE@_test PRIVATE ZelSdk::host_fakes GTest::gtest)
enable_testing()
add_test(NAME @FILE@_test COMMAND @FILE@_test $<TARGET_FILE:@FILE@>)
)zel";

constexpr std::string_view kHeader =
    R"zel(// @CLASS@Plugin: the plugin object of @NAME@. It keeps a list of items in
// memory from load to shutdown.
//
//   GET  /@NAME@/v1/items[?name=N]   every item, or those named N
//   GET  /@NAME@/v1/items/{id}       one item; 404 when there is none
//   POST /@NAME@/v1/items            adds the body's item; 400 without a name
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "api/outcome.h"
#include "binding/value.h"
#include "plugin/plugin_base.h"

namespace zel::@FILE@ {

struct Item {
  std::int64_t id = 0;  // given by the plugin
  std::string name;
  std::optional<std::string> note;
};

class @CLASS@Plugin final : public PluginBase {
 public:
  void registerApi() override;

  [[nodiscard]] std::vector<Item> listItems(const BindingValue& query,
                                            const std::optional<std::string>& name);
  [[nodiscard]] Outcome<Item> getItem(std::int64_t id);
  [[nodiscard]] Outcome<Item> addItem(Item item);

 private:
  // Guards the items; never held while the plugin calls the host.
  std::mutex mutex_;
  std::vector<Item> items_;
  std::int64_t nextId_ = 1;
};

}  // namespace zel::@FILE@
)zel";

constexpr std::string_view kSource = R"zel(#include "@FILE@_plugin.h"

#include "api/route_declarer.h"
#include "diagnostics/format.h"
#include "diagnostics/log_level.h"
#include "diagnostics/log_tags.h"
#include "diagnostics/logger.h"
#include "plugin/entry.h"

namespace zel::@FILE@ {

void @CLASS@Plugin::registerApi() {
  registry()
      .registerStruct<Item>("@CLASS@Item")
      .field("id", &Item::id, "Given by the plugin")
      .field("name", &Item::name, "What the item is called", FieldFlags::Required)
      .field("note", &Item::note, "Anything else, when there is something");

  RouteDeclarer routes(*this);
  routes.setPluginVersion("0.1.0");
  // A route that reads the query captures it whole with "{+query}".
  routes.declare(HttpMethod::Get, "/@NAME@/v1/items{+query}", &@CLASS@Plugin::listItems)
      .pathArgument("query")
      .queryArgument("name", "Only the items of this name");
  routes.declare(HttpMethod::Get, "/@NAME@/v1/items/{id}", &@CLASS@Plugin::getItem)
      .pathArgument("id", "The item's id")
      .errors({{404, "No item has this id"}});
  routes.declare(HttpMethod::Post, "/@NAME@/v1/items", &@CLASS@Plugin::addItem)
      .bodyArgument("item", "The item to add")
      .errors({{400, "The item has no name"}});
}

std::vector<Item> @CLASS@Plugin::listItems(const BindingValue&,
                                          const std::optional<std::string>& name) {
  std::lock_guard lock(mutex_);
  std::vector<Item> found;
  for (const Item& item : items_) {
    if (!name || item.name == *name) found.push_back(item);
  }
  return found;
}

Outcome<Item> @CLASS@Plugin::getItem(std::int64_t id) {
  std::lock_guard lock(mutex_);
  for (const Item& item : items_) {
    if (item.id == id) return item;
  }
  return notFound(formatPositional("No item with id %1", id));
}

Outcome<Item> @CLASS@Plugin::addItem(Item item) {
  if (item.name.empty()) return failure("An item needs a name", 400);
  {
    std::lock_guard lock(mutex_);
    item.id = nextId_++;
    items_.push_back(item);
  }
  log(kLogOkay, kTagDbg, "Item %1 added", item.id);
  return item;
}

}  // namespace zel::@FILE@

// load_@FILE@, named by zel_plugin_library(... NAME @NAME@).
ZEL_PLUGIN_ENTRY(zel::@FILE@::@CLASS@Plugin)
)zel";

constexpr std::string_view kTest =
    R"zel(// The plugin's own tests, on the SDK's GoogleTest fixture: each test loads
// the built library afresh under the SDK's recording host, as the platform's
// host does. Run as @FILE@_test PLUGIN_LIBRARY (ctest passes it).
#include "host/fakes/plugin_test.h"

namespace zel::host {
namespace {

class @CLASS@Test : public PluginTest {};

TEST_F(@CLASS@Test, AddsAnItemAndFindsItById) {
  PluginReply added = post("/@NAME@/v1/items", R"({"name": "lamp"})");
  ASSERT_FALSE(added.error) << *added.error;
  EXPECT_EQ(added.json(), R"({"id": 1, "name": "lamp"})");
  EXPECT_EQ(host().logs().back().text, "Item 1 added");
  EXPECT_EQ(get("/@NAME@/v1/items/1").json(), R"({"id": 1, "name": "lamp"})");

  PluginReply missing = get("/@NAME@/v1/items/2");
  EXPECT_EQ(missing.status, 404u);
  EXPECT_EQ(missing.error, "No item with id 2");
}

TEST_F(@CLASS@Test, ListsEveryItemOrThoseOfOneName) {
  post("/@NAME@/v1/items", R"({"name": "lamp"})");
  post("/@NAME@/v1/items", R"({"name": "desk", "note": "oak"})");
  EXPECT_EQ(get("/@NAME@/v1/items").body.elements.size(), 2u);
  EXPECT_EQ(get("/@NAME@/v1/items?name=desk").json(),
            R"([{"id": 2, "name": "desk", "note": "oak"}])");
}

TEST_F(@CLASS@Test, RefusesAnItemWithoutAName) {
  PluginReply empty = post("/@NAME@/v1/items", R"({"name": ""})");
  EXPECT_EQ(empty.status, 400u);
  EXPECT_EQ(empty.error, "An item needs a name");
  EXPECT_EQ(post("/@NAME@/v1/items", R"({"note": "nameless"})").status, 400u);
  EXPECT_EQ(get("/@NAME@/v1/items").json(), "[]");
}

}  // namespace
}  // namespace zel::host

int main(int argc, char** argv) {
  return zel::host::runPluginTests(argc, argv);
}
)zel";

constexpr std::string_view kReadme = R"zel(# @NAME@

A plugin for the platform's plugin host, written against the zel SDK. It keeps a list of items in memory:

| method | route | answer |
|---|---|---|
| GET | `/@NAME@/v1/items` | every item; `?name=N` only those named N |
| GET | `/@NAME@/v1/items/{id}` | the item; `No item with id N` with status 404 when there is none |
| POST | `/@NAME@/v1/items` | adds the body's item (`{"name": "lamp", "note": "oak"}`) and answers it with its id |

`@FILE@_plugin.cpp` declares the structure and the routes; `@FILE@_test.cpp` is the plugin's own test, on the
SDK's GoogleTest fixture (`host/fakes/plugin_test.h`). The SDK's guide, `docs/writing-a-plugin.md` in its
sources, says what else a plugin can do.

## Linux

```sh
ZEL_SDK=@SDK@
cmake -S . -B build -DCMAKE_PREFIX_PATH=$ZEL_SDK \
      -DCMAKE_TOOLCHAIN_FILE=$ZEL_SDK/lib/cmake/ZelSdk/toolchains/linux-x86.cmake
cmake --build build
ctest --test-dir build --output-on-failure
$ZEL_SDK/bin/zel-host serve --plugin build/@FILE@.so     # http://127.0.0.1:8080/docs
$ZEL_SDK/bin/zel-host call GET '/@NAME@/v1/items?name=lamp' --plugin build/@FILE@.so
```

## Windows

Install the SDK's Windows build, then configure with its prefix and the mingw-w64 toolchain; GoogleTest must be one
cross-built for mingw (`-DGTest_DIR=<its prefix>/lib/cmake/GTest`). The tests run under wine on Linux:

```sh
ZEL_SDK=<the Windows SDK's prefix>
cmake -S . -B build-win -DCMAKE_PREFIX_PATH=$ZEL_SDK \
      -DCMAKE_TOOLCHAIN_FILE=$ZEL_SDK/lib/cmake/ZelSdk/toolchains/mingw-i686.cmake \
      -DGTest_DIR=<GoogleTest for mingw>/lib/cmake/GTest -DCMAKE_CROSSCOMPILING_EMULATOR=wine
cmake --build build-win
ctest --test-dir build-win --output-on-failure
wine $ZEL_SDK/bin/zel-host.exe serve --plugin build-win/@FILE@.dll
```

The result is `@FILE@.dll`, which exports only `load_@FILE@`.
)zel";

// Replaces every @KEY@ of the template by its value.
std::string fill(std::string_view text, const ProjectNames& names, std::string_view sdkPrefix) {
  const std::pair<std::string_view, std::string_view> keys[] = {{"@NAME@", names.shortName},
                                                                {"@FILE@", names.fileName},
                                                                {"@CLASS@", names.className},
                                                                {"@SDK@", sdkPrefix}};
  std::string filled;
  filled.reserve(text.size() + text.size() / 8);
  std::size_t at = 0;
  while (at < text.size()) {
    bool replaced = false;
    if (text[at] == '@') {
      for (const auto& [key, value] : keys) {
        if (text.substr(at, key.size()) == key) {
          filled.append(value);
          at += key.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) filled.push_back(text[at++]);
  }
  return filled;
}

bool isLowerOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::optional<ProjectNames> projectNames(std::string_view name) {
  if (name.empty() || name.size() > 40 || name.front() < 'a' || name.front() > 'z' ||
      name.back() == '-') {
    return std::nullopt;
  }
  ProjectNames names;
  names.shortName = name;
  bool wordStart = true;
  char previous = 0;
  for (char c : name) {
    if (c == '-') {
      if (previous == '-') return std::nullopt;
      names.fileName.push_back('_');
      wordStart = true;
    } else if (isLowerOrDigit(c)) {
      names.fileName.push_back(c);
      names.className.push_back(wordStart && c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c);
      wordStart = false;
    } else {
      return std::nullopt;
    }
    previous = c;
  }
  return names;
}

std::vector<ProjectFile> projectFiles(const ProjectNames& names, std::string_view sdkPrefix) {
  const std::string& file = names.fileName;
  return {{"CMakeLists.txt", fill(kCMakeLists, names, sdkPrefix)},
          {file + "_plugin.h", fill(kHeader, names, sdkPrefix)},
          {file + "_plugin.cpp", fill(kSource, names, sdkPrefix)},
          {file + "_test.cpp", fill(kTest, names, sdkPrefix)},
          {"README.md", fill(kReadme, names, sdkPrefix)}};
}

}  // namespace zel::host

// What the document tests share: a document's values found by a path of
// keys, and the real plugin's catalogue as both documents read it.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "host/dev/documents/describe_document.h"
#include "host/host_value.h"
#include "host/plugin_host.h"

namespace zel::host::testing_support {

// Follows a path of keys through nested structures; null when one is missing.
inline const HostValue* at(const HostValue& root, std::initializer_list<std::string_view> path) {
  const HostValue* value = &root;
  for (std::string_view key : path) {
    value = value->find(key);
    if (value == nullptr) return nullptr;
  }
  return value;
}

inline std::string textAt(const HostValue& root, std::initializer_list<std::string_view> path) {
  const HostValue* value = at(root, path);
  return value != nullptr ? value->bytes : std::string("<absent>");
}

class PluginDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.load(kDefaultHostVersion)) << host_.error();
    catalog_ = readApiCatalog(host_.description());
  }

  PluginHost host_{PluginLibrary::open(ZEL_PLUGIN_PATH)};
  ApiCatalog catalog_;
  ApiDocumentInfo info_{"zel-maps", "18.0.0"};
};

}  // namespace zel::host::testing_support

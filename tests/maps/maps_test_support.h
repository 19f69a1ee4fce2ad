// Shared helpers of the maps unit tests: records from JSON text.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "binding/convert_native.h"
#include "binding/type_registry.h"
#include "formats/json_reader.h"
#include "maps/maps_resource.h"

namespace zel::maps::testing_support {

class MapsRegistry : public ::testing::Test {
 protected:
  MapsRegistry() { registerMapsTypes(registry, "ZelMaps"); }

  // Converts JSON text into record; returns the conversion's error text.
  std::string convertInto(MapsResource& record, const char* json) {
    const BindingValue value = readJson(json);
    EXPECT_TRUE(value.ok()) << value.errorMessage();
    ConversionStatus status;
    toNative(status, record, value, "<value>", &registry);
    return std::string(status.errorMessage());
  }

  MapsResource record(const char* json) {
    MapsResource result;
    EXPECT_EQ(convertInto(result, json), "");
    return result;
  }

  TypeRegistry registry;
};

}  // namespace zel::maps::testing_support

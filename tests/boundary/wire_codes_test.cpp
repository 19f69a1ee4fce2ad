// The numbers both sides of the host boundary agree on. Plugin and host take
// them from the same headers, so a renumbered code passes every other test
// while a host built against the published numbers misreads it.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "boundary/description_records.h"
#include "boundary/flat_value.h"
// The records' sizes and offsets are checked where they are declared; these
// two bring those checks into the boundary's own test.
#include "boundary/host_api.h"
#include "boundary/host_messages.h"
#include "boundary/log_level_codes.h"
#include "boundary/method_codes.h"

namespace zel {
namespace {

// Each family numbers its codes 0, 1, 2... in the order listed here.
TEST(WireCodes, KeepTheirPublishedNumbers) {
  const std::int64_t typeKinds[] = {
      kTypeKindNone,   kTypeKindBool,   kTypeKindInt8,   kTypeKindUInt8,    kTypeKindInt16,
      kTypeKindUInt16, kTypeKindInt32,  kTypeKindUInt32, kTypeKindInt64,    kTypeKindUInt64,
      kTypeKindFloat,  kTypeKindDouble, kTypeKindString, kTypeKindObject,   kTypeKindBlob,
      kTypeKindVector, kTypeKindEnum,   kTypeKindStruct, kTypeKindCallback, kTypeKindMap};
  const std::int64_t locations[] = {kLocationAny,      kLocationQuery,  kLocationPath,
                                    kLocationHostOnly, kLocationHeader, kLocationBody};
  const std::int64_t flatKinds[] = {
      std::int64_t(FlatKind::None),     std::int64_t(FlatKind::Bool),
      std::int64_t(FlatKind::Signed),   std::int64_t(FlatKind::Unsigned),
      std::int64_t(FlatKind::Float),    std::int64_t(FlatKind::StringRef),
      std::int64_t(FlatKind::String),   std::int64_t(FlatKind::BlobRef),
      std::int64_t(FlatKind::Blob),     std::int64_t(FlatKind::Collection),
      std::int64_t(FlatKind::Structure)};
  const std::int64_t logLevels[] = {kLogLevelOkay, kLogLevelWarn, kLogLevelError, kLogLevelAlways};
  const std::int64_t methods[] = {kMethodNone, kMethodDelete,  kMethodGet,
                                  kMethodHead, kMethodOptions, kMethodPatch,
                                  kMethodPost, kMethodPut,     kMethodCustom};
  const std::span<const std::int64_t> families[] = {typeKinds, locations, flatKinds, logLevels,
                                                    methods};
  for (std::size_t family = 0; family < std::size(families); ++family) {
    for (std::size_t code = 0; code < families[family].size(); ++code) {
      EXPECT_EQ(families[family][code], std::int64_t(code)) << "family " << family;
    }
  }
}

TEST(WireCodes, NameTheirCodesAndNothingBeyond) {
  struct Row {
    std::string got;
    const char* expected;
  };
  const Row rows[] = {
      {logLevelCodeName(-1), ""},
      {logLevelCodeName(0), "  OKAY"},
      {logLevelCodeName(3), "ALWAYS"},
      {logLevelCodeName(4), ""},
      {methodCodeName(0), ""},
      {methodCodeName(1), "DELETE"},
      {methodCodeName(7), "PUT"},
      {methodCodeName(8), ""},
      {typeKindCodeName(0), ""},
      {typeKindCodeName(1), "bool"},
      {typeKindCodeName(19), "map"},
      {typeKindCodeName(20), ""},
      {typeKindCodeName(0xFFFFFFFF), ""},
  };
  for (const Row& row : rows) EXPECT_EQ(row.got, row.expected);
}

}  // namespace
}  // namespace zel

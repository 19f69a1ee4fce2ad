// A handler's outcome: a value or an error, each read back as it was given.
#include "api/outcome.h"

#include <gtest/gtest.h>

#include <string>

namespace zel {
namespace {

TEST(Outcome, HoldsTheValueOrTheErrorItWasGiven) {
  const Outcome<std::string> value = std::string("kept");
  ASSERT_TRUE(value.ok());
  EXPECT_EQ(value.value(), "kept");
  const Outcome<std::string> error = notFound();
  ASSERT_FALSE(error.ok());
  EXPECT_EQ(error.error().status, 404u);
}

}  // namespace
}  // namespace zel

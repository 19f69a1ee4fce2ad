// The allocation-free deep equality the reliability tests and fuzzers
// compare value trees with.
#include "host/sdk_fakes/value_equality.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zel::host {
namespace {

TEST(SameValueTest, KindsAndContentsMustBothAgree) {
  BindingValue one;
  one.setSigned(1);
  BindingValue nan;
  nan.setFloat(std::nan(""));

  EXPECT_TRUE(sameValue(one, one));
  EXPECT_FALSE(sameValue(BindingValue(), one)) << "nothing is not a number";
  EXPECT_TRUE(sameValue(nan, nan)) << "a copy keeps its NaN";
}

}  // namespace
}  // namespace zel::host

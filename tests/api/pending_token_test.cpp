// PendingToken (api/handler_adapter.h): the parameters a handler keeps
// between invoke and complete are owned by one token at a time and destroyed once.
#include "api/handler_adapter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

namespace zel {
namespace {

using api::internal::PendingToken;

struct Counted {
  explicit Counted(int v) : value(v) { ++alive; }
  ~Counted() { --alive; }
  int value;
  static inline int alive = 0;
};

TEST(PendingToken, OwnsItsObjectThroughMovesAndDestroysItOnce) {
  Counted::alive = 0;
  {
    PendingToken first = PendingToken::of(std::make_unique<Counted>(1));
    PendingToken second = std::move(first);
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(first.get<Counted>(), nullptr);
    ASSERT_NE(second.get<Counted>(), nullptr);
    EXPECT_EQ(second.get<Counted>()->value, 1);
    EXPECT_EQ(Counted::alive, 1);

    second = PendingToken::of(std::make_unique<Counted>(2));
    EXPECT_EQ(Counted::alive, 1) << "the object a move replaces is destroyed";
    EXPECT_EQ(second.get<Counted>()->value, 2);
    first = std::move(second);
    EXPECT_EQ(Counted::alive, 1);
    PendingToken& same = first;
    first = std::move(same);  // a move onto itself keeps the object
    ASSERT_NE(first.get<Counted>(), nullptr);
    EXPECT_EQ(first.get<Counted>()->value, 2);

    first.reset();
    EXPECT_EQ(Counted::alive, 0);
    EXPECT_TRUE(first.empty());
    first.reset();  // nothing left to destroy

    PendingToken dropped = PendingToken::of(std::make_unique<Counted>(3));
    EXPECT_EQ(Counted::alive, 1);
  }
  EXPECT_EQ(Counted::alive, 0) << "a dropped token destroys its object";
}

TEST(PendingToken, LendsItsObjectOnlyAsTheTypeItWasMadeAs) {
  const PendingToken token = PendingToken::of(std::make_unique<std::string>("kept"));
  EXPECT_FALSE(token.empty());
  EXPECT_EQ(token.get<int>(), nullptr);
  ASSERT_NE(token.get<std::string>(), nullptr);
  EXPECT_EQ(*token.get<std::string>(), "kept");

  EXPECT_TRUE(PendingToken::of(std::unique_ptr<int>()).empty());
  EXPECT_EQ(PendingToken{}.get<std::string>(), nullptr);
}

}  // namespace
}  // namespace zel

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

TEST(DictionarySmoke, AddsAnEntry) {
  TrialDatabase db;
  EXPECT_EQ(AddZhiYe(db.server(), "", "", "O'Neil", 7, 3), 0);
}

}  // namespace
}  // namespace wardlink::testing

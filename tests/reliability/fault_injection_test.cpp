// Every step of every guarded write made to fail in turn: a failure inside the transaction gives
// the guard's code, one outside gives -1 with the database's message, nothing runs after it, and
// every table is exactly as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include "db/db_error.h"
#include "db/statement_observer.h"
#include "tests/reliability/reliability_support.h"
#include "tests/test_support.h"

namespace wardlink::testing {
namespace {

class FaultInjection : public ::testing::TestWithParam<size_t> {};

TEST_P(FaultInjection, EachStepFailsWithNothingWritten) {
  const GuardedCase& guarded = GuardedCases()[GetParam()];
  int32_t result = -99;
  const std::vector<std::string> steps = StepsOf(guarded, result);
  ASSERT_EQ(result, 0) << "the write must succeed without a failure";
  const auto begin = std::find(steps.begin(), steps.end(), "BEGIN");
  ASSERT_NE(begin, steps.end());
  ASSERT_EQ(steps.back(), "COMMIT");
  const auto firstInside = static_cast<size_t>(begin - steps.begin()) + 1;

  for (size_t failing = 0; failing < steps.size(); ++failing) {
    SCOPED_TRACE("step " + std::to_string(failing) + ": " + steps[failing]);
    SeededDatabase db;
    Dump before;
    {
      SqliteFile file(db.path());
      guarded.seed(file);
      before = file.FullDump();
    }
    const std::string message = "injected failure at step " + std::to_string(failing);
    size_t seen = 0;
    FailureInjector previous = SetFailureInjector([&](std::string_view) {
      if (seen++ == failing) throw DbError(message);
    });
    const int32_t code = guarded.call(db.server());
    SetFailureInjector(std::move(previous));

    const bool inside = failing >= firstInside;
    EXPECT_EQ(code, inside ? guarded.guardCode : -1);
    EXPECT_EQ(LastErrorMessage(), message) << "the guard's code, too, comes with the reason";
    EXPECT_EQ(seen, failing + 1) << "a step ran after the failure";
    EXPECT_EQ(Describe(Difference(before, FullDump(db.path()))), "(no change)");
  }
  std::cout << "[ figures  ] " << guarded.name << ": " << steps.size() << " injection points"
            << (TestBackendIsOdbc() ? " over ODBC\n" : "\n");
}

INSTANTIATE_TEST_SUITE_P(GuardedWrites, FaultInjection,
                         ::testing::Range<size_t>(0, GuardedCases().size()), [](const auto& info) {
                           std::string name = GuardedCases()[info.param].name;
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !isalnum(c); }, '_');
                           return name;
                         });

}  // namespace
}  // namespace wardlink::testing

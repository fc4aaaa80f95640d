// The two lookup lists: joining and trimming, and the buffer written only on success.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

struct ListCase {
  std::vector<const char*> values;  // nullptr stores NULL
  std::string expected;

  friend void PrintTo(const ListCase& c, std::ostream* out) { *out << '"' << c.expected << '"'; }
};

std::string ReadTitles(const TrialDatabase& db, int32_t* result) {
  char buffer[256];
  std::memset(buffer, 'x', sizeof buffer);
  char* address = buffer;
  *result = GetZhiCheng(db.server(), "", "", &address);
  EXPECT_EQ(address, buffer) << "the caller's pointer variable must stay unchanged";
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

class LookupListJoining : public ::testing::TestWithParam<ListCase> {};

TEST_P(LookupListJoining, JoinsTrimmedValuesInServerOrder) {
  TrialDatabase db;
  for (const char* value : GetParam().values) {
    db.Exec(value == nullptr
                ? "INSERT INTO Emr_YiShengZhiCheng VALUES (NULL)"
                : "INSERT INTO Emr_YiShengZhiCheng VALUES ('" + std::string(value) + "')");
  }
  int32_t result = -2;
  EXPECT_EQ(ReadTitles(db, &result), GetParam().expected);
  EXPECT_EQ(result, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LookupListJoining,
    ::testing::Values(ListCase{{}, ""},
                      ListCase{{" Chief physician  ", "Resident"}, "Chief physician;Resident"},
                      ListCase{{"", "A", "", "B"}, "A;;B"}, ListCase{{"A", ""}, "A;"},
                      ListCase{{nullptr, "  ", "\t"}, ""}, ListCase{{nullptr, "A", nullptr}, "A;"},
                      ListCase{{"a;b", " inner  blanks "}, "a;b;inner  blanks"}));

TEST(LookupLists, ConditionDescriptionsReadTheirOwnTable) {
  TrialDatabase db;
  db.Exec("INSERT INTO Emr_BingQingMiaoShu VALUES ('stable'), (' critical ')");
  db.Exec("INSERT INTO Emr_YiShengZhiCheng VALUES ('not this one')");
  char buffer[64] = "untouched";
  char* address = buffer;
  StatementLog log;
  EXPECT_EQ(GetBingQingMiaoShu(db.server(), "", "", &address), 0);
  EXPECT_STREQ(buffer, "stable;critical");
  EXPECT_EQ(log.texts(),
            (std::vector<std::string>{"Select BingQingMiaoShu from Emr_BingQingMiaoShu"}));
}

TEST(LookupLists, BufferUntouchedWhenTheCallFails) {
  TrialDatabase db;
  char buffer[32] = "untouched";
  char* address = buffer;
  EXPECT_EQ(GetZhiCheng(MissingDatabaseServer().c_str(), "", "", &address), 1);
  EXPECT_STREQ(buffer, "untouched");

  db.Exec("DROP TABLE Emr_BingQingMiaoShu");
  EXPECT_EQ(GetBingQingMiaoShu(db.server(), "", "", &address), -1);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_NE(LastErrorMessage().find("Emr_BingQingMiaoShu"), std::string::npos);
}

}  // namespace
}  // namespace wardlink::testing

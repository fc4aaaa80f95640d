#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<std::string>;

class UnitsTest : public ::testing::Test {
 protected:
  const char* server() const { return db_.server(); }
  Rows Units() const {
    return db_.Rows("SELECT ID, UnitTypeID, UnitName, Memo FROM Emr_Unit ORDER BY ID");
  }
  // Everything the department exports could touch or consult.
  Rows AllRows() const {
    Rows rows = Units();
    for (const char* sql :
         {"SELECT * FROM Emr_User", "SELECT ZhuYuanNo, UnitID FROM Emr_Doc_Emr_Info",
          "SELECT * FROM Emr_illArea", "SELECT * FROM Emr_IllBed"}) {
      Rows more = db_.Rows(sql);
      rows.insert(rows.end(), more.begin(), more.end());
    }
    return rows;
  }

  TrialDatabase db_;
};

// --- statement texts and stored values ---

TEST_F(UnitsTest, AddSendsTheCheckAndTheInsertAndStoresQuotesAndBlanksAsGiven) {
  StatementLog log;
  ASSERT_EQ(AddUnit(server(), "", "", 5, -2, " O'Brien's ", "  "), 0);
  EXPECT_EQ(log.texts(), (Texts{"Select * from Emr_Unit Where ID=5",
                                "Insert Into Emr_Unit(ID,UnitTypeID,UnitName,Memo) "
                                "Values(5,-2,' O''Brien''s ','  ')"}));
  EXPECT_EQ(Units(), (Rows{{"5", "-2", " O'Brien's ", "  "}}));
}

TEST_F(UnitsTest, NullNameAndMemoAreStoredAsEmptyTexts) {
  ASSERT_EQ(AddUnit(server(), "", "", -7, 0, nullptr, nullptr), 0);
  EXPECT_EQ(Units(), (Rows{{"-7", "0", "", ""}}));
}

TEST_F(UnitsTest, UpdateRewritesNameTypeAndMemoOfThatDepartmentOnly) {
  db_.Exec("INSERT INTO Emr_Unit VALUES (1, 1, 'Surgery', 'old'), (2, 1, 'Medicine', 'keep')");
  StatementLog log;
  ASSERT_EQ(UpdateUnit(server(), "", "", 1, -3, "Surgery 'B'", nullptr), 0);
  EXPECT_EQ(
      log.texts(),
      (Texts{"Select * from Emr_Unit Where ID=1",
             "Update Emr_Unit Set UnitName='Surgery ''B''',UnitTypeID=-3,Memo='' Where ID=1"}));
  EXPECT_EQ(Units(), (Rows{{"1", "-3", "Surgery 'B'", ""}, {"2", "1", "Medicine", "keep"}}));
}

TEST_F(UnitsTest, DeleteChecksUsersRecordsAndWardsThenDeletes) {
  db_.Exec("INSERT INTO Emr_Unit VALUES (-4, 1, 'Gone', ''), (2, 1, 'Stays', '')");
  StatementLog log;
  ASSERT_EQ(DeleteUnit(server(), "", "", -4), 0);
  EXPECT_EQ(log.texts(),
            (Texts{"Select * from Emr_Unit Where ID=-4", "Select * from Emr_User Where UnitID=-4",
                   "Select * from Emr_Doc_Emr_Info Where UnitID=-4",
                   "Select * from Emr_illArea Where UnitID=-4", "Delete Emr_Unit Where ID=-4"}));
  EXPECT_EQ(Units(), (Rows{{"2", "1", "Stays", ""}}));
}

// --- refusals write nothing; the first check that fires wins ---

TEST_F(UnitsTest, AddOfAnExistingIdIsRefusedAndKeepsTheRow) {
  db_.Exec("INSERT INTO Emr_Unit VALUES (1, 1, 'Surgery', 'memo')");
  StatementLog log;
  EXPECT_EQ(AddUnit(server(), "", "", 1, 9, "Other", "other"), 2);
  EXPECT_EQ(log.texts(), (Texts{"Select * from Emr_Unit Where ID=1"}));
  EXPECT_EQ(Units(), (Rows{{"1", "1", "Surgery", "memo"}}));
}

TEST_F(UnitsTest, UpdateOfAMissingIdIsRefusedAndCreatesNothing) {
  db_.Exec("INSERT INTO Emr_Unit VALUES (1, 1, 'Surgery', 'memo')");
  EXPECT_EQ(UpdateUnit(server(), "", "", 2, 1, "New", ""), 2);
  EXPECT_EQ(Units(), (Rows{{"1", "1", "Surgery", "memo"}}));
}

TEST_F(UnitsTest, DeleteOfAMissingIdGives2EvenWhenOtherTablesNameIt) {
  db_.Exec("INSERT INTO Emr_User (UserID, UnitID) VALUES ('u1', 8)");
  db_.Exec("INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, UnitID) VALUES ('Z1', 8)");
  db_.Exec("INSERT INTO Emr_illArea VALUES (8, 81, 'Ward')");
  Rows before = AllRows();
  StatementLog log;
  EXPECT_EQ(DeleteUnit(server(), "", "", 8), 2);
  EXPECT_EQ(log.texts(), (Texts{"Select * from Emr_Unit Where ID=8"}));
  EXPECT_EQ(AllRows(), before);
}

// --- references that block a delete ---

struct Reference {
  const char* what;
  const char* insert;
  size_t checksRun;  // statements sent up to and including the check that finds it
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const Reference& value, std::ostream* out) { *out << value.what; }

class UnitReferencesTest : public UnitsTest, public ::testing::WithParamInterface<Reference> {};

TEST_P(UnitReferencesTest, BlocksTheDeleteAndLaterChecksDoNotRun) {
  db_.Exec("INSERT INTO Emr_Unit VALUES (3, 1, 'Busy', '')");
  db_.Exec(GetParam().insert);
  Rows before = AllRows();
  StatementLog log;
  EXPECT_EQ(DeleteUnit(server(), "", "", 3), 3);
  const Texts allChecks{
      "Select * from Emr_Unit Where ID=3", "Select * from Emr_User Where UnitID=3",
      "Select * from Emr_Doc_Emr_Info Where UnitID=3", "Select * from Emr_illArea Where UnitID=3"};
  EXPECT_EQ(log.texts(), Texts(allChecks.begin(), allChecks.begin() + GetParam().checksRun));
  EXPECT_EQ(AllRows(), before);
}

INSTANTIATE_TEST_SUITE_P(
    EachReferringTable, UnitReferencesTest,
    ::testing::Values(
        Reference{"User", "INSERT INTO Emr_User (UserID, UnitID) VALUES ('u1', 3)", 2},
        Reference{"Record", "INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, UnitID) VALUES ('Z1', 3)", 3},
        Reference{"Ward", "INSERT INTO Emr_illArea VALUES (3, 31, 'Ward')", 4},
        // A user and a ward together: the user check answers, the ward check is never sent.
        Reference{"UserAndWard",
                  "INSERT INTO Emr_User (UserID, UnitID) VALUES ('u1', 3);"
                  "INSERT INTO Emr_illArea VALUES (3, 31, 'Ward')",
                  2}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(UnitsTest, BedsDictionariesAndOtherDepartmentsDoNotBlockADelete) {
  db_.Exec("INSERT INTO Emr_Unit VALUES (3, 1, 'Going', ''), (4, 1, 'Other', '')");
  db_.Exec("INSERT INTO Emr_IllBed VALUES (3, 31, 301, 'Bed left behind')");
  db_.Exec("INSERT INTO Emr_ZhiYe VALUES (3, 3, 'Teacher')");
  db_.Exec("INSERT INTO Emr_User (UserID, UnitID) VALUES ('u4', 4)");
  db_.Exec("INSERT INTO Emr_illArea VALUES (4, 41, 'Ward of 4')");
  EXPECT_EQ(DeleteUnit(server(), "", "", 3), 0);
  EXPECT_EQ(Units(), (Rows{{"4", "1", "Other", ""}}));
  EXPECT_EQ(db_.Count("Emr_IllBed", "UnitID = 3"), 1);
  EXPECT_EQ(db_.Count("Emr_ZhiYe", "ID = 3"), 1);
}

// --- connection step and unguarded errors ---

TEST(UnitsConnection, MissingDatabaseGives1ForEveryDepartmentExport) {
  const std::string server = MissingDatabaseServer();
  EXPECT_EQ(AddUnit(server.c_str(), "", "", 1, 1, "A", ""), 1);
  EXPECT_EQ(UpdateUnit(server.c_str(), "", "", 1, 1, "A", ""), 1);
  EXPECT_EQ(DeleteUnit(server.c_str(), "", "", 1), 1);
}

TEST_F(UnitsTest, AMissingReferringTableIsAnUnguardedErrorAndDeletesNothing) {
  db_.Exec("INSERT INTO Emr_Unit VALUES (3, 1, 'Kept', '')");
  db_.Exec("DROP TABLE Emr_illArea");
  EXPECT_EQ(DeleteUnit(server(), "", "", 3), -1);
  EXPECT_NE(LastErrorMessage(), "");
  EXPECT_EQ(Units(), (Rows{{"3", "1", "Kept", ""}}));
}

}  // namespace
}  // namespace wardlink::testing

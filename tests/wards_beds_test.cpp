#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<std::string>;

// Departments 1 and 2; ward 11 in department 1 with beds 1101 and 1102; ward 21 in department 2
// with bed 2101.
class WardsBedsTest : public ::testing::Test {
 protected:
  WardsBedsTest() {
    db_.Exec("INSERT INTO Emr_Unit VALUES (1, 1, 'Medicine', ''), (2, 1, 'Surgery', '')");
    db_.Exec("INSERT INTO Emr_illArea VALUES (1, 11, 'Ward 11'), (2, 21, 'Ward 21')");
    db_.Exec(
        "INSERT INTO Emr_IllBed VALUES (1, 11, 1101, 'Bed 1'), (1, 11, 1102, 'Bed 2'), "
        "(2, 21, 2101, 'Bed 3')");
  }

  const char* server() const { return db_.server(); }
  Rows Wards() const { return db_.Rows("SELECT UnitID, ID, iaName FROM Emr_illArea ORDER BY ID"); }
  Rows Beds() const {
    return db_.Rows("SELECT UnitID, illAreaID, ID, ibName FROM Emr_IllBed ORDER BY ID");
  }

  TrialDatabase db_;
};

const Rows kInitialWards{{"1", "11", "Ward 11"}, {"2", "21", "Ward 21"}};
const Rows kInitialBeds{
    {"1", "11", "1101", "Bed 1"}, {"1", "11", "1102", "Bed 2"}, {"2", "21", "2101", "Bed 3"}};

// --- statement texts and stored values ---

TEST_F(WardsBedsTest, AddIllBedSendsTheExampleStatementByteForByte) {
  db_.Exec("INSERT INTO Emr_Unit VALUES (3, 1, 'Paediatrics', '')");
  db_.Exec("INSERT INTO Emr_illArea VALUES (3, 12, 'Ward 12')");
  StatementLog log;
  ASSERT_EQ(AddIllBed(server(), "", "", 3, 12, 1201, "A'1"), 0);
  EXPECT_EQ(log.texts(), (Texts{"Select ID from Emr_Unit Where ID=3",
                                "Select ID from Emr_illArea Where UnitID=3 and ID=12",
                                "Select * from Emr_IllBed Where ID=1201",
                                "Insert Into Emr_IllBed(UnitID,illAreaID,ID,ibName) "
                                "Values(3,12,1201,'A''1')"}));
  EXPECT_EQ(db_.Rows("SELECT UnitID, illAreaID, ID, ibName FROM Emr_IllBed WHERE ID = 1201"),
            (Rows{{"3", "12", "1201", "A'1"}}));
}

TEST_F(WardsBedsTest, WardStatementsCarryNegativeNumbersAndUntrimmedQuotedNames) {
  db_.Exec("INSERT INTO Emr_Unit VALUES (-5, 1, 'Negative', '')");
  StatementLog log;
  ASSERT_EQ(AddIllArea(server(), "", "", -5, -51, " It's "), 0);
  ASSERT_EQ(UpdateIllArea(server(), "", "", -5, -51, "  'x'  "), 0);
  ASSERT_EQ(DeleteIllArea(server(), "", "", -51), 0);
  EXPECT_EQ(log.texts(),
            (Texts{"Select ID from Emr_Unit Where ID=-5", "Select ID from Emr_illArea Where ID=-51",
                   "Insert Into Emr_illArea(UnitID,ID,iaName) Values(-5,-51,' It''s ')",
                   "Select ID from Emr_Unit Where ID=-5", "Select ID from Emr_illArea Where ID=-51",
                   "Update Emr_illArea Set UnitID=-5,iaName='  ''x''  ' Where ID=-51",
                   "Select * from Emr_illArea Where ID=-51", "Delete Emr_illArea Where ID=-51"}));
}

TEST_F(WardsBedsTest, NamesAreStoredUntrimmedAndNullAsEmpty) {
  ASSERT_EQ(AddIllArea(server(), "", "", 1, 12, "  Ward 'twelve'  "), 0);
  ASSERT_EQ(AddIllArea(server(), "", "", 1, 13, nullptr), 0);
  ASSERT_EQ(AddIllBed(server(), "", "", 1, 12, 1201, " b'1 "), 0);
  ASSERT_EQ(AddIllBed(server(), "", "", 1, 12, -1202, nullptr), 0);
  // A colon inside a name is text, not the mark of a parameter.
  ASSERT_EQ(AddIllBed(server(), "", "", 1, 12, 1203, "Bed :a, (b)"), 0);
  EXPECT_EQ(db_.Rows("SELECT iaName FROM Emr_illArea WHERE ID IN (12, 13) ORDER BY ID"),
            (Rows{{"  Ward 'twelve'  "}, {""}}));
  EXPECT_EQ(db_.Rows("SELECT ID, ibName FROM Emr_IllBed WHERE illAreaID = 12 ORDER BY ID"),
            (Rows{{"-1202", ""}, {"1201", " b'1 "}, {"1203", "Bed :a, (b)"}}));
}

TEST_F(WardsBedsTest, BedUpdateAndDeleteSendTheirStatements) {
  StatementLog log;
  ASSERT_EQ(UpdateIllBed(server(), "", "", 1102, "Bed 'two' "), 0);
  ASSERT_EQ(DeleteIllBed(server(), "", "", 1101), 0);
  EXPECT_EQ(log.texts(),
            (Texts{"Select * from Emr_IllBed Where ID=1102",
                   "Update Emr_IllBed Set ibName='Bed ''two'' ' Where ID=1102",
                   "Select * from Emr_IllBed Where ID=1101", "Delete Emr_IllBed Where ID=1101"}));
  EXPECT_EQ(Beds(), (Rows{{"1", "11", "1102", "Bed 'two' "}, {"2", "21", "2101", "Bed 3"}}));
}

// --- moves and deletions leave the other rows as they were ---

TEST_F(WardsBedsTest, AWardMovedToAnotherDepartmentKeepsItsBedsUnitId) {
  ASSERT_EQ(UpdateIllArea(server(), "", "", 2, 11, "Ward 11 (moved)"), 0);
  EXPECT_EQ(Wards(), (Rows{{"2", "11", "Ward 11 (moved)"}, {"2", "21", "Ward 21"}}));
  EXPECT_EQ(Beds(), kInitialBeds);
}

TEST_F(WardsBedsTest, ADeletedWardLeavesItsBeds) {
  ASSERT_EQ(DeleteIllArea(server(), "", "", 11), 0);
  EXPECT_EQ(Wards(), (Rows{{"2", "21", "Ward 21"}}));
  EXPECT_EQ(Beds(), kInitialBeds);
}

TEST_F(WardsBedsTest, ABedUpdateChangesOnlyItsName) {
  ASSERT_EQ(UpdateIllBed(server(), "", "", 2101, ""), 0);
  EXPECT_EQ(
      Beds(),
      (Rows{{"1", "11", "1101", "Bed 1"}, {"1", "11", "1102", "Bed 2"}, {"2", "21", "2101", ""}}));
  EXPECT_EQ(Wards(), kInitialWards);
}

// --- order of checks: where two would fire, the first wins; refusals write nothing ---

struct Refusal {
  const char* what;
  std::function<int32_t(const char* server)> call;
  int32_t expected;
  size_t statements;  // checks sent before the refusal
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const Refusal& value, std::ostream* out) { *out << value.what; }

class WardBedRefusalTest : public WardsBedsTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(WardBedRefusalTest, FirstFailingCheckGivesTheCodeAndNothingIsWritten) {
  StatementLog log;
  EXPECT_EQ(GetParam().call(server()), GetParam().expected);
  EXPECT_EQ(log.texts().size(), GetParam().statements);
  for (const auto& text : log.texts()) EXPECT_TRUE(text.starts_with("Select ")) << text;
  EXPECT_EQ(Wards(), kInitialWards);
  EXPECT_EQ(Beds(), kInitialBeds);
}

INSTANTIATE_TEST_SUITE_P(
    CheckOrder, WardBedRefusalTest,
    ::testing::Values(
        Refusal{"AddWardUnknownUnitBeforeTakenNumber",
                [](const char* s) { return AddIllArea(s, "", "", 9, 11, "W"); }, 2, 1},
        Refusal{"AddWardNumberTakenInAnotherUnit",
                [](const char* s) { return AddIllArea(s, "", "", 2, 11, "W"); }, 3, 2},
        Refusal{"UpdateWardUnknownUnitBeforeMissingWard",
                [](const char* s) { return UpdateIllArea(s, "", "", 9, 99, "W"); }, 2, 1},
        Refusal{"UpdateWardMissing",
                [](const char* s) { return UpdateIllArea(s, "", "", 1, 99, "W"); }, 3, 2},
        Refusal{"DeleteWardMissing", [](const char* s) { return DeleteIllArea(s, "", "", 99); }, 2,
                1},
        Refusal{"AddBedUnknownUnitBeforeWardAndTakenNumber",
                [](const char* s) { return AddIllBed(s, "", "", 9, 11, 1101, "B"); }, 2, 1},
        Refusal{"AddBedWardOfAnotherUnitBeforeTakenNumber",
                [](const char* s) { return AddIllBed(s, "", "", 2, 11, 1101, "B"); }, 3, 2},
        Refusal{"AddBedMissingWard",
                [](const char* s) { return AddIllBed(s, "", "", 1, 99, 1199, "B"); }, 3, 2},
        Refusal{"AddBedNumberTakenInAnotherWard",
                [](const char* s) { return AddIllBed(s, "", "", 1, 11, 2101, "B"); }, 4, 3},
        Refusal{"UpdateBedMissing", [](const char* s) { return UpdateIllBed(s, "", "", 99, "B"); },
                2, 1},
        Refusal{"DeleteBedMissing", [](const char* s) { return DeleteIllBed(s, "", "", 99); }, 2,
                1}),
    [](const auto& info) { return std::string(info.param.what); });

// --- connection step ---

TEST(WardsBedsConnection, MissingDatabaseGives1ForEveryWardAndBedExport) {
  const std::string server = MissingDatabaseServer();
  const char* s = server.c_str();
  EXPECT_EQ(AddIllArea(s, "", "", 1, 11, "W"), 1);
  EXPECT_EQ(UpdateIllArea(s, "", "", 1, 11, "W"), 1);
  EXPECT_EQ(DeleteIllArea(s, "", "", 11), 1);
  EXPECT_EQ(AddIllBed(s, "", "", 1, 11, 1101, "B"), 1);
  EXPECT_EQ(UpdateIllBed(s, "", "", 1101, "B"), 1);
  EXPECT_EQ(DeleteIllBed(s, "", "", 1101), 1);
}

}  // namespace
}  // namespace wardlink::testing

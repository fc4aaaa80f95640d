#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/schema.h"
#include "tests/test_support.h"
#include "tests/victim_args.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

const std::vector<std::string> kStayTables = {
    "Emr_Doc_Emr_Info",       "Emr_Doc_Emr_InfoList", "Emr_Doc_Emr",
    "Emr_Doc_Emr_FB",         "Emr_Doc_Emr_Event",    "Emr_Doc_Emr_StateInfo",
    "Emr_Doc_FuJian",         "Emr_BingLiPingFen",    "Emr_DocStruct",
    "Emr_Doc_TiWen",          "Emr_BingLiJianKong",   "EMR_CHAKANBINGLIAPPLY_Fb",
    "Emr_SimpleClient_Change"};

// Rows of `zhuYuanNo` over all thirteen tables.
int RowsOfStay(const TrialDatabase& db, const std::string& literal) {
  int rows = 0;
  for (const auto& table : kStayTables) rows += db.Count(table, "ZhuYuanNo = " + literal);
  return rows;
}

// An admitted stay with one row in each of the nine tables of the wider system.
void AdmitWithDocuments(const TrialDatabase& db, const std::string& zhuYuanNo,
                        const std::string& literal) {
  ASSERT_EQ(CallAddVictim(db.server(), VictimArgs(zhuYuanNo)), 0);
  for (auto table : schema::kWiderSystemTables)
    db.Exec("INSERT INTO " + std::string(table) + " (ZhuYuanNo) VALUES (" + literal + ")");
}

TEST(RecordDeletion, RemovesTheStayFromAllThirteenTables) {
  TrialDatabase db;
  AdmitWithDocuments(db, "Z'1", "'Z''1'");
  AdmitWithDocuments(db, "Z2", "'Z2'");
  ASSERT_EQ(RowsOfStay(db, "'Z''1'"), 13);
  StatementLog log;
  EXPECT_EQ(DeleteVictim(db.server(), "", "", "Z'1"), 0);
  EXPECT_EQ(RowsOfStay(db, "'Z''1'"), 0);
  EXPECT_EQ(RowsOfStay(db, "'Z2'"), 13);
  std::vector<std::string> expected = {
      "Select GuiDangND from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo='Z''1'",
      "delete from Emr_Doc_Emr_Info where ZhuYuanNo=:ZhuYuanNo",
      "delete from Emr_Doc_Emr_InfoList where ZhuYuanNo=:ZhuYuanNo",
      "delete from Emr_Doc_Emr where ZhuYuanNo=:ZhuYuanNo",
      "delete from Emr_Doc_Emr_FB where ZhuYuanNo=:ZhuYuanNo",
      "delete from Emr_Doc_Emr_Event where ZhuYuanNo=:ZhuYuanNo",
      "delete from Emr_Doc_Emr_StateInfo where ZhuYuanNo=:ZhuYuanNo",
      "delete from Emr_Doc_FuJian where ZhuYuanNo=:ZhuYuanNo",
      "delete from Emr_BingLiPingFen where ZhuYuanNo=:ZhuYuanNo",
      "Delete from Emr_DocStruct where ZhuYuanNo=:ZhuYuanNo",
      "Delete from Emr_Doc_TiWen where ZhuYuanNo=:ZhuYuanNo",
      "Delete from Emr_BingLiJianKong where ZhuYuanNo=:ZhuYuanNo",
      "Delete from EMR_CHAKANBINGLIAPPLY_Fb where ZhuYuanNo=:ZhuYuanNo",
      "Delete from Emr_SimpleClient_Change where ZhuYuanNo=:ZhuYuanNo"};
  EXPECT_EQ(log.texts(), expected);

  // Gone for good: a second deletion finds no index row, and the number can be admitted again.
  EXPECT_EQ(DeleteVictim(db.server(), "", "", "Z'1"), 2);
  EXPECT_EQ(CallAddVictim(db.server(), VictimArgs("Z'1")), 0);
}

TEST(RecordDeletion, AMissingWiderSystemTableRollsBackEverything) {
  TrialDatabase db;
  AdmitWithDocuments(db, "Z1", "'Z1'");
  db.Exec("DROP TABLE Emr_SimpleClient_Change");
  EXPECT_EQ(DeleteVictim(db.server(), "", "", "Z1"), 4);
  int rows = 0;
  for (const auto& table : kStayTables) {
    if (table != "Emr_SimpleClient_Change") rows += db.Count(table, "ZhuYuanNo = 'Z1'");
  }
  EXPECT_EQ(rows, 12);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_Info", "ZhuYuanNo = 'Z1'"), 1);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_InfoList", "ZhuYuanNo = 'Z1'"), 1);
  EXPECT_NE(LastErrorMessage().find("no such table: Emr_SimpleClient_Change"), std::string::npos)
      << LastErrorMessage();
}

TEST(RecordDeletion, ArchivedAndUnknownStaysAreLeftAlone) {
  TrialDatabase db;
  AdmitWithDocuments(db, "Z1", "'Z1'");
  db.Exec("UPDATE Emr_Doc_Emr_InfoList SET GuiDangND = 2015");
  EXPECT_EQ(DeleteVictim(db.server(), "", "", "Z1"), 3);
  EXPECT_EQ(RowsOfStay(db, "'Z1'"), 13);

  db.Exec("DELETE FROM Emr_Doc_Emr_InfoList");
  EXPECT_EQ(DeleteVictim(db.server(), "", "", "Z1"), 2);
  EXPECT_EQ(RowsOfStay(db, "'Z1'"), 12);
}

TEST(RecordDeletion, TheNumberIsBoundAsGiven) {
  TrialDatabase db;
  AdmitWithDocuments(db, "Z1", "'Z1'");
  AdmitWithDocuments(db, "Z1 ", "'Z1 '");
  EXPECT_EQ(DeleteVictim(db.server(), "", "", "Z1 "), 0);
  EXPECT_EQ(RowsOfStay(db, "'Z1 '"), 0);
  EXPECT_EQ(RowsOfStay(db, "'Z1'"), 13);
}

TEST(RecordDeletion, AnIndexRowAloneIsDeleted) {
  TrialDatabase db;
  db.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, GuiDangND) VALUES ('Z1', NULL)");
  EXPECT_EQ(DeleteVictim(db.server(), "", "", "Z1"), 0);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_InfoList"), 0);
  EXPECT_EQ(DeleteVictim(MissingDatabaseServer().c_str(), "", "", "Z1"), 1);
}

}  // namespace
}  // namespace wardlink::testing

// The trial database and the SQL Server script against the one list of tables and columns, and
// the behaviours of SQL Server that the trial database mirrors.
#include "db/schema.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "db/db_error.h"
#include "db/trial_database.h"
#include "tests/test_support.h"

namespace wardlink::testing {
namespace {

using TableColumns = std::map<std::string, std::vector<std::string>>;

TableColumns Expected() {
  TableColumns tables;
  for (const auto& table : schema::AllTables()) {
    auto& columns = tables[std::string(table.name)];
    for (const auto& column : table.columns) columns.emplace_back(column.name);
  }
  return tables;
}

TEST(Schema, TrialDatabaseHasEveryTableAndColumnInDeclaredOrder) {
  TrialDatabase db;
  TableColumns actual;
  for (const auto& row : db.Rows("SELECT name FROM sqlite_master WHERE type = 'table'")) {
    for (const auto& column : db.Rows("SELECT name FROM pragma_table_info('" + row[0] + "')"))
      actual[row[0]].push_back(column[0]);
  }
  EXPECT_EQ(actual, Expected());
  EXPECT_EQ(Expected().size(), 26u);
  EXPECT_EQ(Expected().at("Emr_Doc_Emr_Info").size(), 56u);
}

TEST(Schema, IntegerColumnsRefuseTextStoreEmptyAsZeroAndConvertDigits) {
  TrialDatabase db;
  db.Exec("INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, UnitID) VALUES ('a', '12'), ('b', '')");
  db.Exec("UPDATE Emr_Doc_Emr_Info SET NianLing_Sui = '' WHERE ZhuYuanNo = 'a'");
  EXPECT_EQ(db.Rows("SELECT ZhuYuanNo, UnitID, typeof(UnitID), NianLing_Sui FROM "
                    "Emr_Doc_Emr_Info ORDER BY ZhuYuanNo"),
            (std::vector<std::vector<std::string>>{{"a", "12", "integer", "0"},
                                                   {"b", "0", "integer", "<null>"}}));
  EXPECT_THROW(db.Exec("INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, UnitID) VALUES ('c', 'abc')"),
               std::runtime_error);
  db.Exec("INSERT INTO Emr_Unit (ID) VALUES (1)");
  EXPECT_THROW(db.Exec("UPDATE Emr_Unit SET ID = '1.5'"), std::runtime_error);
  EXPECT_THROW(db.Exec("INSERT INTO Emr_Unit (ID) VALUES (2.5)"), std::runtime_error);
  // Only the stay record takes host text in an integer column; elsewhere the empty text is refused.
  EXPECT_THROW(db.Exec("INSERT INTO Emr_Unit (ID) VALUES ('')"), std::runtime_error);
}

// Every stay's rows are found by ZhuYuanNo, and a department's references by UnitID, through an
// index: the cost of a call does not grow with the number of stays.
TEST(Schema, StaysAndDepartmentReferencesAreFoundThroughAnIndex) {
  TrialDatabase db;
  std::vector<std::pair<std::string, std::string>> lookups = {
      {"Emr_User", "UnitID"}, {"Emr_illArea", "UnitID"}, {"Emr_Doc_Emr_Info", "UnitID"}};
  for (const auto& table : schema::AllTables()) {
    for (const auto& column : table.columns)
      if (column.name == schema::kColZhuYuanNo) lookups.emplace_back(table.name, column.name);
  }
  EXPECT_EQ(lookups.size(), 16u);  // three by UnitID, thirteen tables by stay
  for (const auto& [table, column] : lookups) {
    auto plan = db.Rows("EXPLAIN QUERY PLAN SELECT * FROM " + table + " WHERE " + column + " = 1");
    ASSERT_EQ(plan.size(), 1u) << table;
    EXPECT_TRUE(plan[0][3].starts_with("SEARCH") && plan[0][3].find(" INDEX ") != std::string::npos)
        << table << "." << column << ": " << plan[0][3];
  }
}

TEST(Schema, KeysCompareWithoutRegardToCaseAndRefuseDuplicates) {
  TrialDatabase db;
  db.Exec("INSERT INTO Emr_User (UserID) VALUES ('Doc1')");
  EXPECT_EQ(db.Count("Emr_User", "UserID = 'DOC1'"), 1);
  EXPECT_THROW(db.Exec("INSERT INTO Emr_User (UserID) VALUES ('doc1')"), std::runtime_error);
  db.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('Z1')");
  EXPECT_THROW(db.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('z1')"),
               std::runtime_error);
  EXPECT_EQ(db.Scalar("SELECT GuiDangND FROM Emr_Doc_Emr_InfoList"), "0");
}

TEST(Schema, WalJournalAndOneDefaultDateFormat) {
  TrialDatabase db;
  EXPECT_EQ(db.Scalar("PRAGMA journal_mode"), "wal");
  EXPECT_EQ(db.Count("EMR_FORMATDATETYPE a, EMR_FORMATDATE b",
                     "a.ID = b.FormatDateTypeID AND a.UserDefault = 1 AND b.UserDefault = 1"),
            1);
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                      "sql LIKE '%Emr_Doc_Emr_Event (ZhuYuanNo, SequenceNumber)%'"),
            "1");
}

TEST(Schema, CreateTrialRefusesToOverwriteAFile) {
  TrialDatabase db;
  std::string server = db.server();
  EXPECT_THROW(CreateTrialDatabase(server), DbError);
  EXPECT_EQ(db.Count("EMR_FORMATDATE"), 1);
  EXPECT_THROW(CreateTrialDatabase("/tmp/plain-name.db"), DbError);
}

}  // namespace
}  // namespace wardlink::testing

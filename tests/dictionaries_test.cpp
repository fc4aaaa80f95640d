// The fifteen dictionary exports: statement texts, refusals and what each leaves in the table.
#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(Dictionaries, StatementTextsComeOutByteForByte) {
  TrialDatabase db;
  {
    StatementLog log;
    EXPECT_EQ(AddZhiYe(db.server(), "", "", "O'Neil", 7, 3), 0);
    EXPECT_EQ(log.texts(),
              (std::vector<std::string>{"Select ID from Emr_ZhiYe Where ID=7",
                                        "Insert Into Emr_ZhiYe Values(7,3,'O''Neil')"}));
  }
  db.Exec("INSERT INTO Emr_HunYin VALUES (2, 9, 'married')");
  {
    StatementLog log;
    EXPECT_EQ(UpdateHunYin(db.server(), "", "", "single", 2, 1), 0);
    EXPECT_EQ(log.texts(), (std::vector<std::string>{
                               "Select ID from Emr_HunYin Where ID=2",
                               "Update Emr_HunYin Set HunYin='single',theOrder=1 Where ID=2"}));
  }
  {
    StatementLog log;
    EXPECT_EQ(DeleteCertificateType(db.server(), "", "", -5), 2);
    EXPECT_EQ(log.texts(),
              (std::vector<std::string>{"Select ID from Emr_CertificateType Where ID=-5"}));
  }
  EXPECT_EQ(db.Rows("SELECT ID, theOrder, ZhiYe FROM Emr_ZhiYe"), (Rows{{"7", "3", "O'Neil"}}));
  EXPECT_EQ(db.Rows("SELECT ID, theOrder, HunYin FROM Emr_HunYin"), (Rows{{"2", "1", "single"}}));
}

TEST(Dictionaries, AddOfAnExistingIdIsRefusedAndLeavesTheRow) {
  TrialDatabase db;
  ASSERT_EQ(AddInHospType(db.server(), "", "", "emergency", 1, 5), 0);
  EXPECT_EQ(AddInHospType(db.server(), "", "", "planned", 1, 6), 2);
  EXPECT_EQ(db.Rows("SELECT ID, theOrder, InHospType FROM Emr_InHospType"),
            (Rows{{"1", "5", "emergency"}}));
}

TEST(Dictionaries, UpdateAndDeleteOfAMissingIdChangeNothing) {
  TrialDatabase db;
  ASSERT_EQ(AddYiBaoLeiXing(db.server(), "", "", "city", 1, 1), 0);
  EXPECT_EQ(UpdateYiBaoLeiXing(db.server(), "", "", "rural", 2, 2), 2);
  EXPECT_EQ(DeleteYiBaoLeiXing(db.server(), "", "", 2), 2);
  EXPECT_EQ(db.Rows("SELECT ID, theOrder, YiBaoLeiXing FROM Emr_YiBaoLeiXing"),
            (Rows{{"1", "1", "city"}}));
  EXPECT_EQ(DeleteYiBaoLeiXing(db.server(), "", "", 1), 0);
  EXPECT_EQ(db.Count("Emr_YiBaoLeiXing"), 0);
}

TEST(Dictionaries, EmptyAndNullNamesAreStoredAsEmptyText) {
  TrialDatabase db;
  StatementLog log;
  EXPECT_EQ(AddZhiYe(db.server(), "", "", nullptr, 1, 1), 0);
  EXPECT_EQ(AddZhiYe(db.server(), "", "", "", 2, 2), 0);
  EXPECT_EQ(log.texts()[1], "Insert Into Emr_ZhiYe Values(1,1,'')");
  EXPECT_EQ(db.Rows("SELECT ID, ZhiYe IS NULL, ZhiYe FROM Emr_ZhiYe ORDER BY ID"),
            (Rows{{"1", "0", ""}, {"2", "0", ""}}));
}

TEST(Dictionaries, NegativeNumbersAndQuotesRoundTrip) {
  TrialDatabase db;
  StatementLog log;
  EXPECT_EQ(AddCertificateType(db.server(), "", "", "'quoted' '' text", -5, -2147483647 - 1), 0);
  EXPECT_EQ(log.texts()[1],
            "Insert Into Emr_CertificateType Values(-5,-2147483648,'''quoted'' '''' text')");
  EXPECT_EQ(db.Rows("SELECT ID, theOrder, CertificateType FROM Emr_CertificateType"),
            (Rows{{"-5", "-2147483648", "'quoted' '' text"}}));
  EXPECT_EQ(DeleteCertificateType(db.server(), "", "", -5), 0);
  EXPECT_EQ(db.Count("Emr_CertificateType"), 0);
}

TEST(Dictionaries, FamiliesAreIndependent) {
  TrialDatabase db;
  EXPECT_EQ(AddZhiYe(db.server(), "", "", "a", 3, 1), 0);
  EXPECT_EQ(AddHunYin(db.server(), "", "", "b", 3, 1), 0);
  EXPECT_EQ(AddInHospType(db.server(), "", "", "c", 3, 1), 0);
  EXPECT_EQ(AddYiBaoLeiXing(db.server(), "", "", "d", 3, 1), 0);
  EXPECT_EQ(AddCertificateType(db.server(), "", "", "e", 3, 1), 0);
  EXPECT_EQ(DeleteHunYin(db.server(), "", "", 3), 0);
  EXPECT_EQ(UpdateCertificateType(db.server(), "", "", "E", 3, 9), 0);
  EXPECT_EQ(db.Count("Emr_ZhiYe"), 1);
  EXPECT_EQ(db.Count("Emr_HunYin"), 0);
  EXPECT_EQ(db.Count("Emr_InHospType"), 1);
  EXPECT_EQ(db.Scalar("SELECT ZhiYe FROM Emr_ZhiYe WHERE ID = 3"), "a");
  EXPECT_EQ(db.Rows("SELECT theOrder, CertificateType FROM Emr_CertificateType"),
            (Rows{{"9", "E"}}));
}

TEST(Dictionaries, ATableOfAnotherShapeIsAnUnguardedError) {
  TrialDatabase db;
  db.Exec("DROP TABLE Emr_ZhiYe; CREATE TABLE Emr_ZhiYe (ID INTEGER, ZhiYe TEXT)");
  EXPECT_EQ(AddZhiYe(db.server(), "", "", "x", 1, 1), -1);
  EXPECT_NE(LastErrorMessage().find("Emr_ZhiYe"), std::string::npos) << LastErrorMessage();
  EXPECT_EQ(db.Count("Emr_ZhiYe"), 0);
}

}  // namespace
}  // namespace wardlink::testing

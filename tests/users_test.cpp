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

// Department 1 with user doc01; the title table holds "Chief physician" and "  " (two blanks).
class UsersTest : public ::testing::Test {
 protected:
  UsersTest() {
    db_.Exec("INSERT INTO Emr_Unit VALUES (1, 1, 'Medicine', ''), (2, 1, 'Surgery', '')");
    db_.Exec("INSERT INTO Emr_YiShengZhiCheng VALUES ('Chief physician'), ('  ')");
    db_.Exec("INSERT INTO Emr_User VALUES ('doc01', 'pw', 'Dr Wang', 1, 0, '')");
  }

  const char* server() const { return db_.server(); }
  Rows Users() const {
    return db_.Rows(
        "SELECT UserID, Pwd, UserName, UnitID, TempType, ZhiCheng FROM Emr_User ORDER BY UserID");
  }
  int Add(const char* userId, const char* title, int32_t unitId, int32_t tempType) {
    return AddUser(server(), "", "", userId, "pw", "Name", 0, title, unitId, tempType);
  }
  int Update(const char* userId, const char* title, int32_t unitId, int32_t tempType) {
    return UpdateUser(server(), "", "", userId, "pw2", "Name2", 0, title, unitId, tempType);
  }

  TrialDatabase db_;
};

const Rows kInitialUsers{{"doc01", "pw", "Dr Wang", "1", "0", ""}};

// --- statement texts and stored values ---

TEST_F(UsersTest, AddWithATitleSendsFourStatementsAndStoresTextsAsGiven) {
  StatementLog log;
  ASSERT_EQ(
      AddUser(server(), "", "", "o'neil ", " p;w'", "Dr O'Neil", 12345, "Chief physician", 2, 1),
      0);
  EXPECT_EQ(log.texts(),
            (Texts{"Select ID from Emr_Unit Where ID=2",
                   "Select UserID from Emr_User Where UserID='o''neil '",
                   "Select ZhiCheng from EMR_YISHENGZHICHENG Where ZhiCheng='Chief physician'",
                   "Insert Into Emr_User(UserID,Pwd,UserName,UnitID,TempType,ZhiCheng) "
                   "Values('o''neil ',' p;w''','Dr O''Neil',2,1,'Chief physician')"}));
  EXPECT_EQ(db_.Rows("SELECT UserID, Pwd, UserName, UnitID, TempType, ZhiCheng FROM Emr_User "
                     "WHERE UserID = 'o''neil '"),
            (Rows{{"o'neil ", " p;w'", "Dr O'Neil", "2", "1", "Chief physician"}}));
}

TEST_F(UsersTest, AnEmptyOrNullTitleSkipsTheLookUpAndIsStoredEmpty) {
  StatementLog log;
  ASSERT_EQ(Add("doc02", "", 1, 0), 0);
  ASSERT_EQ(AddUser(server(), "", "", "doc03", nullptr, nullptr, 0, nullptr, 1, 1), 0);
  for (const auto& text : log.texts())
    EXPECT_EQ(text.find("EMR_YISHENGZHICHENG"), std::string::npos);
  EXPECT_EQ(log.texts().back(),
            "Insert Into Emr_User(UserID,Pwd,UserName,UnitID,TempType,ZhiCheng) "
            "Values('doc03','','',1,1,'')");
  EXPECT_EQ(Users(), (Rows{{"doc01", "pw", "Dr Wang", "1", "0", ""},
                           {"doc02", "pw", "Name", "1", "0", ""},
                           {"doc03", "", "", "1", "1", ""}}));
}

TEST_F(UsersTest, ATitleOfBlanksIsLookedUpAsItIs) {
  StatementLog log;
  EXPECT_EQ(Add("doc02", "   ", 1, 0), 4);  // three blanks: not in the table
  EXPECT_EQ(log.texts().back(), "Select ZhiCheng from EMR_YISHENGZHICHENG Where ZhiCheng='   '");
  EXPECT_EQ(Add("doc02", "  ", 1, 0), 0);  // two blanks: in the table
  EXPECT_EQ(db_.Scalar("SELECT ZhiCheng FROM Emr_User WHERE UserID = 'doc02'"), "  ");
}

TEST_F(UsersTest, UpdateRewritesAllFiveFieldsOfThatUserOnly) {
  db_.Exec("INSERT INTO Emr_User VALUES ('doc02', 'x', 'Other', 1, 0, '')");
  StatementLog log;
  ASSERT_EQ(UpdateUser(server(), "", "", "doc01", "n'w", " Dr Wang ", -1, "Chief physician", 2, 1),
            0);
  EXPECT_EQ(log.texts().back(),
            "Update Emr_User Set Pwd='n''w',UserName=' Dr Wang ',UnitID=2,TempType=1,"
            "ZhiCheng='Chief physician' Where UserID='doc01'");
  EXPECT_EQ(Users(), (Rows{{"doc01", "n'w", " Dr Wang ", "2", "1", "Chief physician"},
                           {"doc02", "x", "Other", "1", "0", ""}}));
}

TEST_F(UsersTest, DeleteRemovesTheUserEvenWhenARecordNamesIt) {
  db_.Exec(
      "INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, UnitID, MainMgrDoctorUid) "
      "VALUES ('Z1', 1, 'doc01')");
  StatementLog log;
  ASSERT_EQ(DeleteUser(server(), "", "", "doc01"), 0);
  EXPECT_EQ(log.texts(), (Texts{"Select UserID from Emr_User Where UserID='doc01'",
                                "Delete from Emr_User Where UserID='doc01'"}));
  EXPECT_EQ(Users(), Rows{});
  EXPECT_EQ(db_.Count("Emr_Doc_Emr_Info", "MainMgrDoctorUid = 'doc01'"), 1);
}

// --- order of checks: where two would fire, the first wins; refusals write nothing ---

struct Refusal {
  const char* what;
  bool add;
  const char* userId;
  const char* title;
  int32_t unitId;
  int32_t tempType;
  int32_t expected;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const Refusal& value, std::ostream* out) { *out << value.what; }

class UserRefusalTest : public UsersTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(UserRefusalTest, FirstFailingCheckGivesTheCodeAndNothingIsWritten) {
  const Refusal& r = GetParam();
  int result = r.add ? Add(r.userId, r.title, r.unitId, r.tempType)
                     : Update(r.userId, r.title, r.unitId, r.tempType);
  EXPECT_EQ(result, r.expected);
  EXPECT_EQ(Users(), kInitialUsers);
}

INSTANTIATE_TEST_SUITE_P(
    CheckOrder, UserRefusalTest,
    ::testing::Values(
        Refusal{"AddUnknownUnitBeforeExistingUser", true, "doc01", "Nurse", 9, 7, 2},
        Refusal{"AddExistingUserBeforeUnknownTitle", true, "doc01", "Nurse", 1, 7, 3},
        Refusal{"AddExistingUserMatchedWithoutCase", true, "DOC01", "", 1, 0, 3},
        Refusal{"AddUnknownTitleBeforeBadFlag", true, "doc02", "Nurse", 1, 2, 4},
        Refusal{"AddFlagTwo", true, "doc02", "", 1, 2, 5},
        Refusal{"AddFlagMinusOne", true, "doc02", "Chief physician", 1, -1, 5},
        Refusal{"UpdateUnknownUnitBeforeMissingUser", false, "nobody", "Nurse", 9, 7, 2},
        Refusal{"UpdateMissingUserBeforeUnknownTitle", false, "nobody", "Nurse", 1, 7, 3},
        Refusal{"UpdateUnknownTitleBeforeBadFlag", false, "doc01", "Nurse", 2, 2, 4},
        Refusal{"UpdateFlagTwo", false, "doc01", "", 2, 2, 5}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(UsersTest, DeleteOfAMissingUserGives2) {
  StatementLog log;
  EXPECT_EQ(DeleteUser(server(), "", "", "nobody"), 2);
  EXPECT_EQ(DeleteUser(server(), "", "", nullptr), 2);
  EXPECT_EQ(log.texts(), (Texts{"Select UserID from Emr_User Where UserID='nobody'",
                                "Select UserID from Emr_User Where UserID=''"}));
  EXPECT_EQ(Users(), kInitialUsers);
}

// --- connection step and unguarded errors ---

TEST(UsersConnection, MissingDatabaseGives1ForEveryUserExport) {
  const std::string server = MissingDatabaseServer();
  EXPECT_EQ(AddUser(server.c_str(), "", "", "u", "", "", 0, "", 1, 0), 1);
  EXPECT_EQ(UpdateUser(server.c_str(), "", "", "u", "", "", 0, "", 1, 0), 1);
  EXPECT_EQ(DeleteUser(server.c_str(), "", "", "u"), 1);
}

TEST_F(UsersTest, AMissingTitleTableIsAnUnguardedErrorAndAddsNobody) {
  db_.Exec("DROP TABLE Emr_YiShengZhiCheng");
  EXPECT_EQ(Add("doc02", "Chief physician", 1, 0), -1);
  EXPECT_NE(LastErrorMessage(), "");
  EXPECT_EQ(Users(), kInitialUsers);
}

}  // namespace
}  // namespace wardlink::testing

#include "organisation/users.h"

#include <string>

#include "db/statement_text.h"
#include "shared/statements.h"

namespace wardlink {

namespace {

constexpr int32_t kNoUnit = 2;
constexpr int32_t kUserPresence = 3;  // present on add, absent on update
constexpr int32_t kUnknownTitle = 4;
constexpr int32_t kBadTempType = 5;
constexpr int32_t kNoUserToDelete = 2;

bool UnitExists(DbQuery& query, int32_t unitId) {
  return ReturnsRow(query, "Select ID from Emr_Unit Where ID=" + Decimal(unitId));
}

bool UserExists(DbQuery& query, std::string_view userId) {
  return ReturnsRow(query, "Select UserID from Emr_User Where UserID=" + QuotedLiteral(userId));
}

// Only the empty title skips the look-up; a title of blanks is looked up as it is.
bool TitleKnown(DbQuery& query, std::string_view zhiCheng) {
  if (zhiCheng.empty()) return true;
  return ReturnsRow(
      query, "Select ZhiCheng from EMR_YISHENGZHICHENG Where ZhiCheng=" + QuotedLiteral(zhiCheng));
}

// The checks shared by add and update, in their order; 0 when all pass.
int32_t CheckUser(DbQuery& query, const UserFields& user, bool mustExist) {
  if (!UnitExists(query, user.unitId)) return kNoUnit;
  if (UserExists(query, user.userId) != mustExist) return kUserPresence;
  if (!TitleKnown(query, user.zhiCheng)) return kUnknownTitle;
  if (user.tempType != 0 && user.tempType != 1) return kBadTempType;
  return 0;
}

}  // namespace

int32_t AddUser(DbQuery& query, const UserFields& user) {
  if (int32_t refusal = CheckUser(query, user, false); refusal != 0) return refusal;
  Execute(query, "Insert Into Emr_User(UserID,Pwd,UserName,UnitID,TempType,ZhiCheng) Values(" +
                     QuotedLiteral(user.userId) + "," + QuotedLiteral(user.pwd) + "," +
                     QuotedLiteral(user.userName) + "," + Decimal(user.unitId) + "," +
                     Decimal(user.tempType) + "," + QuotedLiteral(user.zhiCheng) + ")");
  return 0;
}

int32_t UpdateUser(DbQuery& query, const UserFields& user) {
  if (int32_t refusal = CheckUser(query, user, true); refusal != 0) return refusal;
  Execute(query, "Update Emr_User Set Pwd=" + QuotedLiteral(user.pwd) +
                     ",UserName=" + QuotedLiteral(user.userName) +
                     ",UnitID=" + Decimal(user.unitId) + ",TempType=" + Decimal(user.tempType) +
                     ",ZhiCheng=" + QuotedLiteral(user.zhiCheng) +
                     " Where UserID=" + QuotedLiteral(user.userId));
  return 0;
}

int32_t DeleteUser(DbQuery& query, std::string_view userId) {
  if (!UserExists(query, userId)) return kNoUserToDelete;
  // Patient records that name the user as a doctor are not consulted.
  Execute(query, "Delete from Emr_User Where UserID=" + QuotedLiteral(userId));
  return 0;
}

}  // namespace wardlink

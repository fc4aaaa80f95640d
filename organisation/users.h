#pragma once

#include <cstdint>
#include <string_view>

#include "db/query.h"

namespace wardlink {

// A user as the host passes it to add and update.
struct UserFields {
  std::string_view userId;
  std::string_view pwd;
  std::string_view userName;
  std::string_view zhiCheng;  // professional title; empty for none
  int32_t unitId = 0;
  int32_t tempType = 0;
};

// Users (Emr_User). Add and update results: 0 done; 2 no department UnitID; 3 the UserID exists
// (add) or does not (update); 4 the title is not in the title table; 5 TempType is neither 0 nor
// 1. Delete: 0 done; 2 no such UserID. A refusal writes nothing.
int32_t AddUser(DbQuery& query, const UserFields& user);
int32_t UpdateUser(DbQuery& query, const UserFields& user);
int32_t DeleteUser(DbQuery& query, std::string_view userId);

}  // namespace wardlink

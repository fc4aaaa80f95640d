// Departments, users, wards and beds: thin shells over the organisation operations.
#include "library/call_frame.h"
#include "organisation/units.h"
#include "organisation/users.h"
#include "organisation/wards_beds.h"
#include "wardlink.h"

using namespace wardlink;

namespace {

int32_t AddOrUpdateUser(const HostConnectionArgs& args, bool add, const char* userId,
                        const char* pwd, const char* userName, const char* zhiCheng, int32_t unitId,
                        int32_t tempType) {
  return RunWritingExport(args, [&](DbConnection&, DbQuery& query) {
    const std::string id = Text(userId);
    const std::string password = Text(pwd);
    const std::string name = Text(userName);
    const std::string title = Text(zhiCheng);
    const UserFields user{id, password, name, title, unitId, tempType};
    return add ? wardlink::AddUser(query, user) : wardlink::UpdateUser(query, user);
  });
}

}  // namespace

// The operations share their names with the exports; the qualified names keep the two apart.
extern "C" {

int32_t AddUnit(const char* server, const char* login, const char* password, int32_t id,
                int32_t unitTypeId, const char* unitName, const char* memo) {
  return RunWritingExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return wardlink::AddUnit(query, id, unitTypeId, Text(unitName), Text(memo));
  });
}
int32_t UpdateUnit(const char* server, const char* login, const char* password, int32_t id,
                   int32_t unitTypeId, const char* unitName, const char* memo) {
  return RunWritingExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return wardlink::UpdateUnit(query, id, unitTypeId, Text(unitName), Text(memo));
  });
}
int32_t DeleteUnit(const char* server, const char* login, const char* password, int32_t id) {
  return RunWritingExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return wardlink::DeleteUnit(query, id);
  });
}

// `spare` is part of the calling interface only; it is never read.
int32_t AddUser(const char* server, const char* login, const char* password, const char* userId,
                const char* pwd, const char* userName, int32_t /*spare*/, const char* zhiCheng,
                int32_t unitId, int32_t tempType) {
  return AddOrUpdateUser({server, login, password}, true, userId, pwd, userName, zhiCheng, unitId,
                         tempType);
}
int32_t UpdateUser(const char* server, const char* login, const char* password, const char* userId,
                   const char* pwd, const char* userName, int32_t /*spare*/, const char* zhiCheng,
                   int32_t unitId, int32_t tempType) {
  return AddOrUpdateUser({server, login, password}, false, userId, pwd, userName, zhiCheng, unitId,
                         tempType);
}
int32_t DeleteUser(const char* server, const char* login, const char* password,
                   const char* userId) {
  return RunWritingExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return wardlink::DeleteUser(query, Text(userId));
  });
}

int32_t AddIllArea(const char* server, const char* login, const char* password, int32_t unitId,
                   int32_t id, const char* iaName) {
  return RunWritingExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return wardlink::AddIllArea(query, unitId, id, Text(iaName));
  });
}
int32_t UpdateIllArea(const char* server, const char* login, const char* password, int32_t unitId,
                      int32_t id, const char* iaName) {
  return RunWritingExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return wardlink::UpdateIllArea(query, unitId, id, Text(iaName));
  });
}
int32_t DeleteIllArea(const char* server, const char* login, const char* password, int32_t id) {
  return RunWritingExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return wardlink::DeleteIllArea(query, id);
  });
}
int32_t AddIllBed(const char* server, const char* login, const char* password, int32_t unitId,
                  int32_t illAreaId, int32_t id, const char* ibName) {
  return RunWritingExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return wardlink::AddIllBed(query, unitId, illAreaId, id, Text(ibName));
  });
}
int32_t UpdateIllBed(const char* server, const char* login, const char* password, int32_t id,
                     const char* ibName) {
  return RunWritingExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return wardlink::UpdateIllBed(query, id, Text(ibName));
  });
}
int32_t DeleteIllBed(const char* server, const char* login, const char* password, int32_t id) {
  return RunWritingExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return wardlink::DeleteIllBed(query, id);
  });
}

}  // extern "C"

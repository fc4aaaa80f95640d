#include "organisation/units.h"

#include <string>

#include "db/schema.h"
#include "db/statement_text.h"
#include "shared/statements.h"

namespace wardlink {

namespace {

constexpr int32_t kUnitPresence = 2;  // present on add, absent on update and delete
constexpr int32_t kStillReferenced = 3;

bool UnitExists(DbQuery& query, int32_t id) {
  return ReturnsRow(query, "Select * from Emr_Unit Where ID=" + Decimal(id));
}

}  // namespace

int32_t AddUnit(DbQuery& query, int32_t id, int32_t unitTypeId, std::string_view unitName,
                std::string_view memo) {
  if (UnitExists(query, id)) return kUnitPresence;
  Execute(query, "Insert Into Emr_Unit(ID,UnitTypeID,UnitName,Memo) Values(" + Decimal(id) + "," +
                     Decimal(unitTypeId) + "," + QuotedLiteral(unitName) + "," +
                     QuotedLiteral(memo) + ")");
  return 0;
}

int32_t UpdateUnit(DbQuery& query, int32_t id, int32_t unitTypeId, std::string_view unitName,
                   std::string_view memo) {
  if (!UnitExists(query, id)) return kUnitPresence;
  Execute(query, "Update Emr_Unit Set UnitName=" + QuotedLiteral(unitName) +
                     ",UnitTypeID=" + Decimal(unitTypeId) + ",Memo=" + QuotedLiteral(memo) +
                     " Where ID=" + Decimal(id));
  return 0;
}

int32_t DeleteUnit(DbQuery& query, int32_t id) {
  if (!UnitExists(query, id)) return kUnitPresence;
  // Users, then patient records, then wards; the first that names the department ends the call.
  // Beds are not consulted.
  if (HasReferences(query, schema::kUser, schema::kColUnitID, id)) return kStillReferenced;
  if (HasReferences(query, schema::kInfo, schema::kColUnitID, id)) return kStillReferenced;
  if (HasReferences(query, schema::kIllArea, schema::kColUnitID, id)) return kStillReferenced;
  Execute(query, "Delete Emr_Unit Where ID=" + Decimal(id));
  return 0;
}

bool HasReferences(DbQuery& query, std::string_view table, std::string_view column, int32_t id) {
  return ReturnsRow(query, "Select * from " + std::string(table) + " Where " + std::string(column) +
                               "=" + Decimal(id));
}

}  // namespace wardlink

#include "organisation/wards_beds.h"

#include <string>

#include "db/statement_text.h"
#include "shared/statements.h"

namespace wardlink {

namespace {

constexpr int32_t kNoUnit = 2;
constexpr int32_t kWardTaken = 3;
constexpr int32_t kNoWard = 3;
constexpr int32_t kNoWardInUnit = 3;
constexpr int32_t kBedTaken = 4;
constexpr int32_t kNoWardToDelete = 2;
constexpr int32_t kNoBed = 2;

bool UnitExists(DbQuery& query, int32_t unitId) {
  return ReturnsRow(query, "Select ID from Emr_Unit Where ID=" + Decimal(unitId));
}

bool WardExists(DbQuery& query, int32_t id) {
  return ReturnsRow(query, "Select ID from Emr_illArea Where ID=" + Decimal(id));
}

bool BedExists(DbQuery& query, int32_t id) {
  return ReturnsRow(query, "Select * from Emr_IllBed Where ID=" + Decimal(id));
}

}  // namespace

int32_t AddIllArea(DbQuery& query, int32_t unitId, int32_t id, std::string_view iaName) {
  if (!UnitExists(query, unitId)) return kNoUnit;
  // Ward numbers are unique over all departments, not only within this one.
  if (WardExists(query, id)) return kWardTaken;
  Execute(query, "Insert Into Emr_illArea(UnitID,ID,iaName) Values(" + Decimal(unitId) + "," +
                     Decimal(id) + "," + QuotedLiteral(iaName) + ")");
  return 0;
}

int32_t UpdateIllArea(DbQuery& query, int32_t unitId, int32_t id, std::string_view iaName) {
  if (!UnitExists(query, unitId)) return kNoUnit;
  if (!WardExists(query, id)) return kNoWard;
  // A ward may move to another department; its beds keep the UnitID they were added with.
  Execute(query, "Update Emr_illArea Set UnitID=" + Decimal(unitId) +
                     ",iaName=" + QuotedLiteral(iaName) + " Where ID=" + Decimal(id));
  return 0;
}

int32_t DeleteIllArea(DbQuery& query, int32_t id) {
  if (!ReturnsRow(query, "Select * from Emr_illArea Where ID=" + Decimal(id)))
    return kNoWardToDelete;
  // The ward's beds are left in place.
  Execute(query, "Delete Emr_illArea Where ID=" + Decimal(id));
  return 0;
}

int32_t AddIllBed(DbQuery& query, int32_t unitId, int32_t illAreaId, int32_t id,
                  std::string_view ibName) {
  if (!UnitExists(query, unitId)) return kNoUnit;
  if (!ReturnsRow(query, "Select ID from Emr_illArea Where UnitID=" + Decimal(unitId) +
                             " and ID=" + Decimal(illAreaId)))
    return kNoWardInUnit;
  if (BedExists(query, id)) return kBedTaken;
  Execute(query, "Insert Into Emr_IllBed(UnitID,illAreaID,ID,ibName) Values(" + Decimal(unitId) +
                     "," + Decimal(illAreaId) + "," + Decimal(id) + "," + QuotedLiteral(ibName) +
                     ")");
  return 0;
}

int32_t UpdateIllBed(DbQuery& query, int32_t id, std::string_view ibName) {
  if (!BedExists(query, id)) return kNoBed;
  Execute(query,
          "Update Emr_IllBed Set ibName=" + QuotedLiteral(ibName) + " Where ID=" + Decimal(id));
  return 0;
}

int32_t DeleteIllBed(DbQuery& query, int32_t id) {
  if (!BedExists(query, id)) return kNoBed;
  Execute(query, "Delete Emr_IllBed Where ID=" + Decimal(id));
  return 0;
}

}  // namespace wardlink

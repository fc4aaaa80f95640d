#include "patients/victim_info.h"

#include <string_view>

#include "db/schema.h"
#include "patients/movement_state.h"
#include "shared/conversions.h"

namespace wardlink {

namespace {

using Field = std::string VictimInfo::*;

// The fields in the host's argument order.
#define WARDLINK_VICTIM_POINTER(member, ...) &VictimInfo::member,
constexpr std::array<Field, kVictimInfoFieldCount> kFieldOrder = {WARDLINK_VICTIM_FIELDS(
    WARDLINK_VICTIM_POINTER, WARDLINK_VICTIM_POINTER, WARDLINK_VICTIM_POINTER)};
#undef WARDLINK_VICTIM_POINTER

struct TextColumn {
  std::string_view column;
  Field field;
};

// The fields written to their column as the host passed them (the others are converted first).
// UnitID is among them: the database converts the text to the column's type.
#define WARDLINK_VICTIM_NUMBER_COLUMN(member, column) {schema::column, &VictimInfo::member},
#define WARDLINK_VICTIM_FIELD_COLUMN(member, column, kind) \
  {schema::column, VictimFieldKind::kind == VictimFieldKind::kText ? &VictimInfo::member : nullptr},
#define WARDLINK_VICTIM_NO_COLUMN(member)
constexpr TextColumn kColumns[] = {WARDLINK_VICTIM_FIELDS(
    WARDLINK_VICTIM_NUMBER_COLUMN, WARDLINK_VICTIM_FIELD_COLUMN, WARDLINK_VICTIM_NO_COLUMN)};
#undef WARDLINK_VICTIM_NUMBER_COLUMN
#undef WARDLINK_VICTIM_FIELD_COLUMN
#undef WARDLINK_VICTIM_NO_COLUMN

}  // namespace

VictimInfo ReadVictimInfo(const std::array<const char*, kVictimInfoFieldCount>& texts) {
  VictimInfo info;
  for (size_t i = 0; i < kVictimInfoFieldCount; ++i) {
    if (texts[i] != nullptr) info.*kFieldOrder[i] = texts[i];
  }
  return info;
}

double FractionalAge(int32_t years, int32_t months, int32_t days) {
  long double age = static_cast<long double>(years) + static_cast<long double>(months) / 12;
  age += static_cast<long double>(days) / 360;
  return static_cast<double>(age);
}

void BindVictimRecord(DbQuery& query, const VictimInfo& info, const DefaultDateFormat& format,
                      const RegionalSettings& settings) {
  for (const auto& [column, field] : kColumns) {
    if (field != nullptr) query.BindText(column, info.*field);
  }

  int32_t years = ParseHostInt(info.nianLingSui, 0);
  int32_t months = ParseHostInt(info.nianLingYue, 0);
  int32_t days = ParseHostInt(info.nianLingTian, 0);
  query.BindInteger(schema::kColNianLingSui, years);
  query.BindInteger(schema::kColNianLingYue, months);
  query.BindInteger(schema::kColNianLingTian, days);
  query.BindFloat(schema::kColFAge, FractionalAge(years, months, days));
  query.BindInteger(schema::kColRuYuanCount, ParseHostInt(info.ruYuanCount, 1));
  query.BindInteger(schema::kColPeopleEmrStateID, kInDepartment);

  // Each date column converts the host's text on its own: an invalid text gives each the moment
  // of its own conversion.
  query.BindDateTime(schema::kColRuYuanDate, ParseHostDate(info.ruYuanDate, settings));
  query.BindText(
      schema::kColRuYuanDateStr,
      FormatDatePattern(format.show, ParseHostDate(info.ruYuanDate, settings), settings));
  query.BindText(schema::kColRuYuanDateInputMode, format.input);
  query.BindDateTime(schema::kColBingShiCaiJiDate, ParseHostDate(info.bingShiCaiJiDate, settings));
  query.BindText(
      schema::kColBingShiCaiJiDateStr,
      FormatDatePattern(format.show, ParseHostDate(info.bingShiCaiJiDate, settings), settings));
  query.BindText(schema::kColBingShiCaiJiDateInputMode, format.input);
}

void BindIndexRow(DbQuery& query, const VictimInfo& info) {
  query.BindText(schema::kColZhuYuanNo, info.zhuYuanNo);
  query.BindText(schema::kColPeopleName, info.peopleName);
  query.BindText(schema::kColBingAnHao, info.bingAnHao);
  query.BindText(schema::kColCertificateType, info.certificateType);
  query.BindText(schema::kColCertificateCode, info.certificateCode);
}

}  // namespace wardlink

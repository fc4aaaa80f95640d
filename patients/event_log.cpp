#include "patients/event_log.h"

#include <limits>
#include <string>

#include "db/db_error.h"
#include "db/statement_text.h"
#include "shared/conversions.h"

namespace wardlink {

namespace {

// Bytes [first, first + count) of the text, as far as they exist.
std::string_view Piece(std::string_view text, size_t first, size_t count) {
  if (first >= text.size()) return {};
  return text.substr(first, count);
}

DateTime CheckedDateTime(const DateTime& value, std::string_view text) {
  if (!IsValidDateTime(value))
    throw ConversionError("'" + std::string(text) + "' is not a valid date and time");
  return value;
}

}  // namespace

int32_t NextEventNumber(DbQuery& query, std::string_view zhuYuanNo) {
  query.SetStatement("Select Max(SequenceNumber) from Emr_Doc_Emr_Event Where ZhuYuanNO=" +
                     QuotedLiteral(zhuYuanNo));
  query.RunQuery();
  return EventNumberAfter(query.FirstColumnInteger());
}

int32_t EventNumberAfter(int32_t number) {
  if (number == std::numeric_limits<int32_t>::max())
    throw DbError("the stay's events are numbered up to " + std::to_string(number) +
                  "; no further event number fits");
  return number + 1;
}

DateTime ParseMovementDate(std::string_view text) {
  DateTime value{ParseHostInt(Piece(text, 0, 4), 0),
                 ParseHostInt(Piece(text, 4, 2), 0),
                 ParseHostInt(Piece(text, 6, 2), 0),
                 ParseHostInt(Piece(text, 8, 2), 0),
                 ParseHostInt(Piece(text, 10, 2), 0),
                 0,
                 0};
  return CheckedDateTime(value, text);
}

DateTime ParseDischargeDate(std::string_view text, const DateTime& today) {
  DateTime value{ParseHostInt(Piece(text, 0, 4), today.year),
                 ParseHostInt(Piece(text, 4, 2), today.month),
                 ParseHostInt(Piece(text, 6, 2), today.day),
                 ParseHostInt(Piece(text, 8, 2), 0),
                 ParseHostInt(Piece(text, 10, 2), 0),
                 ParseHostInt(Piece(text, 12, 2), 0),
                 0};
  return CheckedDateTime(value, text);
}

}  // namespace wardlink

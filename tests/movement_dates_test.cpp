// The movement and discharge date texts.
#include <gtest/gtest.h>

#include "patients/event_log.h"

namespace wardlink {
namespace {

struct DateCase {
  const char* text;
  DateTime expected;
  friend void PrintTo(const DateCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }
};

class ValidMovementDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(ValidMovementDate, GivesThatDateAndTime) {
  EXPECT_EQ(ParseMovementDate(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ValidMovementDate,
                         ::testing::Values(DateCase{"200801151030", {2008, 1, 15, 10, 30, 0, 0}},
                                           DateCase{"20080115", {2008, 1, 15, 0, 0, 0, 0}},
                                           DateCase{"2008011510", {2008, 1, 15, 10, 0, 0, 0}},
                                           DateCase{"200801152359", {2008, 1, 15, 23, 59, 0, 0}},
                                           DateCase{"20080229", {2008, 2, 29, 0, 0, 0, 0}},
                                           DateCase{"20080115103059999",
                                                    {2008, 1, 15, 10, 30, 0, 0}},
                                           DateCase{"200801151", {2008, 1, 15, 1, 0, 0, 0}}));

class InvalidMovementDate : public ::testing::TestWithParam<const char*> {};

TEST_P(InvalidMovementDate, Raises) {
  EXPECT_THROW(ParseMovementDate(GetParam()), ConversionError);
}

INSTANTIATE_TEST_SUITE_P(Cases, InvalidMovementDate,
                         ::testing::Values("", "2008", "200800151030", "200813151030",
                                           "200801321030", "200801152400", "200801151060",
                                           "2008-01-15", "20070229", "19000229", "0000011510",
                                           "20080115-110"));

TEST(DischargeDate, ReadsFourteenDigitsAndDefaultsTheRest) {
  const DateTime today{2026, 3, 31, 14, 15, 16, 170};
  EXPECT_EQ(ParseDischargeDate("20080115103059", today), (DateTime{2008, 1, 15, 10, 30, 59, 0}));
  EXPECT_EQ(ParseDischargeDate("20080115", today), (DateTime{2008, 1, 15, 0, 0, 0, 0}));
  EXPECT_EQ(ParseDischargeDate("", today), (DateTime{2026, 3, 31, 0, 0, 0, 0}));
  EXPECT_EQ(ParseDischargeDate("2008", today), (DateTime{2008, 3, 31, 0, 0, 0, 0}));
  EXPECT_EQ(ParseDischargeDate("20080115103059999", today), (DateTime{2008, 1, 15, 10, 30, 59, 0}));
  // Today's day does not exist in a month that the text names.
  EXPECT_THROW(ParseDischargeDate("200802", today), ConversionError);
  EXPECT_THROW(ParseDischargeDate("2008-01-15", today), ConversionError);
  EXPECT_THROW(ParseDischargeDate("20080115106000", today), ConversionError);
  EXPECT_THROW(ParseDischargeDate("20080115240000", today), ConversionError);
}

}  // namespace
}  // namespace wardlink

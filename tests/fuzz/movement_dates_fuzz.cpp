// The movement and discharge date texts against readers of their own: the pieces cut at their
// fixed places, each read as the host's integer text, the result checked against the standard
// calendar. A date that does not exist raises ConversionError; nothing else escapes.
#include <string>

#include "patients/event_log.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/reference.h"

using namespace wardlink;
using namespace wardlink::fuzz;

namespace {

int PieceOr(const std::string& text, size_t first, size_t count, int missing) {
  if (first >= text.size()) return missing;
  return ReferenceHostInt(std::string_view(text).substr(first, count)).value_or(missing);
}

void CheckDate(const std::string& text, DateTime expected, bool discharge, const DateTime& today) {
  std::optional<DateTime> got;
  try {
    got = discharge ? ParseDischargeDate(text, today) : ParseMovementDate(text);
  } catch (const ConversionError&) {
  }
  std::string what = std::string(discharge ? "discharge" : "movement") + " date \"" + Shown(text) +
                     "\" gave " + (got ? ToStoredText(*got) : "an error");
  if (!IsCalendarDateTime(expected)) {
    Expect(!got, what + " for no calendar date");
  } else {
    Expect(got == expected, what + ", expected " + ToStoredText(expected));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  DateTime today = input.AnyDateTime((input.Byte() & 1) != 0);
  std::string text = input.Rest();
  CheckDate(text,
            {PieceOr(text, 0, 4, 0), PieceOr(text, 4, 2, 0), PieceOr(text, 6, 2, 0),
             PieceOr(text, 8, 2, 0), PieceOr(text, 10, 2, 0), 0, 0},
            false, today);
  CheckDate(text,
            {PieceOr(text, 0, 4, today.year), PieceOr(text, 4, 2, today.month),
             PieceOr(text, 6, 2, today.day), PieceOr(text, 8, 2, 0), PieceOr(text, 10, 2, 0),
             PieceOr(text, 12, 2, 0), 0},
            true, today);
  return 0;
}

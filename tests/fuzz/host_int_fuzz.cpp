// ParseHostInt against a reader of its own, with two defaults so that a default given back can be
// told from a number read; and every number written in decimal or hexadecimal reads back.
#include <cinttypes>
#include <cstdio>

#include "shared/conversions.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/reference.h"

using namespace wardlink;
using namespace wardlink::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  int32_t number = input.Int();
  std::string text = input.Rest();

  std::optional<int32_t> expected = ReferenceHostInt(text);
  for (int32_t defaultValue : {7, -9}) {
    int32_t got = ParseHostInt(text, defaultValue);
    Expect(got == expected.value_or(defaultValue),
           "ParseHostInt(\"" + Shown(text) + "\") gave " + std::to_string(got));
  }

  char written[32];
  std::snprintf(written, sizeof written, "%" PRId32, number);
  Expect(ParseHostInt(written, 0) == number, std::string("decimal ") + written);
  uint32_t magnitude = number < 0 ? 0U - static_cast<uint32_t>(number) : number;
  std::snprintf(written, sizeof written, "%s$%" PRIX32, number < 0 ? "-" : "", magnitude);
  Expect(ParseHostInt(written, 0) == number, std::string("hexadecimal ") + written);
  return 0;
}

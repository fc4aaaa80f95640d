// The stay record in the demo: admissions, a correction, a query, a deletion.
#include <string>
#include <vector>

#include "shared/conversions.h"
#include "shared/regional_settings.h"
#include "tools/demo.h"

namespace wardlink::host {

// A host writes dates in the system's short date form.
std::string ShortDate(int year, int month, int day) {
  RegionalSettings settings = EnvironmentRegionalSettings();
  return FormatDatePattern(settings.shortDateFormat, DateTime{year, month, day, 0, 0, 0, 0},
                           settings);
}

// The 44 texts of a stay record, ZhuYuanNo first.
std::vector<std::string> DemoStay(const std::string& zhuYuanNo, const std::string& name,
                                  const std::string& age, const std::string& admitted,
                                  const std::string& condition) {
  return {zhuYuanNo,
          name,
          "1",
          "Surgery",
          "doc01",
          "Dr. Wang",
          "doc02",
          "Dr. Zhao",
          "fracture",
          "doc03;doc04",
          "Dr. Sun;Dr. Qian",
          "City Works",
          "Teacher",
          "F",
          age,
          "4",
          "10",
          "Han",
          "12 Elm Road",
          "married",
          "Hangzhou",
          "310000",
          "city scheme",
          "BA-" + zhuYuanNo,
          "MZ-77",
          "1",
          "Ward A",
          "A-03",
          admitted,
          admitted,
          "the patient",
          "reliable",
          "regular",
          "stable",
          "Start of Spring",
          "identity card",
          "330102199001011234",
          "Li Ming",
          "husband",
          "13800000000",
          "12 Elm Road",
          "310000",
          "",
          condition};
}

void DemoPatients(DemoRun& run) {
  run.Heading("Admissions");
  run.Expect(run.Call("AddVictim", DemoStay("ZY0001", "Chen Jing", "35", ShortDate(2024, 3, 1),
                                            "stable after the fall")) == 0,
             "first stay admitted");
  run.Expect(
      run.Call("AddVictim", DemoStay("ZY0002", "Liu Yang", "62", ShortDate(2024, 3, 2), "")) == 0,
      "second stay admitted without a condition entry");
  run.Expect(run.Call("AddVictim",
                      DemoStay("ZY0001", "Someone Else", "1", ShortDate(2024, 3, 3), "")) == 4,
             "a number already admitted is refused");

  run.Heading("Correction");
  std::vector<std::string> corrected =
      DemoStay("ZY0001", "Chen Jing", "36", ShortDate(2024, 2, 29), "");
  corrected[42] = "age and admission date corrected";  // Memo
  run.Expect(run.Call("UpdateVictim", corrected) == 0, "record corrected");
  run.Expect(run.Call("UpdateVictim", DemoStay("ZY9999", "Nobody", "1", "", "")) == 2,
             "an unknown number is refused");

  run.Heading("Query");
  run.Expect(run.Call("GetVictimInfo", {"ZY0001"}) == 0, "record read back");

  run.Heading("Deletion");
  run.Expect(run.Call("DeleteVictim", {"ZY0002"}) == 0, "stay deleted");
  run.Expect(run.Call("DeleteVictim", {"ZY0002"}) == 2, "second deletion finds nothing");
  run.Expect(run.Call("GetVictimInfo", {"ZY0002"}) == 2, "deleted stay is unknown");
}

}  // namespace wardlink::host

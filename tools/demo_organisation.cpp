#include <string>
#include <tuple>
#include <vector>

#include "tools/demo.h"

namespace wardlink::host {

// The demo hospital: departments 1 (Internal Medicine), 2 (Surgery) and 3 (Paediatrics, renamed
// Children's Ward); wards 11 and 12 in department 1, 21 in 2, 31 in 3; two beds in each; doctors
// doc01 to doc04 and nurse01. The library never writes the title table, so every demo user carries
// an empty title.
void DemoOrganisation(DemoRun& run) {
  run.Heading("Departments");
  run.Expect(run.Call("AddUnit", {"1", "1", "Internal Medicine", "ground floor"}) == 0,
             "department added");
  run.Expect(run.Call("AddUnit", {"2", "1", "Surgery", "first floor"}) == 0, "department added");
  run.Expect(run.Call("AddUnit", {"3", "1", "Paediatrics", ""}) == 0, "department added");
  run.Expect(run.Call("AddUnit", {"4", "2", "Pharmacy", "closing"}) == 0, "department added");
  run.Expect(run.Call("AddUnit", {"2", "1", "Surgery again", ""}) == 2,
             "duplicate department refused");
  run.Expect(run.Call("UpdateUnit", {"3", "1", "Children's Ward", "second floor"}) == 0,
             "department renamed");
  run.Expect(run.Call("DeleteUnit", {"4"}) == 0, "empty department deleted");

  run.Heading("Users");
  run.Expect(run.Call("AddUser", {"doc01", "pw1", "Dr Wang", "0", "", "1", "0"}) == 0,
             "user added");
  run.Expect(run.Call("AddUser", {"doc02", "pw2", "Dr Li", "0", "", "1", "0"}) == 0, "user added");
  run.Expect(run.Call("AddUser", {"doc03", "pw3", "Dr Zhang", "0", "", "2", "0"}) == 0,
             "user added");
  run.Expect(run.Call("AddUser", {"doc04", "pw4", "Dr Chen", "0", "", "3", "0"}) == 0,
             "user added");
  run.Expect(run.Call("AddUser", {"nurse01", "pw5", "Nurse Liu", "0", "", "2", "1"}) == 0,
             "user added");
  run.Expect(
      run.Call("AddUser", {"doc05", "pw6", "Dr Zhao", "0", "Chief physician", "1", "0"}) == 4,
      "title missing from the title table refused");
  run.Expect(run.Call("AddUser", {"doc05", "pw6", "Dr Zhao", "0", "", "9", "0"}) == 2,
             "unknown department refused");
  run.Expect(run.Call("UpdateUser", {"doc02", "new-pw", "Dr Li Na", "0", "", "1", "1"}) == 0,
             "user updated");
  run.Expect(run.Call("AddUser", {"locum01", "pw7", "Dr Sun", "0", "", "3", "1"}) == 0,
             "user added");
  run.Expect(run.Call("DeleteUser", {"locum01"}) == 0, "user deleted");
  run.Expect(run.Call("DeleteUser", {"locum01"}) == 2, "second deletion refused");
  run.Expect(run.Call("DeleteUnit", {"1"}) == 3, "department with users refused");

  run.Heading("Wards and beds");
  run.Expect(run.Call("AddIllArea", {"1", "11", "Ward 1A"}) == 0, "ward added");
  run.Expect(run.Call("AddIllArea", {"1", "12", "Ward 1B"}) == 0, "ward added");
  run.Expect(run.Call("AddIllArea", {"2", "21", "Ward 2A"}) == 0, "ward added");
  run.Expect(run.Call("AddIllArea", {"3", "31", "Ward 3A"}) == 0, "ward added");
  run.Expect(run.Call("AddIllArea", {"3", "11", "Ward 3B"}) == 3, "ward number in use refused");
  for (const auto& [unit, ward, beds] :
       std::vector<std::tuple<std::string, std::string, std::vector<std::string>>>{
           {"1", "11", {"1101", "1102"}},
           {"1", "12", {"1201", "1202"}},
           {"2", "21", {"2101", "2102"}},
           {"3", "31", {"3101", "3102"}}}) {
    for (const auto& bed : beds)
      run.Expect(run.Call("AddIllBed", {unit, ward, bed, "Bed " + bed}) == 0, "bed added");
  }
  run.Expect(run.Call("AddIllBed", {"2", "11", "2103", "Bed 2103"}) == 3,
             "ward of another department refused");
  run.Expect(run.Call("UpdateIllBed", {"1202", "Bed 1202 (window)"}) == 0, "bed renamed");
  run.Expect(run.Call("UpdateIllArea", {"1", "12", "Ward 1B (east)"}) == 0, "ward renamed");
  // A temporary isolation ward: deleting it leaves its bed, which goes by its own call.
  run.Expect(run.Call("AddIllArea", {"3", "32", "Isolation"}) == 0, "ward added");
  run.Expect(run.Call("AddIllBed", {"3", "32", "3201", "Bed 3201"}) == 0, "bed added");
  run.Expect(run.Call("DeleteIllArea", {"32"}) == 0, "ward deleted");
  run.Expect(run.Call("DeleteIllBed", {"3201"}) == 0, "bed deleted");
  run.Expect(run.Call("DeleteIllBed", {"3201"}) == 2, "second deletion refused");
}

}  // namespace wardlink::host

// The movements in the demo: transfers accepted and cancelled, a suspension and its lifting, a
// bed change, a hand-over and discharges; then every stay's event log as a timeline.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/query.h"
#include "tools/demo.h"
#include "tools/stay_views.h"

namespace wardlink::host {

namespace {

// Reads the logs straight from the database: the exports hand no event back to a host.
void PrintTimelines(const std::string& server) {
  DbConnection connection({server, "", ""});
  if (!connection.Connect()) {
    std::cout << "cannot open " << server << " to read the event logs: " << connection.failure()
              << '\n';
    return;
  }
  DbQuery query(connection);
  query.SetStatement("Select ZhuYuanNo from Emr_Doc_Emr_Info");
  query.RunQuery();
  std::vector<std::string> stays;
  for (query.GoFirst(); !query.AtEnd(); query.GoNext())
    stays.push_back(query.ColumnText("ZhuYuanNo"));
  std::sort(stays.begin(), stays.end());
  for (const auto& stay : stays) {
    std::cout << '\n';
    PrintTimeline(connection, stay, std::cout);
  }
}

}  // namespace

void DemoMovements(DemoRun& run) {
  run.Heading("More admissions");
  run.Expect(run.Call("AddVictim",
                      DemoStay("ZY0003", "Zhou Min", "8", ShortDate(2024, 3, 4), "fever")) == 0,
             "stay admitted");
  run.Expect(
      run.Call("AddVictim", DemoStay("ZY0004", "Wu Hao", "71", ShortDate(2024, 3, 4), "")) == 0,
      "stay admitted");

  run.Heading("Transfer and acceptance");
  run.Expect(run.Call("VictimZhuanChu", {"ZY0001", "2", "doc03", "202403051000"}) == 0,
             "sent to Surgery");
  run.Expect(run.Call("AcceptZhuanKePeople", {"ZY0001", "doc03", "Dr Zhang", "nurse01", "Nurse Liu",
                                              "202403051130", "Ward 2A", "2101"}) == 0,
             "accepted by Dr Zhang of Surgery");
  run.Expect(run.Call("AcceptZhuanKePeople",
                      {"ZY0001", "nobody", "", "", "", "202403051130", "", ""}) == 4,
             "an unknown doctor cannot accept");
  run.Call("GetVictimInfo", {"ZY0001"});

  run.Heading("Transfer cancelled");
  run.Expect(run.Call("VictimZhuanChu", {"ZY0003", "3", "doc04", "202403060900"}) == 0,
             "sent to Paediatrics");
  run.Expect(run.Call("CancelZhuanKe", {"ZY0003"}) == 0, "transfer withdrawn");
  run.Expect(run.Call("CancelZhuanKe", {"ZY0003"}) == 4, "nothing left to withdraw");
  run.Expect(run.Call("VictimZhuanChu", {"ZY0003", "3", "doc04", "2024-03-06"}) == 2,
             "a date with hyphens is refused and nothing is written");

  run.Heading("Suspension");
  run.Expect(run.Call("GuaQi", {"ZY0004"}) == 0, "suspended");
  run.Expect(run.Call("CancelZhuanKe", {"ZY0004"}) == 4, "no transfer to withdraw");
  run.Expect(run.Call("CancelGuaQi", {"ZY0004"}) == 0, "suspension lifted");

  run.Heading("Bed change and hand-over");
  run.Expect(run.Call("ZhuanChuang", {"ZY0001", "2102"}) == 0, "moved to bed 2102");
  run.Expect(run.Call("JiaoBan", {"ZY0001", "doc02", "Dr Li", "", "", "202403061900"}) == 0,
             "handed over to Dr Li");

  run.Heading("Discharges");
  run.Expect(run.Call("VictimChuYuan", {"ZY0001", "20240310103000", "healed", "surgery", "good",
                                        "closed", " home "}) == 0,
             "discharged");
  run.Expect(run.Call("VictimChuYuan", {"ZY0001", "20240311", "healed", "surgery", "good", "closed",
                                        "date corrected"}) == 0,
             "discharge repeated: the earlier event is replaced");
  run.Expect(run.Call("VictimChuYuan", {"ZY0003", "2024-03-12", "", "", "", "", ""}) == 4,
             "an unreadable discharge date changes nothing");
  run.Expect(run.Call("VictimChuYuan", {"ZY0003", "20240312", "recovered", "", "", "", ""}) == 0,
             "discharged");
  run.Expect(run.Call("VictimChuYuan", {"ZY9999", "20240312", "", "", "", "", ""}) == 2,
             "an unknown stay cannot be discharged");

  run.Heading("Event logs");
  PrintTimelines(run.server());
}

}  // namespace wardlink::host

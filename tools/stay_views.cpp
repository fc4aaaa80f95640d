#include "tools/stay_views.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include "db/query.h"
#include "library/exit_status.h"
#include "library/export_table.h"
#include "patients/movement_state.h"
#include "shared/conversions.h"
#include "tools/call_command.h"

namespace wardlink::host {

namespace {

std::string StateName(int32_t state) {
  switch (state) {
    case kInDepartment:
      return "in department";
    case kTransferPending:
      return "transfer pending";
    case kSuspended:
      return "suspended";
    default:
      return "state " + std::to_string(state);
  }
}

}  // namespace

bool PrintTimeline(DbConnection& connection, std::string_view zhuYuanNo, std::ostream& out) {
  DbQuery query(connection);
  query.SetStatement(
      "Select PeopleName,PeopleEmrStateID,TagReciveUnitID,TagReciveDoctorUid From "
      "Emr_Doc_Emr_Info Where ZhuYuanNo=:ZhuYuanNo");
  query.BindText("ZhuYuanNo", zhuYuanNo);
  query.RunQuery();
  if (query.HasNoRows()) return false;
  int32_t state = query.ColumnInteger("PeopleEmrStateID");
  out << Visible(zhuYuanNo) << "  " << Visible(query.ColumnText("PeopleName")) << "  ("
      << StateName(state);
  int32_t targetUnit = query.ColumnInteger("TagReciveUnitID");
  std::string targetDoctor = query.ColumnText("TagReciveDoctorUid");
  if (targetUnit != 0 || !targetDoctor.empty()) {
    out << (state == kTransferPending ? "; to " : "; last transfer target: ") << "department "
        << targetUnit << ", doctor " << (targetDoctor.empty() ? "-" : Visible(targetDoctor));
  }
  out << ")\n";

  query.SetStatement(
      "Select SequenceNumber,EventCode,EventDate,Memo From Emr_Doc_Emr_Event Where "
      "ZhuYuanNo=:ZhuYuanNo");
  query.BindText("ZhuYuanNo", zhuYuanNo);
  query.RunQuery();
  std::vector<std::tuple<int32_t, std::string, std::string, std::string>> events;
  const RegionalSettings settings;
  for (query.GoFirst(); !query.AtEnd(); query.GoNext()) {
    events.emplace_back(
        query.ColumnInteger("SequenceNumber"),
        FormatDatePattern("yyyy-MM-dd HH:mm", query.ColumnDateTime("EventDate"), settings),
        query.ColumnText("EventCode"), query.ColumnText("Memo"));
  }
  std::sort(events.begin(), events.end());
  if (events.empty()) out << "    no events\n";
  for (const auto& [number, date, code, memo] : events) {
    out << "    " << number << "  " << date << "  " << Visible(code)
        << (memo.empty() ? "" : "  (" + Visible(memo) + ")") << '\n';
  }
  return true;
}

int RunEvents(const ConnectionArgs& args, const std::string& zhuYuanNo, std::ostream& out) {
  DbConnection connection(args);
  if (!connection.Connect()) {
    out << "cannot open " << Visible(args.server) << ": " << Visible(connection.failure()) << '\n';
    return ExitStatusForResult(1);
  }
  if (PrintTimeline(connection, zhuYuanNo, out)) return kExitDone;
  out << "no stay " << Visible(zhuYuanNo) << " in Emr_Doc_Emr_Info\n";
  return ExitStatusForResult(2);
}

int RunRecord(const ConnectionArgs& args, const std::string& zhuYuanNo, std::ostream& out) {
  const ExportSpec& query = *FindExport("GetVictimInfo");
  CallOutcome outcome = query.Call({args.server, args.login, args.password, {zhuYuanNo}});
  if (outcome.result != 0) {
    out << Visible(zhuYuanNo) << ": " << outcome.result << " (" << query.Meaning(outcome.result)
        << ")" << (outcome.message.empty() ? "" : ": " + Visible(outcome.message)) << '\n';
    return ExitStatusForResult(outcome.result);
  }
  size_t width = 0;
  for (const auto& [name, text] : outcome.buffers) width = std::max(width, name.size());
  out << "ZhuYuanNo" << std::string(width - 9 + 2, ' ') << Visible(zhuYuanNo) << '\n';
  for (const auto& [name, text] : outcome.buffers)
    out << name << std::string(width - name.size() + 2, ' ') << Visible(text) << '\n';
  return kExitDone;
}

}  // namespace wardlink::host

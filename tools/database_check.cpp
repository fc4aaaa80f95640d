#include "tools/database_check.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "db/query.h"
#include "db/schema.h"
#include "shared/patient_checks.h"
#include "library/exit_status.h"

namespace wardlink::host {

namespace {

using namespace schema;

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

std::string Joined(const std::vector<std::string_view>& names) {
  std::string joined;
  for (auto name : names) joined += (joined.empty() ? "" : ", ") + std::string(name);
  return joined;
}

std::string WhoFails(std::string_view table) {
  const auto& map = ExportsByTable();
  auto found = map.find(table);
  return found == map.end() ? std::string() : "; fails: " + Joined(found->second);
}

// The column names a table has, read from an empty result.
std::vector<std::string> ColumnsOf(DbConnection& connection, const std::string& table) {
  return connection.backend().Query("Select * From " + table + " Where 1=0", {}).columns;
}

void CheckTable(DbConnection& connection, const TableDef& table, CheckReport& report) {
  const std::string name(table.name);
  std::vector<std::string> present;
  try {
    present = ColumnsOf(connection, name);
  } catch (const std::exception& error) {
    report.problems.push_back("table " + name + " missing (" + error.what() + ")" +
                              WhoFails(table.name));
    return;
  }
  std::vector<std::string_view> missing;
  std::string upperColumns;
  for (const auto& column : table.columns) {
    bool found = std::any_of(present.begin(), present.end(), [&](const std::string& candidate) {
      return Upper(candidate) == Upper(column.name);
    });
    if (!found) missing.push_back(column.name);
    upperColumns += (upperColumns.empty() ? "" : ",") + Upper(column.name);
  }
  if (!missing.empty()) {
    report.problems.push_back("table " + name + " lacks column" +
                              (missing.size() > 1 ? "s " : " ") + Joined(missing) +
                              WhoFails(table.name));
    return;
  }
  // The statements spell names in more than one case (EMR_DOC_EMR_INFOLIST, Emr_Doc_Emr_InfoList).
  try {
    connection.backend().Query("Select " + upperColumns + " From " + Upper(name) + " Where 1=0",
                               {});
  } catch (const std::exception& error) {
    report.problems.push_back("table " + name + " does not resolve in upper case (" + error.what() +
                              "): names must compare without regard to case" +
                              WhoFails(table.name));
  }
}

}  // namespace

const std::map<std::string_view, std::vector<std::string_view>>& ExportsByTable() {
  static const std::vector<std::string_view> kStayOperations = {
      "AddVictim",     "UpdateVictim",   "GetVictimInfo", "DeleteVictim",
      "VictimChuYuan", "VictimZhuanChu", "GuaQi",         "AcceptZhuanKePeople",
      "CancelZhuanKe", "CancelGuaQi",    "ZhuanChuang",   "JiaoBan"};
  static const std::map<std::string_view, std::vector<std::string_view>> kMap = [] {
    std::map<std::string_view, std::vector<std::string_view>> map = {
        {kUnit,
         {"AddUnit", "UpdateUnit", "DeleteUnit", "AddUser", "UpdateUser", "AddIllArea",
          "UpdateIllArea", "AddIllBed", "AcceptZhuanKePeople"}},
        {kUser, {"DeleteUnit", "AddUser", "UpdateUser", "DeleteUser", "AcceptZhuanKePeople"}},
        {kIllArea, {"DeleteUnit", "AddIllArea", "UpdateIllArea", "DeleteIllArea", "AddIllBed"}},
        {kIllBed, {"AddIllBed", "UpdateIllBed", "DeleteIllBed"}},
        {kZhiYe, {"AddZhiYe", "UpdateZhiYe", "DeleteZhiYe"}},
        {kHunYin, {"AddHunYin", "UpdateHunYin", "DeleteHunYin"}},
        {kInHospType, {"AddInHospType", "UpdateInHospType", "DeleteInHospType"}},
        {kYiBaoLeiXing, {"AddYiBaoLeiXing", "UpdateYiBaoLeiXing", "DeleteYiBaoLeiXing"}},
        {kCertificateType,
         {"AddCertificateType", "UpdateCertificateType", "DeleteCertificateType"}},
        {kYiShengZhiCheng, {"GetZhiCheng", "AddUser", "UpdateUser"}},
        {kBingQingMiaoShu, {"GetBingQingMiaoShu"}},
        {kFormatDateType, {"AddVictim", "UpdateVictim"}},
        {kFormatDate, {"AddVictim", "UpdateVictim"}},
        {kInfoList, kStayOperations},
        {kEvent,
         {"AddVictim", "UpdateVictim", "DeleteVictim", "VictimChuYuan", "VictimZhuanChu",
          "AcceptZhuanKePeople", "JiaoBan"}},
        {kStateInfo, {"AddVictim", "DeleteVictim"}},
    };
    map[kInfo] = kStayOperations;
    map[kInfo].push_back("DeleteUnit");
    for (auto table : kWiderSystemTables) map[table] = {"DeleteVictim"};
    return map;
  }();
  return kMap;
}

CheckReport CheckDatabase(DbConnection& connection) {
  CheckReport report;
  for (const auto& table : AllTables()) CheckTable(connection, table, report);
  DbQuery query(connection);
  try {
    if (!GetDefaultDateFormat(query)) {
      report.problems.push_back("no default date format row in " + std::string(kFormatDate) +
                                "; AddVictim gives 2, UpdateVictim gives 4");
    }
  } catch (const std::exception& error) {
    report.problems.push_back(std::string("the default date format cannot be read: ") +
                              error.what());
  }
  try {
    query.SetStatement("Select Count(*) From " + std::string(kYiShengZhiCheng));
    query.RunQuery();
    if (query.FirstColumnInteger() == 0) {
      report.warnings.push_back("the title list " + std::string(kYiShengZhiCheng) +
                                " is empty: AddUser and UpdateUser with a title give 4 (no "
                                "export fills it; see the README)");
    }
  } catch (const std::exception&) {
    // A missing table is already reported above.
  }
  return report;
}

int RunCheck(const ConnectionArgs& args, std::ostream& out) {
  DbConnection connection(args);
  if (!connection.Connect()) {
    out << "cannot open " << args.server << ": " << connection.failure() << '\n';
    return ExitStatusForResult(1);
  }
  CheckReport report = CheckDatabase(connection);
  for (const auto& problem : report.problems) out << "missing: " << problem << '\n';
  for (const auto& warning : report.warnings) out << "warning: " << warning << '\n';
  if (report.problems.empty()) {
    out << "ok: every table and column the library uses is present\n";
    return kExitDone;
  }
  out << report.problems.size() << " problem" << (report.problems.size() > 1 ? "s" : "")
      << " found\n";
  return kExitToolFailed;
}

}  // namespace wardlink::host

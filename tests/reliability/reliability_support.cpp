#include "tests/reliability/reliability_support.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "db/statement_observer.h"
#include "tests/test_support.h"
#include "tests/victim_args.h"
#include "wardlink.h"

namespace wardlink::testing {

namespace {

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct Finalize {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

Db Open(const std::filesystem::path& path) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + path.string());
  sqlite3_busy_timeout(raw, 30000);
  return db;
}

Statement Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string(sqlite3_errmsg(db)) + " in: " + sql);
  return Statement(raw);
}

std::string Cell(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      return "N";
    case SQLITE_INTEGER:
      return "I" + std::to_string(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT: {
      char text[40];
      std::snprintf(text, sizeof text, "F%.17g", sqlite3_column_double(statement, column));
      return text;
    }
    default: {
      const char tag = sqlite3_column_type(statement, column) == SQLITE_TEXT ? 'T' : 'B';
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
      return tag + std::string(bytes != nullptr ? bytes : "",
                               static_cast<size_t>(sqlite3_column_bytes(statement, column)));
    }
  }
}

// The rows of `from` that `minus` does not hold, both sorted, counted as multisets.
std::vector<std::string> Subtract(const std::vector<std::string>& from,
                                  const std::vector<std::string>& minus) {
  std::vector<std::string> rest;
  std::set_difference(from.begin(), from.end(), minus.begin(), minus.end(),
                      std::back_inserter(rest));
  return rest;
}

bool ValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                    : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4
                                                  : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    const auto second = static_cast<unsigned char>(length > 1 ? text[i + 1] : 0);
    // Overlong forms, surrogates and code points above U+10FFFF.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
      return false;
    i += length;
  }
  return true;
}

}  // namespace

SqliteFile::SqliteFile(const std::filesystem::path& path) : db_(Open(path).release()) {}

SqliteFile::~SqliteFile() { sqlite3_close_v2(db_); }

Dump FullDump(const std::filesystem::path& path) { return SqliteFile(path).FullDump(); }

Dump SqliteFile::FullDump() {
  Dump dump;
  Statement tables =
      Prepare(db_, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
  while (sqlite3_step(tables.get()) == SQLITE_ROW) {
    const std::string table = reinterpret_cast<const char*>(sqlite3_column_text(tables.get(), 0));
    auto& rows = dump[table];
    Statement select = Prepare(db_, "SELECT * FROM \"" + table + "\"");
    while (sqlite3_step(select.get()) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(select.get()); ++i) {
        if (i > 0) row += '\x1f';
        row += Cell(select.get(), i);
      }
      rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end());
  }
  return dump;
}

DumpDiff Difference(const Dump& before, const Dump& after) {
  static const std::vector<std::string> kNone;
  DumpDiff diff;
  auto rowsOf = [](const Dump& dump, const std::string& table) -> const std::vector<std::string>& {
    auto found = dump.find(table);
    return found != dump.end() ? found->second : kNone;
  };
  auto note = [](Dump& side, const std::string& table, std::vector<std::string> rows) {
    if (!rows.empty()) side[table] = std::move(rows);
  };
  for (const auto& [table, rows] : before)
    note(diff.removed, table, Subtract(rows, rowsOf(after, table)));
  for (const auto& [table, rows] : after)
    note(diff.added, table, Subtract(rows, rowsOf(before, table)));
  return diff;
}

std::string Describe(const DumpDiff& diff) {
  std::string text;
  for (const auto& [sign, side] : {std::pair{"-", &diff.removed}, std::pair{"+", &diff.added}}) {
    for (const auto& [table, rows] : *side) {
      for (const auto& row : rows) {
        std::string shown = row.size() > 200 ? row.substr(0, 200) + "..." : row;
        std::replace(shown.begin(), shown.end(), '\x1f', '|');
        text += std::string(sign) + " " + table + ": " + shown + "\n";
      }
    }
  }
  return text.empty() ? "(no change)" : text;
}

bool HoldsOnlyValidUtf8(const Dump& dump) {
  for (const auto& [table, rows] : dump) {
    for (const auto& row : rows) {
      size_t start = 0;
      while (start <= row.size()) {
        size_t end = row.find('\x1f', start);
        if (end == std::string::npos) end = row.size();
        if (row[start] == 'T' &&
            !ValidUtf8(std::string_view(row).substr(start + 1, end - start - 1)))
          return false;
        start = end + 1;
      }
    }
  }
  return true;
}

std::string SqliteFile::IntegrityCheck() {
  Statement check = Prepare(db_, "PRAGMA integrity_check");
  std::string result;
  while (sqlite3_step(check.get()) == SQLITE_ROW)
    result += reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
  return result;
}

std::string SqliteFile::Scalar(const std::string& sql) {
  Statement statement = Prepare(db_, sql);
  if (sqlite3_step(statement.get()) != SQLITE_ROW) throw std::runtime_error("no row from: " + sql);
  const unsigned char* text = sqlite3_column_text(statement.get(), 0);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "<null>";
}

std::string Scalar(const std::filesystem::path& path, const std::string& sql) {
  return SqliteFile(path).Scalar(sql);
}

void SqliteFile::Exec(const std::string& sql, const std::vector<std::string>& parameters) {
  Statement statement = Prepare(db_, sql);
  for (size_t i = 0; i < parameters.size(); ++i) {
    sqlite3_bind_text(statement.get(), static_cast<int>(i) + 1, parameters[i].data(),
                      static_cast<int>(parameters[i].size()), SQLITE_TRANSIENT);
  }
  if (sqlite3_step(statement.get()) != SQLITE_DONE)
    throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
}

namespace {

void SeedCommonRows(SqliteFile& file) {
  for (const char* sql : {
           "INSERT INTO Emr_Unit VALUES (1, 1, 'Medicine', ''), (3, 1, 'Surgery', '')",
           "INSERT INTO Emr_User VALUES ('doc', 'pw', 'Dr Lee', 3, 0, 'Chief')",
           "INSERT INTO Emr_illArea VALUES (3, 7, 'East')",
           "INSERT INTO Emr_IllBed VALUES (3, 7, 10, 'Bed 10')",
           "INSERT INTO Emr_ZhiYe VALUES (1, 1, 'Teacher')",
           "INSERT INTO Emr_HunYin VALUES (1, 1, 'Married')",
           "INSERT INTO Emr_InHospType VALUES (1, 1, 'Emergency')",
           "INSERT INTO Emr_YiBaoLeiXing VALUES (1, 1, 'City')",
           "INSERT INTO Emr_CertificateType VALUES (1, 1, 'Passport')",
           "INSERT INTO Emr_YiShengZhiCheng VALUES ('Chief')",
           "INSERT INTO Emr_BingQingMiaoShu VALUES ('stable')",
       })
    file.Exec(sql);
  SeedStay(file, "N1");
}

}  // namespace

void SeedStay(SqliteFile& file, const std::string& number, int32_t state) {
  file.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, PeopleName) VALUES (?, 'Patient')",
            {number});
  file.Exec(
      "INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, UnitID, UnitName, PeopleEmrStateID, "
      "MainMgrDoctorUid, TagReciveUnitID, TagReciveDoctorUid, ChuangHao) VALUES (?, 1, "
      "'Medicine', ?, 'doc1', 3, 'doc', 'B1')",
      {number, std::to_string(state)});
  file.Exec("INSERT INTO Emr_Doc_Emr_Event VALUES (?, 1, 'RuYuan', '2008-01-15 00:00:00.000', '')",
            {number});
}

SeededDatabase::SeededDatabase() {
  static const TrialDatabase kTemplate;
  static const bool kSeeded = [] {
    SqliteFile file(kTemplate.path());
    SeedCommonRows(file);
    return true;
  }();
  (void)kSeeded;
  std::string folder = (std::filesystem::temp_directory_path() / "wardlink-seeded-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) throw std::runtime_error("cannot create " + folder);
  folder_ = folder;
  path_ = folder_ / "trial.db";
  std::filesystem::copy_file(kTemplate.path(), path_);
  server_ = ServerFor(path_);
}

SeededDatabase::~SeededDatabase() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

const std::vector<GuardedCase>& GuardedCases() {
  auto stay = [](int32_t state) {
    return [state](SqliteFile& file) { SeedStay(file, "S1", state); };
  };
  static const std::vector<GuardedCase> kCases = {
      {"admission", 3, [](SqliteFile&) {},
       [](const char* s) { return CallAddVictim(s, VictimArgs("A1")); }},
      {"update", 5, stay(0), [](const char* s) { return CallUpdateVictim(s, VictimArgs("S1")); }},
      {"deletion", 4, stay(0), [](const char* s) { return DeleteVictim(s, "", "", "S1"); }},
      {"discharge", 4, stay(0),
       [](const char* s) {
         return VictimChuYuan(s, "", "", "S1", "20080120103000", "healed", "rest", "good", "A",
                              "home");
       }},
      {"transfer", 2, stay(0),
       [](const char* s) { return VictimZhuanChu(s, "", "", "S1", 3, "doc", "200801151030"); }},
      {"suspension", 2, stay(0), [](const char* s) { return GuaQi(s, "", "", "S1"); }},
      {"acceptance", 5, stay(1),
       [](const char* s) {
         return AcceptZhuanKePeople(s, "", "", "S1", "doc", "Dr Lee", "h2", "Helper",
                                    "200801151030", "East", "B10");
       }},
      {"transfer cancellation", 5, stay(1),
       [](const char* s) { return CancelZhuanKe(s, "", "", "S1"); }},
      {"suspension cancellation", 5, stay(4),
       [](const char* s) { return CancelGuaQi(s, "", "", "S1"); }},
      {"bed change", 4, stay(0), [](const char* s) { return ZhuanChuang(s, "", "", "S1", "B2"); }},
      {"hand-over", 4, stay(0),
       [](const char* s) {
         return JiaoBan(s, "", "", "S1", "doc", "Dr Lee", "h2", "Helper", "200801151030");
       }},
  };
  return kCases;
}

std::vector<std::string> StepsOf(const GuardedCase& guarded, int32_t& result) {
  SeededDatabase db;
  {
    SqliteFile file(db.path());
    guarded.seed(file);
  }
  std::vector<std::string> steps;
  FailureInjector previous =
      SetFailureInjector([&](std::string_view step) { steps.emplace_back(step); });
  result = guarded.call(db.server());
  SetFailureInjector(std::move(previous));
  return steps;
}

std::vector<std::string> SqliteFile::StayInconsistencies() {
  static const char* const kChecks[] = {
      // Index row, record and admission event: all three or none.
      "SELECT 'stay ' || n || ' is partly there' FROM (SELECT ZhuYuanNo n FROM "
      "Emr_Doc_Emr_InfoList UNION SELECT ZhuYuanNo FROM Emr_Doc_Emr_Info UNION SELECT ZhuYuanNo "
      "FROM Emr_Doc_Emr_Event) WHERE (n IN (SELECT ZhuYuanNo FROM Emr_Doc_Emr_InfoList)) + (n IN "
      "(SELECT ZhuYuanNo FROM Emr_Doc_Emr_Info)) + (n IN (SELECT ZhuYuanNo FROM Emr_Doc_Emr_Event "
      "WHERE EventCode = 'RuYuan')) <> 3",
      "SELECT 'hand-over ' || a.ZhuYuanNo || '/' || a.SequenceNumber || ' has no partner' FROM "
      "Emr_Doc_Emr_Event a WHERE a.EventCode = 'JiaoBan' AND NOT EXISTS (SELECT 1 FROM "
      "Emr_Doc_Emr_Event b WHERE b.ZhuYuanNo = a.ZhuYuanNo AND b.SequenceNumber = "
      "a.SequenceNumber + 1 AND b.EventCode = 'JieBan')",
      "SELECT 'take-over ' || a.ZhuYuanNo || '/' || a.SequenceNumber || ' has no partner' FROM "
      "Emr_Doc_Emr_Event a WHERE a.EventCode = 'JieBan' AND NOT EXISTS (SELECT 1 FROM "
      "Emr_Doc_Emr_Event b WHERE b.ZhuYuanNo = a.ZhuYuanNo AND b.SequenceNumber = "
      "a.SequenceNumber - 1 AND b.EventCode = 'JiaoBan')",
      "SELECT 'event ' || ZhuYuanNo || '/' || SequenceNumber || ' used twice' FROM "
      "Emr_Doc_Emr_Event GROUP BY ZhuYuanNo, SequenceNumber HAVING count(*) > 1",
  };
  std::vector<std::string> problems;
  for (const char* sql : kChecks) {
    Statement statement = Prepare(db_, sql);
    while (sqlite3_step(statement.get()) == SQLITE_ROW)
      problems.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
  }
  return problems;
}

size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0;
  size_t resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

size_t OpenDescriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                           std::filesystem::directory_iterator()));
}

}  // namespace wardlink::testing

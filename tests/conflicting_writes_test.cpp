// Two writing calls that conflict on the same rows wait behind another connection's write lock;
// the holder may change those rows itself before it lets go, as a third host would. Once it has,
// the database and both results must be those of the two calls made one after the other, in one
// order or the other: no call acts on a state it did not check.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

using Call = std::function<int32_t(const char* server)>;

struct Conflict {
  const char* name;
  std::string seed;          // the rows before
  std::string holderChange;  // what the lock holder writes before it lets go; may be empty
  Call a;
  Call b;
};

// A stay S1 in state `state`, admitted with one event; department 2 and its doctor doc9.
std::string Stay(int state) {
  return "INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, GuiDangND) VALUES ('S1', 0);"
         "INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, UnitID, PeopleEmrStateID, ChuangHao) VALUES "
         "('S1', 1, " +
         std::to_string(state) +
         ", 'B1');"
         "INSERT INTO Emr_Doc_Emr_Event VALUES ('S1', 1, 'RuYuan', '2008-01-15 00:00:00.000', '');"
         "INSERT INTO Emr_Unit (ID, UnitTypeID, UnitName) VALUES (2, 1, 'Surgery');"
         "INSERT INTO Emr_User (UserID, UserName, UnitID, TempType) VALUES ('doc9', 'Dr', 2, 0);";
}

// What another host writes meanwhile.
const char* const kTransferredMeanwhile =
    "UPDATE Emr_Doc_Emr_Info SET PeopleEmrStateID = 1, TagReciveUnitID = 2, "
    "TagReciveDoctorUid = 'doc9' WHERE ZhuYuanNo = 'S1';"
    "INSERT INTO Emr_Doc_Emr_Event VALUES ('S1', 2, 'ZhuanChu', '2008-01-20 08:00:00.000', '');";
const char* const kCancelledMeanwhile =
    "UPDATE Emr_Doc_Emr_Info SET PeopleEmrStateID = 0 WHERE ZhuYuanNo = 'S1'";
const char* const kArchivedMeanwhile =
    "UPDATE Emr_Doc_Emr_InfoList SET GuiDangND = 2008 WHERE ZhuYuanNo = 'S1'";
const char* const kDeletedMeanwhile =
    "DELETE FROM Emr_Doc_Emr_Info WHERE ZhuYuanNo = 'S1';"
    "DELETE FROM Emr_Doc_Emr_InfoList WHERE ZhuYuanNo = 'S1';"
    "DELETE FROM Emr_Doc_Emr_Event WHERE ZhuYuanNo = 'S1';";

int32_t Transfer(const char* s) {
  return VictimZhuanChu(s, "", "", "S1", 3, "doc3", "200801201000");
}
int32_t Discharge(const char* s) {
  return VictimChuYuan(s, "", "", "S1", "200801251200", "", "", "", "", "");
}

const std::vector<Conflict>& Conflicts() {
  static const std::vector<Conflict> kConflicts = {
      {"suspension cancelled against a transfer", Stay(4), kTransferredMeanwhile,
       [](const char* s) { return CancelGuaQi(s, "", "", "S1"); }, Transfer},
      {"transfer accepted against its cancellation", Stay(1), kCancelledMeanwhile,
       [](const char* s) {
         return AcceptZhuanKePeople(s, "", "", "S1", "doc9", "Dr", "", "", "200801201100", "East",
                                    "B7");
       },
       [](const char* s) { return CancelZhuanKe(s, "", "", "S1"); }},
      {"two discharges", Stay(0), kArchivedMeanwhile, Discharge, Discharge},
      {"suspension against a transfer", Stay(0), kDeletedMeanwhile,
       [](const char* s) { return GuaQi(s, "", "", "S1"); }, Transfer},
      {"bed change against the deletion", Stay(0), kArchivedMeanwhile,
       [](const char* s) { return ZhuanChuang(s, "", "", "S1", "B2"); },
       [](const char* s) { return DeleteVictim(s, "", "", "S1"); }},
      {"two additions of one occupation", "", "",
       [](const char* s) { return AddZhiYe(s, "", "", "clerk", 7, 1); },
       [](const char* s) { return AddZhiYe(s, "", "", "farmer", 7, 2); }},
      {"department deleted against a user added to it",
       "INSERT INTO Emr_Unit (ID, UnitTypeID, UnitName) VALUES (3, 1, 'Ward')", "",
       [](const char* s) { return DeleteUnit(s, "", "", 3); },
       [](const char* s) { return AddUser(s, "", "", "u1", "pw", "Nurse", 0, "", 3, 0); }},
  };
  return kConflicts;
}

// Every row of every table, each table's rows sorted.
using Contents = std::map<std::string, std::vector<std::vector<std::string>>>;
Contents Everything(const TrialDatabase& db) {
  Contents contents;
  for (const auto& table : db.Rows("SELECT name FROM sqlite_master WHERE type = 'table'")) {
    auto rows = db.Rows("SELECT * FROM \"" + table[0] + "\"");
    std::sort(rows.begin(), rows.end());
    contents[table[0]] = std::move(rows);
  }
  return contents;
}

struct Outcome {
  int32_t a = -99;
  int32_t b = -99;
  Contents contents;
  bool operator==(const Outcome&) const = default;
};

std::string Describe(const Outcome& outcome, const Contents& reference) {
  std::string text = "results " + std::to_string(outcome.a) + ", " + std::to_string(outcome.b);
  for (const auto& [table, rows] : outcome.contents) {
    auto other = reference.find(table);
    if (other != reference.end() && other->second == rows) continue;
    text += "; " + table + ":";
    for (const auto& row : rows) {
      text += " (";
      for (const auto& cell : row) text += cell + ",";
      text += ")";
    }
  }
  return text;
}

void Prepare(const TrialDatabase& db, const Conflict& conflict) {
  if (!conflict.seed.empty()) db.Exec(conflict.seed);
}

// The holder's change, then the two calls one after the other.
Outcome Serial(const Conflict& conflict, bool aFirst) {
  TrialDatabase db;
  Prepare(db, conflict);
  if (!conflict.holderChange.empty()) db.Exec(conflict.holderChange);
  Outcome outcome;
  if (aFirst) {
    outcome.a = conflict.a(db.server());
    outcome.b = conflict.b(db.server());
  } else {
    outcome.b = conflict.b(db.server());
    outcome.a = conflict.a(db.server());
  }
  outcome.contents = Everything(db);
  return outcome;
}

// Another connection holding the write lock until Release().
class LockHolder {
 public:
  explicit LockHolder(const std::filesystem::path& path) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + path.string());
    Exec("BEGIN IMMEDIATE");
  }
  void Exec(const std::string& sql) {
    if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string(sqlite3_errmsg(db_.get())) + " in: " + sql);
  }
  void Release() { Exec("COMMIT"); }

 private:
  struct Close {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
  };
  std::unique_ptr<sqlite3, Close> db_;
};

// Long enough for both calls to have connected and reached the lock on a loaded machine.
constexpr auto kWaitBehindTheLock = std::chrono::milliseconds(200);

class ConflictingWrites : public ::testing::TestWithParam<size_t> {};

TEST_P(ConflictingWrites, EndAsOneSerialOrder) {
  const Conflict& conflict = Conflicts()[GetParam()];
  const Outcome aThenB = Serial(conflict, true);
  const Outcome bThenA = Serial(conflict, false);

  TrialDatabase db;
  Prepare(db, conflict);
  Outcome concurrent;
  {
    LockHolder holder(db.path());
    if (!conflict.holderChange.empty()) holder.Exec(conflict.holderChange);
    std::thread a([&] { concurrent.a = conflict.a(db.server()); });
    std::thread b([&] { concurrent.b = conflict.b(db.server()); });
    std::this_thread::sleep_for(kWaitBehindTheLock);
    holder.Release();
    a.join();
    b.join();
  }
  concurrent.contents = Everything(db);
  EXPECT_TRUE(concurrent == aThenB || concurrent == bThenA)
      << "got " << Describe(concurrent, aThenB.contents) << "\nA then B gives "
      << Describe(aThenB, concurrent.contents) << "\nB then A gives "
      << Describe(bThenA, concurrent.contents);
}

INSTANTIATE_TEST_SUITE_P(OneStay, ConflictingWrites,
                         ::testing::Range<size_t>(0, Conflicts().size()), [](const auto& info) {
                           std::string name = Conflicts()[info.param].name;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

// SQL Server has no such lock: there the transactions are serializable, asked for on connecting,
// before the first transaction starts (the stand-in driver reports itself as a SQL Server).
TEST(OdbcSqlServerTransactions, AreSerializable) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("wardlink-attributes-" + std::to_string(getpid()) + ".log");
  std::filesystem::remove(path);
  ScopedEnvironment log("WARDLINK_RECORDER_ATTRIBUTES", path.c_str());
  EXPECT_EQ(DeleteZhiYe("odbc:Driver=WardLinkRecorder;Rows=1", "", "", 7), 0);
  std::vector<std::string> attributes;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) attributes.push_back(line);
  std::filesystem::remove(path);
  // Where the attribute was set to the value, in the order the driver was given them.
  auto at = [&](SQLINTEGER attribute, SQLULEN value) {
    const std::string line = std::to_string(attribute) + "=" + std::to_string(value);
    return std::find(attributes.begin(), attributes.end(), line) - attributes.begin();
  };
  const auto serializable = at(SQL_ATTR_TXN_ISOLATION, SQL_TXN_SERIALIZABLE);
  const auto transaction = at(SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF);
  std::string given;
  for (const auto& line : attributes) given += line + " ";
  ASSERT_LT(transaction, std::ssize(attributes)) << given;
  EXPECT_LT(serializable, transaction) << "isolation asked for too late or not at all: " << given;
}

}  // namespace
}  // namespace wardlink::testing

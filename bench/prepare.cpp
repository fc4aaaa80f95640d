// A trial database with a given number of stays, filled straight through SQLite.
#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench/cases.h"
#include "db/schema.h"
#include "db/trial_database.h"

namespace wardlink::bench {

std::string StayNumber(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "Z%07d", n);
  return text;
}

namespace {

class Filler {
 public:
  explicit Filler(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open " + path);
  }
  ~Filler() { sqlite3_close_v2(db_); }
  Filler(const Filler&) = delete;
  Filler& operator=(const Filler&) = delete;

  void Exec(const std::string& text) {
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db_) + (": " + text));
  }

  // Runs `text` once per row, binding the stay number as the only text and `n` as the integer.
  class Insert {
   public:
    Insert(sqlite3* db, const std::string& text) : db_(db) {
      if (sqlite3_prepare_v2(db, text.c_str(), -1, &statement_, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db) + (": " + text));
    }
    ~Insert() { sqlite3_finalize(statement_); }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;
    void Run(const std::string& stay) {
      sqlite3_bind_text(statement_, 1, stay.data(), static_cast<int>(stay.size()), SQLITE_STATIC);
      if (sqlite3_step(statement_) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
      sqlite3_reset(statement_);
    }

   private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
  };

  sqlite3* db() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace

void PrepareDatabase(const std::string& path, int stays) {
  if (stays < kMinimumStays)
    throw std::runtime_error("a prepared database holds at least " + std::to_string(kMinimumStays) +
                             " stays");
  CreateTrialDatabase("sqlite:" + path);
  Filler filler(path);
  filler.Exec("BEGIN");
  filler.Exec("INSERT INTO Emr_Unit (ID, UnitTypeID, UnitName) VALUES (1, 1, 'Medicine')");
  for (int i = 0; i < kCallsPerCase; ++i)
    filler.Exec("INSERT INTO Emr_Unit (ID, UnitTypeID, UnitName) VALUES (" +
                std::to_string(kFirstSpareUnit + i) + ", 1, 'spare')");
  // Some users and wards, so that the reference checks of a department have rows to pass.
  for (int i = 0; i < 100; ++i) {
    std::string n = std::to_string(i);
    filler.Exec("INSERT INTO Emr_User (UserID, UnitID, TempType) VALUES ('staff" + n + "', 1, 0)");
    filler.Exec("INSERT INTO Emr_illArea (UnitID, ID, iaName) VALUES (1, " + n + ", 'ward')");
  }
  filler.Exec("INSERT INTO Emr_YiShengZhiCheng VALUES ('" + std::string(kTitle) +
              "'), ('Resident'), ('Chief')");
  filler.Exec("INSERT INTO Emr_BingQingMiaoShu VALUES ('stable'), ('serious'), ('critical')");
  {
    using Insert = Filler::Insert;
    Insert index(filler.db(),
                 "INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, PeopleName, GuiDangND) "
                 "VALUES (?1, 'name', 0)");
    Insert record(filler.db(),
                  "INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, PeopleName, UnitID, UnitName, "
                  "ChuangHao, NianLing_Sui, RuYuanCount, PeopleEmrStateID, RuYuanDate, "
                  "BingShiCaiJiDate) VALUES (?1, 'name', 1, 'Medicine', 'B1', 40, 1, 0, "
                  "'2008-01-15 00:00:00.000', '2008-01-16 00:00:00.000')");
    Insert events(filler.db(),
                  "INSERT INTO Emr_Doc_Emr_Event (ZhuYuanNo, SequenceNumber, EventCode, EventDate, "
                  "Memo) VALUES (?1, 1, 'RuYuan', '2008-01-15 00:00:00.000', ''), "
                  "(?1, 2, 'ZhuanChuang', '2008-01-16 00:00:00.000', '')");
    Insert state(filler.db(),
                 "INSERT INTO Emr_Doc_Emr_StateInfo (ZhuYuanNo, SequenceNumber, BingQingMiaoShu, "
                 "BeginDate, Memo) VALUES (?1, 1, 'stable', '2008-01-15 00:00:00.000', '')");
    std::vector<std::unique_ptr<Insert>> wider;
    for (auto table : schema::kWiderSystemTables)
      wider.push_back(std::make_unique<Insert>(
          filler.db(), "INSERT INTO " + std::string(table) + " (ZhuYuanNo) VALUES (?1)"));
    for (int n = 0; n < stays; ++n) {
      std::string stay = StayNumber(n);
      index.Run(stay);
      record.Run(stay);
      events.Run(stay);
      state.Run(stay);
      for (auto& insert : wider) insert->Run(stay);
    }
  }
  filler.Exec("COMMIT");
}

}  // namespace wardlink::bench

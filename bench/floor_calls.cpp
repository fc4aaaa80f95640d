// The floor: what a hand-written program on SQLite alone does for each export. The same
// connection per call and set-up, the same statements with the same values and transaction; no
// statement text processing, no conversion, no result held beyond what the export returns.
#include "bench/floor_calls.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/cases.h"
#include "db/sqlite_backend.h"

namespace wardlink::bench {

namespace {

// The library's settings, which the journal comparison varies.
bool gCheckpointOnClose = false;
int gAutoCheckpointPages = kWalAutoCheckpointPages;

class Connection {
 public:
  explicit Connection(const std::string& path) {
    ok_ = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    if (!gCheckpointOnClose) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    if (gAutoCheckpointPages > 0) TruncateLogPast(db_, gAutoCheckpointPages);
    ok_ = ok_ && Exec("PRAGMA synchronous=FULL") && Exec("SELECT count(*) FROM sqlite_master") &&
          Exec("PRAGMA page_count");
  }
  ~Connection() { sqlite3_close_v2(db_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool ok() const { return ok_; }
  sqlite3* db() const { return db_; }
  bool InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }
  bool Exec(const char* text) {
    return sqlite3_exec(db_, text, nullptr, nullptr, nullptr) == SQLITE_OK;
  }

 private:
  sqlite3* db_ = nullptr;
  bool ok_ = false;
};

class Statement {
 public:
  Statement(Connection& c, std::string_view text) {
    ok_ = sqlite3_prepare_v2(c.db(), text.data(), static_cast<int>(text.size()), &s_, nullptr) ==
          SQLITE_OK;
  }
  ~Statement() { sqlite3_finalize(s_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Binds the values in marker order.
  template <typename... Values>
  Statement& Bind(const Values&... values) {
    int index = 0;
    (BindOne(++index, values), ...);
    return *this;
  }
  bool Row() {
    int rc = sqlite3_step(s_);
    ok_ = ok_ && (rc == SQLITE_ROW || rc == SQLITE_DONE);
    return rc == SQLITE_ROW;
  }
  // Runs a statement to its end; false on failure.
  bool Done() {
    while (Row()) {
    }
    return ok_;
  }
  void Reset() { sqlite3_reset(s_); }
  const char* Text(int column) {
    const unsigned char* text = sqlite3_column_text(s_, column);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
  }
  int Columns() { return sqlite3_column_count(s_); }
  bool ok() const { return ok_; }

 private:
  void BindOne(int index, const char* v) {
    Check(sqlite3_bind_text(s_, index, v, -1, SQLITE_STATIC));
  }
  void BindOne(int index, const std::string& v) {
    Check(sqlite3_bind_text(s_, index, v.data(), static_cast<int>(v.size()), SQLITE_STATIC));
  }
  void BindOne(int index, int v) { Check(sqlite3_bind_int64(s_, index, v)); }
  void BindOne(int index, double v) { Check(sqlite3_bind_double(s_, index, v)); }
  void Check(int rc) { ok_ = ok_ && rc == SQLITE_OK; }

  sqlite3_stmt* s_ = nullptr;
  bool ok_ = false;
};

// A check that asks whether a row comes back: 1 row, 0 none, -1 failure.
int Returns(Connection& c, const std::string& text) {
  Statement s(c, text);
  bool row = s.Row();
  return s.ok() ? (row ? 1 : 0) : -1;
}

bool Run(Connection& c, const std::string& text) { return Statement(c, text).Done(); }

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The transaction of a writing call: BEGIN IMMEDIATE before the first check, then COMMIT when the
// call gives 0 with the transaction still open (-1 if that fails), otherwise ROLLBACK.
template <typename Body>
int32_t Writing(Connection& c, Body body) {
  if (!c.Exec("BEGIN IMMEDIATE")) return -1;
  int32_t result = body();
  if (result == 0 && c.InTransaction() && !c.Exec("COMMIT")) result = -1;
  if (c.InTransaction()) c.Exec("ROLLBACK");
  return result;
}

// The writes of a call and the commit: `failure` when either fails (the call's transaction then
// rolls back).
template <typename Writes>
int32_t Guarded(Connection& c, int32_t failure, Writes writes) {
  return writes() && c.Exec("COMMIT") ? 0 : failure;
}

// The archive check of a stay: 0 live, 2 unknown, 3 archived, -1 failure.
int32_t Archive(Connection& c, const std::string& stay) {
  Statement s(c, "Select GuiDangND from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo=" + Quoted(stay));
  if (!s.Row()) return s.ok() ? 2 : -1;
  return std::strcmp(s.Text(0), "0") == 0 ? 0 : 3;
}

// The default date format's input pattern, or the empty text when there is none.
std::string DateFormatInput(Connection& c) {
  Statement s(c,
              "Select FormatDateTime_Show,FormatDateTime_Input from EMR_FORMATDATETYPE "
              "a,EMR_FORMATDATE b Where a.ID=b.FormatDateTypeID and a.UserDefault=1 and "
              "b.UserDefault=1 ");
  return s.Row() ? s.Text(1) : "";
}

constexpr int kInDepartment = 0;
constexpr double kAge = 35.0;

}  // namespace

void SetFloorCheckpointOnClose(bool checkpoint, int autoCheckpointPages) {
  gCheckpointOnClose = checkpoint;
  gAutoCheckpointPages = autoCheckpointPages;
}

int32_t FloorConnect(const std::string& path, int) { return Connection(path).ok() ? 0 : 1; }

int32_t FloorAddZhiYe(const std::string& path, int i) {
  Connection c(path);
  if (!c.ok()) return 1;
  std::string id = std::to_string(kFirstNewId + i);
  return Writing(c, [&]() -> int32_t {
    if (int found = Returns(c, "Select ID from Emr_ZhiYe Where ID=" + id); found != 0)
      return found < 0 ? -1 : 2;
    return Run(c, "Insert Into Emr_ZhiYe Values(" + id + "," + std::to_string(i) + ",'occupation')")
               ? 0
               : -1;
  });
}

int32_t FloorGetZhiCheng(const std::string& path, int) {
  Connection c(path);
  if (!c.ok()) return 1;
  Statement s(c, "Select ZhiCheng from Emr_YiShengZhiCheng");
  std::string list;
  while (s.Row()) {
    if (!list.empty()) list += ';';
    list += s.Text(0);
  }
  return s.ok() && !list.empty() ? 0 : -1;
}

int32_t FloorAddUnit(const std::string& path, int i) {
  Connection c(path);
  if (!c.ok()) return 1;
  std::string id = std::to_string(kFirstNewId + i);
  return Writing(c, [&]() -> int32_t {
    if (int found = Returns(c, "Select * from Emr_Unit Where ID=" + id); found != 0)
      return found < 0 ? -1 : 2;
    return Run(c, "Insert Into Emr_Unit(ID,UnitTypeID,UnitName,Memo) Values(" + id +
                      ",1,'unit','memo')")
               ? 0
               : -1;
  });
}

int32_t FloorDeleteUnit(const std::string& path, int i) {
  Connection c(path);
  if (!c.ok()) return 1;
  std::string id = std::to_string(kFirstSpareUnit + i);
  return Writing(c, [&]() -> int32_t {
    if (Returns(c, "Select * from Emr_Unit Where ID=" + id) != 1) return 2;
    for (const char* table : {"Emr_User", "Emr_Doc_Emr_Info", "Emr_illArea"})
      if (Returns(c, "Select * from " + std::string(table) + " Where UnitID=" + id) != 0) return 3;
    return Run(c, "Delete From Emr_Unit Where ID=" + id) ? 0 : -1;
  });
}

int32_t FloorAddUser(const std::string& path, int i) {
  Connection c(path);
  if (!c.ok()) return 1;
  std::string user = Quoted("user" + std::to_string(i));
  return Writing(c, [&]() -> int32_t {
    if (Returns(c, "Select ID from Emr_Unit Where ID=1") != 1) return 2;
    if (Returns(c, "Select UserID from Emr_User Where UserID=" + user) != 0) return 3;
    if (Returns(c, "Select ZhiCheng from EMR_YISHENGZHICHENG Where ZhiCheng=" + Quoted(kTitle)) !=
        1)
      return 4;
    return Run(c, "Insert Into Emr_User(UserID,Pwd,UserName,UnitID,TempType,ZhiCheng) Values(" +
                      user + ",'pwd','name',1,0," + Quoted(kTitle) + ")")
               ? 0
               : -1;
  });
}

int32_t FloorAddIllArea(const std::string& path, int i) {
  Connection c(path);
  if (!c.ok()) return 1;
  std::string id = std::to_string(kFirstNewId + i);
  return Writing(c, [&]() -> int32_t {
    if (Returns(c, "Select ID from Emr_Unit Where ID=1") != 1) return 2;
    if (Returns(c, "Select ID from Emr_illArea Where ID=" + id) != 0) return 3;
    return Run(c, "Insert Into Emr_illArea(UnitID,ID,iaName) Values(1," + id + ",'ward')") ? 0 : -1;
  });
}

int32_t FloorAddVictim(const std::string& path, int i) {
  Connection c(path);
  if (!c.ok()) return 1;
  return Writing(c, [&]() -> int32_t {
    Record r(NewStayNumber(i));
    const std::string& stay = r.texts[0];
    if (Returns(c, "Select ZhuYuanNo from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo=" + Quoted(stay)) !=
        0)
      return 4;
    std::string input = DateFormatInput(c);
    if (input.empty()) return 2;
    return Guarded(c, 3, [&] {
      Statement record(
          c,
          "Insert Into "
          "Emr_Doc_Emr_Info(ZhuYuanNo,PeopleName,UnitID,UnitName,PeopleEmrStateID,MainMgrDoctorUid,"
          "MainMgrDoctorName,HelperUidList,HelperNameList,Danwei,ZhiYe,Sex,NianLing_Sui,NianLing_"
          "Yue,NianLing_Tian,F_Age,MinZu,Address,HunYin,JiGuan,PostCode,YiBaoLeiXing,BingAnHao,"
          "MenZhenNo,RuYuanCount,BingQu,ChuangHao,RuYuanDate_InputMode,RuYuanDate,RuYuanDate_Str,"
          "BingShiCaiJiDate_InputMode,BingShiCaiJiDate,BingShiCaiJiDate_Str,BingShiSayer,"
          "KeKaoChengDu,ZhuYuanLeiBie,RuYuanShiBingQing,FaBingJieQi,CertificateType,"
          "CertificateCode,"
          "ZhuZhiYiShengUID,ZhuZhiYiShengName,RuYuanZhenDuan,LianXiRenXingMing,GuanXi,"
          "LianXiRenDianHua,LianXiRenZhuZhi,LianXiRenYouBian,Memo) "
          "Values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?"
          ",?"
          ","
          "?,?,?,?,?,?,?) ");
      record.Bind(r[0], r[1], r[2], r[3], kInDepartment, r[4], r[5], r[9], r[10], r[11], r[12],
                  r[13], 35, 0, 0, kAge, r[17], r[18], r[19], r[20], r[21], r[22], r[23], r[24], 2,
                  r[26], r[27], input, kRecordDateStored, kRecordDateShown, input,
                  kHistoryDateStored, kHistoryDateShown, r[30], r[31], r[32], r[33], r[34], r[35],
                  r[36], r[6], r[7], r[8], r[37], r[38], r[39], r[40], r[41], r[42]);
      if (!record.Done()) return false;
      Statement index(c,
                      "Insert Into "
                      "Emr_Doc_Emr_InfoList(ZhuYuanNo,PeopleName,BingAnHao,CertificateType,"
                      "CertificateCode) values(?,?,?,?,?)");
      if (!index.Bind(r[0], r[1], r[23], r[35], r[36]).Done()) return false;
      Statement event(c,
                      "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo,SequenceNumber,EventCode,EventDate,"
                      "Memo) values(" +
                          Quoted(stay) + ",1,?,?,?)");
      if (!event.Bind("RuYuan", kRecordDateStored, "").Done()) return false;
      Statement state(c,
                      "Insert Into "
                      "Emr_Doc_Emr_StateInfo(ZhuYuanNo,SequenceNumber,BingQingMiaoShu,BeginDate,"
                      "Memo) values(" +
                          Quoted(stay) + ",1,?,?,?)");
      return state.Bind(r[43], kRecordDateStored, "").Done();
    });
  });
}

int32_t FloorUpdateVictim(const std::string& path, int i) {
  Connection c(path);
  if (!c.ok()) return 1;
  return Writing(c, [&]() -> int32_t {
    Record r(CaseStay(kUpdateVictim, i));
    if (int32_t archive = Archive(c, r.texts[0]); archive != 0) return archive;
    std::string input = DateFormatInput(c);
    if (input.empty()) return 4;
    return Guarded(c, 5, [&] {
      Statement record(
          c,
          "Update Emr_Doc_Emr_Info Set PeopleName "
          "=?,UnitID=?,UnitName=?,PeopleEmrStateID=?,MainMgrDoctorUid=?,MainMgrDoctorName=?,"
          "HelperUidList=?,HelperNameList=?,Danwei=?,ZhiYe=?,Sex=?,NianLing_Sui=?,NianLing_Yue=?,"
          "NianLing_Tian=?,F_Age=?,MinZu=?,Address=?,HunYin=?,JiGuan=?,PostCode=?,YiBaoLeiXing=?,"
          "BingAnHao=?,MenZhenNo=?,RuYuanCount=?,BingQu=?,ChuangHao=?,RuYuanDate_InputMode=?,"
          "RuYuanDate=?,RuYuanDate_Str=?,BingShiCaiJiDate_InputMode=?,BingShiCaiJiDate=?,"
          "BingShiCaiJiDate_Str=?,BingShiSayer=?,KeKaoChengDu=?,ZhuYuanLeiBie=?,"
          "RuYuanShiBingQing=?,CertificateType=?,CertificateCode=?,Memo=?,ZhuZhiYiShengUID "
          "=?,ZhuZhiYiShengName "
          "=?,RuYuanZhenDuan "
          "=?,LianXiRenXingMing=?,GuanXi=?,LianXiRenDianHua=?,LianXiRenZhuZhi=?,LianXiRenYouBian=?,"
          "FaBingJieQi=?  Where ZhuYuanNo=? ");
      record.Bind(r[1], r[2], r[3], kInDepartment, r[4], r[5], r[9], r[10], r[11], r[12], r[13], 35,
                  0, 0, kAge, r[17], r[18], r[19], r[20], r[21], r[22], r[23], r[24], 2, r[26],
                  r[27], input, kRecordDateStored, kRecordDateShown, input, kHistoryDateStored,
                  kHistoryDateShown, r[30], r[31], r[32], r[33], r[35], r[36], r[42], r[6], r[7],
                  r[8], r[37], r[38], r[39], r[40], r[41], r[34], r[0]);
      if (!record.Done()) return false;
      Statement index(c,
                      "Update Emr_Doc_Emr_InfoList Set "
                      "BingAnHao=?,PeopleName=?,CertificateType=?,CertificateCode=? Where "
                      "ZhuYuanNo=? ");
      if (!index.Bind(r[23], r[1], r[35], r[36], r[0]).Done()) return false;
      Statement event(
          c, "Update Emr_Doc_Emr_Event Set EventDate=? Where EventCode=? and ZhuYuanNo=? ");
      return event.Bind(kRecordDateStored, "RuYuan", r[0]).Done();
    });
  });
}

int32_t FloorGetVictimInfo(const std::string& path, int i) {
  Connection c(path);
  if (!c.ok()) return 1;
  std::string stay = Quoted(CaseStay(kGetVictimInfo, i));
  std::string table;
  {
    Statement s(c, "Select ZhuYuanNo,GuiDangNd from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo=" + stay);
    if (!s.Row()) return s.ok() ? 2 : -1;
    table = std::strcmp(s.Text(1), "0") == 0 ? "Emr_Doc_Emr_Info"
                                             : "G_Emr_Doc_Emr_Info_" + std::string(s.Text(1));
  }
  Statement s(c, "Select * from " + table + " Where ZhuYuanNo=" + stay);
  if (!s.Row()) return s.ok() ? 3 : -1;
  // The 42 slots, straight from their columns (the table's own order: the record's columns
  // after the number).
  char buffers[56][256];
  for (int column = 1; column < s.Columns(); ++column) {
    std::strncpy(buffers[column], s.Text(column), sizeof buffers[column] - 1);
    buffers[column][sizeof buffers[column] - 1] = '\0';
  }
  return s.ok() ? 0 : -1;
}

int32_t FloorDeleteVictim(const std::string& path, int i) {
  Connection c(path);
  if (!c.ok()) return 1;
  return Writing(c, [&]() -> int32_t {
    std::string stay = CaseStay(kDeleteVictim, i);
    if (int32_t archive = Archive(c, stay); archive != 0) return archive;
    static constexpr const char* kDeletions[] = {
        "delete from Emr_Doc_Emr_Info where ZhuYuanNo=?",
        "delete from Emr_Doc_Emr_InfoList where ZhuYuanNo=?",
        "delete from Emr_Doc_Emr where ZhuYuanNo=?",
        "delete from Emr_Doc_Emr_FB where ZhuYuanNo=?",
        "delete from Emr_Doc_Emr_Event where ZhuYuanNo=?",
        "delete from Emr_Doc_Emr_StateInfo where ZhuYuanNo=?",
        "delete from Emr_Doc_FuJian where ZhuYuanNo=?",
        "delete from Emr_BingLiPingFen where ZhuYuanNo=?",
        "Delete from Emr_DocStruct where ZhuYuanNo=?",
        "Delete from Emr_Doc_TiWen where ZhuYuanNo=?",
        "Delete from Emr_BingLiJianKong where ZhuYuanNo=?",
        "Delete from EMR_CHAKANBINGLIAPPLY_Fb where ZhuYuanNo=?",
        "Delete from Emr_SimpleClient_Change where ZhuYuanNo=?",
    };
    return Guarded(c, 4, [&] {
      for (const char* text : kDeletions)
        if (!Statement(c, text).Bind(stay).Done()) return false;
      return true;
    });
  });
}

namespace {

int32_t BedChange(const std::string& path, const std::string& stay, const char* bed) {
  Connection c(path);
  if (!c.ok()) return 1;
  return Writing(c, [&]() -> int32_t {
    if (int32_t archive = Archive(c, stay); archive != 0) return archive;
    return Guarded(c, 4, [&] {
      return Statement(c, "update Emr_Doc_Emr_Info set ChuangHao=?  Where ZhuYuanNo=?")
          .Bind(bed, stay)
          .Done();
    });
  });
}

int32_t HandOver(const std::string& path, const std::string& stay) {
  Connection c(path);
  if (!c.ok()) return 1;
  return Writing(c, [&]() -> int32_t {
    if (int32_t archive = Archive(c, stay); archive != 0) return archive;
    return Guarded(c, 4, [&] {
      if (!Statement(c,
                     "update Emr_Doc_Emr_Info set MainMgrDoctorUid=?,MainMgrDoctorName=?, "
                     "HelperUidList=?, HelperNameList=? where ZhuYuanNo=?")
               .Bind("doc2", "Doctor Two", "doc3", "Doctor Three", stay)
               .Done())
        return false;
      int next = 0;
      {
        Statement s(
            c, "Select Max(SequenceNumber) from Emr_Doc_Emr_Event Where ZhuYuanNO=" + Quoted(stay));
        if (!s.Row()) return false;
        next = std::atoi(s.Text(0)) + 1;
      }
      Statement event(c,
                      "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo,SequenceNumber,EventCode,EventDate,"
                      "Memo) values(" +
                          Quoted(stay) + ",?,?,?,?)");
      if (!event.Bind(next, "JiaoBan", kMovementDateStored, "").Done()) return false;
      event.Reset();
      return event.Bind(next + 1, "JieBan", kMovementDateStored, "").Done();
    });
  });
}

}  // namespace

int32_t FloorJiaoBan(const std::string& path, int i) {
  return HandOver(path, CaseStay(kJiaoBan, i));
}

int32_t FloorZhuanChuang(const std::string& path, int i) {
  return BedChange(path, CaseStay(kZhuanChuang, i), "B2");
}

int32_t FloorMovement(const std::string& path, int stay, int step) {
  return step % 2 == 0 ? BedChange(path, StayNumber(stay), "B3") : HandOver(path, StayNumber(stay));
}

}  // namespace wardlink::bench

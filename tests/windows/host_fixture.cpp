// The Linux side of the Windows host's run: `prepare DIR` writes the trial databases the host
// works on and the ODBC registrations it sees; `verify DIR` reads back from Linux what the host's
// calls left in them, and prints "N passed, M failed" as the host does.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "db/trial_database.h"

namespace {

namespace fs = std::filesystem;

int passed = 0;
int failed = 0;

void Check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
    return;
  }
  ++failed;
  std::cout << "FAIL: " << what << '\n';
}

class Database {
 public:
  explicit Database(const fs::path& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open " + path.string());
  }
  ~Database() { sqlite3_close(db_); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void Run(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      std::string error = message != nullptr ? message : "?";
      sqlite3_free(message);
      throw std::runtime_error(sql + ": " + error);
    }
  }

  // Every value of the first column, as text, "<none>" for no row.
  std::string Values(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
      return std::string("error: ") + sqlite3_errmsg(db_);
    std::string values;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      if (!values.empty()) values += '|';
      values += text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
    }
    sqlite3_finalize(statement);
    return values.empty() ? "<none>" : values;
  }

 private:
  sqlite3* db_ = nullptr;
};

void Expect(Database& db, const std::string& label, const std::string& sql,
            const std::string& want) {
  std::string got = db.Values(sql);
  Check(got == want, label + ": \"" + got + "\", expected \"" + want + "\"");
}

void Create(const fs::path& path, const std::vector<std::string>& titles) {
  fs::remove(path);
  wardlink::CreateTrialDatabase("sqlite:" + path.string());
  Database db(path);
  for (const std::string& title : titles) {
    db.Run("INSERT INTO Emr_YiShengZhiCheng (ZhiCheng) VALUES ('" + title + "')");
    db.Run("INSERT INTO Emr_BingQingMiaoShu (BingQingMiaoShu) VALUES ('" + title + "')");
  }
}

void Prepare(const fs::path& dir) {
  const std::vector<std::string> titles = {"Chief physician", "Attending physician"};
  Create(dir / "native.db", titles);
  Create(dir / "odbc.db", titles);
  Create(dir / "KLINODB", titles);  // the catalog a plain server name asks for
  Create(dir / "broken.db", titles);
  Database(dir / "broken.db").Run("DROP TABLE Emr_ZhiYe");
  Create(dir / "codepage.db", {"\u4e3b\u4efb\u533b\u5e08", "\u4e3b\u6cbb\u533b\u5e08"});
  // The SQLite driver registered under SQL Server driver names: the newest must be the one used,
  // and the older one points to no library at all.
  std::ofstream(dir / "odbcinst.ini") << "[SQLite3]\nDriver=libsqlite3odbc.so\n\n"
                                         "[ODBC Driver 17 for SQL Server]\nDriver=libnone.so\n\n"
                                         "[ODBC Driver 18 for SQL Server]\n"
                                         "Driver=libsqlite3odbc.so\n";
  std::ofstream(dir / "odbc.ini") << "";
}

void VerifyScenario(const fs::path& path) {
  Database db(path);
  std::string name = path.filename().string() + ": ";
  Expect(db, name + "occupation", "SELECT ZhiYe || '/' || theOrder FROM Emr_ZhiYe ORDER BY ID",
         "entry (renamed)/5");
  Expect(db, name + "document types", "SELECT ID FROM Emr_CertificateType ORDER BY ID", "1");
  Expect(db, name + "departments", "SELECT ID || ':' || Memo FROM Emr_Unit ORDER BY ID",
         "10:|11:second floor");
  Expect(db, name + "users", "SELECT UserID || ':' || Pwd FROM Emr_User ORDER BY UserID",
         "doc1:pw|doc2:pw2");
  Expect(db, name + "wards", "SELECT ID || ':' || iaName FROM Emr_illArea ORDER BY ID",
         "1:Ward A1|2:Ward B");
  Expect(db, name + "beds", "SELECT ID || ':' || ibName FROM Emr_IllBed ORDER BY ID", "1:Bed 1a");
  Expect(db, name + "stays", "SELECT ZhuYuanNo FROM Emr_Doc_Emr_InfoList ORDER BY ZhuYuanNo",
         "ZY001");
  Expect(db, name + "record",
         "SELECT PeopleName || '/' || UnitID || '/' || ChuangHao || '/' || MainMgrDoctorUid || '/' "
         "|| PeopleEmrStateID || '/' || substr(ChuYuanDate, 1, 16) FROM Emr_Doc_Emr_Info",
         "Li Lei (corrected)/11/Bed 8/doc1/0/2008-01-20 10:00");
  Expect(db, name + "event log",
         "SELECT EventCode FROM Emr_Doc_Emr_Event WHERE ZhuYuanNo = 'ZY001' "
         "ORDER BY SequenceNumber",
         "RuYuan|ZhuanChu|ZhuanChu|ZhuanRu|JiaoBan|JieBan|ChuYuan");
  Expect(db, name + "deleted stay",
         "SELECT count(*) FROM Emr_Doc_Emr_Event WHERE ZhuYuanNo = 'ZY002'", "0");
}

void Verify(const fs::path& dir) {
  VerifyScenario(dir / "native.db");
  VerifyScenario(dir / "odbc.db");
  Database plain(dir / "KLINODB");
  Expect(plain, "plain server name", "SELECT ZhiYe FROM Emr_ZhiYe", "via the driver");
  Database codePage(dir / "codepage.db");
  Expect(codePage, "department in UTF-8", "SELECT UnitName FROM Emr_Unit", "\u5185\u79d1");
  Expect(codePage, "names in UTF-8",
         "SELECT PeopleName FROM Emr_Doc_Emr_InfoList ORDER BY ZhuYuanNo",
         "\u738b\u5c0f\u660e|A? B");
  Expect(codePage, "date read in the locale's form",
         "SELECT RuYuanDate FROM Emr_Doc_Emr_Info WHERE ZhuYuanNo = 'ZY100'",
         "2008-01-15 00:00:00.000");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: host_fixture prepare|verify DIR\n";
    return 2;
  }
  std::string command = argv[1];
  try {
    if (command == "prepare") {
      Prepare(argv[2]);
      return 0;
    }
    Verify(argv[2]);
  } catch (const std::exception& error) {
    std::cout << "FAIL: " << error.what() << '\n';
    ++failed;
  }
  std::cout << passed << " passed, " << failed << " failed\n";
  return failed == 0 ? 0 : 1;
}

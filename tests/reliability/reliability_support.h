#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace wardlink::testing {

// Every table of a database, each row as one text of its typed cells, rows sorted. Read with
// SQLite directly, never through the library; texts are kept byte for byte.
using Dump = std::map<std::string, std::vector<std::string>>;
Dump FullDump(const std::filesystem::path& path);

// The rows a call removed and added, per table; tables without a change are left out.
struct DumpDiff {
  Dump removed;
  Dump added;
  bool operator==(const DumpDiff&) const = default;
};
DumpDiff Difference(const Dump& before, const Dump& after);
std::string Describe(const DumpDiff& diff);

// Whether every text cell of the dump is valid UTF-8.
bool HoldsOnlyValidUtf8(const Dump& dump);

// One connection to a database file, for seeding and reading it without the library: each
// connection reads the whole schema first, so a test makes as few as it can.
class SqliteFile {
 public:
  explicit SqliteFile(const std::filesystem::path& path);
  ~SqliteFile();
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  // Runs `sql` with `parameters` bound to its `?` markers in order, as texts.
  void Exec(const std::string& sql, const std::vector<std::string>& parameters = {});
  // The first cell of the first row of `sql`, as text.
  std::string Scalar(const std::string& sql);
  Dump FullDump();
  // "ok" when the database file is sound.
  std::string IntegrityCheck();
  // Broken promises of the stay tables: a stay whose index row, record and admission event are
  // not all there or all gone, a hand-over event without its partner, or an event number used
  // twice. Empty when every stay is whole or absent.
  std::vector<std::string> StayInconsistencies();

 private:
  sqlite3* db_ = nullptr;
};

std::string Scalar(const std::filesystem::path& path, const std::string& sql);

// A stay as admission leaves it: index row, record in `state`, admission event 1.
void SeedStay(SqliteFile& file, const std::string& number, int32_t state = 0);

// A fresh database holding the rows every suite seeds: departments 1 and 3, the doctor "doc" of
// department 3, a ward (7) and a bed (10) in it, entry 1 of every dictionary, one title, one
// condition description, and the stay "N1" that no call under test names. A copy of one made once
// per process, much cheaper than creating and seeding each.
class SeededDatabase {
 public:
  SeededDatabase();
  ~SeededDatabase();
  SeededDatabase(const SeededDatabase&) = delete;
  SeededDatabase& operator=(const SeededDatabase&) = delete;

  const std::filesystem::path& path() const { return path_; }
  const char* server() const { return server_.c_str(); }

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
  std::string server_;
};

// A guarded write and the rows it needs: its transaction's failures give `guardCode`.
struct GuardedCase {
  const char* name;
  int32_t guardCode;
  std::function<void(SqliteFile&)> seed;
  std::function<int32_t(const char* server)> call;
};
const std::vector<GuardedCase>& GuardedCases();

// Every step the call sends (statement texts, "LOCK", "BEGIN", "COMMIT"), run on a fresh seeded
// database; the call's result in `result`.
std::vector<std::string> StepsOf(const GuardedCase& guarded, int32_t& result);

// Resident memory in bytes and open descriptors of this process.
size_t ResidentBytes();
size_t OpenDescriptors();

}  // namespace wardlink::testing

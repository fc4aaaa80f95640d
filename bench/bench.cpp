// The library against the floor program: instructions per call (callgrind), interleaved wall
// time, cost against the size of the database, and several host processes at once.
//
//   wardlink_bench run DIR [--million]   every table, for pasting into a note
//   wardlink_bench instructions DIR      the first table's instruction counts alone
//   wardlink_bench journal DIR           the floor's writes under each journal set-up
//   wardlink_bench concurrency DIR       the host processes table alone
//   wardlink_bench smoke DIR             the floor sends what the library sends; seconds only
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
// Without valgrind there are no instruction counts, and the smoke run needs none.
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name) static_cast<void>(name)
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/cases.h"
#include "bench/floor_calls.h"
#include "db/sqlite_backend.h"
#include "db/trial_database.h"

namespace fs = std::filesystem;
using namespace wardlink::bench;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSmallStays = 1000;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

const Case& FindCase(const std::string& name) {
  for (const auto& c : AllCases())
    if (name == c.name) return c;
  throw std::runtime_error("no case " + name);
}

void Copy(const fs::path& from, const fs::path& to) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(to.string() + suffix);
  fs::copy_file(from, to);
}

// A prepared database is kept for the next run while the trial schema stays the same.
fs::path Prepared(const fs::path& dir, int stays) {
  char schema[32];
  std::snprintf(schema, sizeof schema, "%016zx",
                std::hash<std::string>{}(wardlink::SqliteTrialScript()));
  fs::path path = dir / ("base-" + std::to_string(stays) + "-" + schema + ".db");
  if (!fs::exists(path)) {
    fs::path partial = path.string() + ".partial";
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      fs::remove(partial.string() + suffix);
    PrepareDatabase(partial.string(), stays);
    fs::rename(partial, path);
  }
  return path;
}

// ---- What both sides send, seen from inside SQLite -------------------------------------------

struct Trace {
  int opens = 0;
  std::vector<std::string> statements;
};
Trace* gTrace = nullptr;

int OnStatement(unsigned, void*, void* statement, void* sql) {
  if (gTrace == nullptr) return 0;
  const char* text = static_cast<const char*>(sql);
  // Trigger programs show as "-- name"; the statement's own text is the expanded one.
  if (text != nullptr && text[0] == '-' && text[1] == '-') {
    gTrace->statements.emplace_back(text);
    return 0;
  }
  char* expanded = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
  gTrace->statements.emplace_back(expanded != nullptr ? expanded : "?");
  sqlite3_free(expanded);
  return 0;
}

int OnOpen(sqlite3* db, const char**, const void*) {
  if (gTrace != nullptr) ++gTrace->opens;
  sqlite3_trace_v2(db, SQLITE_TRACE_STMT, OnStatement, nullptr);
  return SQLITE_OK;
}

// The two sides of one call, each on its own copy of a prepared database: same result code, same
// number of connections, the same statements with the same values in the same order.
bool SameCall(const std::string& name, int32_t (*library)(const std::string&, int),
              int32_t (*floor)(const std::string&, int), const fs::path& libraryDb,
              const fs::path& floorDb, int i) {
  Trace viaLibrary, viaFloor;
  gTrace = &viaLibrary;
  int32_t libraryResult = library("sqlite:" + libraryDb.string(), i);
  gTrace = &viaFloor;
  int32_t floorResult = floor(floorDb.string(), i);
  gTrace = nullptr;
  bool same = libraryResult == 0 && floorResult == 0 && viaLibrary.opens == viaFloor.opens &&
              viaLibrary.statements == viaFloor.statements;
  if (!same) {
    std::printf("%s call %d: library %d (%d opens), floor %d (%d opens)\n", name.c_str(), i,
                libraryResult, viaLibrary.opens, floorResult, viaFloor.opens);
    size_t n = std::max(viaLibrary.statements.size(), viaFloor.statements.size());
    for (size_t k = 0; k < n; ++k) {
      const char* l = k < viaLibrary.statements.size() ? viaLibrary.statements[k].c_str() : "-";
      const char* f = k < viaFloor.statements.size() ? viaFloor.statements[k].c_str() : "-";
      std::printf("  %s %s\n     %s\n", std::string(l) == f ? "  " : "!=", l, f);
    }
  }
  return same;
}

// ---- Several host processes ------------------------------------------------------------------

struct ConcurrencyResult {
  int processes = 0;
  int calls = 0;
  int failures = 0;
  double seconds = 0;
  double worstMs = 0;
  double cpuSeconds = 0;  // user and system time of the host processes
  int duplicates = 0;
};

int DuplicateEventNumbers(const fs::path& db) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(db.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(raw,
                     "SELECT count(*) FROM (SELECT 1 FROM Emr_Doc_Emr_Event GROUP BY "
                     "ZhuYuanNo, SequenceNumber HAVING count(*) > 1)",
                     -1, &statement, nullptr);
  int duplicates = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
  sqlite3_finalize(statement);
  sqlite3_close_v2(raw);
  return duplicates;
}

// `processes` host processes, each moving its own block of stays `calls` times, through the
// library or (`floor`) the floor program.
ConcurrencyResult RunProcesses(const fs::path& db, int processes, int calls, bool floor = false) {
  std::string server = floor ? db.string() : "sqlite:" + db.string();
  auto movement = floor ? FloorMovement : LibraryMovement;
  std::vector<std::pair<pid_t, int>> children;
  auto start = Clock::now();
  for (int p = 0; p < processes; ++p) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      int failures = 0;
      double worst = 0;
      for (int k = 0; k < calls; ++k) {
        int stay = kCaseStays + p * kProcessStays + k % kProcessStays;
        auto begin = Clock::now();
        if (movement(server, stay, k / kProcessStays + k) != 0) ++failures;
        worst = std::max(worst, Micros(Clock::now() - begin) / 1000);
      }
      char line[64];
      int length = std::snprintf(line, sizeof line, "%d %f\n", failures, worst);
      ssize_t written = write(fds[1], line, static_cast<size_t>(length));
      _exit(written == length ? 0 : 1);
    }
    close(fds[1]);
    children.emplace_back(pid, fds[0]);
  }
  ConcurrencyResult result;
  result.processes = processes;
  result.calls = processes * calls;
  for (auto [pid, fd] : children) {
    char line[64] = {};
    ssize_t got = read(fd, line, sizeof line - 1);
    close(fd);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    int failures = calls;
    double worst = 0;
    if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(line, "%d %lf", &failures, &worst) != 2)
      failures = calls;
    result.failures += failures;
    result.worstMs = std::max(result.worstMs, worst);
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.duplicates = DuplicateEventNumbers(db);
  return result;
}

// ---- Instructions, under callgrind ----------------------------------------------------------

// Runs the named cases in this process, each once to warm up and then `calls` times counted.
void CountedCalls(bool library, const fs::path& db, int calls,
                  const std::vector<std::string>& names) {
  std::string server = "sqlite:" + db.string();
  for (const auto& name : names) {
    const Case& c = FindCase(name);
    auto call = [&](int i) { return library ? c.library(server, i) : c.floor(db.string(), i); };
    if (call(0) != 0) throw std::runtime_error(name + " failed");
    CALLGRIND_ZERO_STATS;
    for (int i = 1; i <= calls; ++i)
      if (call(i) != 0) throw std::runtime_error(name + " failed");
    CALLGRIND_DUMP_STATS_AT(name.c_str());
  }
}

bool HaveValgrind() { return std::system("valgrind --version >/dev/null 2>&1") == 0; }

// Instructions per call of each case, from the dumps a callgrind run of `counted` leaves.
std::map<std::string, double> Instructions(const fs::path& self, const fs::path& dir, bool library,
                                           const fs::path& db, int calls,
                                           const std::vector<std::string>& names) {
  fs::path out = dir / (library ? "callgrind-library" : "callgrind-floor");
  fs::remove_all(out);
  fs::create_directories(out);
  std::string command =
      "valgrind --tool=callgrind --quiet --callgrind-out-file=" + (out / "out").string() + " " +
      self.string() + " counted " + (library ? "library " : "floor ") + db.string() + " " +
      std::to_string(calls);
  for (const auto& name : names) command += " " + name;
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
  std::map<std::string, double> perCall;
  for (const auto& entry : fs::directory_iterator(out)) {
    std::ifstream in(entry.path());
    std::string line, name;
    double total = -1;
    while (std::getline(in, line)) {
      const std::string trigger = "desc: Trigger: Client Request: ";
      if (line.starts_with(trigger)) name = line.substr(trigger.size());
      if (line.starts_with("summary: ") || line.starts_with("totals: "))
        total = std::stod(line.substr(line.find(' ') + 1));
    }
    if (!name.empty() && total >= 0) perCall[name] = total / calls;
  }
  return perCall;
}

// ---- Wall time, interleaved ------------------------------------------------------------------

struct Wall {
  double library = 0;  // median microseconds per call
  double floor = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Each call of the library is followed or preceded by the same call of the floor (alternating),
// so that the machine's other load falls on both alike.
std::map<std::string, Wall> WallTimes(const fs::path& libraryDb, const fs::path& floorDb,
                                      int calls) {
  std::map<std::string, Wall> result;
  std::string server = "sqlite:" + libraryDb.string();
  for (const auto& c : AllCases()) {
    std::vector<double> l, f;
    for (int i = 0; i < calls; ++i) {
      for (int side = 0; side < 2; ++side) {
        bool library = (side == 0) == (i % 2 == 0);
        auto begin = Clock::now();
        int32_t rc = library ? c.library(server, i) : c.floor(floorDb.string(), i);
        double us = Micros(Clock::now() - begin);
        if (rc != 0) throw std::runtime_error(std::string(c.name) + " failed");
        (library ? l : f).push_back(us);
      }
    }
    result[c.name] = {Median(l), Median(f)};
  }
  return result;
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& c : AllCases()) names.emplace_back(c.name);
  return names;
}

// ---- The two commands ------------------------------------------------------------------------

int Smoke(const fs::path& dir) {
  fs::create_directories(dir);
  fs::path base = Prepared(dir, kMinimumStays);
  fs::path libraryDb = dir / "smoke-library.db", floorDb = dir / "smoke-floor.db";
  Copy(base, libraryDb);
  Copy(base, floorDb);
  sqlite3_auto_extension(reinterpret_cast<void (*)()>(OnOpen));
  int mismatches = 0;
  for (const auto& c : AllCases()) {
    for (int i = 0; i < 2; ++i)
      if (!SameCall(c.name, c.library, c.floor, libraryDb, floorDb, i)) ++mismatches;
  }
  for (int step = 0; step < 2; ++step) {
    auto library = [](const std::string& s, int k) { return LibraryMovement(s, kCaseStays, k); };
    auto floor = [](const std::string& s, int k) { return FloorMovement(s, kCaseStays, k); };
    if (!SameCall("movement", library, floor, libraryDb, floorDb, step)) ++mismatches;
  }
  sqlite3_reset_auto_extension();
  ConcurrencyResult two = RunProcesses(libraryDb, 2, 4);
  std::printf(
      "smoke: %zu cases and the movement compared, %d differ; 2 processes x 4 calls: %d "
      "failures, %d duplicate event numbers\n",
      AllCases().size(), mismatches, two.failures, two.duplicates);
  return mismatches == 0 && two.failures == 0 && two.duplicates == 0 ? 0 : 1;
}

// The floor's writes under each journal set-up: WAL with a checkpoint at every close, WAL
// without it (the next writer's automatic checkpoint does the work), and the rollback journal.
int Journal(const fs::path& dir) {
  fs::create_directories(dir);
  fs::path base = Prepared(dir, kSmallStays);
  struct Setup {
    const char* name;
    bool wal;
    bool checkpointOnClose;
    int autoCheckpointPages;
  };
  const Setup setups[] = {
      {"WAL, checkpoint on close", true, true, 0},
      {"WAL, no checkpoint on close, automatic at 1000 pages", true, false, 0},
      {"WAL, no checkpoint on close, log truncated past 32 pages", true, false, 32},
      {"DELETE journal", false, true, 0}};
  auto copyFor = [&](const Setup& setup, const std::string& name) {
    fs::path db = dir / name;
    Copy(base, db);
    if (!setup.wal) {
      sqlite3* raw = nullptr;
      sqlite3_open_v2(db.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
      sqlite3_exec(raw, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
      sqlite3_close_v2(raw);
    }
    return db;
  };
  // One process, interleaved: call i of every set-up before call i + 1 of any.
  constexpr int kCalls = 300;
  std::vector<fs::path> dbs;
  for (size_t k = 0; k < std::size(setups); ++k)
    dbs.push_back(copyFor(setups[k], "journal-" + std::to_string(k) + ".db"));
  std::vector<std::vector<double>> writes(std::size(setups)), opens(std::size(setups));
  for (int i = 0; i < kCalls; ++i) {
    for (size_t k = 0; k < std::size(setups); ++k) {
      SetFloorCheckpointOnClose(setups[k].checkpointOnClose, setups[k].autoCheckpointPages);
      auto begin = Clock::now();
      if (FloorMovement(dbs[k].string(), kCaseStays + i % 100, 0) != 0)
        throw std::runtime_error("floor movement failed");
      auto middle = Clock::now();
      FloorConnect(dbs[k].string(), 0);
      writes[k].push_back(Micros(middle - begin));
      opens[k].push_back(Micros(Clock::now() - middle));
    }
  }
  std::printf(
      "\n### Journal set-up of the floor (%d stays; %d bed changes, one process, "
      "interleaved; then the same in 1 and 4 processes)\n\n"
      "| set-up | write us (median) | write us (90th) | next open us (median) | "
      "next open us (worst) | WAL bytes after | 1 process calls/s | 4 processes calls/s | "
      "x | failures |\n|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n",
      kSmallStays, kCalls);
  for (size_t k = 0; k < std::size(setups); ++k) {
    std::error_code ignored;
    auto wal = fs::file_size(dbs[k].string() + "-wal", ignored);
    if (ignored) wal = 0;
    SetFloorCheckpointOnClose(setups[k].checkpointOnClose, setups[k].autoCheckpointPages);
    fs::path one = copyFor(setups[k], "journal-one.db");
    ConcurrencyResult r1 = RunProcesses(one, 1, 200, true);
    fs::path four = copyFor(setups[k], "journal-four.db");
    ConcurrencyResult r4 = RunProcesses(four, 4, 50, true);
    std::vector<double> w = writes[k];
    std::sort(w.begin(), w.end());
    std::printf("| %s | %.0f | %.0f | %.0f | %.0f | %ju | %.0f | %.0f | %.2f | %d |\n",
                setups[k].name, Median(writes[k]), w[w.size() * 9 / 10], Median(opens[k]),
                *std::max_element(opens[k].begin(), opens[k].end()), static_cast<uintmax_t>(wal),
                r1.calls / r1.seconds, r4.calls / r4.seconds,
                (r4.calls / r4.seconds) / (r1.calls / r1.seconds), r1.failures + r4.failures);
  }
  SetFloorCheckpointOnClose(false, wardlink::kWalAutoCheckpointPages);
  return 0;
}

// Instructions alone, library against floor: seconds, for a quick look while working.
int InstructionsOnly(const fs::path& self, const fs::path& dir) {
  fs::create_directories(dir);
  std::vector<std::string> names = CaseNames();
  fs::path base = Prepared(dir, kSmallStays);
  fs::path libraryDb = dir / "library.db", floorDb = dir / "floor.db";
  Copy(base, libraryDb);
  Copy(base, floorDb);
  auto li = Instructions(self, dir, true, libraryDb, 10, names);
  auto fi = Instructions(self, dir, false, floorDb, 10, names);
  std::printf("| export | library instr | floor instr | ratio |\n|---|---:|---:|---:|\n");
  for (const auto& name : names)
    std::printf("| %s | %.0f | %.0f | %.3f |\n", name.c_str(), li[name], fi[name],
                li[name] / fi[name]);
  return 0;
}

// Several host processes moving different stays.
// The floor in the same processes shows how far the machine itself lets calls run side by side;
// CPU per call against wall time per call shows whether the cores or the lock bound it.
void Concurrency(const fs::path& base, const fs::path& db) {
  constexpr int kCalls = 1200;
  std::printf(
      "\n### Host processes at once (%d stays; %d calls, bed change and hand-over alternating; "
      "%u cores)\n\n"
      "| side | processes | failures | seconds | calls/s | x one process | CPU ms per call "
      "| worst call ms | duplicate event numbers |\n"
      "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n",
      kSmallStays, kCalls, std::thread::hardware_concurrency());
  for (bool floor : {false, true}) {
    double single = 0;
    for (int processes : {1, 2, 4}) {
      Copy(base, db);
      ConcurrencyResult r = RunProcesses(db, processes, kCalls / processes, floor);
      double throughput = r.calls / r.seconds;
      if (processes == 1) single = throughput;
      std::printf("| %s | %d | %d | %.2f | %.0f | %.2f | %.2f | %.1f | %d |\n",
                  floor ? "floor" : "library", processes, r.failures, r.seconds, throughput,
                  throughput / single, r.cpuSeconds * 1000 / r.calls, r.worstMs, r.duplicates);
    }
  }
}

int Run(const fs::path& self, const fs::path& dir, bool million) {
  fs::create_directories(dir);
  std::vector<std::string> names = CaseNames();
  fs::path base = Prepared(dir, kSmallStays);
  fs::path libraryDb = dir / "library.db", floorDb = dir / "floor.db";

  const bool valgrind = HaveValgrind();
  std::map<std::string, double> li, fi;
  constexpr int kCountedCalls = 10;
  if (valgrind) {
    Copy(base, libraryDb);
    Copy(base, floorDb);
    li = Instructions(self, dir, true, libraryDb, kCountedCalls, names);
    fi = Instructions(self, dir, false, floorDb, kCountedCalls, names);
  }
  // Wall time: three rounds on fresh copies, the median of each round's medians.
  constexpr int kRounds = 3;
  std::map<std::string, std::vector<Wall>> rounds;
  for (int r = 0; r < kRounds; ++r) {
    Copy(base, libraryDb);
    Copy(base, floorDb);
    for (auto& [name, wall] : WallTimes(libraryDb, floorDb, kCallsPerCase))
      rounds[name].push_back(wall);
  }
  std::printf(
      "\n### Library against the floor (%d stays; instructions per call over %d calls, "
      "callgrind; wall: median of %d interleaved calls, median of %d rounds)\n\n",
      kSmallStays, kCountedCalls, kCallsPerCase, kRounds);
  std::printf(
      "| export | library instr | floor instr | ratio | library us | floor us | ratio "
      "| ratio per round |\n|---|---:|---:|---:|---:|---:|---:|---|\n");
  for (const auto& name : names) {
    std::vector<double> l, f, ratios;
    std::string perRound;
    for (const auto& w : rounds[name]) {
      l.push_back(w.library);
      f.push_back(w.floor);
      char text[16];
      std::snprintf(text, sizeof text, "%s%.2f", perRound.empty() ? "" : " ", w.library / w.floor);
      perRound += text;
    }
    if (valgrind)
      std::printf("| %s | %.0f | %.0f | %.3f |", name.c_str(), li[name], fi[name],
                  li[name] / fi[name]);
    else
      std::printf("| %s | - | - | - |", name.c_str());
    std::printf(" %.0f | %.0f | %.2f | %s |\n", Median(l), Median(f), Median(l) / Median(f),
                perRound.c_str());
  }

  // Cost against the size of the database.
  std::vector<int> sizes = {kSmallStays, 100000};
  if (million) sizes.push_back(1000000);
  std::map<int, std::map<std::string, double>> scaleInstr;
  std::map<int, std::map<std::string, Wall>> scaleWall;
  constexpr int kScaleCalls = 3;
  for (int stays : sizes) {
    fs::path big = Prepared(dir, stays);
    if (valgrind) {
      Copy(big, libraryDb);
      scaleInstr[stays] = Instructions(self, dir, true, libraryDb, kScaleCalls, names);
    }
    Copy(big, libraryDb);
    Copy(big, floorDb);
    scaleWall[stays] = WallTimes(libraryDb, floorDb, 15);
  }
  std::printf(
      "\n### Library cost against the number of stays (instructions per call over %d "
      "calls; wall: median of 15)\n\n| export |",
      kScaleCalls);
  for (int stays : sizes) std::printf(" instr %d | us %d |", stays, stays);
  std::printf(" instr ratio largest/%d | us ratio |\n|---|", sizes.front());
  for (size_t k = 0; k < sizes.size() * 2 + 2; ++k) std::printf("---:|");
  std::printf("\n");
  for (const auto& name : names) {
    std::printf("| %s |", name.c_str());
    for (int stays : sizes)
      std::printf(" %.0f | %.0f |", valgrind ? scaleInstr[stays][name] : 0.0,
                  scaleWall[stays][name].library);
    double i0 = scaleInstr[sizes.front()][name], iN = scaleInstr[sizes.back()][name];
    std::printf(" %.2f | %.2f |\n", valgrind ? iN / i0 : 0.0,
                scaleWall[sizes.back()][name].library / scaleWall[sizes.front()][name].library);
  }

  Concurrency(base, libraryDb);
  if (!valgrind) std::printf("\n(valgrind not installed: no instruction counts)\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Host texts and dates in one known form, whatever the caller's environment.
  setenv("LC_ALL", "C", 1);
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "smoke") return Smoke(args[1]);
    if (args.size() >= 2 && args[0] == "run")
      return Run(fs::canonical("/proc/self/exe"), args[1],
                 args.size() > 2 && args[2] == "--million");
    if (args.size() == 2 && args[0] == "journal") return Journal(args[1]);
    if (args.size() == 2 && args[0] == "concurrency") {
      fs::create_directories(args[1]);
      Concurrency(Prepared(args[1], kSmallStays), fs::path(args[1]) / "library.db");
      return 0;
    }
    if (args.size() == 2 && args[0] == "instructions")
      return InstructionsOnly(fs::canonical("/proc/self/exe"), args[1]);
    if (args.size() >= 5 && args[0] == "counted") {
      CountedCalls(args[1] == "library", args[2], std::stoi(args[3]),
                   std::vector<std::string>(args.begin() + 4, args.end()));
      return 0;
    }
    if (args.size() == 3 && args[0] == "prepare") {
      PrepareDatabase(args[1], std::stoi(args[2]));
      return 0;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "wardlink_bench: %s\n", error.what());
    return 1;
  }
  std::fprintf(stderr, "usage: wardlink_bench run DIR [--million] | smoke DIR\n");
  return 2;
}

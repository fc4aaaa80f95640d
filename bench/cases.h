#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace wardlink::bench {

// Every call `i` of a case touches rows of its own, so that a case runs up to this many times on
// one prepared database.
inline constexpr int kCallsPerCase = 60;

// The cases that move prepared stays, each on a block of kCallsPerCase stays of its own.
enum StayCase { kUpdateVictim, kGetVictimInfo, kDeleteVictim, kJiaoBan, kZhuanChuang };
inline constexpr int kCaseStays = 5 * kCallsPerCase;
// The concurrency run moves the stays after the cases' blocks, each process a block of its own.
inline constexpr int kProcessStays = 100;
inline constexpr int kMinimumStays = kCaseStays + 4 * kProcessStays;

// Keys no prepared row has (added by the calls), the prepared departments that nothing refers to
// (deleted by the calls), and the values the calls pass.
inline constexpr int32_t kFirstNewId = 100000;
inline constexpr int32_t kFirstSpareUnit = 200000;
inline constexpr const char* kTitle = "Attending";
inline constexpr const char* kRecordDate = "01/15/08";
inline constexpr const char* kHistoryDate = "01/16/08";
inline constexpr const char* kMovementDate = "200801200830";

std::string StayNumber(int n);
inline std::string CaseStay(StayCase c, int i) { return StayNumber(c * kCallsPerCase + i); }
inline std::string NewStayNumber(int i) { return "N" + std::to_string(i); }

// A stay record with a distinct text in every field, as the host passes it (44 texts).
struct Record {
  explicit Record(const std::string& zhuYuanNo);
  const char* operator[](size_t i) const { return texts[i].c_str(); }
  std::array<std::string, 44> texts;
};
// What the library stores for the record's dates and the date format of a prepared database.
inline constexpr const char* kRecordDateStored = "2008-01-15 00:00:00.000";
inline constexpr const char* kRecordDateShown = "2008-01-15 00:00";
inline constexpr const char* kHistoryDateStored = "2008-01-16 00:00:00.000";
inline constexpr const char* kHistoryDateShown = "2008-01-16 00:00";
inline constexpr const char* kMovementDateStored = "2008-01-20 08:30:00.000";

// One export, called through the library and through the floor program: the same statements with
// the same values, on its own prepared rows. `i` counts from 0 and stays below kCallsPerCase.
struct Case {
  const char* name;
  bool writes;
  int32_t (*library)(const std::string& server, int i);
  int32_t (*floor)(const std::string& path, int i);
};

const std::vector<Case>& AllCases();

// One movement through the library or the floor: bed change on even steps, hand-over on odd ones.
int32_t LibraryMovement(const std::string& server, int stay, int step);
int32_t FloorMovement(const std::string& path, int stay, int step);

// Fills a new trial database at `path` with `stays` stays (each with its index row, two events,
// a condition entry and a row in each table of the wider system) and the rows every case needs.
void PrepareDatabase(const std::string& path, int stays);

}  // namespace wardlink::bench

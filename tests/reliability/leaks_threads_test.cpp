// Many calls in one process leave memory and descriptors flat; eight threads at once on one
// database keep their own last error and never share an event number.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <barrier>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "db/db_error.h"
#include "db/statement_observer.h"
#include "tests/reliability/reliability_support.h"
#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the allocator keeps freed memory: only descriptors count
#else
constexpr bool kSanitized = false;
#endif

// WARDLINK_LEAK_CALLS overrides the number of calls (the long run makes 10^5).
int LeakCalls() {
  const char* calls = std::getenv("WARDLINK_LEAK_CALLS");
  return calls != nullptr ? std::atoi(calls) : kSanitized ? 2000 : 10000;
}

constexpr size_t kWarmUpCalls = 1000;
constexpr size_t kResidentGrowthLimit = 2 << 20;

TEST(Leaks, MixedCallsLeaveMemoryAndDescriptorsFlat) {
  SeededDatabase db;
  TrialDatabase broken;
  broken.Exec("DROP TABLE Emr_ZhiYe");
  const std::string missing = MissingDatabaseServer();
  // The SQLite driver connects, then the text conversion for an unknown code page fails.
  const std::string connectsThenFails =
      "odbc:Driver=SQLite3;Database=" + db.path().string() + ";NoCreat=1";
  const char* s = db.server();
  std::vector<char> list(4096);
  char* listBuffer = list.data();
  std::array<std::vector<char>, 42> buffers;
  for (auto& buffer : buffers) buffer.resize(1024);
  auto b = [&](size_t i) { return buffers[i].data(); };

  struct Path {
    const char* kind;
    int32_t expected;
    std::function<int32_t()> call;
  };
  const std::vector<Path> paths = {
      {"success", 0, [&] { return AddZhiYe(s, "", "", "Nurse", 2, 2); }},
      {"success", 0, [&] { return DeleteZhiYe(s, "", "", 2); }},
      {"success", 0,
       [&] { return JiaoBan(s, "", "", "N1", "doc", "Dr Lee", "", "", "200801151030"); }},
      {"success", 0, [&] { return GetZhiCheng(s, "", "", &listBuffer); }},
      {"success", 0,
       [&] {
         return GetVictimInfo(s, "", "", "N1", b(0), b(1), b(2), b(3), b(4), b(5), b(6), b(7), b(8),
                              b(9), b(10), b(11), b(12), b(13), b(14), b(15), b(16), b(17), b(18),
                              b(19), b(20), b(21), b(22), b(23), b(24), b(25), b(26), b(27), b(28),
                              b(29), b(30), b(31), b(32), b(33), b(34), b(35), b(36), b(37), b(38),
                              b(39), b(40), b(41), 0);
       }},
      {"refusal", 2, [&] { return AddZhiYe(s, "", "", "Teacher", 1, 1); }},
      {"refusal", 2, [&] { return GuaQi(s, "", "", "no such stay"); }},
      {"rollback", 2, [&] { return VictimZhuanChu(s, "", "", "N1", 3, "doc", "not a date"); }},
      {"-1", -1, [&] { return AddZhiYe(broken.server(), "", "", "Nurse", 2, 2); }},
      {"connection failure", 1, [&] { return AddZhiYe(missing.c_str(), "", "", "Nurse", 2, 2); }},
      {"failure after connecting", 1,
       [&] {
         ScopedEnvironment bogus("LC_ALL", "xx_XX.BOGUS");
         return AddZhiYe(connectsThenFails.c_str(), "", "", "Nurse", 2, 2);
       }},
  };

  const auto calls = static_cast<size_t>(LeakCalls());
  size_t wrong = 0;
  size_t resident = 0;
  size_t descriptors = 0;
  for (size_t i = 0; i < calls; ++i) {
    if (i == kWarmUpCalls) {
      resident = ResidentBytes();
      descriptors = OpenDescriptors();
    }
    const Path& path = paths[i % paths.size()];
    const int32_t code = path.call();
    if (code != path.expected && wrong++ < 5)
      ADD_FAILURE() << path.kind << " call " << i << " returned " << code;
  }
  ASSERT_GT(calls, kWarmUpCalls);
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  if (!kSanitized) {
    EXPECT_LT(ResidentBytes(), resident + kResidentGrowthLimit);
  }
  std::cout << "[ figures  ] " << calls << " calls, resident " << resident / 1024 << " KiB -> "
            << ResidentBytes() / 1024 << " KiB, descriptors " << descriptors << " -> "
            << OpenDescriptors() << "\n";
}

constexpr int kThreads = 8;
constexpr int kRounds = 25;

TEST(Threads, EightAtOnceKeepTheirOwnLastErrorAndUniqueEventNumbers) {
  SeededDatabase db;
  {
    SqliteFile seed(db.path());
    SeedStay(seed, "T0");
    SeedStay(seed, "T1");
  }
  std::barrier sync(kThreads);
  std::atomic<int> failures{0};
  auto fail = [&](const std::string& what) {
    if (failures++ < 5) ADD_FAILURE() << what;
  };
  auto work = [&](int thread) {
    for (int round = 0; round < kRounds; ++round) {
      // Every thread ends a call with a -1 of its own before any of them looks at its message.
      const std::string message =
          "thread " + std::to_string(thread) + " round " + std::to_string(round);
      FailureInjector previous =
          SetFailureInjector([&](std::string_view) { throw DbError(message); });
      const int32_t failed = GuaQi(db.server(), "", "", "T0");
      SetFailureInjector(std::move(previous));
      if (failed != -1) fail(message + ": returned " + std::to_string(failed));
      sync.arrive_and_wait();
      if (LastErrorMessage() != message) fail(message + ": read '" + LastErrorMessage() + "'");
      sync.arrive_and_wait();
      const char* stay = (thread + round) % 2 == 0 ? "T0" : "T1";
      const int32_t moved = JiaoBan(db.server(), "", "", stay, "doc", "Dr", "", "", "200801151030");
      if (moved != 0) fail(message + ": hand-over returned " + std::to_string(moved));
      if (!LastErrorMessage().empty()) fail(message + ": message kept after success");
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int thread = 0; thread < kThreads; ++thread) threads.emplace_back(work, thread);
  for (auto& thread : threads) thread.join();

  EXPECT_EQ(failures.load(), 0);
  SqliteFile file(db.path());
  EXPECT_EQ(file.StayInconsistencies(), std::vector<std::string>());
  EXPECT_EQ(file.Scalar("SELECT count(*) FROM Emr_Doc_Emr_Event WHERE ZhuYuanNo IN ('T0', 'T1')"),
            std::to_string(2 + kThreads * kRounds * 2));
  for (const char* stay : {"T0", "T1"}) {
    EXPECT_EQ(Scalar(db.path(),
                     std::string("SELECT max(SequenceNumber) = count(*) FROM Emr_Doc_Emr_Event "
                                 "WHERE ZhuYuanNo = '") +
                         stay + "'"),
              "1")
        << "numbers of " << stay << " run from 1 without holes";
  }
  std::cout << "[ figures  ] " << kThreads << " threads, " << kThreads * kRounds * 2 << " calls\n";
}

}  // namespace
}  // namespace wardlink::testing

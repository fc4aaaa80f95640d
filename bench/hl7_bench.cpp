// Messages per second through `wardlink hl7 serve` (ACK after the store's synced commit) on 1 and
// 4 connections, beside the same calls made directly through the exports on 1 and 4 threads; the
// gateway once without its metrics endpoint and once with it (--metrics), to show what it costs.
// Usage: wardlink_hl7_bench DIR [MESSAGES]
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/hl7/hl7_test_support.h"
#include "wardlink.h"

namespace {

using namespace wardlink::hl7::testing;
using Clock = std::chrono::steady_clock;

struct Workload {
  const char* name;
  // The message and the direct call of message i on connection (or thread) c.
  std::function<std::string(int c, int i)> message;
  std::function<int32_t(const std::string& server, int c, int i)> direct;
  bool needsStays;
};

std::string Visit(int c) { return "ZB" + std::to_string(c); }
std::string Visit(int c, int i) { return "ZA" + std::to_string(c) + "-" + std::to_string(i); }

std::string Date(int i, bool movement) {
  char text[32];
  std::snprintf(text, sizeof text, movement ? "2024030%d%02d%02d" : "2024030%d%02d%02d00",
                1 + i / 1440, i / 60 % 24, i % 60);
  return text;
}

const Workload kWorkloads[] = {
    {"A01 admission",
     [](int c, int i) {
       return Join({Msh("A01", "A" + std::to_string(c) + "-" + std::to_string(i)),
                    Seg("EVN", {{2, "20240301101500"}}),
                    Seg("PID", {{3, "BA^^^^MR"}, {5, "Chen^Jing"}, {7, "19890215"}, {8, "F"}}),
                    Seg("PV1", {{3, "1^Ward 1A^1101^^^^^^Medicine"},
                                {7, "doc01^Wang^Wei"},
                                {19, Visit(c, i)},
                                {44, "20240301"}})});
     },
     [](const std::string& s, int c, int i) {
       std::string visit = Visit(c, i);
       return AddVictim(s.c_str(), "", "", visit.c_str(), "Chen Jing", "1", "Medicine", "doc01",
                        "Wang Wei", "", "", "", "", "", "", "", "女", "35", "0", "15", "", "", "",
                        "", "", "", "BA", "", "", "Ward 1A", "1101", "03/01/2024", "03/01/2024", "",
                        "", "", "", "", "", "", "", "", "", "", "", "", "");
     },
     false},
    {"A54 hand-over",
     [](int c, int i) {
       std::string date = Date(i, false);
       return Join({Msh("A54", "H" + std::to_string(c) + "-" + std::to_string(i)),
                    Seg("EVN", {{2, date}, {6, date}}),
                    Seg("PV1", {{7, "doc02^Zhao^Lei"}, {19, Visit(c)}})});
     },
     [](const std::string& s, int c, int i) {
       std::string visit = Visit(c);
       return JiaoBan(s.c_str(), "", "", visit.c_str(), "doc02", "Zhao Lei", "", "",
                      Date(i, true).c_str());
     },
     true},
};

std::string NewEmr(const std::filesystem::path& folder, int stays) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  CreateTrial(folder / "emr.db");
  std::string server = "sqlite:" + (folder / "emr.db").string();
  AddOrganisation(server);
  for (int c = 0; c < stays; ++c) {
    std::string visit = Visit(c);
    AddVictim(server.c_str(), "", "", visit.c_str(), "Chen Jing", "1", "Medicine", "doc01",
              "Wang Wei", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
              "", "", "", "", "03/01/2024", "03/01/2024", "", "", "", "", "", "", "", "", "", "", "",
              "", "", "");
  }
  return server;
}

// Runs `body(c)` on `count` threads at once; gives the seconds they took together.
double Timed(int count, const std::function<void(int)>& body) {
  auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < count; ++c) threads.emplace_back(body, c);
  for (auto& thread : threads) thread.join();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: wardlink_hl7_bench DIR [MESSAGES]\n");
    return 2;
  }
  setenv("LC_ALL", "C", 1);
  std::filesystem::path dir = argv[1];
  int messages = argc > 2 ? std::atoi(argv[2]) : 400;
  std::atomic<int> failures{0};
  std::printf(
      "| workload | connections | messages | direct calls/s | gateway messages/s | "
      "with --metrics | gateway / direct |\n|---|---|---|---|---|---|---|\n");
  for (const Workload& w : kWorkloads) {
    for (int connections : {1, 4}) {
      int each = messages / connections;
      std::string server = NewEmr(dir / "direct", w.needsStays ? connections : 0);
      double direct = Timed(connections, [&](int c) {
        for (int i = 0; i < each; ++i)
          if (w.direct(server, c, i) != 0) ++failures;
      });
      double viaGateway[2] = {0, 0};  // without, with --metrics
      for (int metrics : {0, 1}) {
        server = NewEmr(dir / "gateway", w.needsStays ? connections : 0);
        GatewayProcess gateway(
            dir / "gateway", server,
            metrics != 0 ? std::vector<std::string>{"--metrics", "0"} : std::vector<std::string>{});
        viaGateway[metrics] = Timed(connections, [&](int c) {
          MllpClient client("127.0.0.1", gateway.port());
          for (int i = 0; i < each; ++i) {
            auto ack = client.Send(w.message(c, i));
            if (!ack || AckField(*ack, "MSA", 1) != "AA") ++failures;
          }
        });
        gateway.Stop(SIGTERM);
      }
      int total = each * connections;
      std::printf("| %s | %d | %d | %.0f | %.0f | %.0f | %.2fx |\n", w.name, connections, total,
                  total / direct, total / viaGateway[0], total / viaGateway[1],
                  direct / viaGateway[0]);
      std::fflush(stdout);
    }
  }
  if (failures != 0) std::printf("%d calls or messages did not give 0 / AA\n", failures.load());
  return failures == 0 ? 0 : 1;
}

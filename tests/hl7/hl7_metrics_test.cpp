// `wardlink hl7 serve --metrics`: the endpoint scraped with Python's HTTP client while messages go
// through the real listener; its counts are those of the messages sent.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <thread>

#include "tests/hl7/hl7_test_support.h"

namespace wardlink::hl7 {
namespace {

using testing::AckField;
using testing::GatewayProcess;
using testing::Join;
using testing::MllpClient;
using testing::Msh;
using testing::Seg;

struct Folder {
  Folder() {
    char pattern[] = "/tmp/wardlink-metrics-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~Folder() { std::filesystem::remove_all(path); }
  std::filesystem::path path;
};

std::string MetricsUrl(const GatewayProcess& gateway) {
  std::smatch match;
  std::string log = gateway.ErrorOutput();
  if (!std::regex_search(log, match,
                         std::regex("metrics at (http://127\\.0\\.0\\.1:[0-9]+/metrics)")))
    return "";
  return match[1];
}

std::string Scrape(const std::string& url) {
  std::string command =
      "python3 -c 'import sys, urllib.request; "
      "sys.stdout.write(urllib.request.urlopen(sys.argv[1], timeout=10).read().decode())' " +
      url;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe.get())) out.append(buffer, n);
  return out;
}

// The value of one sample (`name{labels}` as written), or -1 when the page lacks it.
double Sample(const std::string& page, const std::string& sample) {
  size_t at = page.find("\n" + sample + " ");
  return at == std::string::npos ? -1 : std::stod(page.substr(at + sample.size() + 2));
}

std::string Admit(const std::string& id, const std::string& visit) {
  return Join(
      {Msh("A01^ADT_A01", id), Seg("EVN", {{2, "20240301101500"}}),
       Seg("PID", {{5, "Chen^Jing"}, {7, "19890215"}, {8, "F"}}),
       Seg("PV1", {{3, "1^Ward 1A^1101"}, {7, "doc01^Wang^Wei"}, {19, visit}, {44, "20240301"}})});
}

std::string Visit(const std::string& event, const std::string& id, const std::string& visit) {
  return Join({Msh(event, id), Seg("PV1", {{19, visit}})});
}

TEST(Hl7Metrics, TheScrapedCountsAreTheMessagesSent) {
  Folder folder;
  testing::CreateTrial(folder.path / "emr.db");
  std::string server = "sqlite:" + (folder.path / "emr.db").string();
  testing::AddOrganisation(server);
  GatewayProcess gateway(folder.path, server, {"--metrics", "0", "--max-per-peer", "1"});
  std::string url = MetricsUrl(gateway);
  ASSERT_FALSE(url.empty()) << gateway.ErrorOutput();

  std::optional<MllpClient> client;
  client.emplace("127.0.0.1", gateway.port());
  struct Sent {
    std::string message, ack;
  };
  const Sent sent[] = {
      {Admit("M1", "ZY1"), "AA"},        {Admit("M2", "ZY2"), "AA"},
      {Visit("A04", "M3", "ZY1"), "AA"},  // ignored
      {Visit("A08", "M4", "ZY9"), "AE"},  // no such stay
      {Admit("M1", "ZY1"), "AA"},         // a duplicate: answered again, not applied
      {"MSH|broken\rPV1|\r", "AR"},       // unreadable
      {Admit("M1", "ZY3"), "AR"},         // a conflict: another message under M1's key
  };
  for (const auto& s : sent) {
    auto ack = client->Send(s.message);
    ASSERT_TRUE(ack.has_value());
    EXPECT_EQ(AckField(*ack, "MSA", 1), s.ack);
  }
  // A frame cut short by the next start block is a broken frame; the next one is answered.
  ASSERT_TRUE(client->SendRaw("\x0b" + Admit("M5", "ZY5").substr(0, 40)));
  auto afterBroken = client->Send(Visit("A04", "M6", "ZY1"));
  ASSERT_TRUE(afterBroken.has_value());
  EXPECT_EQ(AckField(*afterBroken, "MSA", 1), "AA");
  // A second connection from the same address is over --max-per-peer: refused.
  MllpClient second("127.0.0.1", gateway.port());
  EXPECT_TRUE(second.ClosedByPeer(std::chrono::seconds(10)));
  // The EMR database out of reach for one message, then back.
  std::filesystem::rename(folder.path / "emr.db", folder.path / "away.db");
  auto unreachable = client->Send(Visit("A21", "M7", "ZY1"));
  ASSERT_TRUE(unreachable.has_value());
  EXPECT_EQ(AckField(*unreachable, "MSA", 1), "AR");
  std::string during = Scrape(url);
  std::filesystem::rename(folder.path / "away.db", folder.path / "emr.db");
  ASSERT_TRUE(client->Send(Visit("A21", "M8", "ZY2")).has_value());
  std::string after = Scrape(url);

  const std::pair<const char*, double> expected[] = {
      {"wardlink_hl7_messages_total{ack=\"AA\",event=\"A01\"}", 3},
      {"wardlink_hl7_messages_total{ack=\"AA\",event=\"A04\"}", 2},
      {"wardlink_hl7_messages_total{ack=\"AR\",event=\"A01\"}", 1},
      {"wardlink_hl7_messages_total{ack=\"AE\",event=\"A08\"}", 1},
      {"wardlink_hl7_messages_total{ack=\"AR\",event=\"none\"}", 1},
      {"wardlink_hl7_messages_total{ack=\"AR\",event=\"A21\"}", 1},
      {"wardlink_hl7_messages_total{ack=\"AA\",event=\"A21\"}", 1},
      {"wardlink_hl7_duplicates_total", 1},
      {"wardlink_hl7_conflicts_total", 1},
      {"wardlink_hl7_broken_frames_total", 1},
      {"wardlink_hl7_connections_refused_total", 1},
      {"wardlink_hl7_connections", 1},
      {"wardlink_hl7_ack_seconds_count", 10},
      {"wardlink_hl7_export_seconds_count{export=\"AddVictim\"}", 2},
      {"wardlink_hl7_export_seconds_count{export=\"UpdateVictim\"}", 1},
      {"wardlink_hl7_export_seconds_count{export=\"GuaQi\"}", 2},
      {"wardlink_hl7_emr_reachable", 1},
      {"wardlink_hl7_uncertain", 0},
      {"wardlink_hl7_oldest_pending_seconds", 0},
  };
  for (const auto& [sample, value] : expected)
    EXPECT_EQ(Sample(after, sample), value) << sample << "\n" << after;
  EXPECT_EQ(Sample(during, "wardlink_hl7_emr_reachable"), 0) << during;

  client.reset();
  double open = -1;
  for (int i = 0; i < 200 && open != 0; ++i) {
    open = Sample(Scrape(url), "wardlink_hl7_connections");
    if (open != 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(open, 0);
}

// A message that a crash left applying is uncertain when the gateway starts again, and the
// endpoint tells how many there are and how old the oldest is.
TEST(Hl7Metrics, UncertainMessagesAndTheOldestPendingComeFromTheStore) {
  Folder folder;
  testing::CreateTrial(folder.path / "emr.db");
  std::string server = "sqlite:" + (folder.path / "emr.db").string();
  {
    GatewayProcess first(folder.path, server);
    EXPECT_EQ(MetricsUrl(first), "");  // off unless asked
    MllpClient client("127.0.0.1", first.port());
    ASSERT_TRUE(client.Send(Visit("A04", "U1", "ZY1")).has_value());
    first.Stop(SIGTERM);
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder.path / "store.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(db,
                   "UPDATE messages SET state = 'applying', "
                   "received_at = strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime', '-1 hour')",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);

  GatewayProcess gateway(folder.path, server, {"--metrics", "0"});
  std::string page = Scrape(MetricsUrl(gateway));
  EXPECT_EQ(Sample(page, "wardlink_hl7_uncertain"), 1) << page;
  double age = Sample(page, "wardlink_hl7_oldest_pending_seconds");
  EXPECT_GE(age, 3600) << page;
  EXPECT_LT(age, 2 * 3600) << page;
}

}  // namespace
}  // namespace wardlink::hl7

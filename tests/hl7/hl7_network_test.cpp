// `wardlink hl7 serve` on a hospital network, through its real listener: where it listens, the
// senders file, MLLP over TLS with a client of Python's, the connection and frame limits, broken
// frames, the store's mode, lock, loss and retention, and what a peer is told of the database.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <thread>

#include "tests/hl7/hl7_test_support.h"

namespace wardlink::hl7 {
namespace {

using testing::AckField;
using testing::GatewayProcess;
using testing::MllpClient;
using testing::Msh;
using testing::NewEmr;
using testing::RunTool;
using testing::Seg;
using testing::TempFolder;

std::string Admission(const std::string& id, const std::string& visit,
                      const std::string& sender = "HIS|HOSP") {
  std::string msh = Msh("A01^ADT_A01", id);
  msh.replace(msh.find("HIS|HOSP"), 8, sender);
  return testing::Join({msh, Seg("EVN", {{2, "20240301101500"}}),
                        Seg("PID", {{3, "BA-" + visit + "^^^^MR"}, {5, "Chen^Jing"}, {8, "F"}}),
                        Seg("PV1", {{3, "1^Ward 1A^1101^^^^^^Medicine"},
                                    {7, "doc01^Wang^Wei"},
                                    {19, visit},
                                    {44, "20240301100000"}})});
}

std::string HandOver(const std::string& id, const std::string& visit) {
  return testing::Join({Msh("A54", id), Seg("EVN", {{2, "20240306180000"}, {6, "20240306190000"}}),
                        Seg("PV1", {{7, "doc02^Zhao^Lei"}, {19, visit}})});
}

// The rows of `table` in the EMR whose text holds `needle`.
size_t RowsWith(const std::filesystem::path& db, const std::string& table,
                const std::string& needle) {
  size_t n = 0;
  for (const auto& row : testing::TableRows(db, table)) n += row.find(needle) != std::string::npos;
  return n;
}

std::filesystem::path Write(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// A serve command that should refuse to start; one that starts after all is stopped.
std::string Serve(const std::filesystem::path& folder, const std::string& arguments) {
  return "timeout 20 " + testing::Tool() + " hl7 serve --store " + (folder / "store.db").string() +
         " " + arguments + " sqlite:" + (folder / "emr.db").string() + " '' ''";
}

TEST(Hl7Network, ListensOnThisMachineOnlyUnlessTold) {
  TempFolder folder;
  GatewayProcess gateway(folder.path(), NewEmr(folder.path() / "emr.db"), {"--listen", "0"});
  for (const char* host : {"127.0.0.1", "::1"}) {
    MllpClient client(host, gateway.port());
    ASSERT_TRUE(client.connected()) << host << gateway.ErrorOutput();
    auto ack = client.Send(Admission(std::string("L-") + host, "ZY100"));
    ASSERT_TRUE(ack.has_value()) << host;
  }
  // Another address of this machine: one that a socket bound to every address would take.
  EXPECT_FALSE(MllpClient("127.0.0.2", gateway.port()).connected());
}

TEST(Hl7Network, AnotherAddressNeedsASendersFileOrAnySender) {
  TempFolder folder;
  NewEmr(folder.path() / "emr.db");
  for (const char* listen : {"--listen 0.0.0.0:0", "--listen [::]:0", "--listen 10.9.8.7:0"}) {
    auto [status, out] = RunTool(Serve(folder.path(), listen));
    EXPECT_EQ(status, 1) << listen << out;
    EXPECT_NE(out.find("give --senders FILE"), std::string::npos) << listen << out;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "store.db"));
  GatewayProcess open(folder.path(), "sqlite:" + (folder.path() / "emr.db").string(),
                      {"--listen", "0.0.0.0:0", "--any-sender"});
  EXPECT_NE(open.ErrorOutput().find("--any-sender: messages are taken from anyone"),
            std::string::npos)
      << open.ErrorOutput();
  EXPECT_TRUE(MllpClient("127.0.0.2", open.port()).Send(Admission("ANY1", "ZY101")).has_value());
}

TEST(Hl7Network, ABadSendersFileIsRefusedNamingItsLine) {
  TempFolder folder;
  NewEmr(folder.path() / "emr.db");
  const std::string good =
      "[[sender]]\nname = \"his\"\naddresses = [\"10.1.2.0/24\"]\napplications = [\"HIS\"]\n"
      "facilities = [\"HOSP\"]\n";
  struct Case {
    std::string from, to, line;
  } cases[] = {
      {"10.1.2.0/24", "10.1.2.0/33", ":3:"},
      {"10.1.2.0/24", "ward-pc", ":3:"},
      {"applications", "application", ":4:"},
      {"facilities = [\"HOSP\"]", "", ":1:"},   // a sender allowed nothing
      {"name = \"his\"", "name = his", ":2:"},  // not TOML
  };
  for (const auto& c : cases) {
    std::string text = good;
    text.replace(text.find(c.from), c.from.size(), c.to);
    Write(folder.path() / "senders.toml", text);
    auto [status, out] =
        RunTool(Serve(folder.path(), "--senders " + (folder.path() / "senders.toml").string()));
    EXPECT_EQ(status, 1) << c.to << out;
    EXPECT_NE(out.find("senders.toml" + c.line), std::string::npos) << c.to << out;
  }
}

TEST(Hl7Network, ASendersFileDecidesWhoConnectsAndForWhichApplicationAndFacility) {
  TempFolder folder;
  std::string server = NewEmr(folder.path() / "emr.db");
  auto senders = Write(folder.path() / "senders.toml", R"(
[[sender]]
name = "his"
addresses = ["127.0.0.2", "::1/128"]
applications = ["HIS"]
facilities = ["HOSP", "HOSP-EAST"]

[[sender]]
name = "lab"
addresses = ["127.0.0.3/32"]
applications = ["LAB"]
facilities = ["HOSP"]
)");
  GatewayProcess gateway(folder.path(), server, {"--listen", "0", "--senders", senders.string()});
  auto emr = folder.path() / "emr.db";

  MllpClient stranger("127.0.0.1", gateway.port());
  EXPECT_TRUE(stranger.ClosedByPeer(std::chrono::seconds(5)));  // before a byte is sent

  // The lab speaking for the hospital system: refused, nothing applied, no key taken.
  auto refused =
      MllpClient("127.0.0.1", gateway.port(), "127.0.0.3").Send(Admission("S1", "ZY2S1"));
  ASSERT_TRUE(refused.has_value()) << gateway.ErrorOutput();
  EXPECT_EQ(AckField(*refused, "MSA", 1), "AR");
  EXPECT_EQ(AckField(*refused, "ERR", 3).substr(0, 3), "207");
  EXPECT_EQ(AckField(*refused, "ERR", 8), "sender not allowed");
  EXPECT_EQ(RowsWith(emr, "Emr_Doc_Emr_Info", "ZY2S1"), 0U);

  // The hospital system then sends under the same control ID: applied.
  struct Case {
    std::string host, source, id, sender, code;
  } cases[] = {
      {"127.0.0.1", "127.0.0.2", "S1", "HIS|HOSP", "AA"},
      {"127.0.0.1", "127.0.0.2", "S2", "HIS^1.2.3^ISO|HOSP-EAST", "AA"},  // first component
      {"::1", "::1", "S3", "HIS|HOSP", "AA"},
      {"127.0.0.1", "127.0.0.2", "S4", "HIS|LABHOSP", "AR"},
      {"127.0.0.1", "127.0.0.3", "S5", "LAB|HOSP", "AA"},
  };
  for (const auto& c : cases) {
    std::string visit = "ZY2" + c.id;
    auto ack = MllpClient(c.host, gateway.port(), c.source).Send(Admission(c.id, visit, c.sender));
    ASSERT_TRUE(ack.has_value()) << c.id << gateway.ErrorOutput();
    EXPECT_EQ(AckField(*ack, "MSA", 1), c.code) << c.id << *ack;
    EXPECT_EQ(RowsWith(emr, "Emr_Doc_Emr_Info", visit), c.code == "AA" ? 1U : 0U) << c.id;
  }
}

TEST(Hl7Network, TlsClientsAreVerifiedAtTheHandshakeAndMatchedAgainstTheSenders) {
  TempFolder folder;
  auto tls = folder.path() / "tls";
  ASSERT_EQ(std::system(
                (std::string(WARDLINK_SOURCE_DIR) + "/tests/hl7/make_tls_files.sh " + tls.string())
                    .c_str()),
            0);
  auto senders = Write(folder.path() / "senders.toml", R"(
[[sender]]
name = "his"
certificate = "his.hospital.example"
applications = ["HIS"]
facilities = ["HOSP"]
)");
  std::string server = NewEmr(folder.path() / "emr.db");
  GatewayProcess gateway(folder.path(), server,
                         {"--listen-tls", "127.0.0.1:0", "--tls-cert",
                          (tls / "server.pem").string(), "--tls-key", (tls / "server.key").string(),
                          "--tls-ca", (tls / "ca.pem").string(), "--senders", senders.string()});
  struct Case {
    std::string client, outcome;
  } cases[] = {
      {"his", "ACK\nMSH"},
      {"stranger", "CLOSED"},  // a good certificate, no sender's
      {"", "REFUSED TLSV13_ALERT_CERTIFICATE_REQUIRED"},
      {"rogue", "REFUSED TLSV1_ALERT_UNKNOWN_CA"},
      {"expired", "REFUSED SSLV3_ALERT_CERTIFICATE_EXPIRED"},
  };
  int n = 0;
  for (const auto& c : cases) {
    std::string visit = "ZY30" + std::to_string(++n);
    auto message = Write(folder.path() / "message.hl7", Admission("T" + visit, visit));
    std::string pem = c.client.empty() ? "-" : (tls / (c.client + ".pem")).string();
    std::string key = c.client.empty() ? "-" : (tls / (c.client + ".key")).string();
    auto [status, out] =
        RunTool(std::string(WARDLINK_SOURCE_DIR) + "/tests/hl7/tls_mllp_send.py 127.0.0.1 " +
                std::to_string(gateway.tlsPort()) + " " + (tls / "ca.pem").string() + " " + pem +
                " " + key + " " + message.string());
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.substr(0, c.outcome.size()), c.outcome) << c.client << ": " << out;
    EXPECT_EQ(RowsWith(folder.path() / "emr.db", "Emr_Doc_Emr_Info", visit),
              c.client == "his" ? 1U : 0U)
        << c.client;
  }
  std::string log = gateway.ErrorOutput();
  EXPECT_NE(log.find("(certificate stranger.example) matches no sender: closed"), std::string::npos)
      << log;
  size_t handshakes = 0;
  for (size_t at = log.find("TLS handshake failed"); at != std::string::npos;
       at = log.find("TLS handshake failed", at + 1))
    ++handshakes;
  EXPECT_EQ(handshakes, 3U) << log;
}

TEST(Hl7Network, ConnectionsBeyondTheLimitsAreClosedAndTheOthersServed) {
  TempFolder folder;
  GatewayProcess gateway(folder.path(), NewEmr(folder.path() / "emr.db"),
                         {"--max-connections", "3", "--max-per-peer", "2"});
  std::vector<std::unique_ptr<MllpClient>> open;
  auto served = [&](const char* source) {
    open.push_back(std::make_unique<MllpClient>("127.0.0.1", gateway.port(), source));
    auto ack = open.back()->Send(
        Admission("M" + std::to_string(open.size()), "ZY40" + std::to_string(open.size())));
    return ack.has_value();
  };
  auto closed = [&](const char* source) {
    return MllpClient("127.0.0.1", gateway.port(), source).ClosedByPeer(std::chrono::seconds(5));
  };
  ASSERT_TRUE(served("127.0.0.1"));
  ASSERT_TRUE(served("127.0.0.1"));
  EXPECT_TRUE(closed("127.0.0.1"));  // two open from 127.0.0.1
  ASSERT_TRUE(served("127.0.0.2"));
  EXPECT_TRUE(closed("127.0.0.3"));  // three open in all
  auto ack = open.front()->Send(Admission("M9", "ZY409"));
  ASSERT_TRUE(ack.has_value());
  EXPECT_EQ(AckField(*ack, "MSA", 1), "AA");
  std::string log = gateway.ErrorOutput();
  EXPECT_NE(log.find("(--max-connections)"), std::string::npos) << log;
  EXPECT_NE(log.find("(--max-per-peer)"), std::string::npos) << log;
}

TEST(Hl7Network, AFrameTrickledByteByByteIsClosedAtTheFrameTimeout) {
  TempFolder folder;
  GatewayProcess gateway(folder.path(), NewEmr(folder.path() / "emr.db"),
                         {"--frame-timeout", "2", "--idle-timeout", "60"});
  MllpClient client("127.0.0.1", gateway.port());
  std::string frame = "\x0b" + Admission("F1", "ZY501");
  bool closed = false;
  for (size_t i = 0; i < frame.size() && !closed; ++i) {
    closed =
        !client.SendRaw(frame.substr(i, 1)) || client.ClosedByPeer(std::chrono::milliseconds(250));
    ASSERT_LT(i, 80U) << "still open after 20 s of trickling";
  }
  EXPECT_TRUE(closed);
  EXPECT_NE(gateway.ErrorOutput().find("frame not done within 2 s: closed"), std::string::npos)
      << gateway.ErrorOutput();
}

TEST(Hl7Network, AStartBlockInsideAFrameDropsThatFrameAndReadingStartsAgain) {
  TempFolder folder;
  GatewayProcess gateway(folder.path(), NewEmr(folder.path() / "emr.db"));
  std::string first = Admission("B1", "ZY601");
  MllpClient client("127.0.0.1", gateway.port());
  ASSERT_TRUE(client.SendRaw("\x0b" + first.substr(0, first.size() / 2)));
  auto ack = client.Send(Admission("B2", "ZY602"));
  ASSERT_TRUE(ack.has_value()) << gateway.ErrorOutput();
  EXPECT_EQ(AckField(*ack, "MSA", 1), "AA");
  EXPECT_EQ(AckField(*ack, "MSA", 2), "B2");
  EXPECT_FALSE(client.ReadAck(std::chrono::milliseconds(500)).has_value());  // one ACK only
  EXPECT_EQ(RowsWith(folder.path() / "emr.db", "Emr_Doc_Emr_Info", "ZY601"), 0U);
  EXPECT_EQ(RowsWith(folder.path() / "emr.db", "Emr_Doc_Emr_Info", "ZY602"), 1U);
  EXPECT_EQ(testing::TableRows(folder.path() / "store.db", "messages").size(), 1U);
  EXPECT_NE(gateway.ErrorOutput().find("broken frame"), std::string::npos);
}

TEST(Hl7Network, TheStoreIsTheOwnersAloneAndLockedOnTheFileItself) {
  TempFolder folder;
  std::string server = NewEmr(folder.path() / "emr.db");
  mode_t umask = ::umask(0);
  std::unique_ptr<GatewayProcess> gateway;
  try {
    gateway = std::make_unique<GatewayProcess>(folder.path(), server);
  } catch (...) {
    ::umask(umask);
    throw;
  }
  ::umask(umask);
  ASSERT_TRUE(MllpClient("127.0.0.1", gateway->port()).Send(Admission("P1", "ZY701")).has_value());
  for (const char* name : {"store.db", "store.db-wal"}) {
    struct stat status {};
    ASSERT_EQ(::stat((folder.path() / name).c_str(), &status), 0) << name;
    EXPECT_EQ(status.st_mode & 0777, 0600U) << name;
  }
  std::filesystem::create_directory(folder.path() / "other");
  std::filesystem::create_symlink(folder.path() / "store.db", folder.path() / "other" / "link.db");
  auto [status, out] =
      RunTool("timeout 20 " + testing::Tool() + " hl7 serve --listen 127.0.0.1:0 --store " +
              (folder.path() / "other" / "link.db").string() + " " + server + " '' ''");
  EXPECT_NE(status, 0) << out;
  EXPECT_NE(out.find("in use by another gateway"), std::string::npos) << out;
}

TEST(Hl7Network, AStoreRemovedOrReplacedStopsTheGatewayAndNothingIsAppliedTwice) {
  for (bool replace : {false, true}) {
    TempFolder folder;
    std::string server = NewEmr(folder.path() / "emr.db");
    auto store = folder.path() / "store.db";
    {
      GatewayProcess gateway(folder.path(), server);
      ASSERT_TRUE(MllpClient("127.0.0.1", gateway.port()).Send(Admission("R1", "ZY801")));
      if (replace) {
        std::filesystem::copy_file(store, folder.path() / "copy.db");
        std::filesystem::rename(folder.path() / "copy.db", store);
      } else {
        for (const char* suffix : {"", "-wal", "-shm"})
          std::filesystem::remove(store.string() + suffix);
      }
      auto ack = MllpClient("127.0.0.1", gateway.port()).Send(HandOver("R2", "ZY801"));
      ASSERT_TRUE(ack.has_value()) << replace;
      EXPECT_EQ(AckField(*ack, "MSA", 1), "AR") << replace;
      EXPECT_EQ(AckField(*ack, "ERR", 3).substr(0, 3), "207") << replace;
      auto status = gateway.Exited(std::chrono::seconds(10));
      ASSERT_TRUE(status.has_value()) << replace;
      EXPECT_NE(*status, 0) << replace;
      EXPECT_NE(gateway.ErrorOutput().find(replace ? "was replaced" : "was removed"),
                std::string::npos)
          << gateway.ErrorOutput();
    }
    GatewayProcess restarted(folder.path(), server);
    auto ack = MllpClient("127.0.0.1", restarted.port()).Send(HandOver("R2", "ZY801"));
    ASSERT_TRUE(ack.has_value());
    EXPECT_EQ(AckField(*ack, "MSA", 1), "AA") << replace;
    EXPECT_EQ(RowsWith(folder.path() / "emr.db", "Emr_Doc_Emr_Event", "EventCode=JiaoBan|"), 1U)
        << replace;
  }
}

// Runs `sql` on the SQLite file at `path`; gives its rows, each row's cells joined by "|".
std::vector<std::string> Sql(const std::filesystem::path& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> owner(db, sqlite3_close);
  std::vector<std::string> rows;
  auto add = [](void* out, int n, char** cells, char**) {
    std::string row;
    for (int i = 0; i < n; ++i) row += std::string(i > 0 ? "|" : "") + (cells[i] ? cells[i] : "");
    static_cast<std::vector<std::string>*>(out)->push_back(row);
    return 0;
  };
  if (sqlite3_exec(db, sql.c_str(), add, &rows, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db));
  return rows;
}

// The length of each stored message's raw text, by control ID ("" for an unkeyed one).
std::map<std::string, std::string> RawLengths(const std::filesystem::path& store) {
  std::map<std::string, std::string> lengths;
  for (const auto& row : Sql(store, "SELECT coalesce(control_id, ''), length(raw) FROM messages")) {
    lengths[row.substr(0, row.find('|'))] = row.substr(row.find('|') + 1);
  }
  return lengths;
}

TEST(Hl7Network, OldTextsArePrunedAndWhatWasNotAppliedKeepsItsFirstFourKibibytes) {
  TempFolder folder;
  std::string server = NewEmr(folder.path() / "emr.db");
  std::string note = Seg("NTE", {{3, std::string(10000, 'n')}});
  std::string applied = Admission("K1", "ZY901") + note + "\r";
  {
    GatewayProcess gateway(folder.path(), server);
    MllpClient client("127.0.0.1", gateway.port());
    ASSERT_TRUE(client.Send(applied));
    ASSERT_TRUE(client.Send(testing::Join({Msh("A99", "K2"), note})));      // ignored
    ASSERT_TRUE(client.Send("not HL7 at all " + std::string(10000, 'x')));  // unreadable
    gateway.Stop(SIGTERM);
  }
  auto lengths = RawLengths(folder.path() / "store.db");
  EXPECT_EQ(lengths["K1"], std::to_string(applied.size()));
  EXPECT_EQ(lengths["K2"], "4096");
  EXPECT_EQ(lengths[""], "4096");

  Sql(folder.path() / "store.db",
      "UPDATE messages SET received_at = '2000-01-01 00:00:00.000' WHERE control_id = 'K1'");
  GatewayProcess gateway(folder.path(), server, {"--keep-days", "30"});
  lengths = RawLengths(folder.path() / "store.db");
  EXPECT_EQ(lengths["K1"], "0");
  EXPECT_EQ(lengths["K2"], "4096");
  auto [status, log] = RunTool(testing::Tool() + " hl7 log --store " +
                               (folder.path() / "store.db").string() + " --control-id K1");
  EXPECT_NE(log.find("AddVictim -> 0; ACK AA"), std::string::npos) << log;
}

TEST(Hl7Network, APeerIsToldOnlyThatTheDatabaseIsUnavailable) {
  TempFolder folder;
  GatewayProcess gateway(folder.path(), "sqlite:" + (folder.path() / "gone" / "emr.db").string());
  auto ack = MllpClient("127.0.0.1", gateway.port()).Send(Admission("U1", "ZY950"));
  ASSERT_TRUE(ack.has_value());
  EXPECT_EQ(AckField(*ack, "MSA", 1), "AR");
  EXPECT_EQ(AckField(*ack, "ERR", 8), "EMR database unavailable");
  EXPECT_EQ(ack->find("gone"), std::string::npos) << *ack;
  EXPECT_NE(gateway.ErrorOutput().find((folder.path() / "gone").string()), std::string::npos)
      << gateway.ErrorOutput();
}

TEST(Hl7Commands, ApplyTakesTheDatabaseFromTheEnvironment) {
  TempFolder folder;
  std::string server = NewEmr(folder.path() / "emr.db");
  auto file = Write(folder.path() / "day.hl7", Admission("E1", "ZY960"));
  auto [status, out] = RunTool(
      "WARDLINK_SERVER=" + server + " WARDLINK_LOGIN= WARDLINK_PASSWORD= " + testing::Tool() +
      " hl7 apply --store " + (folder.path() / "store.db").string() + " " + file.string());
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(RowsWith(folder.path() / "emr.db", "Emr_Doc_Emr_Info", "ZY960"), 1U) << out;
}

}  // namespace
}  // namespace wardlink::hl7

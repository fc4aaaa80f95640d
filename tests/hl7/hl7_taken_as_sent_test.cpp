// Every message taken as it was sent, through the gateway's own listener: whole keys, duplicates
// told from conflicts by their content, stores of the earlier key form, control characters,
// character sets found after decoding, other message types, names, record dates under Chinese
// locales and time stamps with offsets, and uncertain messages settled by a person.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <memory>
#include <tuple>

#include "tests/hl7/hl7_test_support.h"
#include "tests/test_support.h"

namespace wardlink::hl7 {
namespace {

using testing::AckField;
using testing::GatewayProcess;
using testing::MllpClient;
using testing::Seg;

std::string Header(const std::string& application, const std::string& facility,
                   const std::string& controlId, const std::string& type = "ADT^A01^ADT_A01",
                   const std::string& sent = "20240301080000", const std::string& charset = "") {
  return "MSH|^~\\&|" + application + "|" + facility + "|WARDLINK|EMR|" + sent + "||" + type + "|" +
         controlId + "|P|2.5.1" + (charset.empty() ? "" : "|||||CHN|" + charset);
}

std::string Admission(const std::string& header, const std::string& visit,
                      const std::string& name = "Chen^Jing",
                      const std::string& admitted = "20240301100000") {
  return testing::Join({header, Seg("EVN", {{2, "20240301101500"}}),
                        Seg("PID", {{5, name}, {7, "19890215"}, {8, "F"}}),
                        Seg("PV1", {{3, "1^Ward 1A^1101^^^^^^Medicine"},
                                    {7, "doc01^Wang^Wei"},
                                    {19, visit},
                                    {44, admitted}})});
}

// The store as the gateway wrote it before keys were taken whole.
constexpr const char* kEarlierStore = R"(
CREATE TABLE messages (id INTEGER PRIMARY KEY, received_at TEXT NOT NULL, peer TEXT NOT NULL,
  sending_application TEXT, sending_facility TEXT, control_id TEXT, event TEXT, visit TEXT,
  raw BLOB NOT NULL, state TEXT NOT NULL, export TEXT, result INTEGER, reason TEXT, ack_code TEXT,
  ack BLOB, answered_at TEXT, deliveries INTEGER NOT NULL DEFAULT 1);
CREATE UNIQUE INDEX messages_key ON messages (sending_application, sending_facility, control_id)
  WHERE control_id IS NOT NULL;
CREATE INDEX messages_visit ON messages (visit);
CREATE INDEX messages_state ON messages (state);
)";

class Hl7Sent : public ::testing::Test {
 protected:
  Hl7Sent() {
    char pattern[] = "/tmp/wardlink-hl7-sent-XXXXXX";
    folder_ = mkdtemp(pattern);
    testing::CreateTrial(folder_ / "emr.db");
    server_ = "sqlite:" + (folder_ / "emr.db").string();
    testing::AddOrganisation(server_);
  }
  ~Hl7Sent() override {
    gateway_.reset();
    std::filesystem::remove_all(folder_);
  }
  void Start() { gateway_ = std::make_unique<GatewayProcess>(folder_, server_); }
  std::string Send(const std::string& message) {
    MllpClient client("127.0.0.1", gateway_->port());
    return client.Send(message).value_or("<no ACK>");
  }
  // The stay row of `visit`, "" when there is none.
  std::string Stay(const std::string& visit) {
    for (const auto& row : testing::TableRows(folder_ / "emr.db", "Emr_Doc_Emr_Info"))
      if (row.find("ZhuYuanNo=" + visit + "|") != std::string::npos) return row;
    return "";
  }
  // The tool's exit status and what it wrote.
  std::pair<int, std::string> Tool(const std::string& arguments) {
    return testing::RunTool(testing::Tool() + " hl7 " + arguments + " --store " +
                            (folder_ / "store.db").string());
  }
  void Sql(const std::string& statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder_ / "store.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statements.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  std::filesystem::path folder_;
  std::string server_;
  std::unique_ptr<GatewayProcess> gateway_;
};

// Two messages whose keys differ only past a first component, or in a repetition: two keys.
TEST_F(Hl7Sent, KeysAreTheWholeFieldsSoMessagesThatDifferPastAFirstComponentAreBothApplied) {
  struct Pair {
    std::string first, second;  // headers of two admissions
  };
  const Pair pairs[] = {
      {Header("HIS", "GENHOSP^2.16.1^ISO", "F1"), Header("HIS", "GENHOSP^2.16.2^ISO", "F1")},
      {Header("HIS^1", "HOSP", "A1"), Header("HIS^2", "HOSP", "A1")},
      {Header("HIS", "HOSP", "K^1"), Header("HIS", "HOSP", "K^2")},
      {Header("HIS", "HOSP", "R~1"), Header("HIS", "HOSP", "R~2")},
  };
  Start();
  int n = 0;
  for (const auto& pair : pairs) {
    std::string a = "ZK" + std::to_string(++n);
    std::string b = "ZK" + std::to_string(++n);
    EXPECT_EQ(AckField(Send(Admission(pair.first, a)), "MSA", 1), "AA") << pair.first;
    EXPECT_EQ(AckField(Send(Admission(pair.second, b)), "MSA", 1), "AA") << pair.second;
    EXPECT_NE(Stay(b), "") << pair.second << " was not applied";
  }
}

TEST_F(Hl7Sent, TheSameMessageIsADuplicateAndADifferentOneUnderItsKeyAConflict) {
  Start();
  std::string held = Admission(Header("HIS", "HOSP", "C1"), "ZC1");
  std::string first = Send(held);
  ASSERT_EQ(AckField(first, "MSA", 1), "AA") << first;
  // Sent again later: only MSH-7 differs. The ACK kept is answered, nothing applied twice.
  EXPECT_EQ(
      Send(Admission(Header("HIS", "HOSP", "C1", "ADT^A01^ADT_A01", "20240301090000"), "ZC1")),
      first);
  std::string other = Send(Admission(Header("HIS", "HOSP", "C1"), "ZC2"));
  EXPECT_EQ(AckField(other, "MSA", 1), "AR") << other;
  EXPECT_EQ(AckField(other, "ERR", 3).substr(0, 4), "205^") << other;
  EXPECT_EQ(Stay("ZC2"), "");
  EXPECT_EQ(Send(held), first);  // the held message untouched

  auto [status, conflicts] = Tool("log --conflicts");
  EXPECT_EQ(status, 0) << conflicts;
  EXPECT_NE(conflicts.find("control ID C1"), std::string::npos) << conflicts;
  EXPECT_NE(conflicts.find("conflict"), std::string::npos) << conflicts;
  EXPECT_EQ(conflicts.find("received 2 times"), std::string::npos)
      << conflicts;  // only the refused
  auto [allStatus, all] = Tool("log --control-id C1");
  EXPECT_NE(all.find("answered; AddVictim -> 0; ACK AA"), std::string::npos) << all;
  EXPECT_NE(all.find("received 3 times"), std::string::npos) << all;
}

TEST_F(Hl7Sent, AStoreOfTheEarlierKeyFormOpensWithItsKeysTakenWhole) {
  std::string held = Admission(Header("HIS", "GENHOSP^2.16.1^ISO", "M1"), "ZM1");
  Sql(std::string(kEarlierStore) +
      "INSERT INTO messages (received_at, peer, sending_application, sending_facility, "
      "control_id, event, visit, raw, state, export, result, reason, ack_code, ack, answered_at) "
      "VALUES (datetime('now'), 'earlier', 'HIS', 'GENHOSP', 'M1', 'A01', 'ZM1', '" +
      held + "', 'answered', 'AddVictim', 0, '', 'AA', 'MSH|^~\\&|ACK KEPT', '2024-03-01');");
  Start();
  EXPECT_EQ(Send(held), "MSH|^~\\&|ACK KEPT");
  std::string second = Send(Admission(Header("HIS", "GENHOSP^2.16.2^ISO", "M1"), "ZM2"));
  EXPECT_EQ(AckField(second, "MSA", 1), "AA") << second;
  EXPECT_NE(Stay("ZM2"), "");
}

// The text kept of a message can be cut to 4 KiB (ignored) or removed (retention): a resend is
// still told a duplicate, by the digest kept beside it.
TEST_F(Hl7Sent, AResendIsADuplicateWhenTheTextKeptWasCutShortOrPruned) {
  Start();
  std::string big = testing::Join(
      {Header("HIS", "HOSP", "B1", "ORU^R01^ORU_R01"), Seg("OBX", {{5, std::string(6000, 'x')}})});
  std::string admission = Admission(Header("HIS", "HOSP", "B2"), "ZB2");
  std::string ignored = Send(big);
  ASSERT_EQ(AckField(ignored, "MSA", 1), "AA") << ignored;
  std::string admitted = Send(admission);
  ASSERT_EQ(AckField(admitted, "MSA", 1), "AA") << admitted;
  Sql("UPDATE messages SET raw = X'' WHERE control_id = 'B2'");  // as retention leaves it
  EXPECT_EQ(Send(big), ignored);
  EXPECT_EQ(Send(admission), admitted);
  EXPECT_EQ(AckField(Send(Admission(Header("HIS", "HOSP", "B2"), "ZB3")), "MSA", 1), "AR");
}

struct AnswerCase {
  const char* name;
  std::string message;
  const char* code;    // MSA-1
  const char* error;   // ERR-3's identifier, "" for no ERR
  std::string echoed;  // MSA-2 as the ACK writes it
  const char* visit;   // a stay that must not exist afterwards, "" for none
};

void PrintTo(const AnswerCase& c, std::ostream* out) { *out << c.name; }

std::string WithVisit(const std::string& header, const std::string& visit) {
  return Admission(header, visit);
}

// GB 18030 bytes for 東華醫院: 東 is 96 7C, whose second byte is the field separator.
const std::string kEastHospital = "\x96\x7c\xc8\x41\xe1\x74\xd4\xba";

const AnswerCase kAnswers[] = {
    {"control_character_in_visit", WithVisit(Header("HIS", "HOSP", "X1"), "\\X00\\Z"), "AR", "102",
     "X1", ""},
    {"carriage_return_in_name", Admission(Header("HIS", "HOSP", "X2"), "ZX2", "Chen\\X0D\\^Jing"),
     "AR", "102", "X2", "ZX2"},
    {"escape_in_name", Admission(Header("HIS", "HOSP", "X3"), "ZX3", "Chen\\X1B\\[2J^Jing"), "AR",
     "102", "X3", "ZX3"},
    {"line_feed_in_control_id", WithVisit(Header("HIS", "HOSP", "X4\\X0A\\FORGED line"), "ZX4"),
     "AA", "", "X4\\X0A\\FORGED line", ""},
    {"start_block_in_control_id", WithVisit(Header("HIS", "HOSP", "X5\\X0B\\"), "ZX5"), "AA", "",
     "X5\\X0B\\", ""},
    {"end_block_in_character_set",
     WithVisit(
         Header("HIS", "HOSP", "X6", "ADT^A01^ADT_A01", "20240301080000", "UNICODE UTF-8~\\X1C\\"),
         "ZX6"),
     "AA", "", "X6", ""},
    {"gb18030_facility_byte_like_a_separator",
     WithVisit(
         Header("HIS", kEastHospital, "X7", "ADT^A01^ADT_A01", "20240301080000", "GB 18030-2000"),
         "ZX7"),
     "AA", "", "X7", ""},
    {"unsupported_character_set",
     WithVisit(Header("HIS", "HOSP", "X8", "ADT^A01^ADT_A01", "20240301080000", "CHN"), "ZX8"),
     "AR", "103", "X8", "ZX8"},
    {"observation_result_with_an_admission_trigger",
     WithVisit(Header("HIS", "HOSP", "X9", "ORU^A01"), "ZX9"), "AA", "", "X9", "ZX9"},
    {"acknowledgement", WithVisit(Header("HIS", "HOSP", "X10", "ACK^A01"), "ZX10"), "AA", "", "X10",
     "ZX10"},
};

class Hl7SentAnswers : public Hl7Sent, public ::testing::WithParamInterface<AnswerCase> {};

// Every ACK is one frame whose MSA-2 is the control ID encoded; a control character in a field
// the mapping reads is refused naming the field; no message writes a log line of its own.
TEST_P(Hl7SentAnswers, AreOneFrameEachAndRefuseWhatTheMappingCannotTake) {
  const AnswerCase& c = GetParam();
  Start();
  MllpClient client("127.0.0.1", gateway_->port());
  auto ack = client.Send(c.message, std::chrono::seconds(10));
  ASSERT_TRUE(ack.has_value());
  EXPECT_EQ(AckField(*ack, "MSA", 1), c.code) << *ack;
  EXPECT_EQ(AckField(*ack, "MSA", 2), c.echoed) << *ack;
  std::string error = AckField(*ack, "ERR", 3);
  EXPECT_EQ(error.substr(0, error.find('^')), *c.error != 0 ? c.error : "<no ERR>") << *ack;
  for (char byte : *ack)
    EXPECT_FALSE(static_cast<unsigned char>(byte) < 0x20 && byte != '\r') << int{byte};
  // Nothing more came after the ACK's end: it was one frame.
  EXPECT_FALSE(client.ReadAck(std::chrono::milliseconds(200)).has_value());
  if (*c.visit != 0) {
    EXPECT_EQ(Stay(c.visit), "");
  }
  gateway_->Stop(SIGTERM);
  EXPECT_EQ(gateway_->ErrorOutput().find("\nFORGED"), std::string::npos) << gateway_->ErrorOutput();
}

INSTANTIATE_TEST_SUITE_P(Hl7, Hl7SentAnswers, ::testing::ValuesIn(kAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

// The discharge's result is PV1-36's text, else its code.
TEST_F(Hl7Sent, NamesAreJoinedDirectlyOnlyWhenBothPartsAreCjkAndADispositionIsItsTextElseItsCode) {
  const std::pair<std::string, std::string> names[] = {
      {"M\xc3\xbcller^Jos\xc3\xa9", "M\xc3\xbcller Jos\xc3\xa9"},
      {"O'Brien^Ann", "O'Brien Ann"},
      {"王^芳", "王芳"},
      {"山田^はなこ", "山田はなこ"},
      {"김^민준", "김민준"},
      {"王^Fang", "王 Fang"},
  };
  Start();
  int n = 0;
  for (const auto& [sent, stored] : names) {
    std::string visit = "ZN" + std::to_string(++n);
    Send(Admission(Header("HIS", "HOSP", visit), visit, sent));
    EXPECT_NE(Stay(visit).find("PeopleName=" + stored + "|"), std::string::npos)
        << sent << ": " << Stay(visit);
  }
  for (const auto& [visit, disposition, result] :
       {std::tuple{"ZN1", "01", "01"}, std::tuple{"ZN2", "01^Home", "Home"}}) {
    Send(testing::Join({Header("HIS", "HOSP", std::string("D") + visit, "ADT^A03"),
                        Seg("EVN", {{2, "20240310100000"}}),
                        Seg("PV1", {{19, visit}, {36, disposition}, {45, "20240310103000"}})}));
    EXPECT_NE(Stay(visit).find(std::string("ZhiLiaoJieGuo=") + result + "|"), std::string::npos)
        << disposition << ": " << Stay(visit);
  }
}

// Under zh_CN the library reads yyyy/M/d; a time stamp with an offset is the host's local time.
TEST_F(Hl7Sent, RecordDatesUnderChineseLocalesAreTheOnesSent) {
  for (const char* locale : {"zh_CN.UTF-8", "zh_CN.GB18030"}) {
    wardlink::testing::EnsureLocale(locale);
    setenv("LC_ALL", locale, 1);
    setenv("TZ", "CST-8", 1);
    Start();
    unsetenv("LC_ALL");
    unsetenv("TZ");
    std::string suffix = std::string(locale).substr(6);
    std::string plain = "ZD" + suffix;
    std::string offset = "ZO" + suffix;
    EXPECT_EQ(AckField(Send(Admission(Header("HIS", "HOSP", plain), plain)), "MSA", 1), "AA");
    EXPECT_EQ(AckField(Send(Admission(Header("HIS", "HOSP", offset), offset, "Chen^Jing",
                                      "20240301233000+0000")),
                       "MSA", 1),
              "AA");
    EXPECT_NE(Stay(plain).find("RuYuanDate=2024-03-01 00:00:00"), std::string::npos)
        << locale << ": " << Stay(plain);
    EXPECT_NE(Stay(offset).find("RuYuanDate=2024-03-02 00:00:00"), std::string::npos)
        << locale << ": " << Stay(offset);
    gateway_->Stop(SIGTERM);
  }
}

TEST_F(Hl7Sent, APersonSettlesAnUncertainMessage) {
  Start();
  std::string applied = Admission(Header("HIS", "HOSP", "U1"), "ZU1");
  std::string lost = Admission(Header("HIS", "HOSP", "U2"), "ZU2");
  ASSERT_EQ(AckField(Send(applied), "MSA", 1), "AA");
  gateway_->Stop(SIGKILL);
  // As a crash leaves them: U1 applied before the outcome was kept, U2 recorded but not applied.
  Sql("UPDATE messages SET state = 'applying', ack = NULL, ack_code = NULL WHERE control_id = "
      "'U1'; INSERT INTO messages (received_at, peer, sending_application, sending_facility, "
      "control_id, event, raw, state) VALUES (datetime('now'), 'p', 'HIS', 'HOSP', 'U2', 'A01', '" +
      lost + "', 'applying');");
  Start();
  EXPECT_EQ(AckField(Send(lost), "MSA", 1), "AE");
  auto [listed, uncertain] = Tool("log --uncertain");
  EXPECT_NE(uncertain.find("control ID U2"), std::string::npos) << uncertain;
  auto id = [](const std::string& log, const std::string& control) {
    size_t at = log.rfind('#', log.find("control ID " + control));
    return log.substr(at + 1, log.find(' ', at) - at - 1);
  };
  auto [s1, r1] = Tool("resolve " + id(uncertain, "U1") + " applied");
  EXPECT_EQ(s1, 0) << r1;
  auto [s2, r2] = Tool("resolve " + id(uncertain, "U2") + " not-applied");
  EXPECT_EQ(s2, 0) << r2;
  auto [s3, r3] = Tool("resolve " + id(uncertain, "U2") + " applied");
  EXPECT_NE(s3, 0) << "a settled message is settled once: " << r3;
  EXPECT_EQ(AckField(Send(applied), "MSA", 1), "AA");
  EXPECT_EQ(AckField(Send(lost), "MSA", 1), "AA");
  EXPECT_NE(Stay("ZU2"), "");
  auto [after, none] = Tool("log --uncertain");
  EXPECT_EQ(none.find("control ID"), std::string::npos) << none;
}

}  // namespace
}  // namespace wardlink::hl7

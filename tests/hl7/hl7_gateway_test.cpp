// The gateway on a trial database through the real exports: one case per row of the ACK table,
// duplicates answered with the same ACK and never applied twice, and a message whose outcome a
// crash left unknown never applied again.
#include <gtest/gtest.h>

#include "hl7/charset.h"
#include "hl7/gateway.h"
#include "tests/hl7/hl7_test_support.h"
#include "tests/test_support.h"

namespace wardlink::hl7 {
namespace {

using testing::AckField;
using testing::Msh;
using testing::Seg;

std::string Admission(const std::string& controlId, const std::string& visit) {
  return testing::Join(
      {Msh("A01^ADT_A01", controlId), Seg("EVN", {{2, "20240301101500"}}),
       Seg("PID", {{3, "BA-" + visit + "^^^^MR"}, {5, "Chen^Jing"}, {8, "F"}}),
       Seg("PV1", {{3, "1^Ward 1A^1101"}, {7, "doc01^Wang^Wei"}, {19, visit}, {44, "20240301"}})});
}

class Hl7Gateway : public ::testing::Test {
 protected:
  void SetUp() override { testing::AddOrganisation(db_.server()); }
  std::string StorePath() const { return (db_.path().parent_path() / "store.db").string(); }
  Reply Send(const std::string& message, const std::string& server = "") {
    Store store(StorePath(), true);
    Gateway gateway({server.empty() ? db_.server() : server, "", ""}, Mapping::Default(), store);
    return gateway.Handle(message, "test");
  }
  std::vector<StoredMessage> Stored() {
    Store store(StorePath(), false);
    return store.List({});
  }

  wardlink::testing::TrialDatabase db_;
};

TEST_F(Hl7Gateway, AppliedIsAcceptedWithTheAddressesSwapped) {
  Reply reply = Send(Admission("C1", "ZY1"));
  EXPECT_EQ(AckField(reply.ack, "MSA", 1), "AA");
  EXPECT_EQ(AckField(reply.ack, "MSA", 2), "C1");
  EXPECT_EQ(AckField(reply.ack, "MSH", 3), "WARDLINK");
  EXPECT_EQ(AckField(reply.ack, "MSH", 5), "HIS");
  EXPECT_EQ(AckField(reply.ack, "MSH", 6), "HOSP");
  EXPECT_EQ(AckField(reply.ack, "MSH", 9), "ACK^A01^ACK");
  EXPECT_NE(AckField(reply.ack, "MSH", 10), "C1");
  EXPECT_EQ(AckField(reply.ack, "MSH", 7).size(), 14U);
  EXPECT_EQ(db_.Count("Emr_Doc_Emr_InfoList", "ZhuYuanNo = 'ZY1'"), 1);
  auto rows = Stored();
  ASSERT_EQ(rows.size(), 1U);
  EXPECT_EQ(rows[0].state, kAnswered);
  EXPECT_EQ(rows[0].exportName, "AddVictim");
  EXPECT_EQ(rows[0].result, 0);
  EXPECT_EQ(rows[0].visit, "ZY1");
  EXPECT_EQ(rows[0].ack, reply.ack);
}

TEST_F(Hl7Gateway, AGb18030MessageReachesTheEmrInTheHostsCodePageAndIsAnsweredInItsOwn) {
  std::string utf8 = testing::Join(
      {Msh("A01", "C20", "2.5", "GB 18030-2000"), Seg("PID", {{5, "王^芳"}, {8, "F"}}),
       Seg("PV1", {{3, "1^一病区^3"}, {19, "ZY20"}, {44, "20240301"}})});
  Reply reply = Send(FromUtf8(utf8, "GB18030"));
  EXPECT_EQ(AckField(reply.ack, "MSA", 1), "AA");
  EXPECT_EQ(AckField(reply.ack, "MSH", 18), "GB 18030-2000");
  // The C locale's code page is UTF-8, which the trial database keeps.
  EXPECT_EQ(db_.Scalar("SELECT PeopleName FROM Emr_Doc_Emr_Info WHERE ZhuYuanNo = 'ZY20'"), "王芳");
  EXPECT_EQ(db_.Scalar("SELECT BingQu FROM Emr_Doc_Emr_Info WHERE ZhuYuanNo = 'ZY20'"), "一病区");
}

TEST_F(Hl7Gateway, IgnoredIsAcceptedAndSaysSo) {
  Reply reply = Send(testing::Join({Msh("A04", "C2"), Seg("PV1", {{19, "ZY2"}})}));
  EXPECT_EQ(AckField(reply.ack, "MSA", 1), "AA");
  EXPECT_EQ(AckField(reply.ack, "MSA", 3), "ignored: not used by the EMR");
  EXPECT_EQ(Stored().at(0).reason, "ignored: not used by the EMR");
}

TEST_F(Hl7Gateway, ARefusalOfTheExportIsAnApplicationError) {
  Send(Admission("C3", "ZY3"));
  Reply reply = Send(Admission("C4", "ZY3"));
  EXPECT_EQ(AckField(reply.ack, "MSA", 1), "AE");
  EXPECT_EQ(AckField(reply.ack, "ERR", 3), "207^Application internal error^HL70357");
  EXPECT_EQ(AckField(reply.ack, "ERR", 4), "E");
  EXPECT_EQ(AckField(reply.ack, "ERR", 8), "AddVictim gave 4: number already admitted");
}

TEST_F(Hl7Gateway, AnUnexpectedDatabaseErrorIsAnApplicationErrorWithItsReason) {
  Send(Admission("C5", "ZY5"));
  db_.Exec("DROP TABLE Emr_Doc_Emr_InfoList");
  Reply reply = Send(testing::Join({Msh("A21", "C6"), Seg("PV1", {{19, "ZY5"}})}));
  EXPECT_EQ(AckField(reply.ack, "MSA", 1), "AE");
  std::string text = AckField(reply.ack, "ERR", 8);
  EXPECT_NE(text.find("GuaQi gave -1: unexpected database error: "), std::string::npos) << text;
  EXPECT_NE(text.find("no such table"), std::string::npos) << text;
}

struct Rejection {
  const char* name;
  std::string message;
  std::string code;
  std::string location;
};

class Hl7Rejections : public Hl7Gateway, public ::testing::WithParamInterface<Rejection> {};

TEST_P(Hl7Rejections, AreRejectedNamingWhatIsWrong) {
  Reply reply = Send(GetParam().message);
  EXPECT_EQ(AckField(reply.ack, "MSA", 1), "AR");
  EXPECT_EQ(AckField(reply.ack, "ERR", 3).substr(0, 3), GetParam().code) << reply.ack;
  EXPECT_EQ(AckField(reply.ack, "ERR", 2), GetParam().location) << reply.ack;
  EXPECT_FALSE(AckField(reply.ack, "ERR", 8).empty());
  EXPECT_EQ(db_.Count("Emr_Doc_Emr_InfoList"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Hl7, Hl7Rejections,
    ::testing::Values(
        Rejection{"unreadable", "this is no message", "100", "MSH^1"},
        Rejection{"no_visit_number", testing::Join({Msh("A01", "C7"), Seg("PV1", {{3, "1^W^1"}})}),
                  "101", "PV1^1^19^1^1"},
        Rejection{"no_control_id", testing::Join({Msh("A01", ""), Seg("PV1", {{19, "Z"}})}), "101",
                  "MSH^1^10"},
        Rejection{"department_not_a_number",
                  testing::Join({Msh("A15", "C8"), Seg("PV1", {{19, "Z"}, {42, "Surgery"}})}),
                  "102", "PV1^1^42^1^1"},
        Rejection{"unsupported_character_set",
                  Admission("C9", "Z").replace(Admission("C9", "Z").find("UNICODE UTF-8"), 13,
                                               "ISO IR 999"),
                  "103", "MSH^1^18"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Hl7Gateway, AnUnreachableDatabaseIsRejectedForAResendThatThenApplies) {
  Reply reply = Send(Admission("C10", "ZY10"), "sqlite:/nonexistent/emr.db");
  EXPECT_EQ(AckField(reply.ack, "MSA", 1), "AR");
  EXPECT_EQ(AckField(reply.ack, "ERR", 3).substr(0, 3), "207");
  EXPECT_EQ(AckField(reply.ack, "ERR", 8), "EMR database unavailable");
  EXPECT_NE(reply.logLine.find("database file not found"), std::string::npos) << reply.logLine;
  EXPECT_EQ(Stored().at(0).state, kRetry);

  Reply again = Send(Admission("C10", "ZY10"));
  EXPECT_EQ(AckField(again.ack, "MSA", 1), "AA");
  EXPECT_EQ(db_.Count("Emr_Doc_Emr_InfoList", "ZhuYuanNo = 'ZY10'"), 1);
  EXPECT_EQ(Stored().at(0).deliveries, 2);
}

TEST_F(Hl7Gateway, ADuplicateGetsTheSameAckAndIsNotAppliedAgain) {
  std::string handOver = testing::Join({Msh("A54", "C11"), Seg("EVN", {{2, "20240306190000"}}),
                                        Seg("PV1", {{7, "doc02^Zhao^Lei"}, {19, "ZY11"}})});
  Send(Admission("C12", "ZY11"));
  Reply first = Send(handOver);
  Reply second = Send(handOver);
  EXPECT_EQ(AckField(first.ack, "MSA", 1), "AA");
  EXPECT_EQ(second.ack, first.ack);
  EXPECT_EQ(db_.Count("Emr_Doc_Emr_Event", "ZhuYuanNo = 'ZY11' AND EventCode = 'JiaoBan'"), 1);
  EXPECT_EQ(Stored().at(1).deliveries, 2);
}

TEST_F(Hl7Gateway, AMessageLeftApplyingByACrashIsUncertainAndNotAppliedAgain) {
  std::string message = Admission("C13", "ZY13");
  {
    // Recorded, then the gateway stops before the outcome: as a crash leaves it.
    Store store(StorePath(), true);
    StoredMessage record;
    record.receivedAt = StoreTime();
    record.peer = "test";
    record.sendingApplication = "HIS";
    record.sendingFacility = "HOSP";
    record.controlId = "C13";
    record.raw = message;
    ASSERT_TRUE(store.Begin(record).isNew);
  }
  Reply reply = Send(message);
  EXPECT_EQ(AckField(reply.ack, "MSA", 1), "AE");
  EXPECT_EQ(AckField(reply.ack, "ERR", 8), "outcome uncertain after a restart: check the stay");
  EXPECT_EQ(db_.Count("Emr_Doc_Emr_InfoList"), 0);
  Store store(StorePath(), false);
  auto uncertain = store.List({"", "", true, ""});
  ASSERT_EQ(uncertain.size(), 1U);
  EXPECT_EQ(uncertain[0].controlId, "C13");
}

}  // namespace
}  // namespace wardlink::hl7

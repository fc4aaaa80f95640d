#include "patients/record_query.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "tests/test_support.h"
#include "tests/victim_args.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

constexpr char kUntouched[] = "untouched";

// The 42 host buffers, each holding a marker until the library writes it.
struct QueryBuffers {
  QueryBuffers() {
    for (auto& buffer : buffers)
      std::copy(std::begin(kUntouched), std::end(kUntouched), buffer.data());
  }
  std::string Slot(size_t i) const { return buffers[i].data(); }
  bool AllUntouched() const {
    for (size_t i = 0; i < buffers.size(); ++i) {
      if (Slot(i) != kUntouched) return false;
    }
    return true;
  }
  std::array<std::array<char, 256>, kVictimQuerySlots> buffers{};
};

int32_t CallGetVictimInfo(const std::string& server, const char* zhuYuanNo, QueryBuffers& out) {
  auto call = [&]<size_t... I>(std::index_sequence<I...>) {
    return GetVictimInfo(server.c_str(), "", "", zhuYuanNo, out.buffers[I].data()..., 0);
  };
  return call(std::make_index_sequence<kVictimQuerySlots>());
}

// Slot k holds argument k + 5 of the record, which is field k + 1 (after ZhuYuanNo).
size_t SlotOf(VictimArg arg) { return static_cast<size_t>(arg) - 1; }

TEST(RecordQuery, ReturnsTheAdmittedRecordInArgumentOrder) {
  TrialDatabase db;
  VictimArgs args("Z1");
  ASSERT_EQ(CallAddVictim(db.server(), args), 0);
  QueryBuffers out;
  StatementLog log;
  ASSERT_EQ(CallGetVictimInfo(db.server(), "Z1", out), 0);
  for (size_t arg = kPeopleName; arg <= kMemo; ++arg) {
    size_t slot = SlotOf(static_cast<VictimArg>(arg));
    if (arg == kRuYuanDate || arg == kBingShiCaiJiDate) continue;
    EXPECT_EQ(out.Slot(slot), args.texts[arg]) << kVictimArgColumns[arg];
  }
  EXPECT_EQ(out.Slot(SlotOf(kRuYuanDate)), "2008-01-15 00:00:00");
  EXPECT_EQ(out.Slot(SlotOf(kBingShiCaiJiDate)), "2008-01-16 00:00:00");
  EXPECT_EQ(out.Slot(SlotOf(kNianLingSui)), "35");
  EXPECT_EQ(log.texts(),
            (std::vector<std::string>{
                "Select ZhuYuanNo,GuiDangNd from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo='Z1'",
                "Select * from Emr_Doc_Emr_Info Where ZhuYuanNo='Z1'"}));
}

TEST(RecordQuery, AnArchivedStayIsReadFromItsYearsTable) {
  TrialDatabase db;
  ASSERT_EQ(CallAddVictim(db.server(), VictimArgs("Z1")), 0);
  db.Exec(
      "CREATE TABLE G_Emr_Doc_Emr_Info_2015 AS SELECT * FROM Emr_Doc_Emr_Info;"
      "UPDATE G_Emr_Doc_Emr_Info_2015 SET PeopleName = 'archived', RuYuanDate = "
      "'2015-03-04 05:06:07.890';"
      "UPDATE Emr_Doc_Emr_InfoList SET GuiDangND = 2015");
  QueryBuffers out;
  StatementLog log;
  ASSERT_EQ(CallGetVictimInfo(db.server(), "Z1", out), 0);
  EXPECT_EQ(out.Slot(SlotOf(kPeopleName)), "archived");
  EXPECT_EQ(out.Slot(SlotOf(kRuYuanDate)), "2015-03-04 05:06:07");
  ASSERT_EQ(log.texts().size(), 2u);
  EXPECT_EQ(log.texts()[1], "Select * from G_Emr_Doc_Emr_Info_2015 Where ZhuYuanNo='Z1'");
}

TEST(RecordQuery, RefusalsLeaveEveryBufferUntouched) {
  TrialDatabase db;
  db.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('INDEX-ONLY')");
  db.Exec("INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, PeopleName) VALUES ('RECORD-ONLY', 'x')");
  QueryBuffers out;
  EXPECT_EQ(CallGetVictimInfo(db.server(), "INDEX-ONLY", out), 3);
  EXPECT_TRUE(out.AllUntouched());
  EXPECT_EQ(CallGetVictimInfo(db.server(), "RECORD-ONLY", out), 2);
  EXPECT_TRUE(out.AllUntouched());
  EXPECT_EQ(CallGetVictimInfo(MissingDatabaseServer(), "RECORD-ONLY", out), 1);
  EXPECT_TRUE(out.AllUntouched());
}

TEST(RecordQuery, NullsAndBlanks) {
  TrialDatabase db;
  db.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('N''1')");
  db.Exec(
      "INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, PeopleName, Address, Memo, NianLing_Sui) VALUES "
      "('N''1', '  padded ' || char(9), '    ', NULL, 35)");
  QueryBuffers out;
  ASSERT_EQ(CallGetVictimInfo(db.server(), "N'1", out), 0);
  EXPECT_EQ(out.Slot(SlotOf(kPeopleName)), "padded");
  EXPECT_EQ(out.Slot(SlotOf(kAddress)), "");
  EXPECT_EQ(out.Slot(SlotOf(kMemo)), "");
  EXPECT_EQ(out.Slot(SlotOf(kNianLingSui)), "35");
  EXPECT_EQ(out.Slot(SlotOf(kNianLingYue)), "");  // NULL integer: the empty text
  EXPECT_EQ(out.Slot(SlotOf(kRuYuanDate)), "1899-12-30 00:00:00");
  EXPECT_EQ(out.Slot(SlotOf(kBingShiCaiJiDate)), "1899-12-30 00:00:00");
}

TEST(RecordQuery, AnArchiveTableThatIsMissingOrShortIsAnUnguardedError) {
  TrialDatabase db;
  ASSERT_EQ(CallAddVictim(db.server(), VictimArgs("Z1")), 0);
  db.Exec("UPDATE Emr_Doc_Emr_InfoList SET GuiDangND = 2016");
  QueryBuffers out;
  EXPECT_EQ(CallGetVictimInfo(db.server(), "Z1", out), -1);
  EXPECT_TRUE(out.AllUntouched());

  // The table lacks the ward column: the slots before it are written, the later ones not.
  db.Exec(
      "CREATE TABLE G_Emr_Doc_Emr_Info_2016 AS SELECT * FROM Emr_Doc_Emr_Info;"
      "ALTER TABLE G_Emr_Doc_Emr_Info_2016 DROP COLUMN BingQu");
  EXPECT_EQ(CallGetVictimInfo(db.server(), "Z1", out), -1);
  EXPECT_NE(LastErrorMessage(), "");
  EXPECT_EQ(out.Slot(SlotOf(kPeopleName)), "v-PeopleName");
  EXPECT_EQ(out.Slot(SlotOf(kRuYuanCount)), "2");
  EXPECT_EQ(out.Slot(SlotOf(kBingQu)), kUntouched);
  EXPECT_EQ(out.Slot(SlotOf(kMemo)), kUntouched);
}

TEST(ArchiveTableName, NamesTheYearsTable) {
  EXPECT_EQ(ArchiveTableName("Emr_Doc_Emr_Info", 0), "Emr_Doc_Emr_Info");
  EXPECT_EQ(ArchiveTableName("Emr_Doc_Emr_Info", 2015), "G_Emr_Doc_Emr_Info_2015");
  EXPECT_EQ(ArchiveTableName("Emr_Doc_Emr_Info", -7), "G_Emr_Doc_Emr_Info_-7");
}

}  // namespace
}  // namespace wardlink::testing

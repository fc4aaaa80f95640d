// Every text, buffer and buffer address may be a null pointer: texts read as empty, and nothing is
// written through a null buffer. One pass over all 41 exports, in an order that reaches their
// deeper paths.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/test_support.h"
#include "tests/victim_args.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

#define NULLS4 nullptr, nullptr, nullptr, nullptr
#define NULLS11 NULLS4, NULLS4, nullptr, nullptr, nullptr
#define NULLS42 NULLS11, NULLS11, NULLS11, NULLS4, NULLS4, nullptr
#define NULLS44 NULLS42, nullptr, nullptr

TEST(NullArguments, ReadAsEmptyTextsInEveryExport) {
  TrialDatabase db;
  const char* s = db.server();
  EXPECT_EQ(AddZhiYe(s, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(UpdateHunYin(s, nullptr, nullptr, nullptr, 1, 1), 2);
  EXPECT_EQ(AddHunYin(s, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(UpdateHunYin(s, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(AddInHospType(s, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(UpdateInHospType(s, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(DeleteInHospType(s, nullptr, nullptr, 1), 0);
  EXPECT_EQ(AddYiBaoLeiXing(s, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(UpdateYiBaoLeiXing(s, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(DeleteYiBaoLeiXing(s, nullptr, nullptr, 1), 0);
  EXPECT_EQ(AddCertificateType(s, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(UpdateCertificateType(s, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(DeleteCertificateType(s, nullptr, nullptr, 1), 0);
  EXPECT_EQ(UpdateZhiYe(s, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(DeleteZhiYe(s, nullptr, nullptr, 1), 0);
  EXPECT_EQ(DeleteHunYin(s, nullptr, nullptr, 1), 0);
  EXPECT_EQ(GetZhiCheng(s, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(GetBingQingMiaoShu(s, nullptr, nullptr, nullptr), 0);

  EXPECT_EQ(AddUnit(s, nullptr, nullptr, 1, 1, nullptr, nullptr), 0);
  EXPECT_EQ(UpdateUnit(s, nullptr, nullptr, 1, 1, nullptr, nullptr), 0);
  EXPECT_EQ(AddUser(s, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 1, 0), 0);
  EXPECT_EQ(UpdateUser(s, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 1, 1), 0);
  EXPECT_EQ(AddIllArea(s, nullptr, nullptr, 1, 1, nullptr), 0);
  EXPECT_EQ(UpdateIllArea(s, nullptr, nullptr, 1, 1, nullptr), 0);
  EXPECT_EQ(AddIllBed(s, nullptr, nullptr, 1, 1, 1, nullptr), 0);
  EXPECT_EQ(UpdateIllBed(s, nullptr, nullptr, 1, nullptr), 0);
  EXPECT_EQ(DeleteIllBed(s, nullptr, nullptr, 1), 0);
  EXPECT_EQ(DeleteIllArea(s, nullptr, nullptr, 1), 0);

  // The stay whose number is the empty text.
  EXPECT_EQ(AddVictim(s, nullptr, nullptr, NULLS44), 0);
  EXPECT_EQ(UpdateVictim(s, nullptr, nullptr, NULLS44), 0);
  EXPECT_EQ(GetVictimInfo(s, nullptr, nullptr, nullptr, NULLS42, 0), 0);
  EXPECT_EQ(VictimZhuanChu(s, nullptr, nullptr, nullptr, 1, nullptr, nullptr), 2)
      << "the empty transfer date is no date";
  EXPECT_EQ(GuaQi(s, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(CancelZhuanKe(s, nullptr, nullptr, nullptr), 4);
  EXPECT_EQ(CancelGuaQi(s, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(AcceptZhuanKePeople(s, nullptr, nullptr, NULLS4, NULLS4), 5)
      << "the user with the empty ID exists; the empty date is no date";
  EXPECT_EQ(ZhuanChuang(s, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(JiaoBan(s, nullptr, nullptr, NULLS4, nullptr, nullptr), 4);
  EXPECT_EQ(VictimChuYuan(s, nullptr, nullptr, NULLS4, nullptr, nullptr, nullptr), 0)
      << "the empty discharge date is today";
  EXPECT_EQ(db.Count("Emr_Doc_Emr_Event", "ZhuYuanNo = '' AND EventCode = 'ChuYuan'"), 1);
  EXPECT_EQ(DeleteVictim(s, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(DeleteUser(s, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(DeleteUnit(s, nullptr, nullptr, 1), 0);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_Info") + db.Count("Emr_User") + db.Count("Emr_Unit"), 0);
}

TEST(NullArguments, ANullServerFailsTheConnectionStepOfEveryFamily) {
  EXPECT_EQ(AddZhiYe(nullptr, nullptr, nullptr, nullptr, 1, 1), 1);
  EXPECT_EQ(GetZhiCheng(nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(AddUnit(nullptr, nullptr, nullptr, 1, 1, nullptr, nullptr), 1);
  EXPECT_EQ(AddVictim(nullptr, nullptr, nullptr, NULLS44), 1);
  EXPECT_EQ(GetVictimInfo(nullptr, nullptr, nullptr, nullptr, NULLS42, 0), 1);
  EXPECT_EQ(JiaoBan(nullptr, nullptr, nullptr, NULLS4, nullptr, nullptr), 1);
}

template <size_t... I>
int32_t UpdateVictimWithLast(const char* server, const VictimArgs& args, const char* last,
                             std::index_sequence<I...>) {
  return UpdateVictim(server, "", "", args.texts[I].c_str()..., last);
}

// The arguments that are never read (the update's last text, the record query's last argument,
// the users' Spare) may hold anything, an address that cannot be read included.
TEST(UnreadArguments, MayHoldAnything) {
  TrialDatabase db;
  const char* s = db.server();
  const auto* unreadable = reinterpret_cast<const char*>(0x10);
  constexpr int32_t kAnything = 0x10;
  ASSERT_EQ(AddUnit(s, "", "", 1, 1, "Unit", ""), 0);
  EXPECT_EQ(AddUser(s, "", "", "doc", "pw", "Dr", kAnything, "", 1, 0), 0);
  EXPECT_EQ(UpdateUser(s, "", "", "doc", "pw2", "Dr Wu", -kAnything, "", 1, 1), 0);
  EXPECT_EQ(db.Scalar("SELECT UserName FROM Emr_User WHERE UserID = 'doc'"), "Dr Wu");

  VictimArgs args("Z1");
  ASSERT_EQ(CallAddVictim(s, args), 0);
  args[kPeopleName] = "changed";
  EXPECT_EQ(
      UpdateVictimWithLast(s, args, unreadable, std::make_index_sequence<kVictimArgCount - 1>()),
      0);
  std::vector<std::vector<char>> buffers(WARDLINK_VICTIM_INFO_SLOTS, std::vector<char>(256));
  auto b = [&](size_t i) { return buffers[i].data(); };
  EXPECT_EQ(GetVictimInfo(s, "", "", "Z1", b(0), b(1), b(2), b(3), b(4), b(5), b(6), b(7), b(8),
                          b(9), b(10), b(11), b(12), b(13), b(14), b(15), b(16), b(17), b(18),
                          b(19), b(20), b(21), b(22), b(23), b(24), b(25), b(26), b(27), b(28),
                          b(29), b(30), b(31), b(32), b(33), b(34), b(35), b(36), b(37), b(38),
                          b(39), b(40), b(41), kAnything),
            0);
  EXPECT_STREQ(b(0), "changed");
}

}  // namespace
}  // namespace wardlink::testing

// Every text, buffer and buffer address may be a null pointer: texts read as empty, and nothing is
// written through a null buffer. One pass over all 41 exports, in an order that reaches their
// deeper paths.
#include <gtest/gtest.h>

#include "tests/test_support.h"
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

}  // namespace
}  // namespace wardlink::testing

// The default mapping over the fields of the product decision, with messages in the styles real
// senders use; and mappings that a site got wrong, refused with the line named.
#include <gtest/gtest.h>

#include "hl7/charset.h"
#include "hl7/mapping.h"
#include "library/export_table.h"
#include "tests/hl7/hl7_test_support.h"

namespace wardlink::hl7 {
namespace {

using testing::Msh;
using testing::Seg;

MappedCall MapText(const std::string& bytes) {
  std::string charset;
  return Mapping::Default().Map(ReadMessage(bytes, charset));
}

std::string Argument(const MappedCall& call, const std::string& name) {
  const auto& specs = host::FindExport(call.exportName)->arguments();
  for (size_t i = 0; i < specs.size(); ++i)
    if (specs[i].name == name) return call.arguments.at(i);
  ADD_FAILURE() << call.exportName << " has no argument " << name;
  return {};
}

// v2.5.1, UTF-8: repetitions, subcomponents, two diagnoses, an insurance, a Z-segment.
const std::string kFullAdmission = testing::Join({
    Msh("A01^ADT_A01", "C1"),
    Seg("EVN", {{1, "A01"}, {2, "20240301101500"}}),
    Seg("PID", {{3, "BA001^^^HOSP^MR~330102198902151234^^^CHN^NNCHN"},
                {5, "Chen&&^Jing"},
                {7, "19890215"},
                {8, "F"},
                {11, "12 Elm Road^Apt 3^Hangzhou^ZJ^310000"},
                {16, "M^已婚"},
                {22, "01^汉族"},
                {23, "Hangzhou"}}),
    Seg("NK1",
        {{2, "Li^Ming"}, {3, "SPO^丈夫"}, {4, "8 Oak St^^Hangzhou^^310001"}, {5, "13800000000"}}),
    Seg("PV1", {{2, "I"},
                {3, "1^Ward 1A^1101^^^^^^Medicine"},
                {4, "E"},
                {7, "doc01^Wang^Wei"},
                {9, "doc05^Sun^Li~doc06^Qian^Hu"},
                {17, "doc02^Zhao^Lei"},
                {19, "ZY0001"},
                {44, "20240301100000"}}),
    Seg("DG1", {{1, "1"}, {3, "R50^Fever"}, {4, "fever"}, {6, "W"}}),
    Seg("DG1", {{1, "2"}, {3, "S72^Fracture"}, {4, "fracture of femur"}, {6, "A"}}),
    Seg("IN1", {{1, "1"}, {15, "01^城镇职工"}}),
    Seg("ZXY", {{1, "site data"}}),
});

// v2.3 as older senders write it: no MSH-18, one unqualified identifier, no NK1, DG1 or IN1, an
// escaped name, and a date without a day.
const std::string kOldStyleAdmission = testing::Join({
    Msh("A01", "C2", "2.3", ""),
    Seg("EVN", {{1, "A01"}, {2, "202403"}}),
    Seg("PID", {{3, "BA002"}, {5, "O\\T\\Brien^Pat"}, {7, "19500101"}, {8, "U"}}),
    Seg("PV1", {{3, "2^Ward 2A^2101"}, {7, "doc03^Zhang^Min"}, {19, "ZY0002"}, {44, "20240229"}}),
});

// GB 18030 text, a birth date after the admission, an unknown sex code.
const std::string kGbAdmission = [] {
  std::string utf8 = testing::Join({
      Msh("A01", "C3", "2.5", "GB 18030-2000"),
      Seg("PID", {{3, "BA003^^^^MR"}, {5, "王^芳"}, {7, "20250101"}, {8, "X"}}),
      Seg("PV1", {{3, "1^一病区^3"}, {7, "doc01^王^伟"}, {19, "ZY0003"}, {44, "20240230"}}),
  });
  return FromUtf8(utf8, "GB18030");
}();

struct FieldCase {
  const char* message;
  const char* field;
  std::string expected;
};

std::string MessageNamed(const std::string& name) {
  if (name == "full") return kFullAdmission;
  if (name == "old") return kOldStyleAdmission;
  return kGbAdmission;
}

class StayRecordFields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(StayRecordFields, ComeFromTheirSource) {
  MappedCall call = MapText(MessageNamed(GetParam().message));
  ASSERT_EQ(call.exportName, "AddVictim");
  EXPECT_EQ(Argument(call, GetParam().field), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Hl7, StayRecordFields,
    ::testing::Values(
        FieldCase{"full", "ZhuYuanNo", "ZY0001"}, FieldCase{"full", "PeopleName", "Chen Jing"},
        FieldCase{"full", "UnitID", "1"}, FieldCase{"full", "UnitName", "Medicine"},
        FieldCase{"full", "MainMgrDoctorUid", "doc01"},
        FieldCase{"full", "MainMgrDoctorName", "Wang Wei"},
        FieldCase{"full", "ZhuZhiYiShengUID", "doc02"},
        FieldCase{"full", "ZhuZhiYiShengName", "Zhao Lei"},
        FieldCase{"full", "RuYuanZhenDuan", "fracture of femur"},
        FieldCase{"full", "HelperUidList", "doc05,doc06"},
        FieldCase{"full", "HelperNameList", "Sun Li,Qian Hu"}, FieldCase{"full", "Danwei", ""},
        FieldCase{"full", "ZhiYe", ""}, FieldCase{"full", "Sex", "女"},
        FieldCase{"full", "NianLing_Sui", "35"}, FieldCase{"full", "NianLing_Yue", "0"},
        FieldCase{"full", "NianLing_Tian", "15"}, FieldCase{"full", "MinZu", "汉族"},
        FieldCase{"full", "Address", "12 Elm Road Apt 3 Hangzhou ZJ"},
        FieldCase{"full", "HunYin", "已婚"}, FieldCase{"full", "JiGuan", "Hangzhou"},
        FieldCase{"full", "PostCode", "310000"}, FieldCase{"full", "YiBaoLeiXing", "城镇职工"},
        FieldCase{"full", "BingAnHao", "BA001"}, FieldCase{"full", "MenZhenNo", ""},
        FieldCase{"full", "RuYuanCount", ""}, FieldCase{"full", "BingQu", "Ward 1A"},
        FieldCase{"full", "ChuangHao", "1101"}, FieldCase{"full", "RuYuanDate", "03/01/2024"},
        FieldCase{"full", "BingShiCaiJiDate", "03/01/2024"}, FieldCase{"full", "BingShiSayer", ""},
        FieldCase{"full", "KeKaoChengDu", ""}, FieldCase{"full", "ZhuYuanLeiBie", "E"},
        FieldCase{"full", "RuYuanShiBingQing", ""}, FieldCase{"full", "FaBingJieQi", ""},
        FieldCase{"full", "CertificateType", "NNCHN"},
        FieldCase{"full", "CertificateCode", "330102198902151234"},
        FieldCase{"full", "LianXiRenXingMing", "Li Ming"}, FieldCase{"full", "GuanXi", "丈夫"},
        FieldCase{"full", "LianXiRenDianHua", "13800000000"},
        FieldCase{"full", "LianXiRenZhuZhi", "8 Oak St"},
        FieldCase{"full", "LianXiRenYouBian", "310001"}, FieldCase{"full", "Memo", ""},
        FieldCase{"full", "BingQingMiaoShu", ""}, FieldCase{"old", "PeopleName", "O&Brien Pat"},
        FieldCase{"old", "BingAnHao", "BA002"}, FieldCase{"old", "CertificateCode", ""},
        FieldCase{"old", "Sex", "未知"}, FieldCase{"old", "NianLing_Sui", "74"},
        FieldCase{"old", "NianLing_Yue", "1"}, FieldCase{"old", "NianLing_Tian", "28"},
        FieldCase{"old", "RuYuanDate", "02/29/2024"}, FieldCase{"old", "BingShiCaiJiDate", ""},
        FieldCase{"old", "LianXiRenXingMing", ""}, FieldCase{"old", "RuYuanZhenDuan", ""},
        FieldCase{"old", "YiBaoLeiXing", ""}, FieldCase{"gb", "PeopleName", "王芳"},
        FieldCase{"gb", "MainMgrDoctorName", "王伟"}, FieldCase{"gb", "BingQu", "一病区"},
        FieldCase{"gb", "Sex", "X"}, FieldCase{"gb", "NianLing_Sui", ""},
        FieldCase{"gb", "RuYuanDate", ""}),
    [](const auto& info) { return std::string(info.param.message) + "_" + info.param.field; });

struct EventCase {
  const char* name;
  std::vector<std::string> segments;
  const char* exportName;
  std::map<std::string, std::string> expected;
};

class Events : public ::testing::TestWithParam<EventCase> {};

TEST_P(Events, MapToTheirExport) {
  MappedCall call = MapText(testing::Join(GetParam().segments));
  EXPECT_EQ(call.exportName, GetParam().exportName);
  if (call.exportName.empty()) return;
  for (const auto& [name, value] : GetParam().expected)
    EXPECT_EQ(Argument(call, name), value) << name;
}

const std::string kPv1 = Seg("PV1", {{3, "1^Ward 1A^1102"}, {6, "1^Ward 1A^1101"}, {19, "Z1"}});

INSTANTIATE_TEST_SUITE_P(
    Hl7, Events,
    ::testing::Values(
        EventCase{
            "discharge",
            {Msh("A03", "E1"), Seg("EVN", {{2, "20240310090000"}, {6, "20240310100000"}}),
             Seg("PV1", {{19, "Z1"}, {36, "01^Home"}, {45, "20240310103000"}}),
             Seg("DG1", {{4, "admitted with"}, {6, "A"}}), Seg("DG1", {{4, "healed"}, {6, "F"}})},
            "VictimChuYuan",
            {{"ChuYuanDate", "20240310103000"},
             {"ChuYuanZhenDuan", "healed"},
             {"ZhiLiaoJieGuo", "Home"}}},
        EventCase{"discharge_date_from_evn6",
                  {Msh("A03", "E2"), Seg("EVN", {{2, "20240310090000"}, {6, "202403101000"}}),
                   Seg("PV1", {{19, "Z1"}})},
                  "VictimChuYuan",
                  {{"ChuYuanDate", "20240310100000"}}},
        EventCase{"pending_transfer",
                  {Msh("A15", "E3"), Seg("EVN", {{2, "20240305080000"}, {3, "20240305100000"}}),
                   Seg("PV1", {{19, "Z1"}, {42, "2^^^^^^^^Surgery"}}),
                   Seg("ROL", {{3, "AD^Admitting"}, {4, "doc09^Other"}}),
                   Seg("ROL", {{3, "AT^Attending"}, {4, "doc03^Zhang^Min"}})},
                  "VictimZhuanChu",
                  {{"TagReciveUnitID", "2"},
                   {"TagReciveDoctorUid", "doc03"},
                   {"ZhuanKeDate", "202403051000"}}},
        EventCase{"transfer_accepted",
                  {Msh("A02", "E4"), Seg("EVN", {{2, "20240305113000"}}),
                   Seg("PV1", {{3, "2^Ward 2A^2101"},
                               {6, "1^Ward 1A^1101"},
                               {7, "doc03^Zhang^Min"},
                               {9, "doc04^Li^Na"},
                               {19, "Z1"}})},
                  "AcceptZhuanKePeople",
                  {{"MainMgrDoctorName", "Zhang Min"},
                   {"HelperUidList", "doc04"},
                   {"ZhuanKeDate", "202403051130"},
                   {"BingQu", "Ward 2A"},
                   {"ChuangHao", "2101"}}},
        EventCase{"bed_change", {Msh("A02", "E5"), kPv1}, "ZhuanChuang", {{"ChuangHao", "1102"}}},
        EventCase{"transfer_without_locations",
                  {Msh("A02", "E15"), Seg("PV1", {{19, "Z1"}})},
                  "AcceptZhuanKePeople",
                  {}},
        EventCase{
            "cancel_transfer", {Msh("A26", "E6"), kPv1}, "CancelZhuanKe", {{"ZhuYuanNo", "Z1"}}},
        EventCase{"leave", {Msh("A21", "E7"), kPv1}, "GuaQi", {}},
        EventCase{"return", {Msh("A22", "E8"), kPv1}, "CancelGuaQi", {}},
        EventCase{"hand_over",
                  {Msh("A54", "E9"), Seg("EVN", {{2, "20240306190000"}}),
                   Seg("PV1", {{7, "doc02^Zhao^Lei"}, {19, "Z1"}})},
                  "JiaoBan",
                  {{"MainMgrDoctorUid", "doc02"}, {"ZhuanKeDate", "202403061900"}}},
        EventCase{"cancel_admit", {Msh("A11", "E10"), kPv1}, "DeleteVictim", {}},
        EventCase{"delete_visit", {Msh("A23", "E11"), kPv1}, "DeleteVictim", {}},
        EventCase{
            "trigger_from_evn", {Msh("", "E12"), Seg("EVN", {{1, "A21"}}), kPv1}, "GuaQi", {}},
        EventCase{"not_used", {Msh("A04", "E13"), kPv1}, "", {}},
        EventCase{"update", {Msh("A08", "E14"), kPv1}, "UpdateVictim", {{"ChuangHao", "1102"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Hl7Mapping, RefusesAMessageWithoutTheVisitNumber) {
  for (const char* event : {"A01", "A03", "A21"}) {
    try {
      MapText(testing::Join({Msh(event, "R1"), Seg("PV1", {{3, "1^W^1"}})}));
      ADD_FAILURE() << event << " mapped";
    } catch (const MappingRefusal& refusal) {
      EXPECT_EQ(refusal.code(), 101);
      EXPECT_EQ(refusal.location(), "PV1-19.1");
    }
  }
}

TEST(Hl7Mapping, RefusesADepartmentThatIsNoNumber) {
  try {
    MapText(testing::Join({Msh("A15", "R2"), Seg("PV1", {{19, "Z1"}, {42, "Surgery"}})}));
    ADD_FAILURE() << "mapped";
  } catch (const MappingRefusal& refusal) {
    EXPECT_EQ(refusal.code(), 102);
    EXPECT_EQ(refusal.location(), "PV1-42.1");
  }
}

struct BadMapping {
  const char* name;
  std::string from;  // a line of the default mapping
  std::string to;
  std::string says;
  std::string namedLine = {};  // where the refusal points, when not at the changed line
};

class BadMappings : public ::testing::TestWithParam<BadMapping> {};

TEST_P(BadMappings, AreRefusedNamingTheLine) {
  std::string text = DefaultMappingText();
  size_t at = text.find(GetParam().from);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, GetParam().from.size(), GetParam().to);
  if (!GetParam().namedLine.empty()) at = text.find(GetParam().namedLine);
  int line =
      1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
  try {
    Mapping::Read(text, "site.toml");
    FAIL() << "accepted";
  } catch (const MappingError& error) {
    std::string what = error.what();
    EXPECT_NE(what.find("site.toml:" + std::to_string(line) + ":"), std::string::npos) << what;
    EXPECT_NE(what.find(GetParam().says), std::string::npos) << what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hl7, BadMappings,
    ::testing::Values(
        BadMapping{"unknown_argument", "Danwei = \"\"", "DanWei = \"\"", "unknown argument DanWei"},
        BadMapping{"unreadable_path", "UnitName = \"PV1-3.9\"", "UnitName = \"PV1-x\"", "HL7 path"},
        BadMapping{"lower_case_segment", "UnitName = \"PV1-3.9\"", "UnitName = \"pv1-3.9\"",
                   "not an HL7 path"},
        BadMapping{"unknown_function", "Sex = \"table('sex', PID-8)\"", "Sex = \"gender(PID-8)\"",
                   "unknown function gender"},
        BadMapping{"unknown_table", "Sex = \"table('sex', PID-8)\"",
                   "Sex = \"table('gender', PID-8)\"", "unknown value table 'gender'"},
        BadMapping{"unknown_export", "A21 = \"GuaQi\"", "A21 = \"Suspend\"",
                   "unknown export Suspend"},
        BadMapping{"missing_argument", "ZhuYuanNo = \"PV1-19.1\"\nChuangHao", "ChuangHao",
                   "no line for argument ZhuYuanNo", "[ZhuanChuang]"},
        BadMapping{"toml_syntax", "A01 = \"AddVictim\"", "A01 = AddVictim", "site.toml"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wardlink::hl7

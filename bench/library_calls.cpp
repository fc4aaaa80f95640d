// The library's side of every case: the exports as a host calls them.
#include <array>
#include <cstdio>
#include <string>

#include "bench/cases.h"
#include "bench/floor_calls.h"
#include "wardlink.h"

namespace wardlink::bench {

namespace {

constexpr const char* kLogin = "";
constexpr const char* kPassword = "";

#define WARDLINK_BENCH_RECORD_ARGS(r)                                                            \
  r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], r[9], r[10], r[11], r[12], r[13], r[14], \
      r[15], r[16], r[17], r[18], r[19], r[20], r[21], r[22], r[23], r[24], r[25], r[26], r[27], \
      r[28], r[29], r[30], r[31], r[32], r[33], r[34], r[35], r[36], r[37], r[38], r[39], r[40], \
      r[41], r[42], r[43]

int32_t AddZhiYeCall(const std::string& server, int i) {
  return AddZhiYe(server.c_str(), kLogin, kPassword, "occupation", kFirstNewId + i, i);
}

int32_t GetZhiChengCall(const std::string& server, int) {
  std::string buffer(4096, '\0');
  char* list = buffer.data();
  return GetZhiCheng(server.c_str(), kLogin, kPassword, &list);
}

int32_t AddUnitCall(const std::string& server, int i) {
  return AddUnit(server.c_str(), kLogin, kPassword, kFirstNewId + i, 1, "unit", "memo");
}

int32_t DeleteUnitCall(const std::string& server, int i) {
  return DeleteUnit(server.c_str(), kLogin, kPassword, kFirstSpareUnit + i);
}

int32_t AddUserCall(const std::string& server, int i) {
  std::string userId = "user" + std::to_string(i);
  return AddUser(server.c_str(), kLogin, kPassword, userId.c_str(), "pwd", "name", 0, kTitle, 1, 0);
}

int32_t AddIllAreaCall(const std::string& server, int i) {
  return AddIllArea(server.c_str(), kLogin, kPassword, 1, kFirstNewId + i, "ward");
}

int32_t AddVictimCall(const std::string& server, int i) {
  Record r(NewStayNumber(i));
  return AddVictim(server.c_str(), kLogin, kPassword, WARDLINK_BENCH_RECORD_ARGS(r));
}

int32_t UpdateVictimCall(const std::string& server, int i) {
  Record r(CaseStay(kUpdateVictim, i));
  return UpdateVictim(server.c_str(), kLogin, kPassword, WARDLINK_BENCH_RECORD_ARGS(r));
}

int32_t GetVictimInfoCall(const std::string& server, int i) {
  std::array<std::array<char, 256>, 42> b{};
  std::string stay = CaseStay(kGetVictimInfo, i);
  return GetVictimInfo(server.c_str(), kLogin, kPassword, stay.c_str(), b[0].data(), b[1].data(),
                       b[2].data(), b[3].data(), b[4].data(), b[5].data(), b[6].data(), b[7].data(),
                       b[8].data(), b[9].data(), b[10].data(), b[11].data(), b[12].data(),
                       b[13].data(), b[14].data(), b[15].data(), b[16].data(), b[17].data(),
                       b[18].data(), b[19].data(), b[20].data(), b[21].data(), b[22].data(),
                       b[23].data(), b[24].data(), b[25].data(), b[26].data(), b[27].data(),
                       b[28].data(), b[29].data(), b[30].data(), b[31].data(), b[32].data(),
                       b[33].data(), b[34].data(), b[35].data(), b[36].data(), b[37].data(),
                       b[38].data(), b[39].data(), b[40].data(), b[41].data(), 0);
}

int32_t DeleteVictimCall(const std::string& server, int i) {
  return DeleteVictim(server.c_str(), kLogin, kPassword, CaseStay(kDeleteVictim, i).c_str());
}

int32_t JiaoBanCall(const std::string& server, int i) {
  return JiaoBan(server.c_str(), kLogin, kPassword, CaseStay(kJiaoBan, i).c_str(), "doc2",
                 "Doctor Two", "doc3", "Doctor Three", kMovementDate);
}

int32_t ZhuanChuangCall(const std::string& server, int i) {
  return ZhuanChuang(server.c_str(), kLogin, kPassword, CaseStay(kZhuanChuang, i).c_str(), "B2");
}

}  // namespace

Record::Record(const std::string& zhuYuanNo) {
  for (size_t i = 0; i < texts.size(); ++i) texts[i] = "t" + std::to_string(i);
  texts[0] = zhuYuanNo;
  texts[2] = "1";            // UnitID
  texts[14] = "35";          // NianLing_Sui
  texts[15] = "0";           // NianLing_Yue
  texts[16] = "0";           // NianLing_Tian
  texts[25] = "2";           // RuYuanCount
  texts[28] = kRecordDate;   // RuYuanDate
  texts[29] = kHistoryDate;  // BingShiCaiJiDate
  texts[43] = "stable";      // BingQingMiaoShu
}

int32_t LibraryMovement(const std::string& server, int stay, int step) {
  std::string number = StayNumber(stay);
  if (step % 2 == 0) return ZhuanChuang(server.c_str(), kLogin, kPassword, number.c_str(), "B3");
  return JiaoBan(server.c_str(), kLogin, kPassword, number.c_str(), "doc2", "Doctor Two", "doc3",
                 "Doctor Three", kMovementDate);
}

const std::vector<Case>& AllCases() {
  static const std::vector<Case> kCases = {
      {"AddZhiYe", true, AddZhiYeCall, FloorAddZhiYe},
      {"GetZhiCheng", false, GetZhiChengCall, FloorGetZhiCheng},
      {"AddUnit", true, AddUnitCall, FloorAddUnit},
      {"DeleteUnit", true, DeleteUnitCall, FloorDeleteUnit},
      {"AddUser", true, AddUserCall, FloorAddUser},
      {"AddIllArea", true, AddIllAreaCall, FloorAddIllArea},
      {"AddVictim", true, AddVictimCall, FloorAddVictim},
      {"UpdateVictim", true, UpdateVictimCall, FloorUpdateVictim},
      {"GetVictimInfo", false, GetVictimInfoCall, FloorGetVictimInfo},
      {"DeleteVictim", true, DeleteVictimCall, FloorDeleteVictim},
      {"JiaoBan", true, JiaoBanCall, FloorJiaoBan},
      {"ZhuanChuang", true, ZhuanChuangCall, FloorZhuanChuang},
  };
  return kCases;
}

}  // namespace wardlink::bench

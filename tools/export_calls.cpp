#include "tools/export_calls.h"

#include <array>
#include <charconv>
#include <functional>
#include <stdexcept>
#include <utility>

#include "patients/record_query.h"
#include "wardlink.h"

namespace wardlink::host {

namespace {

// Room for any single value the library writes into a host buffer.
constexpr size_t kBufferSize = size_t{64} * 1024;

// The arguments of one call, after the connection arguments.
class Args {
 public:
  Args(const std::string& server, const std::string& login, const std::string& password,
       const std::vector<std::string>& values)
      : server_(server), login_(login), password_(password), values_(values) {}

  const char* s() const { return server_.c_str(); }
  const char* l() const { return login_.c_str(); }
  const char* p() const { return password_.c_str(); }
  const char* t(size_t i) const { return values_.at(i).c_str(); }
  int32_t i(size_t index) const {
    const std::string& text = values_.at(index);
    int32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
      throw std::invalid_argument("argument " + std::to_string(index + 1) + " (" + text +
                                  ") is not an integer");
    return value;
  }

 private:
  const std::string& server_;
  const std::string& login_;
  const std::string& password_;
  const std::vector<std::string>& values_;
};

struct ExportEntry {
  const char* name;
  const char* arguments;  // for usage text
  size_t count;           // arguments after the connection arguments
  std::function<CallOutcome(const Args&)> call;
};

CallOutcome Code(int32_t result) { return CallOutcome{result, {}}; }

template <typename Function>
ExportEntry DictionaryAdd(const char* name, Function function) {
  return {name, "EntryName ID theOrder", 3, [function](const Args& a) {
            return Code(function(a.s(), a.l(), a.p(), a.t(0), a.i(1), a.i(2)));
          }};
}

template <typename Function>
ExportEntry ById(const char* name, Function function) {
  return {name, "ID", 1,
          [function](const Args& a) { return Code(function(a.s(), a.l(), a.p(), a.i(0))); }};
}

template <typename Function>
ExportEntry ByText(const char* name, const char* argument, Function function) {
  return {name, argument, 1,
          [function](const Args& a) { return Code(function(a.s(), a.l(), a.p(), a.t(0))); }};
}

template <typename Function>
ExportEntry List(const char* name, Function function) {
  return {name, "", 0, [function](const Args& a) {
            std::string buffer(kBufferSize, '\0');
            char* bufferAddress = buffer.data();
            int32_t result = function(a.s(), a.l(), a.p(), &bufferAddress);
            return CallOutcome{result, {{"ListBuffer", buffer.c_str()}}};
          }};
}

template <typename Function, size_t... I>
int32_t CallWithTexts(Function function, const Args& a, std::index_sequence<I...>) {
  return function(a.s(), a.l(), a.p(), a.t(I)...);
}

template <size_t N, typename Function>
ExportEntry Texts(const char* name, const char* arguments, Function function) {
  return {name, arguments, N, [function](const Args& a) {
            return Code(CallWithTexts(function, a, std::make_index_sequence<N>()));
          }};
}

CallOutcome CallGetVictimInfo(const Args& a) {
  std::vector<std::string> buffers(42, std::string(kBufferSize, '\0'));
  auto slot = [&](size_t i) { return buffers[i].data(); };
  int32_t result = GetVictimInfo(
      a.s(), a.l(), a.p(), a.t(0), slot(0), slot(1), slot(2), slot(3), slot(4), slot(5), slot(6),
      slot(7), slot(8), slot(9), slot(10), slot(11), slot(12), slot(13), slot(14), slot(15),
      slot(16), slot(17), slot(18), slot(19), slot(20), slot(21), slot(22), slot(23), slot(24),
      slot(25), slot(26), slot(27), slot(28), slot(29), slot(30), slot(31), slot(32), slot(33),
      slot(34), slot(35), slot(36), slot(37), slot(38), slot(39), slot(40), slot(41), 0);
  CallOutcome outcome{result, {}};
  if (result == 0) {
    for (size_t i = 0; i < 42; ++i)
      outcome.buffers.emplace_back(kVictimQuerySlotColumns[i].column, buffers[i].c_str());
  }
  return outcome;
}

const std::vector<ExportEntry>& Table() {
  static const std::vector<ExportEntry> kTable = {
      DictionaryAdd("AddZhiYe", AddZhiYe),
      DictionaryAdd("UpdateZhiYe", UpdateZhiYe),
      ById("DeleteZhiYe", DeleteZhiYe),
      DictionaryAdd("AddHunYin", AddHunYin),
      DictionaryAdd("UpdateHunYin", UpdateHunYin),
      ById("DeleteHunYin", DeleteHunYin),
      DictionaryAdd("AddInHospType", AddInHospType),
      DictionaryAdd("UpdateInHospType", UpdateInHospType),
      ById("DeleteInHospType", DeleteInHospType),
      DictionaryAdd("AddYiBaoLeiXing", AddYiBaoLeiXing),
      DictionaryAdd("UpdateYiBaoLeiXing", UpdateYiBaoLeiXing),
      ById("DeleteYiBaoLeiXing", DeleteYiBaoLeiXing),
      DictionaryAdd("AddCertificateType", AddCertificateType),
      DictionaryAdd("UpdateCertificateType", UpdateCertificateType),
      ById("DeleteCertificateType", DeleteCertificateType),
      List("GetZhiCheng", GetZhiCheng),
      List("GetBingQingMiaoShu", GetBingQingMiaoShu),
      {"AddUnit", "ID UnitTypeID UnitName Memo", 4,
       [](const Args& a) {
         return Code(AddUnit(a.s(), a.l(), a.p(), a.i(0), a.i(1), a.t(2), a.t(3)));
       }},
      {"UpdateUnit", "ID UnitTypeID UnitName Memo", 4,
       [](const Args& a) {
         return Code(UpdateUnit(a.s(), a.l(), a.p(), a.i(0), a.i(1), a.t(2), a.t(3)));
       }},
      ById("DeleteUnit", DeleteUnit),
      {"AddUser", "UserID Pwd UserName Spare ZhiCheng UnitID TempType", 7,
       [](const Args& a) {
         return Code(
             AddUser(a.s(), a.l(), a.p(), a.t(0), a.t(1), a.t(2), a.i(3), a.t(4), a.i(5), a.i(6)));
       }},
      {"UpdateUser", "UserID Pwd UserName Spare ZhiCheng UnitID TempType", 7,
       [](const Args& a) {
         return Code(UpdateUser(a.s(), a.l(), a.p(), a.t(0), a.t(1), a.t(2), a.i(3), a.t(4), a.i(5),
                                a.i(6)));
       }},
      ByText("DeleteUser", "UserID", DeleteUser),
      {"AddIllArea", "UnitID ID iaName", 3,
       [](const Args& a) { return Code(AddIllArea(a.s(), a.l(), a.p(), a.i(0), a.i(1), a.t(2))); }},
      {"UpdateIllArea", "UnitID ID iaName", 3,
       [](const Args& a) {
         return Code(UpdateIllArea(a.s(), a.l(), a.p(), a.i(0), a.i(1), a.t(2)));
       }},
      ById("DeleteIllArea", DeleteIllArea),
      {"AddIllBed", "UnitID illAreaID ID ibName", 4,
       [](const Args& a) {
         return Code(AddIllBed(a.s(), a.l(), a.p(), a.i(0), a.i(1), a.i(2), a.t(3)));
       }},
      {"UpdateIllBed", "ID ibName", 2,
       [](const Args& a) { return Code(UpdateIllBed(a.s(), a.l(), a.p(), a.i(0), a.t(1))); }},
      ById("DeleteIllBed", DeleteIllBed),
      Texts<44>("AddVictim", "the 44 texts of the stay record, ZhuYuanNo first", AddVictim),
      Texts<44>("UpdateVictim", "the 44 texts of the stay record, ZhuYuanNo first", UpdateVictim),
      {"GetVictimInfo", "ZhuYuanNo", 1, CallGetVictimInfo},
      ByText("DeleteVictim", "ZhuYuanNo", DeleteVictim),
      Texts<7>("VictimChuYuan",
               "ZhuYuanNo ChuYuanDate ChuYuanZhenDuan ZhiLiaoChuLi ZhiLiaoJieGuo ShangKouYuHe Memo",
               VictimChuYuan),
      {"VictimZhuanChu", "ZhuYuanNo TagReciveUnitID TagReciveDoctorUid ZhuanKeDate", 4,
       [](const Args& a) {
         return Code(VictimZhuanChu(a.s(), a.l(), a.p(), a.t(0), a.i(1), a.t(2), a.t(3)));
       }},
      ByText("GuaQi", "ZhuYuanNo", GuaQi),
      Texts<8>("AcceptZhuanKePeople",
               "ZhuYuanNo MainMgrDoctorUid MainMgrDoctorName HelperUidList HelperNameList "
               "ZhuanKeDate BingQu ChuangHao",
               AcceptZhuanKePeople),
      ByText("CancelZhuanKe", "ZhuYuanNo", CancelZhuanKe),
      ByText("CancelGuaQi", "ZhuYuanNo", CancelGuaQi),
      Texts<2>("ZhuanChuang", "ZhuYuanNo ChuangHao", ZhuanChuang),
      Texts<6>("JiaoBan",
               "ZhuYuanNo MainMgrDoctorUid MainMgrDoctorName HelperUidList HelperNameList "
               "ZhuanKeDate",
               JiaoBan),
  };
  return kTable;
}

}  // namespace

CallOutcome CallExport(const std::string& name, const std::string& server, const std::string& login,
                       const std::string& password, const std::vector<std::string>& args) {
  for (const auto& entry : Table()) {
    if (name != entry.name) continue;
    if (args.size() != entry.count)
      throw std::invalid_argument(name + " takes " + std::to_string(entry.count) +
                                  " arguments after the connection arguments: " + entry.arguments);
    CallOutcome outcome = entry.call(Args(server, login, password, args));
    if (outcome.result == -1) {
      outcome.error.assign(static_cast<size_t>(WardLinkLastError(nullptr, 0)) + 1, '\0');
      WardLinkLastError(outcome.error.data(), static_cast<int32_t>(outcome.error.size()));
      outcome.error.pop_back();
    }
    return outcome;
  }
  throw std::invalid_argument("no export named " + name);
}

std::vector<std::string> DescribeExports() {
  std::vector<std::string> lines;
  for (const auto& entry : Table())
    lines.push_back(std::string(entry.name) + " " + entry.arguments);
  return lines;
}

}  // namespace wardlink::host

#include "library/export_table.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "db/code_page.h"
#include "patients/record_query.h"
#include "shared/conversions.h"
#include "shared/regional_settings.h"
#include "wardlink.h"

namespace wardlink::host {

namespace {

using Codes = std::map<int32_t, std::string>;
using Form = ArgumentForm;

// A date pattern as a person reads it: quoted text without its quotes.
std::string ReadableForm(std::string_view pattern) {
  std::string readable;
  for (char c : pattern)
    if (c != '"' && c != '\'') readable += c;
  return readable;
}

std::string LastErrorMessage() {
  std::string message(static_cast<size_t>(WardLinkLastError(nullptr, 0)) + 1, '\0');
  WardLinkLastError(message.data(), static_cast<int32_t>(message.size()));
  message.pop_back();
  return message;
}

// Shorthands for the call bodies: connection arguments, texts and integers by position.
struct Args {
  const ExportSpec& spec;
  const CallArguments& call;
  const char* s() const { return call.server.c_str(); }
  const char* l() const { return call.login.c_str(); }
  const char* p() const { return call.password.c_str(); }
  const char* t(size_t i) const { return call.values.at(i).c_str(); }
  int32_t i(size_t index) const { return spec.Integer(call, index); }
};

template <typename Body>
ExportCall Returning(Body body) {
  return [body](const ExportSpec& spec, const CallArguments& call) {
    return CallOutcome{body(Args{spec, call}), {}, {}};
  };
}

std::vector<ArgumentSpec> Named(std::initializer_list<std::pair<const char*, Form>> arguments) {
  std::vector<ArgumentSpec> specs;
  for (const auto& [name, form] : arguments) specs.push_back({name, form});
  return specs;
}

const Codes kDictionaryAddCodes = {{2, "ID exists"}};
const Codes kNotFoundCodes = {{2, "ID not found"}};

template <typename Function>
ExportSpec DictionaryEntry(const char* name, const Codes& codes, Function function) {
  return {name,
          Named({{"EntryName", Form::kText}, {"ID", Form::kInteger}, {"theOrder", Form::kInteger}}),
          codes, Returning([function](const Args& a) {
            return function(a.s(), a.l(), a.p(), a.t(0), a.i(1), a.i(2));
          })};
}

template <typename Function>
ExportSpec ById(const char* name, const Codes& codes, Function function) {
  return {name, Named({{"ID", Form::kInteger}}), codes,
          Returning([function](const Args& a) { return function(a.s(), a.l(), a.p(), a.i(0)); })};
}

template <typename Function>
ExportSpec ByStay(const char* name, const Codes& codes, Function function) {
  return {name, Named({{"ZhuYuanNo", Form::kText}}), codes,
          Returning([function](const Args& a) { return function(a.s(), a.l(), a.p(), a.t(0)); })};
}

// The lists are read through their sized form, so that no text can overrun the tool's buffer: a
// text that does not fit is read again into a buffer of its length. A list that keeps growing
// between the reads gives up after a few.
constexpr int kReadAttempts = 4;
constexpr size_t kFirstBufferSize = 4096;

template <typename Sized>
ExportSpec List(const char* name, Sized sized) {
  return {name,
          {},
          {},
          [sized](const ExportSpec&, const CallArguments& call) {
            std::string buffer(kFirstBufferSize, '\0');
            CallOutcome outcome;
            for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
              char* bufferAddress = buffer.data();
              int32_t length = 0;
              outcome.result = sized(call.server.c_str(), call.login.c_str(), call.password.c_str(),
                                     &bufferAddress, static_cast<int32_t>(buffer.size()), &length);
              if (outcome.result != WARDLINK_TEXT_DID_NOT_FIT) break;
              buffer.assign(static_cast<size_t>(length) + 1, '\0');
            }
            if (outcome.result == 0) outcome.buffers.emplace_back("ListBuffer", buffer.c_str());
            return outcome;
          },
          {"ListBuffer"}};
}

template <typename Function, size_t... I>
int32_t CallWithTexts(Function function, const Args& a, std::index_sequence<I...>) {
  return function(a.s(), a.l(), a.p(), a.t(I)...);
}

template <size_t N, typename Function>
ExportCall Texts(Function function) {
  return Returning([function](const Args& a) {
    return CallWithTexts(function, a, std::make_index_sequence<N>());
  });
}

Form StayFieldForm(std::string_view column) {
  if (column == "NianLing_Sui" || column == "NianLing_Yue" || column == "NianLing_Tian")
    return Form::kRecordNumber;
  if (column == "RuYuanCount") return Form::kRecordCount;
  if (column == "RuYuanDate" || column == "BingShiCaiJiDate") return Form::kRecordDate;
  if (column == "UnitID") return Form::kRecordUnitId;
  return Form::kText;
}

// The 44 texts of the stay record: the number, the 42 fields the query gives back, and the first
// condition entry.
std::vector<ArgumentSpec> StayRecordArguments() {
  std::vector<ArgumentSpec> arguments{{"ZhuYuanNo", Form::kText}};
  for (const auto& slot : kVictimQuerySlotColumns)
    arguments.push_back({std::string(slot.column), StayFieldForm(slot.column)});
  arguments.push_back({"BingQingMiaoShu", Form::kText});
  return arguments;
}

std::vector<std::string> StayRecordBuffers() {
  std::vector<std::string> names;
  for (const auto& slot : kVictimQuerySlotColumns) names.emplace_back(slot.column);
  return names;
}

CallOutcome CallGetVictimInfo(const ExportSpec&, const CallArguments& call) {
  std::vector<std::string> buffers(kVictimQuerySlots, std::string(kFirstBufferSize, '\0'));
  std::array<char*, kVictimQuerySlots> slots{};
  std::array<int32_t, kVictimQuerySlots> sizes{};
  std::array<int32_t, kVictimQuerySlots> lengths{};
  CallOutcome outcome;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    for (size_t i = 0; i < kVictimQuerySlots; ++i) {
      slots[i] = buffers[i].data();
      sizes[i] = static_cast<int32_t>(buffers[i].size());
    }
    outcome.result =
        GetVictimInfoSized(call.server.c_str(), call.login.c_str(), call.password.c_str(),
                           call.values.at(0).c_str(), slots.data(), sizes.data(), lengths.data());
    if (outcome.result != WARDLINK_TEXT_DID_NOT_FIT) break;
    for (size_t i = 0; i < kVictimQuerySlots; ++i) {
      if (static_cast<size_t>(lengths[i]) >= buffers[i].size())
        buffers[i].assign(static_cast<size_t>(lengths[i]) + 1, '\0');
    }
  }
  if (outcome.result == 0) {
    for (size_t i = 0; i < kVictimQuerySlots; ++i)
      outcome.buffers.emplace_back(kVictimQuerySlotColumns[i].column, buffers[i].c_str());
  }
  return outcome;
}

const Codes kUserCodes = {{2, "department not found"},
                          {3, "user exists"},
                          {4, "title not in the title list"},
                          {5, "TempType neither 0 nor 1"}};
const Codes kStayMovementCodes = {{2, "number unknown"}, {3, "archived"}, {4, "rolled back"}};
const Codes kCancelCodes = {{2, "number unknown"}, {3, "archived"}, {5, "rolled back"}};

std::vector<ExportSpec> BuildTable() {
  const auto user = Named({{"UserID", Form::kText},
                           {"Pwd", Form::kText},
                           {"UserName", Form::kText},
                           {"Spare", Form::kSpare},
                           {"ZhiCheng", Form::kText},
                           {"UnitID", Form::kInteger},
                           {"TempType", Form::kInteger}});
  const auto unit = Named({{"ID", Form::kInteger},
                           {"UnitTypeID", Form::kInteger},
                           {"UnitName", Form::kText},
                           {"Memo", Form::kText}});
  const auto ward =
      Named({{"UnitID", Form::kInteger}, {"ID", Form::kInteger}, {"iaName", Form::kText}});
  const auto doctors = Named({{"ZhuYuanNo", Form::kText},
                              {"MainMgrDoctorUid", Form::kText},
                              {"MainMgrDoctorName", Form::kText},
                              {"HelperUidList", Form::kText},
                              {"HelperNameList", Form::kText},
                              {"ZhuanKeDate", Form::kMovementDate}});
  auto accept = doctors;
  accept.push_back({"BingQu", Form::kText});
  accept.push_back({"ChuangHao", Form::kText});
  Codes updateUser = kUserCodes;
  updateUser[3] = "user not found";
  Codes cancelTransfer = kCancelCodes;
  cancelTransfer[4] = "no pending transfer";
  Codes cancelSuspension = kCancelCodes;
  cancelSuspension[4] = "not suspended";
  Codes acceptCodes = kCancelCodes;
  acceptCodes[4] = "doctor unknown";

  return {
      DictionaryEntry("AddZhiYe", kDictionaryAddCodes, AddZhiYe),
      DictionaryEntry("UpdateZhiYe", kNotFoundCodes, UpdateZhiYe),
      ById("DeleteZhiYe", kNotFoundCodes, DeleteZhiYe),
      DictionaryEntry("AddHunYin", kDictionaryAddCodes, AddHunYin),
      DictionaryEntry("UpdateHunYin", kNotFoundCodes, UpdateHunYin),
      ById("DeleteHunYin", kNotFoundCodes, DeleteHunYin),
      DictionaryEntry("AddInHospType", kDictionaryAddCodes, AddInHospType),
      DictionaryEntry("UpdateInHospType", kNotFoundCodes, UpdateInHospType),
      ById("DeleteInHospType", kNotFoundCodes, DeleteInHospType),
      DictionaryEntry("AddYiBaoLeiXing", kDictionaryAddCodes, AddYiBaoLeiXing),
      DictionaryEntry("UpdateYiBaoLeiXing", kNotFoundCodes, UpdateYiBaoLeiXing),
      ById("DeleteYiBaoLeiXing", kNotFoundCodes, DeleteYiBaoLeiXing),
      DictionaryEntry("AddCertificateType", kDictionaryAddCodes, AddCertificateType),
      DictionaryEntry("UpdateCertificateType", kNotFoundCodes, UpdateCertificateType),
      ById("DeleteCertificateType", kNotFoundCodes, DeleteCertificateType),
      List("GetZhiCheng", GetZhiChengSized),
      List("GetBingQingMiaoShu", GetBingQingMiaoShuSized),
      {"AddUnit", unit, kDictionaryAddCodes, Returning([](const Args& a) {
         return AddUnit(a.s(), a.l(), a.p(), a.i(0), a.i(1), a.t(2), a.t(3));
       })},
      {"UpdateUnit", unit, kNotFoundCodes, Returning([](const Args& a) {
         return UpdateUnit(a.s(), a.l(), a.p(), a.i(0), a.i(1), a.t(2), a.t(3));
       })},
      ById("DeleteUnit",
           {{2, "ID not found"}, {3, "still referred to by a user, a record or a ward"}},
           DeleteUnit),
      {"AddUser", user, kUserCodes, Returning([](const Args& a) {
         return AddUser(a.s(), a.l(), a.p(), a.t(0), a.t(1), a.t(2), 0, a.t(4), a.i(5), a.i(6));
       })},
      {"UpdateUser", user, updateUser, Returning([](const Args& a) {
         return UpdateUser(a.s(), a.l(), a.p(), a.t(0), a.t(1), a.t(2), 0, a.t(4), a.i(5), a.i(6));
       })},
      {"DeleteUser",
       Named({{"UserID", Form::kText}}),
       {{2, "user not found"}},
       Returning([](const Args& a) { return DeleteUser(a.s(), a.l(), a.p(), a.t(0)); })},
      {"AddIllArea",
       ward,
       {{2, "department not found"}, {3, "ward exists"}},
       Returning(
           [](const Args& a) { return AddIllArea(a.s(), a.l(), a.p(), a.i(0), a.i(1), a.t(2)); })},
      {"UpdateIllArea",
       ward,
       {{2, "department not found"}, {3, "ward not found"}},
       Returning([](const Args& a) {
         return UpdateIllArea(a.s(), a.l(), a.p(), a.i(0), a.i(1), a.t(2));
       })},
      ById("DeleteIllArea", {{2, "ward not found"}}, DeleteIllArea),
      {"AddIllBed",
       Named({{"UnitID", Form::kInteger},
              {"illAreaID", Form::kInteger},
              {"ID", Form::kInteger},
              {"ibName", Form::kText}}),
       {{2, "department not found"}, {3, "ward not in department"}, {4, "bed exists"}},
       Returning([](const Args& a) {
         return AddIllBed(a.s(), a.l(), a.p(), a.i(0), a.i(1), a.i(2), a.t(3));
       })},
      {"UpdateIllBed",
       Named({{"ID", Form::kInteger}, {"ibName", Form::kText}}),
       {{2, "bed not found"}},
       Returning([](const Args& a) { return UpdateIllBed(a.s(), a.l(), a.p(), a.i(0), a.t(1)); })},
      ById("DeleteIllBed", {{2, "bed not found"}}, DeleteIllBed),
      {"AddVictim",
       StayRecordArguments(),
       {{2, "no default date format"}, {3, "rolled back"}, {4, "number already admitted"}},
       Texts<44>(AddVictim)},
      {"UpdateVictim",
       StayRecordArguments(),
       {{2, "number unknown"}, {3, "archived"}, {4, "no default date format"}, {5, "rolled back"}},
       Texts<44>(UpdateVictim)},
      {"GetVictimInfo",
       Named({{"ZhuYuanNo", Form::kText}}),
       {{2, "number unknown"}, {3, "no record in its year's table"}},
       CallGetVictimInfo,
       StayRecordBuffers()},
      ByStay("DeleteVictim", kStayMovementCodes, DeleteVictim),
      {"VictimChuYuan",
       Named({{"ZhuYuanNo", Form::kText},
              {"ChuYuanDate", Form::kDischargeDate},
              {"ChuYuanZhenDuan", Form::kText},
              {"ZhiLiaoChuLi", Form::kText},
              {"ZhiLiaoJieGuo", Form::kText},
              {"ShangKouYuHe", Form::kText},
              {"Memo", Form::kText}}),
       {{2, "number unknown"}, {3, "archived"}, {4, "rolled back (bad date included)"}},
       Texts<7>(VictimChuYuan)},
      {"VictimZhuanChu",
       Named({{"ZhuYuanNo", Form::kText},
              {"TagReciveUnitID", Form::kInteger},
              {"TagReciveDoctorUid", Form::kText},
              {"ZhuanKeDate", Form::kMovementDate}}),
       {{2, "number unknown, or rolled back (bad date included)"}, {3, "archived"}},
       Returning([](const Args& a) {
         return VictimZhuanChu(a.s(), a.l(), a.p(), a.t(0), a.i(1), a.t(2), a.t(3));
       })},
      ByStay("GuaQi", {{2, "number unknown, or rolled back"}, {3, "archived"}}, GuaQi),
      {"AcceptZhuanKePeople", accept, acceptCodes, Texts<8>(AcceptZhuanKePeople)},
      ByStay("CancelZhuanKe", cancelTransfer, CancelZhuanKe),
      ByStay("CancelGuaQi", cancelSuspension, CancelGuaQi),
      {"ZhuanChuang", Named({{"ZhuYuanNo", Form::kText}, {"ChuangHao", Form::kText}}),
       kStayMovementCodes, Texts<2>(ZhuanChuang)},
      {"JiaoBan", doctors, kStayMovementCodes, Texts<6>(JiaoBan)},
  };
}

}  // namespace

ExportSpec::ExportSpec(std::string name, std::vector<ArgumentSpec> arguments,
                       std::map<int32_t, std::string> codes, ExportCall call,
                       std::vector<std::string> buffers)
    : name_(std::move(name)),
      arguments_(std::move(arguments)),
      codes_(std::move(codes)),
      call_(std::move(call)),
      buffers_(std::move(buffers)) {}

std::string ExportSpec::Meaning(int32_t result) const {
  switch (result) {
    case 0:
      return std::string(kMeaningDone);
    case 1:
      return std::string(kMeaningConnectionFailed);
    case -1:
      return std::string(kMeaningUnexpected);
    case WARDLINK_TEXT_DID_NOT_FIT:
      return "a text kept growing past its buffer while it was read";
    default:
      break;
  }
  auto code = codes_.find(result);
  return code != codes_.end() ? code->second : "not a result of " + name_;
}

int32_t ExportSpec::Integer(const CallArguments& arguments, size_t index) const {
  const std::string& text = arguments.values.at(index);
  std::string_view digits = text;
  if (digits.starts_with('+')) digits.remove_prefix(1);
  int32_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
    throw UsageError(arguments_.at(index).name + ": \"" + text +
                     "\" is not an integer (decimal, optional sign, 32 bits)");
  }
  return value;
}

CallOutcome ExportSpec::Call(const CallArguments& arguments) const {
  if (arguments.values.size() != arguments_.size()) {
    throw UsageError(name_ + " takes " + std::to_string(arguments_.size()) +
                     " arguments after SERVER LOGIN PASSWORD, " +
                     std::to_string(arguments.values.size()) + " given (see: wardlink help " +
                     name_ + ")");
  }
  // Every integer is checked before the call, so that a bad one never leaves half a batch sent.
  for (size_t i = 0; i < arguments_.size(); ++i) {
    if (arguments_[i].form == ArgumentForm::kInteger) Integer(arguments, i);
  }
  CallOutcome outcome = call_(*this, arguments);
  // Empty unless the call failed with 1, -1 or its rolled-back code.
  if (outcome.result != 0) outcome.message = LastErrorMessage();
  return outcome;
}

const std::vector<ExportSpec>& Exports() {
  static const std::vector<ExportSpec> kTable = BuildTable();
  return kTable;
}

const ExportSpec* FindExport(std::string_view name) {
  for (const auto& spec : Exports()) {
    if (spec.name() == name) return &spec;
  }
  return nullptr;
}

std::string DescribeForm(ArgumentForm form) {
  switch (form) {
    case Form::kText:
      return "text, passed as given";
    case Form::kInteger:
      return "integer: decimal digits with an optional sign, 32 bits (12, -3, +7)";
    case Form::kSpare:
      return "never read: any text, the tool passes 0";
    case Form::kMovementDate:
      return "text: digits yyyyMMddHHmm (202403051000 for 5 March 2024, 10:00); any other text "
             "is no valid date and the call fails with its rolled-back code";
    case Form::kDischargeDate:
      return "text: digits yyyyMMddHHmmss (20240310103000); missing date digits take today's, "
             "missing time digits 0; an impossible date fails the call";
    case Form::kRecordDate: {
      const RegionalSettings settings = EnvironmentRegionalSettings();
      return "text: a date in the short date form of the regional settings (LC_TIME; here " +
             ReadableForm(settings.shortDateFormat) + ", e.g. " +
             FormatDatePattern(settings.shortDateFormat, DateTime{2024, 3, 5, 0, 0, 0, 0},
                               settings) +
             " for 5 March 2024); any other text, the empty one included, stores the current "
             "time";
    }
    case Form::kRecordNumber:
      return "text: an integer (decimal, or hexadecimal after $, x or 0x; leading blanks and a "
             "sign allowed); any other text stores 0";
    case Form::kRecordCount:
      return "text: an integer as above; any other text stores 1";
    case Form::kRecordUnitId:
      return "text holding an integer, converted by the database as SQL Server converts varchar "
             "to int (blanks around, a sign, decimal digits, 32 bits; blanks only give 0); any "
             "other text (3.0, 1e2) fails the statement and the call rolls back";
  }
  return "text";
}

std::string JsonString(std::string_view value) {
  static const TextConverter kConverter;
  std::string utf8 = kConverter.ToUtf8(value);
  std::string json = "\"";
  for (char c : utf8) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

}  // namespace wardlink::host

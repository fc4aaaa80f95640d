// Hostile texts in every text argument of every export, in the C, UTF-8 and GBK locales. Each call
// is compared with the same call holding a plain marker text in that argument, on a database
// seeded alike: the result is the same, and the rows it changes are the same, with the hostile
// text stored (as valid UTF-8) wherever the marker was.
#include <gtest/gtest.h>
#include <locale.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <set>
#include <tuple>

#include "tests/reliability/reliability_support.h"
#include "tests/test_support.h"
#include "tests/victim_args.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

using Args = std::vector<std::string>;  // login, password, then the export's own texts
using File = SqliteFile&;

struct Export {
  const char* name;
  Args texts;
  std::function<int32_t(const char* server, const Args& a)> call;
  // Rows the call finds by its texts, seeded with the texts as stored.
  std::function<void(File, const Args& stored)> seed = [](File, const Args&) {};
  // Digits kept before a date text, so that the date stays valid whatever follows.
  std::map<size_t, std::string> datePrefix = {};
  // Texts read as a date in the host's form: any other text reads as the clock, so the digits of
  // the two runs are not compared.
  std::set<size_t> clockTexts = {};
};

void SeedUser(File file, const std::string& id) {
  file.Exec("INSERT OR IGNORE INTO Emr_User VALUES (?, 'pw', 'Dr', 3, 0, 'Chief')", {id});
}
void SeedTitle(File file, const std::string& title) {
  file.Exec("INSERT INTO Emr_YiShengZhiCheng VALUES (?)", {title});
}
auto SeedStayIn(int32_t state) {
  return [state](File file, const Args& stored) { SeedStay(file, stored[2], state); };
}

using DictionaryWrite = int32_t (*)(const char*, const char*, const char*, const char*, int32_t,
                                    int32_t);
using DictionaryDelete = int32_t (*)(const char*, const char*, const char*, int32_t);
using LookupList = int32_t (*)(const char*, const char*, const char*, char**);

template <size_t... I>
int32_t CallVictim(decltype(&AddVictim) function, const char* server, const Args& a,
                   std::index_sequence<I...>) {
  return function(server, a[0].c_str(), a[1].c_str(), a[I + 2].c_str()...);
}

std::vector<Export> Exports() {
  std::vector<Export> exports;
  struct Dictionary {
    const char* family;
    DictionaryWrite add;
    DictionaryWrite update;
    DictionaryDelete remove;
  };
  const Dictionary dictionaries[] = {
      {"ZhiYe", AddZhiYe, UpdateZhiYe, DeleteZhiYe},
      {"HunYin", AddHunYin, UpdateHunYin, DeleteHunYin},
      {"InHospType", AddInHospType, UpdateInHospType, DeleteInHospType},
      {"YiBaoLeiXing", AddYiBaoLeiXing, UpdateYiBaoLeiXing, DeleteYiBaoLeiXing},
      {"CertificateType", AddCertificateType, UpdateCertificateType, DeleteCertificateType}};
  for (const Dictionary& d : dictionaries) {
    exports.push_back({d.family, {"", "", "new entry"}, [d](const char* s, const Args& a) {
                         return d.add(s, a[0].c_str(), a[1].c_str(), a[2].c_str(), 2, 2);
                       }});
    exports.push_back({d.family, {"", "", "renamed"}, [d](const char* s, const Args& a) {
                         return d.update(s, a[0].c_str(), a[1].c_str(), a[2].c_str(), 1, 5);
                       }});
    exports.push_back({d.family, {"", ""}, [d](const char* s, const Args& a) {
                         return d.remove(s, a[0].c_str(), a[1].c_str(), 1);
                       }});
  }
  for (LookupList list : {GetZhiCheng, GetBingQingMiaoShu}) {
    exports.push_back({"lookup list", {"", ""}, [list](const char* s, const Args& a) {
                         std::vector<char> buffer(1 << 16);
                         char* text = buffer.data();
                         return list(s, a[0].c_str(), a[1].c_str(), &text);
                       }});
  }
  using SizedList = int32_t (*)(const char*, const char*, const char*, char**, int32_t, int32_t*);
  for (SizedList list : {GetZhiChengSized, GetBingQingMiaoShuSized}) {
    exports.push_back({"sized lookup list", {"", ""}, [list](const char* s, const Args& a) {
                         std::vector<char> buffer(1 << 16);
                         char* text = buffer.data();
                         int32_t length = 0;
                         return list(s, a[0].c_str(), a[1].c_str(), &text,
                                     static_cast<int32_t>(buffer.size()), &length);
                       }});
  }
  auto c = [](const Args& a, size_t i) { return a[i].c_str(); };
  exports.insert(
      exports.end(),
      {
          {"AddUnit",
           {"", "", "Unit", "memo"},
           [c](const char* s, const Args& a) {
             return AddUnit(s, c(a, 0), c(a, 1), 5, 1, c(a, 2), c(a, 3));
           }},
          {"UpdateUnit",
           {"", "", "Unit", "memo"},
           [c](const char* s, const Args& a) {
             return UpdateUnit(s, c(a, 0), c(a, 1), 3, 1, c(a, 2), c(a, 3));
           }},
          {"DeleteUnit",
           {"", ""},
           [c](const char* s, const Args& a) { return DeleteUnit(s, c(a, 0), c(a, 1), 1); }},
          {"AddUser",
           {"", "", "newuser", "pw", "Name", "Chief"},
           [c](const char* s, const Args& a) {
             return AddUser(s, c(a, 0), c(a, 1), c(a, 2), c(a, 3), c(a, 4), 0, c(a, 5), 3, 0);
           },
           [](File file, const Args& stored) { SeedTitle(file, stored[5]); }},
          {"UpdateUser",
           {"", "", "doc2", "pw2", "Name2", "Chief"},
           [c](const char* s, const Args& a) {
             return UpdateUser(s, c(a, 0), c(a, 1), c(a, 2), c(a, 3), c(a, 4), 0, c(a, 5), 3, 1);
           },
           [](File file, const Args& stored) {
             SeedUser(file, stored[2]);
             SeedTitle(file, stored[5]);
           }},
          {"DeleteUser",
           {"", "", "doc2"},
           [c](const char* s, const Args& a) { return DeleteUser(s, c(a, 0), c(a, 1), c(a, 2)); },
           [](File file, const Args& stored) { SeedUser(file, stored[2]); }},
          {"AddIllArea",
           {"", "", "Ward"},
           [c](const char* s, const Args& a) {
             return AddIllArea(s, c(a, 0), c(a, 1), 3, 9, c(a, 2));
           }},
          {"UpdateIllArea",
           {"", "", "Ward"},
           [c](const char* s, const Args& a) {
             return UpdateIllArea(s, c(a, 0), c(a, 1), 3, 7, c(a, 2));
           }},
          {"DeleteIllArea",
           {"", ""},
           [c](const char* s, const Args& a) { return DeleteIllArea(s, c(a, 0), c(a, 1), 7); }},
          {"AddIllBed",
           {"", "", "Bed"},
           [c](const char* s, const Args& a) {
             return AddIllBed(s, c(a, 0), c(a, 1), 3, 7, 20, c(a, 2));
           }},
          {"UpdateIllBed",
           {"", "", "Bed"},
           [c](const char* s, const Args& a) {
             return UpdateIllBed(s, c(a, 0), c(a, 1), 10, c(a, 2));
           }},
          {"DeleteIllBed",
           {"", ""},
           [c](const char* s, const Args& a) { return DeleteIllBed(s, c(a, 0), c(a, 1), 10); }},
          {"GetVictimInfo",
           {"", "", "V1"},
           [c](const char* s, const Args& a) {
             std::vector<std::vector<char>> buffers(42, std::vector<char>(1 << 12));
             auto b = [&](size_t i) { return buffers[i].data(); };
             return GetVictimInfo(s, c(a, 0), c(a, 1), c(a, 2), b(0), b(1), b(2), b(3), b(4), b(5),
                                  b(6), b(7), b(8), b(9), b(10), b(11), b(12), b(13), b(14), b(15),
                                  b(16), b(17), b(18), b(19), b(20), b(21), b(22), b(23), b(24),
                                  b(25), b(26), b(27), b(28), b(29), b(30), b(31), b(32), b(33),
                                  b(34), b(35), b(36), b(37), b(38), b(39), b(40), b(41), 0);
           },
           SeedStayIn(0)},
          {"GetVictimInfoSized",
           {"", "", "V1"},
           [c](const char* s, const Args& a) {
             std::vector<std::vector<char>> buffers(WARDLINK_VICTIM_INFO_SLOTS,
                                                    std::vector<char>(1 << 12));
             std::vector<char*> slots;
             for (auto& buffer : buffers) slots.push_back(buffer.data());
             std::vector<int32_t> sizes(WARDLINK_VICTIM_INFO_SLOTS, 1 << 12);
             std::vector<int32_t> lengths(WARDLINK_VICTIM_INFO_SLOTS);
             return GetVictimInfoSized(s, c(a, 0), c(a, 1), c(a, 2), slots.data(), sizes.data(),
                                       lengths.data());
           },
           SeedStayIn(0)},
          {"DeleteVictim",
           {"", "", "V1"},
           [c](const char* s, const Args& a) { return DeleteVictim(s, c(a, 0), c(a, 1), c(a, 2)); },
           SeedStayIn(0)},
          {"VictimChuYuan",
           {"", "", "V1", "", "diagnosis", "treatment", "result", "wound", "memo"},
           [c](const char* s, const Args& a) {
             return VictimChuYuan(s, c(a, 0), c(a, 1), c(a, 2), c(a, 3), c(a, 4), c(a, 5), c(a, 6),
                                  c(a, 7), c(a, 8));
           },
           SeedStayIn(0),
           {{3, "20080120103000"}}},
          {"VictimZhuanChu",
           {"", "", "V1", "doc", ""},
           [c](const char* s, const Args& a) {
             return VictimZhuanChu(s, c(a, 0), c(a, 1), c(a, 2), 3, c(a, 3), c(a, 4));
           },
           SeedStayIn(0),
           {{4, "200801151030"}}},
          {"GuaQi",
           {"", "", "V1"},
           [c](const char* s, const Args& a) { return GuaQi(s, c(a, 0), c(a, 1), c(a, 2)); },
           SeedStayIn(0)},
          {"AcceptZhuanKePeople",
           {"", "", "V1", "doc", "Dr Lee", "h2", "Helper", "", "East", "B10"},
           [c](const char* s, const Args& a) {
             return AcceptZhuanKePeople(s, c(a, 0), c(a, 1), c(a, 2), c(a, 3), c(a, 4), c(a, 5),
                                        c(a, 6), c(a, 7), c(a, 8), c(a, 9));
           },
           [](File file, const Args& stored) {
             SeedStay(file, stored[2], 1);
             SeedUser(file, stored[3]);
           },
           {{7, "200801151030"}}},
          {"CancelZhuanKe",
           {"", "", "V1"},
           [c](const char* s, const Args& a) {
             return CancelZhuanKe(s, c(a, 0), c(a, 1), c(a, 2));
           },
           SeedStayIn(1)},
          {"CancelGuaQi",
           {"", "", "V1"},
           [c](const char* s, const Args& a) { return CancelGuaQi(s, c(a, 0), c(a, 1), c(a, 2)); },
           SeedStayIn(4)},
          {"ZhuanChuang",
           {"", "", "V1", "B2"},
           [c](const char* s, const Args& a) {
             return ZhuanChuang(s, c(a, 0), c(a, 1), c(a, 2), c(a, 3));
           },
           SeedStayIn(0)},
          {"JiaoBan",
           {"", "", "V1", "doc", "Dr Lee", "h2", "Helper", ""},
           [c](const char* s, const Args& a) {
             return JiaoBan(s, c(a, 0), c(a, 1), c(a, 2), c(a, 3), c(a, 4), c(a, 5), c(a, 6),
                            c(a, 7));
           },
           SeedStayIn(0),
           {{7, "200801151030"}}},
      });
  Args victim = {"", ""};
  const VictimArgs record("V1");
  victim.insert(victim.end(), record.texts.begin(), record.texts.end());
  const std::set<size_t> victimDates = {kRuYuanDate + 2, kBingShiCaiJiDate + 2};
  exports.push_back({"AddVictim",
                     victim,
                     [](const char* s, const Args& a) {
                       return CallVictim(AddVictim, s, a,
                                         std::make_index_sequence<kVictimArgCount>());
                     },
                     [](File, const Args&) {},
                     {},
                     victimDates});
  exports.push_back({"UpdateVictim",
                     victim,
                     [](const char* s, const Args& a) {
                       return CallVictim(UpdateVictim, s, a,
                                         std::make_index_sequence<kVictimArgCount>());
                     },
                     SeedStayIn(0),
                     {},
                     victimDates});
  return exports;
}

// A hostile text as the host passes it in each locale, and as the database must hold it.
struct Hostile {
  const char* name;
  std::string utf8Host;
  std::string gbkHost;
  std::string stored;
};

std::string LongText() {
  std::string text;
  while (text.size() < 65536) text += "Ab'c;--/*:Name ";
  text.resize(65536);
  return text;
}

const std::vector<Hostile>& HostileTexts() {
  static const std::vector<Hostile> kTexts = {
      {"quotes", "O'Brien '' x'", "O'Brien '' x'", "O'Brien '' x'"},
      {"parameter_lookalikes", ":Name :ZhuYuanNo :x", ":Name :ZhuYuanNo :x", ":Name :ZhuYuanNo :x"},
      {"statement_end", "a'; DELETE FROM Emr_User; --", "a'; DELETE FROM Emr_User; --",
       "a'; DELETE FROM Emr_User; --"},
      {"block_comment", "b' /* c */ d /*", "b' /* c */ d /*", "b' /* c */ d /*"},
      {"long_text", LongText(), LongText(), LongText()},
      // One byte that cannot start a character, and one that starts one and is cut off.
      {"invalid_bytes",
       "a\xff"
       "b\xfe",
       "a\xff"
       "b\xfe",
       "a?b?"},
      // A lead byte that swallows the quote if the reader trusts its announced length.
      {"cut_lead_byte", "\xd6'; --", "\xd6'; --", "?'; --"},
      // In GBK the second byte of the last character is a backslash.
      {"wide_characters", "\xe7\x8e\x8b'; --\xe6\x98\x9e", "\xcd\xf5'; --\x95\x5c",
       "\xe7\x8e\x8b'; --\xe6\x98\x9e"},
  };
  return kTexts;
}

struct HostLocale {
  const char* name;
  bool gbk;
};
const HostLocale kLocales[] = {{"C", false}, {"C.UTF-8", false}, {"zh_CN.GBK", true}};

struct Outcome {
  int32_t code;
  DumpDiff diff;
  Dump after;
};

Outcome RunOnce(const Export& e, const Args& host, const Args& stored) {
  SeededDatabase db;
  Dump before;
  {
    SqliteFile file(db.path());
    e.seed(file, stored);
    before = file.FullDump();
  }
  const int32_t code = e.call(db.server(), host);
  Dump after = FullDump(db.path());
  return {code, Difference(before, after), std::move(after)};
}

DumpDiff Rewritten(DumpDiff diff, const std::string& from, const std::string& to, bool maskDigits) {
  for (Dump* side : {&diff.removed, &diff.added}) {
    for (auto& [table, rows] : *side) {
      for (auto& row : rows) {
        for (size_t at = row.find(from); !from.empty() && at != std::string::npos;
             at = row.find(from, at + to.size()))
          row.replace(at, from.size(), to);
        if (maskDigits) std::replace_if(row.begin(), row.end(), ::isdigit, '0');
      }
      std::sort(rows.begin(), rows.end());
    }
  }
  return diff;
}

class HostileInput : public ::testing::TestWithParam<std::tuple<size_t, size_t>> {};

TEST_P(HostileInput, ChangesOnlyWhatAPlainTextWould) {
  const HostLocale& locale = kLocales[std::get<0>(GetParam())];
  const Hostile& hostile = HostileTexts()[std::get<1>(GetParam())];
  ASSERT_NO_FATAL_FAILURE(EnsureLocale(locale.name));
  ScopedEnvironment environment("LC_ALL", locale.name);
  const std::string& host = locale.gbk ? hostile.gbkHost : hostile.utf8Host;

  size_t cases = 0;
  for (const Export& e : Exports()) {
    for (size_t i = 0; i < e.texts.size(); ++i) {
      SCOPED_TRACE(std::string(e.name) + " text " + std::to_string(i));
      const std::string marker = "Mk" + std::to_string(i) + "z";
      const auto prefix = e.datePrefix.contains(i) ? e.datePrefix.at(i) : std::string();
      Args plainHost = e.texts;
      Args plainStored = e.texts;
      plainHost[i] = prefix + marker;
      plainStored[i] = marker;
      Args hostileHost = e.texts;
      Args hostileStored = e.texts;
      hostileHost[i] = prefix + host;
      hostileStored[i] = hostile.stored;

      const Outcome plain = RunOnce(e, plainHost, plainStored);
      const Outcome tried = RunOnce(e, hostileHost, hostileStored);
      const bool clock = e.clockTexts.contains(i);
      EXPECT_EQ(tried.code, plain.code);
      EXPECT_EQ(Describe(Rewritten(tried.diff, "", "", clock)),
                Describe(Rewritten(plain.diff, marker, hostile.stored, clock)));
      EXPECT_TRUE(HoldsOnlyValidUtf8(tried.after));
      ++cases;
    }
  }
  std::cout << "[ figures  ] " << locale.name << " / " << hostile.name << ": " << cases
            << " hostile calls\n";
}

INSTANTIATE_TEST_SUITE_P(Locales, HostileInput,
                         ::testing::Combine(::testing::Range<size_t>(0, std::size(kLocales)),
                                            ::testing::Range<size_t>(0, HostileTexts().size())),
                         [](const auto& info) {
                           std::string name = std::string(kLocales[std::get<0>(info.param)].name) +
                                              "_" + HostileTexts()[std::get<1>(info.param)].name;
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !isalnum(c); }, '_');
                           return name;
                         });

}  // namespace
}  // namespace wardlink::testing

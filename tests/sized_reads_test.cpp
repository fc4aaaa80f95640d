// The sized reads: the answers of the unsized exports, and never a byte past a size they are given.
// Every buffer is a heap block of exactly its stated size, so that ASan reports any write past it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/test_support.h"
#include "tests/victim_args.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

constexpr char kMark = 'x';
constexpr int32_t kUnsetLength = -7;
constexpr size_t kRoomy = 256;

struct HostBuffer {
  explicit HostBuffer(size_t size) : bytes(size, kMark) {}
  char* data() { return bytes.data(); }
  int32_t size() const { return static_cast<int32_t>(bytes.size()); }
  bool Untouched() const {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == kMark; });
  }
  std::string Text() const { return {bytes.data(), strnlen(bytes.data(), bytes.size())}; }
  std::string Seen() const { return Untouched() ? "untouched" : Text(); }
  std::vector<char> bytes;
};

// What an export left: its result, its buffers' texts and the statements it sent.
struct Outcome {
  int32_t result = -2;
  std::vector<std::string> texts;
  std::vector<std::string> statements;
};

// The size of a buffer relative to the text it should receive.
struct SizeCase {
  int extra;  // bytes beyond the text and its zero byte
  int32_t result;
};
const SizeCase kSizeCases[] = {{-1, WARDLINK_TEXT_DID_NOT_FIT}, {0, 0}, {100, 0}};

// Lists -----------------------------------------------------------------------------------------

using ListExport = int32_t (*)(const char*, const char*, const char*, char**);
using SizedListExport = int32_t (*)(const char*, const char*, const char*, char**, int32_t,
                                    int32_t*);
struct ListPair {
  const char* table;
  ListExport original;
  SizedListExport sized;

  friend void PrintTo(const ListPair& p, std::ostream* out) { *out << p.table; }
};
const std::string kList = "Chief physician;Resident";

class SizedList : public ::testing::TestWithParam<ListPair> {
 protected:
  SizedList() {
    db.Exec(std::string("INSERT INTO ") + GetParam().table +
            " VALUES (' Chief physician  '), ('Resident')");
  }
  // Either export of the pair into `buffer`; only the sized one is told its size.
  Outcome Call(bool sized, const char* server, HostBuffer& buffer, int32_t* length = nullptr) {
    char* address = buffer.data();
    StatementLog log;
    Outcome out;
    out.result = sized ? GetParam().sized(server, "", "", &address, buffer.size(), length)
                       : GetParam().original(server, "", "", &address);
    out.texts = {buffer.Seen()};
    out.statements = log.texts();
    return out;
  }
  TrialDatabase db;
};

TEST_P(SizedList, AnswersAsTheOriginalAndLeavesTheBufferOnFailure) {
  const std::string missing = MissingDatabaseServer();
  const int32_t expected[] = {0, 1, -1};
  for (int step = 0; step < 3; ++step) {
    SCOPED_TRACE(step);
    if (step == 2) db.Exec(std::string("DROP TABLE ") + GetParam().table);
    const char* server = step == 1 ? missing.c_str() : db.server();
    HostBuffer originalBuffer(kRoomy), buffer(kRoomy);
    Outcome original = Call(false, server, originalBuffer);
    int32_t length = kUnsetLength;
    Outcome sized = Call(true, server, buffer, &length);
    EXPECT_EQ(sized.result, original.result);
    EXPECT_EQ(sized.texts, original.texts);
    EXPECT_EQ(sized.statements, original.statements);
    EXPECT_EQ(sized.result, expected[step]);
    EXPECT_EQ(length, step == 0 ? static_cast<int32_t>(kList.size()) : kUnsetLength);
    if (step != 0) {
      EXPECT_TRUE(buffer.Untouched());
    }
  }
}

TEST_P(SizedList, WritesOnlyAListThatFits) {
  for (const SizeCase& c : kSizeCases) {
    SCOPED_TRACE(c.extra);
    HostBuffer buffer(kList.size() + 1 + c.extra);
    int32_t length = kUnsetLength;
    EXPECT_EQ(Call(true, db.server(), buffer, &length).result, c.result);
    EXPECT_EQ(length, static_cast<int32_t>(kList.size()));
    if (c.result == 0) {
      EXPECT_EQ(buffer.Text(), kList);
    } else {
      EXPECT_TRUE(buffer.Untouched());
    }
  }
}

TEST_P(SizedList, ANullBufferAsksForTheLengthAlone) {
  int32_t length = kUnsetLength;
  EXPECT_EQ(GetParam().sized(db.server(), "", "", nullptr, 0, &length), 0);
  EXPECT_EQ(length, static_cast<int32_t>(kList.size()));
  char* none = nullptr;
  length = kUnsetLength;
  EXPECT_EQ(GetParam().sized(db.server(), "", "", &none, 0, &length), 0);
  EXPECT_EQ(length, static_cast<int32_t>(kList.size()));
  EXPECT_EQ(none, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Lists, SizedList,
                         ::testing::Values(ListPair{"Emr_YiShengZhiCheng", GetZhiCheng,
                                                    GetZhiChengSized},
                                           ListPair{"Emr_BingQingMiaoShu", GetBingQingMiaoShu,
                                                    GetBingQingMiaoShuSized}));

// The record --------------------------------------------------------------------------------------

constexpr size_t kSlots = WARDLINK_VICTIM_INFO_SLOTS;
constexpr size_t kAddressSlot = kAddress - 1;  // slot k holds field k + 1

struct RecordBuffers {
  RecordBuffers() : slots(kSlots, HostBuffer(kRoomy)) {}
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const HostBuffer& slot : slots) texts.push_back(slot.Seen());
    return texts;
  }
  bool AllUntouched() const {
    return std::all_of(slots.begin(), slots.end(),
                       [](const HostBuffer& b) { return b.Untouched(); });
  }
  std::vector<HostBuffer> slots;
};

Outcome CallOriginal(const std::string& server, const char* zhuYuanNo, RecordBuffers& out) {
  StatementLog log;
  auto call = [&]<size_t... I>(std::index_sequence<I...>) {
    return GetVictimInfo(server.c_str(), "", "", zhuYuanNo, out.slots[I].data()..., 0);
  };
  return {call(std::make_index_sequence<kSlots>()), out.Texts(), log.texts()};
}

Outcome CallSized(const std::string& server, const char* zhuYuanNo, RecordBuffers& out,
                  std::array<int32_t, kSlots>& lengths) {
  std::array<char*, kSlots> slots{};
  std::array<int32_t, kSlots> sizes{};
  for (size_t i = 0; i < kSlots; ++i) {
    slots[i] = out.slots[i].data();
    sizes[i] = out.slots[i].size();
  }
  lengths.fill(kUnsetLength);
  StatementLog log;
  int32_t result = GetVictimInfoSized(server.c_str(), "", "", zhuYuanNo, slots.data(), sizes.data(),
                                      lengths.data());
  return {result, out.Texts(), log.texts()};
}

class SizedRecord : public ::testing::Test {
 protected:
  SizedRecord() {
    EXPECT_EQ(CallAddVictim(db.server(), VictimArgs("Z1")), 0);
    db.Exec("UPDATE Emr_Doc_Emr_Info SET Address = '  " + kAddressText +
            " ' WHERE ZhuYuanNo = 'Z1'");
    db.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('N''1'), ('INDEX-ONLY')");
    db.Exec(
        "INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, PeopleName, Memo, NianLing_Sui) VALUES "
        "('N''1', ' padded ', NULL, 35), ('RECORD-ONLY', 'x', NULL, NULL)");
  }
  const std::string kAddressText = "12 Long Road, Flat 3, Riverside, North District";
  TrialDatabase db;
};

TEST_F(SizedRecord, AnswersAsTheOriginal) {
  struct Case {
    std::string server;
    const char* zhuYuanNo;
    int32_t result;
  };
  const std::vector<Case> cases = {{db.server(), "Z1", 0},
                                   {db.server(), "N'1", 0},
                                   {db.server(), "RECORD-ONLY", 2},
                                   {db.server(), "INDEX-ONLY", 3},
                                   {MissingDatabaseServer(), "Z1", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zhuYuanNo);
    RecordBuffers originalOut, sizedOut;
    std::array<int32_t, kSlots> lengths{};
    Outcome original = CallOriginal(c.server, c.zhuYuanNo, originalOut);
    Outcome sized = CallSized(c.server, c.zhuYuanNo, sizedOut, lengths);
    EXPECT_EQ(original.result, c.result);
    EXPECT_EQ(sized.result, original.result);
    EXPECT_EQ(sized.texts, original.texts);
    EXPECT_EQ(sized.statements, original.statements);

    // The lengths alone, from no buffers at all.
    std::array<int32_t, kSlots> lengthsOnly{};
    lengthsOnly.fill(kUnsetLength);
    EXPECT_EQ(GetVictimInfoSized(c.server.c_str(), "", "", c.zhuYuanNo, nullptr, nullptr,
                                 lengthsOnly.data()),
              c.result);
    for (size_t i = 0; i < kSlots; ++i) {
      int32_t expected =
          c.result == 0 ? static_cast<int32_t>(original.texts[i].size()) : kUnsetLength;
      EXPECT_EQ(lengths[i], expected) << i;
      EXPECT_EQ(lengthsOnly[i], expected) << i;
    }
    if (c.result != 0) {
      EXPECT_TRUE(sizedOut.AllUntouched());
    }
  }
}

TEST_F(SizedRecord, WritesTheRecordOnlyWhenEverySlotFits) {
  for (const SizeCase& c : kSizeCases) {
    SCOPED_TRACE(c.extra);
    RecordBuffers out;
    out.slots[kAddressSlot] = HostBuffer(kAddressText.size() + 1 + c.extra);
    std::array<int32_t, kSlots> lengths{};
    Outcome sized = CallSized(db.server(), "Z1", out, lengths);
    EXPECT_EQ(sized.result, c.result);
    EXPECT_EQ(lengths[kAddressSlot], static_cast<int32_t>(kAddressText.size()));
    const std::string name = VictimArgs("Z1")[kPeopleName];
    EXPECT_EQ(lengths[0], static_cast<int32_t>(name.size()));
    if (c.result == 0) {
      EXPECT_EQ(sized.texts[kAddressSlot], kAddressText);
      EXPECT_EQ(sized.texts[0], name);
    } else {
      EXPECT_TRUE(out.AllUntouched()) << "no slot of a record that did not fit is written";
    }
  }
}

TEST_F(SizedRecord, AnErrorWhileReadingLeavesEveryBuffer) {
  // The archive table lacks the ward column: the original has written the slots before it.
  db.Exec(
      "CREATE TABLE G_Emr_Doc_Emr_Info_2016 AS SELECT * FROM Emr_Doc_Emr_Info;"
      "ALTER TABLE G_Emr_Doc_Emr_Info_2016 DROP COLUMN BingQu;"
      "UPDATE Emr_Doc_Emr_InfoList SET GuiDangND = 2016 WHERE ZhuYuanNo = 'Z1'");
  RecordBuffers out;
  std::array<int32_t, kSlots> lengths{};
  EXPECT_EQ(CallSized(db.server(), "Z1", out, lengths).result, -1);
  EXPECT_NE(LastErrorMessage(), "");
  EXPECT_TRUE(out.AllUntouched());
  EXPECT_TRUE(
      std::all_of(lengths.begin(), lengths.end(), [](int32_t n) { return n == kUnsetLength; }));
}

}  // namespace
}  // namespace wardlink::testing

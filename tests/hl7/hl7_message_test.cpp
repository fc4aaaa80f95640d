// The message reader: encoding characters, escapes, repetitions and subcomponents, segment ends,
// and MSH-18 character sets converted to UTF-8.
#include <gtest/gtest.h>

#include "hl7/charset.h"
#include "hl7/message.h"

namespace wardlink::hl7 {
namespace {

struct LeafCase {
  const char* name;
  std::string bytes;
  const char* segment;
  size_t field, repetition, component, subcomponent;
  std::string expected;
};

class MessageLeaves : public ::testing::TestWithParam<LeafCase> {};

TEST_P(MessageLeaves, ReadAsWritten) {
  const LeafCase& c = GetParam();
  std::string charset;
  Message message = ReadMessage(c.bytes, charset);
  const Segment* segment = message.Find(c.segment);
  ASSERT_NE(segment, nullptr);
  EXPECT_EQ(Leaf(*segment, c.field, c.repetition, c.component, c.subcomponent), c.expected);
}

const std::string kMsh = "MSH|^~\\&|HIS|HOSP|WL|EMR|20240301||ADT^A01|C1|P|2.5.1";

INSTANTIATE_TEST_SUITE_P(
    Hl7, MessageLeaves,
    ::testing::Values(
        LeafCase{"field", kMsh + "\rPV1|1|I|W1^A^3", "PV1", 2, 0, 1, 1, "I"},
        LeafCase{"component", kMsh + "\rPV1|1|I|W1^A^3", "PV1", 3, 0, 3, 1, "3"},
        LeafCase{"repetition", kMsh + "\rPID|1||a^^^^MR~b^^^^NNCHN", "PID", 3, 1, 5, 1, "NNCHN"},
        LeafCase{"subcomponent", kMsh + "\rPID|1||||Chen&van&Dijk^Jing", "PID", 5, 0, 1, 3, "Dijk"},
        LeafCase{"msh_numbering", kMsh, "MSH", 10, 0, 1, 1, "C1"},
        LeafCase{"msh_event", kMsh, "MSH", 9, 0, 2, 1, "A01"},
        LeafCase{"escape_field", kMsh + "\rNTE|1||a\\F\\b", "NTE", 3, 0, 1, 1, "a|b"},
        LeafCase{"escape_all", kMsh + "\rNTE|1||\\S\\\\T\\\\R\\\\E\\", "NTE", 3, 0, 1, 1, "^&~\\"},
        LeafCase{"escape_hex", kMsh + "\rNTE|1||a\\X0D0A\\b", "NTE", 3, 0, 1, 1, "a\r\nb"},
        LeafCase{"escape_highlight_dropped", kMsh + "\rNTE|1||\\H\\bold\\N\\", "NTE", 3, 0, 1, 1,
                 "bold"},
        LeafCase{"escape_unknown_kept", kMsh + "\rNTE|1||\\Zx\\y", "NTE", 3, 0, 1, 1, "\\Zx\\y"},
        LeafCase{"escape_unclosed_kept", kMsh + "\rNTE|1||a\\F", "NTE", 3, 0, 1, 1, "a\\F"},
        LeafCase{"other_delimiters", "MSH#!$%@#H#F\nPV1#1#I#w!x$y%z@q", "PV1", 3, 1, 1, 2, "q"},
        LeafCase{"lf_segments", kMsh + "\nPV1|1|I\n", "PV1", 2, 0, 1, 1, "I"},
        LeafCase{"crlf_segments", kMsh + "\r\nPV1|1|I\r\n", "PV1", 2, 0, 1, 1, "I"},
        LeafCase{"absent_is_empty", kMsh + "\rPV1|1", "PV1", 19, 0, 1, 1, ""},
        LeafCase{"latin1", kMsh + "|||||DEU|8859/1\rPID|1||||M\xfcller^J\xfcrgen", "PID", 5, 0, 1,
                 1, "M\xc3\xbcller"},
        LeafCase{"utf8", kMsh + "|||||CHN|UNICODE UTF-8\rPID|1||||\xe7\x8e\x8b^\xe8\x8a\xb3", "PID",
                 5, 0, 2, 1, "\xe8\x8a\xb3"},
        LeafCase{"absent_charset_reads_utf8", kMsh + "\rPID|1||||\xe7\x8e\x8b", "PID", 5, 0, 1, 1,
                 "\xe7\x8e\x8b"},
        // GB 18030 of U+7727 ends in 0x7C, the field separator: read before splitting.
        LeafCase{"gb18030", kMsh + "|||||CHN|GB 18030-2000\rPID|1||||\xb1\x7c^\xb7\xbc", "PID", 5,
                 0, 1, 1, "\xe7\x9c\xa7"},
        LeafCase{"gb18030_hex", kMsh + "|||||CHN|GB 18030-2000\rNTE|1||\\XCDF5\\", "NTE", 3, 0, 1,
                 1, "\xe7\x8e\x8b"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;
  std::string bytes;
  int code;
  std::string location;
};

class MessageRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(MessageRefusals, NameTheFault) {
  const RefusalCase& c = GetParam();
  std::string charset;
  try {
    ReadMessage(c.bytes, charset);
    FAIL() << "read";
  } catch (const ParseError& error) {
    EXPECT_EQ(error.code(), c.code) << error.what();
    EXPECT_EQ(error.location(), c.location) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hl7, MessageRefusals,
    ::testing::Values(RefusalCase{"no_msh", "PID|1\rPV1|1", 100, "MSH"},
                      RefusalCase{"binary", std::string("\x00\xff\x13\x37", 4), 100, "MSH"},
                      RefusalCase{"letter_separator", "MSHA^~\\&A", 102, "MSH-1"},
                      RefusalCase{"repeated_encoding", "MSH|^^\\&|A", 102, "MSH-2"},
                      RefusalCase{"unsupported_charset", kMsh + "|||||X|KLINGON", 103, "MSH-18"},
                      RefusalCase{"bad_utf8", kMsh + "|||||X|UNICODE UTF-8\rPID|1||\xff", 102,
                                  "MSH-18"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Hl7Message, WrittenBackReadsTheSame) {
  Message message = Parse(kMsh + "\rNTE|1||a\\F\\b^c\\E\\d~e&f\\X0D\\\rZZ1|x");
  Message again = Parse(Encode(message));
  ASSERT_EQ(again.segments.size(), message.segments.size());
  for (size_t i = 0; i < message.segments.size(); ++i)
    EXPECT_EQ(again.segments[i].fields, message.segments[i].fields) << i;
  EXPECT_EQ(Leaf(*again.Find("NTE"), 3, 0, 1), "a|b");
  EXPECT_EQ(Leaf(*again.Find("NTE"), 3, 1, 1, 2), "f\r");
}

}  // namespace
}  // namespace wardlink::hl7

// The HL7 message reader: whatever it reads, written back and read again gives the same message;
// a message built from the input's pieces, written and read, gives those pieces back; and a
// message read through its character set holds only valid UTF-8.
#include "hl7/charset.h"
#include "hl7/message.h"
#include "tests/fuzz/fuzz_input.h"

using namespace wardlink;
using namespace wardlink::fuzz;
using namespace wardlink::hl7;

namespace {

bool SameMessage(const Message& a, const Message& b) {
  const Delimiters& x = a.delimiters;
  const Delimiters& y = b.delimiters;
  if (x.field != y.field || x.component != y.component || x.repetition != y.repetition ||
      x.escape != y.escape || x.subcomponent != y.subcomponent)
    return false;
  if (a.segments.size() != b.segments.size()) return false;
  for (size_t i = 0; i < a.segments.size(); ++i) {
    if (a.segments[i].id != b.segments[i].id || a.segments[i].fields != b.segments[i].fields)
      return false;
  }
  return true;
}

bool ValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
    i += length;
  }
  return true;
}

// A message of 1 to 4 segments built from the input: leaves of any bytes, the standard
// delimiters or others the input picks.
Message Built(FuzzInput& input) {
  static constexpr std::string_view kChoices = "|^~\\&#!$%*+/:;<=>?@_";
  Message message;
  std::string picked;
  while (picked.size() < 5) {
    char c = kChoices[input.Byte() % kChoices.size()];
    if (picked.find(c) == std::string::npos) picked.push_back(c);
    if (input.Byte() == 0 && picked.size() < 5) picked = "|^~\\&";
  }
  Delimiters& d = message.delimiters;
  d = {picked[0], picked[1], picked[2], picked[3], picked[4]};
  std::string encoding{d.component, d.repetition, d.escape, d.subcomponent};
  size_t segments = 1 + input.Byte() % 4;
  for (size_t s = 0; s < segments; ++s) {
    Segment segment;
    segment.id = s == 0 ? "MSH" : std::string{static_cast<char>('A' + input.Byte() % 26), 'Z', '1'};
    segment.fields.emplace_back();
    if (s == 0) {
      segment.fields.push_back({{{std::string(1, d.field)}}});
      segment.fields.push_back({{{encoding}}});
    }
    size_t fields = input.Byte() % 5;
    for (size_t f = 0; f < fields; ++f) {
      Field field(1 + input.Byte() % 3);
      for (auto& repetition : field) {
        repetition.resize(1 + input.Byte() % 3);
        for (auto& component : repetition) {
          component.resize(1 + input.Byte() % 2);
          for (auto& leaf : component) leaf = input.Text(12);
        }
      }
      segment.fields.push_back(std::move(field));
    }
    message.segments.push_back(std::move(segment));
  }
  return message;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    Message read = Parse(bytes);
    if (read.delimiters.escape != '\0' && read.delimiters.repetition != '\0' &&
        read.delimiters.subcomponent != '\0') {
      std::string written = Encode(read);
      Message again = Parse(written);
      Expect(SameMessage(read, again), "read, written and read again: not the same message");
      Expect(Encode(again) == written, "written twice: not the same text");
    }
  } catch (const ParseError&) {
  }

  try {
    std::string charset;
    Message converted = ReadMessage(bytes, charset);
    for (const auto& segment : converted.segments)
      for (const auto& field : segment.fields)
        for (const auto& repetition : field)
          for (const auto& component : repetition)
            for (const auto& leaf : component)
              Expect(ValidUtf8(leaf), "a leaf read through " + charset + " is not UTF-8");
  } catch (const ParseError&) {
  }

  FuzzInput input(data, size);
  Message built = Built(input);
  Message read = Parse(Encode(built));
  Expect(SameMessage(built, read), "a built message written and read: not the same");
  return 0;
}

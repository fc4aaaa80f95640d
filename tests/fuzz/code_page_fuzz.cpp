// The code page converters, against a decoder of their own that tries each character alone: at
// every position the shortest run of 1 to 4 bytes that converts whole is a character; where none
// does, one "?" stands for the bad sequence and reading resumes at the next byte (in UTF-8, at the
// next byte that is not a continuation byte). What the target cannot show is one "?" too.
#include <iconv.h>

#include <cerrno>
#include <map>
#include <optional>
#include <string>

#include "db/code_page.h"
#include "tests/fuzz/fuzz_input.h"

using namespace wardlink;
using namespace wardlink::fuzz;

namespace {

constexpr const char* kCodesets[] = {"GBK",    "GB18030", "BIG5",       "SHIFT_JIS",
                                     "EUC-JP", "CP1252",  "ISO-8859-1", "UTF-8"};

// One strict conversion of a whole run of bytes, or nothing when it does not convert whole.
class StrictIconv {
 public:
  StrictIconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    Expect(cd_ != reinterpret_cast<iconv_t>(-1), std::string("iconv ") + from + " to " + to);
  }
  ~StrictIconv() { iconv_close(cd_); }
  StrictIconv(const StrictIconv&) = delete;
  StrictIconv& operator=(const StrictIconv&) = delete;

  std::optional<std::string> operator()(std::string_view in) const {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out(in.size() * 4 + 16, '\0');  // room for any of these code pages
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
      return std::nullopt;
    if (iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
      return std::nullopt;
    out.resize(static_cast<size_t>(outPtr - out.data()));
    return out;
  }

 private:
  iconv_t cd_;
};

struct Codec {
  explicit Codec(const char* name)
      : converter(name),
        toUtf8("UTF-8", name),
        fromUtf8(name, "UTF-8"),
        utf8("UTF-16LE", "UTF-8") {}
  TextConverter converter;
  StrictIconv toUtf8;
  StrictIconv fromUtf8;
  // Valid UTF-8 is what converts to UTF-16: UTF-8 to UTF-8 alone lets sequences above U+10FFFF
  // through.
  StrictIconv utf8;
};

// Decodes `in` one character at a time: each character's bytes and what `convert` makes of them,
// or nothing for a bad sequence.
template <typename Emit>
void EachCharacter(std::string_view in, const StrictIconv& decode, bool utf8Source, Emit emit) {
  size_t pos = 0;
  while (pos < in.size()) {
    size_t length = 0;
    for (size_t n = 1; n <= 4 && pos + n <= in.size(); ++n) {
      if (decode(in.substr(pos, n))) {
        length = n;
        break;
      }
    }
    if (length > 0) {
      emit(in.substr(pos, length));
      pos += length;
      continue;
    }
    emit(std::string_view());
    ++pos;
    while (utf8Source && pos < in.size() && (static_cast<unsigned char>(in[pos]) & 0xC0) == 0x80)
      ++pos;
  }
}

std::string ExpectedToUtf8(const Codec& codec, std::string_view host, bool utf8Host) {
  std::string out;
  EachCharacter(host, utf8Host ? codec.utf8 : codec.toUtf8, utf8Host,
                [&](std::string_view character) {
                  if (character.empty()) {
                    out += '?';
                  } else {
                    out += utf8Host ? std::string(character) : *codec.toUtf8(character);
                  }
                });
  return out;
}

std::string ExpectedFromUtf8(const Codec& codec, std::string_view utf8) {
  std::string out;
  EachCharacter(utf8, codec.utf8, true, [&](std::string_view character) {
    std::optional<std::string> shown;
    if (!character.empty()) shown = codec.fromUtf8(character);
    out += shown ? *shown : "?";
  });
  return out;
}

const Codec& CodecFor(size_t index) {
  static std::map<size_t, Codec> codecs;
  auto found = codecs.find(index);
  if (found == codecs.end()) found = codecs.try_emplace(index, kCodesets[index]).first;
  return found->second;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  size_t index = input.Byte() % std::size(kCodesets);
  std::string text = input.Rest();
  const Codec& codec = CodecFor(index);
  bool utf8Host = std::string_view(kCodesets[index]) == "UTF-8";
  std::string what = std::string(kCodesets[index]) + " \"" + Shown(text) + "\" ";

  std::string toUtf8 = codec.converter.ToUtf8(text);
  Expect(toUtf8 == ExpectedToUtf8(codec, text, utf8Host),
         what + "to UTF-8 gave \"" + Shown(toUtf8) + "\"");
  // The database only ever holds valid text.
  Expect(codec.utf8(toUtf8).has_value(), what + "gave invalid UTF-8");

  std::string fromUtf8 = codec.converter.FromUtf8(text);
  Expect(fromUtf8 == ExpectedFromUtf8(codec, text),
         what + "from UTF-8 gave \"" + Shown(fromUtf8) + "\"");
  return 0;
}

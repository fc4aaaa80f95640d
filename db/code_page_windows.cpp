#include <windows.h>

#include <charconv>

#include "db/code_page.h"
#include "db/db_error.h"
#include "db/statement_text.h"

namespace wardlink {

struct TextConverter::Codec {
  UINT codePage = CP_ACP;
};

namespace {

bool IsUtf8Name(std::string_view codeset) {
  return EqualsIgnoringCase(codeset, "UTF-8") || EqualsIgnoringCase(codeset, "UTF8") ||
         EqualsIgnoringCase(codeset, "CP65001");
}

// "CP936" and the like, as EnvironmentCodeset() names them.
UINT CodePageNumber(std::string_view codeset) {
  UINT number = 0;
  if (codeset.size() > 2 && EqualsIgnoringCase(codeset.substr(0, 2), "CP")) {
    auto [end, error] =
        std::from_chars(codeset.data() + 2, codeset.data() + codeset.size(), number);
    if (error == std::errc() && end == codeset.data() + codeset.size() && IsValidCodePage(number))
      return number;
  }
  throw DbError("code page " + std::string(codeset) + " is not supported");
}

// One character of the code page at `pos`: its UTF-16 form, or nothing when the bytes there are
// not a valid character. A lead byte whose trail is missing or wrong is one invalid byte, so that
// the next byte gets its own chance to start a character.
bool DecodeCharacter(UINT codePage, std::string_view text, size_t& pos, std::u16string& out) {
  size_t length = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[pos])) ? 2 : 1;
  if (pos + length > text.size()) return false;
  wchar_t units[2];
  int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data() + pos,
                                  static_cast<int>(length), units, 2);
  if (count <= 0) return false;
  out.append(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(count));
  pos += length;
  return true;
}

}  // namespace

std::string ReadEnvironmentCodeset() { return "CP" + std::to_string(GetACP()); }

std::string SqliteFileName(std::string_view hostPath) { return TextConverter().ToUtf8(hostPath); }

TextConverter::TextConverter(std::string codeset) : codeset_(std::move(codeset)) {
  utf8Host_ = IsUtf8Name(codeset_);
  if (!utf8Host_) codec_ = std::make_unique<Codec>(Codec{CodePageNumber(codeset_)});
}

TextConverter::~TextConverter() = default;

std::u16string TextConverter::ToUtf16(std::string_view hostText) const {
  if (utf8Host_) return Utf8ToUtf16(hostText);
  if (hostText.empty()) return std::u16string();
  // Most texts are valid as a whole; only a text with an invalid sequence is taken apart.
  std::u16string out(hostText.size(), u'\0');
  int count = MultiByteToWideChar(
      codec_->codePage, MB_ERR_INVALID_CHARS, hostText.data(), static_cast<int>(hostText.size()),
      reinterpret_cast<wchar_t*>(out.data()), static_cast<int>(out.size()));
  if (count > 0) {
    out.resize(static_cast<size_t>(count));
    return out;
  }
  out.clear();
  for (size_t pos = 0; pos < hostText.size();) {
    if (!DecodeCharacter(codec_->codePage, hostText, pos, out)) {
      out += u'?';
      ++pos;
    }
  }
  return out;
}

std::string TextConverter::FromUtf16(std::u16string_view utf16Text) const {
  if (utf8Host_) return Utf16ToUtf8(utf16Text);
  if (utf16Text.empty()) return std::string();
  // No best-fit mapping: a character the code page lacks is "?", never a look-alike.
  auto convert = [&](char* buffer, int size) {
    return WideCharToMultiByte(codec_->codePage, WC_NO_BEST_FIT_CHARS,
                               reinterpret_cast<const wchar_t*>(utf16Text.data()),
                               static_cast<int>(utf16Text.size()), buffer, size, "?", nullptr);
  };
  int size = convert(nullptr, 0);
  if (size <= 0) throw DbError("text cannot be converted to code page " + codeset_);
  std::string out(static_cast<size_t>(size), '\0');
  out.resize(static_cast<size_t>(convert(out.data(), size)));
  return out;
}

std::string TextConverter::ToUtf8(std::string_view hostText) const {
  if (utf8Host_) return ValidUtf8(hostText);
  return Utf16ToUtf8(ToUtf16(hostText));
}

std::string TextConverter::FromUtf8(std::string_view utf8Text) const {
  if (utf8Host_) return ValidUtf8(utf8Text);
  return FromUtf16(Utf8ToUtf16(utf8Text));
}

}  // namespace wardlink

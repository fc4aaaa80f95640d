#include "db/code_page.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "db/db_error.h"
#include "db/statement_text.h"

namespace wardlink {

namespace {

std::string LocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

bool IsUtf8Name(std::string_view codeset) {
  return EqualsIgnoringCase(codeset, "UTF-8") || EqualsIgnoringCase(codeset, "UTF8");
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 character at `pos` (no overlong forms, no surrogates, nothing
// above U+10FFFF), or 0 when none starts there.
size_t Utf8CharacterLength(std::string_view text, size_t pos) {
  auto at = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  unsigned char lead = at(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - pos < length || at(1) < low || at(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!IsContinuation(at(i))) return 0;
  }
  return length;
}

// `text` with each invalid sequence replaced by one "?"; reading resumes at the next byte that can
// start a character, so that no valid character after a bad byte is lost.
std::string ValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    if (size_t length = Utf8CharacterLength(text, pos); length > 0) {
      valid.append(text, pos, length);
      pos += length;
      continue;
    }
    valid += '?';
    ++pos;
    while (pos < text.size() && IsContinuation(static_cast<unsigned char>(text[pos]))) ++pos;
  }
  return valid;
}

// `in` converted by `cd`, "?" for what the target cannot show or the source does not hold. A UTF-8
// source must already be valid, so that what iconv stops at is a whole character to skip; any
// other source resumes at the byte after the one iconv stopped at.
std::string Convert(iconv_t cd, std::string_view in, bool sourceIsUtf8) {
  std::string out;
  out.resize(in.size() * 4 + 16);
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  auto grow = [&] {
    size_t used = static_cast<size_t>(outPtr - out.data());
    out.resize(out.size() * 2);
    outPtr = out.data() + used;
    outLeft = out.size() - used;
  };
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (inLeft > 0) {
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      grow();
      continue;
    }
    // EILSEQ, or EINVAL for a sequence cut short: one "?" in its place.
    size_t skip = 1;
    if (sourceIsUtf8) {
      size_t pos = static_cast<size_t>(inPtr - in.data());
      skip = std::max<size_t>(1, Utf8CharacterLength(in, pos));
    }
    inPtr += skip;
    inLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (outLeft == 0) grow();
    *outPtr++ = '?';
    --outLeft;
  }
  out.resize(static_cast<size_t>(outPtr - out.data()));
  return out;
}

}  // namespace

std::string EnvironmentCodeset() {
  std::string name = LocaleName();
  if (name == "C" || name == "POSIX") return "UTF-8";
  locale_t locale = newlocale(LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (locale != static_cast<locale_t>(nullptr)) {
    std::string codeset = nl_langinfo_l(CODESET, locale);
    freelocale(locale);
    if (codeset == "ANSI_X3.4-1968") return "UTF-8";  // the C locale under another name
    return codeset;
  }
  // Locale not installed here: take the codeset the name spells out, if any.
  size_t dot = name.find('.');
  if (dot == std::string::npos) return "UTF-8";
  size_t at = name.find('@', dot);
  return name.substr(dot + 1, at == std::string::npos ? std::string::npos : at - dot - 1);
}

TextConverter::TextConverter(std::string codeset) : codeset_(std::move(codeset)) {
  utf8Host_ = IsUtf8Name(codeset_);
  if (utf8Host_) return;
  toUtf8_ = iconv_open("UTF-8", codeset_.c_str());
  fromUtf8_ = iconv_open(codeset_.c_str(), "UTF-8");
  if (toUtf8_ == reinterpret_cast<iconv_t>(-1) || fromUtf8_ == reinterpret_cast<iconv_t>(-1)) {
    if (toUtf8_ != reinterpret_cast<iconv_t>(-1)) iconv_close(toUtf8_);
    if (fromUtf8_ != reinterpret_cast<iconv_t>(-1)) iconv_close(fromUtf8_);
    throw DbError("code page " + codeset_ + " is not supported");
  }
}

TextConverter::~TextConverter() {
  if (toUtf8_ != reinterpret_cast<iconv_t>(-1)) iconv_close(toUtf8_);
  if (fromUtf8_ != reinterpret_cast<iconv_t>(-1)) iconv_close(fromUtf8_);
}

std::string TextConverter::ToUtf8(std::string_view hostText) const {
  if (utf8Host_) return ValidUtf8(hostText);
  return Convert(toUtf8_, hostText, false);
}

std::string TextConverter::FromUtf8(std::string_view utf8Text) const {
  if (utf8Host_) return ValidUtf8(utf8Text);
  return Convert(fromUtf8_, ValidUtf8(utf8Text), true);
}

}  // namespace wardlink

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "db/code_page.h"
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

std::string ReadEnvironmentCodeset() {
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

std::string SqliteFileName(std::string_view hostPath) { return std::string(hostPath); }

struct TextConverter::Codec {
  iconv_t toUtf8 = reinterpret_cast<iconv_t>(-1);
  iconv_t fromUtf8 = reinterpret_cast<iconv_t>(-1);
};

TextConverter::TextConverter(std::string codeset) : codeset_(std::move(codeset)) {
  utf8Host_ = IsUtf8Name(codeset_);
  if (utf8Host_) return;
  codec_ = std::make_unique<Codec>();
  codec_->toUtf8 = iconv_open("UTF-8", codeset_.c_str());
  codec_->fromUtf8 = iconv_open(codeset_.c_str(), "UTF-8");
  if (codec_->toUtf8 == reinterpret_cast<iconv_t>(-1) ||
      codec_->fromUtf8 == reinterpret_cast<iconv_t>(-1)) {
    if (codec_->toUtf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(codec_->toUtf8);
    if (codec_->fromUtf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(codec_->fromUtf8);
    throw DbError("code page " + codeset_ + " is not supported");
  }
}

TextConverter::~TextConverter() {
  if (!codec_) return;
  iconv_close(codec_->toUtf8);
  iconv_close(codec_->fromUtf8);
}

std::string TextConverter::ToUtf8(std::string_view hostText) const {
  if (utf8Host_) return ValidUtf8(hostText);
  return Convert(codec_->toUtf8, hostText, false);
}

std::string TextConverter::FromUtf8(std::string_view utf8Text) const {
  if (utf8Host_) return ValidUtf8(utf8Text);
  return Convert(codec_->fromUtf8, ValidUtf8(utf8Text), true);
}

std::u16string TextConverter::ToUtf16(std::string_view hostText) const {
  return Utf8ToUtf16(ToUtf8(hostText));
}

std::string TextConverter::FromUtf16(std::u16string_view utf16Text) const {
  return FromUtf8(Utf16ToUtf8(utf16Text));
}

}  // namespace wardlink

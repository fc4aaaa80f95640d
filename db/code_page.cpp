#include "db/code_page.h"

#include <cstdint>
#include <cstring>

namespace wardlink {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Host texts are mostly ASCII: runs of it are measured eight bytes at a time.
size_t AsciiRunFrom(std::string_view text, size_t pos) {
  size_t end = pos;
  for (; text.size() - end >= 8; end += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + end, sizeof word);
    if ((word & 0x8080808080808080u) != 0) break;
  }
  while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) ++end;
  return end - pos;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

thread_local CodesetScope* tCodesetScope = nullptr;

}  // namespace

CodesetScope::CodesetScope() : outer_(tCodesetScope) { tCodesetScope = this; }
CodesetScope::~CodesetScope() { tCodesetScope = outer_; }

std::string EnvironmentCodeset() {
  if (tCodesetScope == nullptr) return ReadEnvironmentCodeset();
  if (!tCodesetScope->codeset_) tCodesetScope->codeset_ = ReadEnvironmentCodeset();
  return *tCodesetScope->codeset_;
}

bool TextConverter::PassesUnchanged(std::string_view hostText) const {
  if (!utf8Host_) return false;
  for (size_t pos = AsciiRunFrom(hostText, 0); pos < hostText.size();) {
    size_t length = Utf8CharacterLength(hostText, pos);
    if (length == 0) return false;
    pos += length;
    pos += AsciiRunFrom(hostText, pos);
  }
  return true;
}

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

std::string ValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    if (size_t ascii = AsciiRunFrom(text, pos); ascii > 0) {
      valid.append(text, pos, ascii);
      pos += ascii;
      continue;
    }
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

std::u16string Utf8ToUtf16(std::string_view utf8Text) {
  std::string valid = ValidUtf8(utf8Text);
  std::u16string out;
  out.reserve(valid.size());
  for (size_t pos = 0; pos < valid.size();) {
    size_t length = Utf8CharacterLength(valid, pos);
    auto lead = static_cast<unsigned char>(valid[pos]);
    char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (size_t i = 1; i < length; ++i)
      code = (code << 6) | (static_cast<unsigned char>(valid[pos + i]) & 0x3F);
    pos += length;
    if (code < 0x10000) {
      out += static_cast<char16_t>(code);
    } else {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 | (code >> 10));
      out += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16Text) {
  std::string out;
  out.reserve(utf16Text.size());
  for (size_t pos = 0; pos < utf16Text.size(); ++pos) {
    char32_t unit = utf16Text[pos];
    if (unit >= 0xD800 && unit <= 0xDBFF && pos + 1 < utf16Text.size() &&
        utf16Text[pos + 1] >= 0xDC00 && utf16Text[pos + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (utf16Text[++pos] - 0xDC00));
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      out += '?';
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace wardlink

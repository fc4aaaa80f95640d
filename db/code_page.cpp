#include "db/code_page.h"

namespace wardlink {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point of the well-formed UTF-8 sequence at `pos` and its length, or length 0 when the
// bytes there do not form one (overlong forms and surrogates included).
std::pair<char32_t, size_t> DecodeUtf8(std::string_view text, size_t pos) {
  auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return {lead, 1};
  size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || pos + length > text.size()) return {0, 0};
  char32_t code = lead & (0x3F >> (length - 1));
  for (size_t i = 1; i < length; ++i) {
    auto next = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(next)) return {0, 0};
    code = (code << 6) | (next & 0x3F);
  }
  bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {0, 0};
  return {code, length};
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

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8Text) {
  std::u16string out;
  out.reserve(utf8Text.size());
  for (size_t pos = 0; pos < utf8Text.size();) {
    auto [code, length] = DecodeUtf8(utf8Text, pos);
    if (length == 0) {
      out += u'?';
      ++pos;  // the next byte may start a character
      continue;
    }
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

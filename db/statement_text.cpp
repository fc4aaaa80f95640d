#include "db/statement_text.h"

#include <array>
#include <bit>
#include <cctype>
#include <cstring>

namespace wardlink {

std::string QuotedLiteral(std::string_view text) {
  std::string literal;
  literal.reserve(text.size() + 2);
  literal += '\'';
  for (char c : text) {
    if (c == '\'') literal += '\'';
    literal += c;
  }
  literal += '\'';
  return literal;
}

std::string Decimal(int32_t value) { return std::to_string(value); }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

namespace {

// Byte classes, looked up once per byte: statement texts run to kilobytes and are scanned on
// every call.
enum ByteClass : uint8_t {
  kStartsSomething = 1,          // a quote or a colon
  kStartsSomethingInSqlite = 2,  // a "d" that may begin "dbo." or "delete"
  kEndsParameterName = 4,
  kWordChar = 8,  // ASCII letters, digits and "_", in any locale
};

constexpr std::array<uint8_t, 256> kByteClasses = [] {
  std::array<uint8_t, 256> classes{};
  for (unsigned char c : std::string_view("':")) classes[c] |= kStartsSomething;
  for (unsigned char c : std::string_view("dD")) classes[c] |= kStartsSomethingInSqlite;
  for (unsigned char c : std::string_view(" \r\n,;)")) classes[c] |= kEndsParameterName;
  for (int c = 0; c < 256; ++c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')
      classes[static_cast<size_t>(c)] |= kWordChar;
  }
  return classes;
}();

bool HasClass(char c, uint8_t byteClass) {
  return (kByteClasses[static_cast<unsigned char>(c)] & byteClass) != 0;
}

bool IsWordChar(char c) { return HasClass(c, kWordChar); }

constexpr uint64_t kOnes = 0x0101010101010101u;

// The high bit of every byte of `word` that equals `c`. The lowest one marked is always right;
// a byte above it may be marked falsely, which the callers never look at.
uint64_t BytesEqual(uint64_t word, char c) {
  uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
  return (x - kOnes) & ~x & (kOnes * 0x80);
}

// The first position at or after `pos` whose byte has `byteClass`: eight bytes at a time, where
// `marks(word)` gives the bytes of the class as BytesEqual does, then byte by byte.
template <class Marks>
size_t FindClass(std::string_view text, size_t pos, uint8_t byteClass, Marks marks) {
  constexpr bool kLowestByteFirst = std::endian::native == std::endian::little;
  for (; kLowestByteFirst && text.size() - pos >= 8; pos += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + pos, sizeof word);
    if (uint64_t found = marks(word); found != 0)
      return pos + static_cast<size_t>(std::countr_zero(found)) / 8;
  }
  while (pos < text.size() && !HasClass(text[pos], byteClass)) ++pos;
  return pos;
}

// The first byte at or after `pos` that may start something.
size_t NextStart(std::string_view text, size_t pos, bool rewriteForSqlite) {
  if (!rewriteForSqlite) {
    return FindClass(text, pos, kStartsSomething,
                     [](uint64_t w) { return BytesEqual(w, '\'') | BytesEqual(w, ':'); });
  }
  return FindClass(text, pos, kStartsSomething | kStartsSomethingInSqlite, [](uint64_t w) {
    return BytesEqual(w, '\'') | BytesEqual(w, ':') | BytesEqual(w | (kOnes * 0x20), 'd');
  });
}

// Where the parameter name that starts at `pos` ends.
size_t ParameterNameEnd(std::string_view text, size_t pos) {
  return FindClass(text, pos, kEndsParameterName, [](uint64_t w) {
    return BytesEqual(w, ' ') | BytesEqual(w, '\r') | BytesEqual(w, '\n') | BytesEqual(w, ',') |
           BytesEqual(w, ';') | BytesEqual(w, ')');
  });
}

// The position after the quoted literal that starts at text[pos] (an opening quote). A doubled
// quote inside stays part of the literal; an unclosed one runs to the end.
size_t LiteralEnd(std::string_view text, size_t pos) {
  ++pos;
  while (pos < text.size()) {
    size_t quote = text.find('\'', pos);
    if (quote == std::string_view::npos) return text.size();
    pos = quote + 1;
    if (pos == text.size() || text[pos] != '\'') break;
    ++pos;
  }
  return pos;
}

// ASCII words only: a byte outside ASCII never equals one of them, in any locale.
bool AsciiWordAt(std::string_view text, size_t pos, std::string_view lowerWord) {
  if (pos + lowerWord.size() > text.size()) return false;
  for (size_t i = 0; i < lowerWord.size(); ++i) {
    char c = text[pos + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerWord[i]) return false;
  }
  return true;
}

}  // namespace

// Parameters and rewrites in one pass. A parameter name runs to a terminator, so a word that
// follows it starts after a character that is not part of a word, exactly as it does after the
// `?` that replaced it.
void ScanStatement(std::string_view text, bool rewriteForSqlite, std::string& out,
                   const ParameterSink& onParameter) {
  out.reserve(out.size() + text.size() + 8);
  // Text is copied in runs, up to each place where something replaces it: most stops (a "d"
  // inside a word, a literal) replace nothing.
  size_t copied = 0;
  auto copyTo = [&](size_t end) {
    out.append(text, copied, end - copied);
    copied = end;
  };
  size_t pos = 0;
  while ((pos = NextStart(text, pos, rewriteForSqlite)) < text.size()) {
    char c = text[pos];
    if (c == '\'') {
      pos = LiteralEnd(text, pos);
      continue;
    }
    if (c == ':' && onParameter) {
      size_t end = ParameterNameEnd(text, pos + 1);
      if (end > pos + 1) {
        copyTo(pos);
        onParameter(pos + 1, end);
        out += '?';
        pos = copied = end;
        continue;
      }
    }
    if (rewriteForSqlite && (c == 'd' || c == 'D') && (pos == 0 || !IsWordChar(text[pos - 1]))) {
      if (AsciiWordAt(text, pos, "dbo.")) {
        copyTo(pos);
        pos = copied = pos + 4;
        continue;
      }
      if (AsciiWordAt(text, pos, "delete") &&
          (pos + 6 == text.size() || !IsWordChar(text[pos + 6]))) {
        pos += 6;
        copyTo(pos);
        size_t next = pos;
        while (next < text.size() && std::isspace(static_cast<unsigned char>(text[next]))) ++next;
        bool hasFrom = AsciiWordAt(text, next, "from") &&
                       (next + 4 == text.size() || !IsWordChar(text[next + 4]));
        if (!hasFrom && next < text.size()) out += " From";
        continue;
      }
    }
    ++pos;
  }
  copyTo(text.size());
}

ParsedStatement ParseNamedParameters(std::string_view text) {
  ParsedStatement parsed;
  ScanStatement(text, false, parsed.text, [&](size_t begin, size_t end) {
    parsed.parameters.emplace_back(text.substr(begin, end - begin));
  });
  return parsed;
}

std::string RewriteForSqlite(std::string_view text) {
  std::string out;
  ScanStatement(text, true, out, nullptr);
  return out;
}

}  // namespace wardlink

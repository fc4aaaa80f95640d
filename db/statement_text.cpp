#include "db/statement_text.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <optional>

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

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;  // names are nearly always written alike
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

namespace {

// ASCII only, so that a byte outside ASCII is never part of a word, in any locale.
bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

constexpr uint64_t kOnes = 0x0101010101010101u;

// The high bit of every byte of `word` that equals `c`. The lowest one marked is always right;
// a byte above it may be marked falsely, which the callers never look at.
uint64_t BytesEqual(uint64_t word, char c) {
  uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
  return (x - kOnes) & ~x & (kOnes * 0x80);
}

// The first position at or after `pos` of a byte that `marks(word)` marks, as BytesEqual does,
// reading eight bytes at a time; the end of the text if none. The last bytes are read as a word
// padded with zeros, which no mark matches.
template <class Marks>
size_t FindMarked(std::string_view text, size_t pos, Marks marks) {
  auto firstAt = [&](size_t at, uint64_t word) -> std::optional<size_t> {
    // The text's first byte in the lowest bits, where countr_zero starts.
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    uint64_t found = marks(word);
    if (found == 0) return std::nullopt;
    return at + static_cast<size_t>(std::countr_zero(found)) / 8;
  };
  for (; text.size() - pos >= 8; pos += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + pos, sizeof word);
    if (auto first = firstAt(pos, word)) return *first;
  }
  if (pos < text.size()) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + pos, text.size() - pos);
    if (auto first = firstAt(pos, word)) return *first;
  }
  return text.size();
}

// The first byte at or after `pos` that may start something.
size_t NextStart(std::string_view text, size_t pos, bool rewriteForSqlite) {
  if (!rewriteForSqlite) {
    return FindMarked(text, pos,
                      [](uint64_t w) { return BytesEqual(w, '\'') | BytesEqual(w, ':'); });
  }
  // A "d" may begin "dbo." or "delete".
  return FindMarked(text, pos, [](uint64_t w) {
    return BytesEqual(w, '\'') | BytesEqual(w, ':') | BytesEqual(w | (kOnes * 0x20), 'd');
  });
}

// Where the parameter name that starts at `pos` ends.
size_t ParameterNameEnd(std::string_view text, size_t pos) {
  return FindMarked(text, pos, [](uint64_t w) {
    return BytesEqual(w, ' ') | BytesEqual(w, '\t') | BytesEqual(w, '\r') | BytesEqual(w, '\n') |
           BytesEqual(w, ',') | BytesEqual(w, ';') | BytesEqual(w, ')');
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
  return pos <= text.size() &&
         EqualsIgnoringCase(text.substr(pos).substr(0, lowerWord.size()), lowerWord);
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

#include "db/statement_text.h"

#include <cctype>

namespace wardlink {

std::string QuotedLiteral(std::string_view text) {
  std::string literal = "'";
  for (char c : text) {
    if (c == '\'') literal += '\'';
    literal += c;
  }
  return literal + '\'';
}

std::string Decimal(int32_t value) { return std::to_string(value); }

namespace {

// ASCII only, so that a byte outside ASCII is never part of a word, in any locale.
bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool EndsName(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';' || c == ')';
}

// Whether `lowerWord` stands at `pos` in any case, and nothing of a word follows it unless the
// word ends in a dot ("dbo.").
bool WordAt(std::string_view text, size_t pos, std::string_view lowerWord) {
  size_t end = pos + lowerWord.size();
  if (end > text.size() || !EqualsIgnoringCase(text.substr(pos, lowerWord.size()), lowerWord))
    return false;
  return lowerWord.back() == '.' || end == text.size() || !IsWordChar(text[end]);
}

// The position after the quoted literal that starts at text[pos].
size_t LiteralEnd(std::string_view text, size_t pos) {
  for (++pos; pos < text.size(); ++pos) {
    if (text[pos] != '\'') continue;
    if (pos + 1 == text.size() || text[pos + 1] != '\'') return pos + 1;
    ++pos;  // a doubled quote
  }
  return text.size();
}

}  // namespace

// The text is copied in runs, up to each place where the statement differs from it.
ParsedStatement ParseStatement(std::string_view text, Dialect dialect) {
  const bool sqlite = dialect == Dialect::kSqlite;
  ParsedStatement parsed;
  parsed.text.reserve(text.size() + 8);
  size_t copied = 0;  // text[0, copied) is in parsed.text
  auto copyTo = [&](size_t end) {
    parsed.text.append(text, copied, end - copied);
    copied = end;
  };
  size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '\'') {
      pos = LiteralEnd(text, pos);
      continue;
    }
    if (c == ':') {
      size_t end = pos + 1;
      while (end < text.size() && !EndsName(text[end])) ++end;
      if (end > pos + 1) {
        copyTo(pos);
        parsed.parameters.emplace_back(text.substr(pos + 1, end - pos - 1));
        parsed.text += '?';
        pos = copied = end;
        continue;
      }
    }
    if (sqlite && (c == 'd' || c == 'D') && (pos == 0 || !IsWordChar(text[pos - 1]))) {
      if (WordAt(text, pos, "dbo.")) {
        copyTo(pos);
        pos = copied = pos + 4;
        continue;
      }
      if (WordAt(text, pos, "delete")) {
        pos += 6;
        copyTo(pos);
        size_t next = pos;
        while (next < text.size() && std::isspace(static_cast<unsigned char>(text[next]))) ++next;
        if (next < text.size() && !WordAt(text, next, "from")) parsed.text += " From";
        continue;
      }
    }
    ++pos;
  }
  copyTo(text.size());
  return parsed;
}

}  // namespace wardlink

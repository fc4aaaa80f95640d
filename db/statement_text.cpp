#include "db/statement_text.h"

#include <cctype>

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

bool EndsParameterName(char c) {
  return c == ' ' || c == '\r' || c == '\n' || c == ',' || c == ';' || c == ')';
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Copies a quoted literal starting at text[pos] (an opening quote) to `out`; returns the position
// after it. A doubled quote inside stays part of the literal; an unclosed one runs to the end.
size_t CopyLiteral(std::string_view text, size_t pos, std::string& out) {
  size_t start = pos++;
  while (pos < text.size()) {
    size_t quote = text.find('\'', pos);
    if (quote == std::string_view::npos) {
      pos = text.size();
      break;
    }
    pos = quote + 1;
    if (pos < text.size() && text[pos] == '\'') {
      ++pos;
    } else {
      break;
    }
  }
  out.append(text, start, pos - start);
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
  size_t pos = 0;
  while (pos < text.size()) {
    // Plain text up to the next character that may start something, copied at once.
    size_t plain = pos;
    while (plain < text.size()) {
      char p = text[plain];
      if (p == '\'' || p == ':' || (rewriteForSqlite && (p == 'd' || p == 'D'))) break;
      ++plain;
    }
    out.append(text, pos, plain - pos);
    pos = plain;
    if (pos == text.size()) break;
    char c = text[pos];
    if (c == '\'') {
      pos = CopyLiteral(text, pos, out);
      continue;
    }
    if (c == ':' && onParameter) {
      size_t end = pos + 1;
      while (end < text.size() && !EndsParameterName(text[end])) ++end;
      if (end > pos + 1) {
        onParameter(pos + 1, end);
        out += '?';
        pos = end;
        continue;
      }
    }
    if (rewriteForSqlite && (c == 'd' || c == 'D') && (pos == 0 || !IsWordChar(text[pos - 1]))) {
      if (AsciiWordAt(text, pos, "dbo.")) {
        pos += 4;
        continue;
      }
      if (AsciiWordAt(text, pos, "delete") &&
          (pos + 6 == text.size() || !IsWordChar(text[pos + 6]))) {
        out.append(text.substr(pos, 6));
        pos += 6;
        size_t next = pos;
        while (next < text.size() && std::isspace(static_cast<unsigned char>(text[next]))) ++next;
        bool hasFrom = AsciiWordAt(text, next, "from") &&
                       (next + 4 == text.size() || !IsWordChar(text[next + 4]));
        if (!hasFrom && next < text.size()) out += " From";
        continue;
      }
    }
    out += c;
    ++pos;
  }
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

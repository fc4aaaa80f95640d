// The statement reader, in both dialects. A value spliced into any statement as a
// quoted literal comes back byte for byte and adds no parameter: the statement reads exactly as
// with a marker literal in its place. The literal itself reads back as the value.
#include <string>

#include "db/statement_text.h"
#include "tests/fuzz/fuzz_input.h"

using namespace wardlink;
using namespace wardlink::fuzz;

namespace {

constexpr std::string_view kMarker = "'\x01'";

// Reads an SQL string literal on its own: the text between the outer quotes, "''" as "'".
std::string Unquoted(std::string_view literal) {
  Expect(literal.size() >= 2 && literal.front() == '\'' && literal.back() == '\'',
         "not a literal: " + Shown(literal));
  std::string value;
  for (size_t i = 1; i + 1 < literal.size(); ++i) {
    if (literal[i] == '\'') {
      Expect(literal[i + 1] == '\'', "lone quote inside " + Shown(literal));
      ++i;
    }
    value += literal[i];
  }
  return value;
}

// `text` with the one marker literal in it replaced by `literal`.
std::string WithLiteral(std::string text, std::string_view literal) {
  size_t at = text.find(kMarker);
  Expect(at != std::string::npos && text.find(kMarker, at + 1) == std::string::npos,
         "marker not found once in " + Shown(text));
  return text.replace(at, kMarker.size(), literal);
}

bool EndsName(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';' || c == ')';
}

// Whether `text`, read as the reader does (a quote inside a parameter name is part of the name),
// ends inside a literal.
bool EndsInsideLiteral(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == '\'') {
      for (++pos;; ++pos) {
        if (pos >= text.size()) return true;
        if (text[pos] != '\'') continue;
        if (pos + 1 < text.size() && text[pos + 1] == '\'') {
          ++pos;
          continue;
        }
        ++pos;
        break;
      }
    } else if (text[pos] == ':' && pos + 1 < text.size() && !EndsName(text[pos + 1])) {
      ++pos;
      while (pos < text.size() && !EndsName(text[pos])) ++pos;
    } else {
      ++pos;
    }
  }
  return false;
}

std::string WithoutMarkerBytes(std::string text) {
  std::erase(text, '\x01');
  return text;
}

void CheckSplice(const std::string& prefix, const std::string& value, const std::string& suffix) {
  std::string literal = QuotedLiteral(value);
  Expect(Unquoted(literal) == value, "literal of " + Shown(value));
  std::string withValue = prefix + literal + suffix;
  std::string withMarker = prefix + std::string(kMarker) + suffix;

  for (Dialect dialect : {Dialect::kSqlServer, Dialect::kSqlite}) {
    ParsedStatement parsed = ParseStatement(withValue, dialect);
    ParsedStatement marked = ParseStatement(withMarker, dialect);
    Expect(parsed.parameters == marked.parameters,
           "the value changed the parameters of " + Shown(withValue));
    Expect(parsed.text == WithLiteral(marked.text, literal),
           "the value did not come back whole from " + Shown(withValue));
    for (const std::string& name : parsed.parameters) {
      Expect(!name.empty() && name.find_first_of(" \t\r\n,;)") == std::string::npos,
             "parameter name " + Shown(name));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  // Any statement text before the value, closed where it left a literal open, and ended by a
  // blank so that a parameter name before the value ends there.
  std::string prefix = WithoutMarkerBytes(input.Text(48));
  if (EndsInsideLiteral(prefix)) prefix += '\'';
  prefix += ' ';
  std::string suffix = " " + WithoutMarkerBytes(input.Text(48));
  std::string value = input.Rest();
  CheckSplice(prefix, value, suffix);
  // The whole input as a statement: the reader takes anything.
  std::string any(reinterpret_cast<const char*>(data), size);
  ParseStatement(any, Dialect::kSqlServer);
  ParseStatement(any, Dialect::kSqlite);
  return 0;
}

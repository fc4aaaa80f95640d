// The named-parameter parser and the dialect rewrite. A value spliced into any statement as a
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

// Reads a statement text as the parser does (a quote inside a parameter name is part of the name)
// and makes it one the library could write: parameter names are its own words, so a quote in one
// becomes "_" (the rewrite, which knows no names, would take it for a literal). Tells whether the
// text ends inside a literal.
bool WithPlainNames(std::string& text) {
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
      for (++pos; pos < text.size() && !EndsName(text[pos]); ++pos) {
        if (text[pos] == '\'') text[pos] = '_';
      }
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

  ParsedStatement parsed = ParseNamedParameters(withValue);
  ParsedStatement marked = ParseNamedParameters(withMarker);
  Expect(parsed.parameters == marked.parameters,
         "the value changed the parameters of " + Shown(withValue));
  Expect(parsed.text == WithLiteral(marked.text, literal),
         "the value did not come back whole from " + Shown(withValue));

  // The same after the rewrite, as the statement reaches SQLite.
  std::string rewritten = RewriteForSqlite(withValue);
  std::string rewrittenMarker = RewriteForSqlite(withMarker);
  Expect(rewritten == WithLiteral(rewrittenMarker, literal),
         "the rewrite changed the value in " + Shown(withValue));
  ParsedStatement both = ParseNamedParameters(rewritten);
  ParsedStatement bothMarked = ParseNamedParameters(rewrittenMarker);
  Expect(both.parameters == bothMarked.parameters &&
             both.text == WithLiteral(bothMarked.text, literal),
         "the value changed the rewritten statement " + Shown(rewritten));
  for (const std::string& name : parsed.parameters) {
    Expect(!name.empty() && name.find_first_of(" \t\r\n,;)") == std::string::npos,
           "parameter name " + Shown(name));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  // Any statement text before the value, closed where it left a literal open, and ended by a
  // blank so that a parameter name before the value ends there.
  std::string prefix = WithoutMarkerBytes(input.Text(48));
  if (WithPlainNames(prefix)) prefix += '\'';
  prefix += ' ';
  std::string suffix = " " + WithoutMarkerBytes(input.Text(48));
  WithPlainNames(suffix);
  std::string value = input.Rest();
  CheckSplice(prefix, value, suffix);
  // The whole input as a statement: the parser and the rewrite take anything.
  std::string any(reinterpret_cast<const char*>(data), size);
  ParseNamedParameters(any);
  RewriteForSqlite(any);
  return 0;
}

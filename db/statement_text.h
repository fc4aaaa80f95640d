#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wardlink {

// A text as an SQL string literal: single quotes doubled, the whole wrapped in single quotes.
std::string QuotedLiteral(std::string_view text);

// An integer as statement text: decimal, with a minus sign when negative.
std::string Decimal(int32_t value);

// A statement with its named parameters replaced by `?` markers. `parameters` holds the names in
// order of appearance; a name used twice appears twice.
struct ParsedStatement {
  std::string text;
  std::vector<std::string> parameters;
};

// A colon followed by a name marks a parameter; the name ends before a blank, a line break, ",",
// ";", ")" or the end of the text. A colon inside a quoted literal is plain text.
ParsedStatement ParseNamedParameters(std::string_view text);

// The two rewrites SQLite needs, outside quoted literals only: "Delete T Where" gains "From", and
// the schema prefix "dbo." is dropped.
std::string RewriteForSqlite(std::string_view text);

// Both of the above in one pass over `text`, appending to `out`: parameters become `?` markers
// (each reported as the [begin, end) of its name in `text`; none when `onParameter` is empty),
// and with `rewriteForSqlite` the rewrites follow. The same as RewriteForSqlite of
// ParseNamedParameters' text.
using ParameterSink = std::function<void(size_t begin, size_t end)>;
void ScanStatement(std::string_view text, bool rewriteForSqlite, std::string& out,
                   const ParameterSink& onParameter);

// Names compare without regard to ASCII case (table, column and parameter names).
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace wardlink

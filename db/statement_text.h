#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/backend.h"

namespace wardlink {

// A text as an SQL string literal: single quotes doubled, the whole wrapped in single quotes.
std::string QuotedLiteral(std::string_view text);

// An integer as statement text: decimal, with a minus sign when negative.
std::string Decimal(int32_t value);

// A statement as the database takes it: its named parameters replaced by `?` markers, and the
// text in the database's dialect. `parameters` holds the names in order of appearance; a name used
// twice appears twice.
struct ParsedStatement {
  std::string text;
  std::vector<std::string> parameters;
};

// Reads `text` once, from the start; outside quoted literals (a doubled quote stays inside one,
// an unclosed one runs to the end):
// - A colon followed by a name marks a parameter; the name ends before a blank (space or tab), a
//   line break, ",", ";", ")" or the end of the text.
// - For SQLite, "Delete T Where" gains "From", and the schema prefix "dbo." is dropped.
ParsedStatement ParseStatement(std::string_view text, Dialect dialect);

// Names compare without regard to ASCII case (table, column and parameter names). Inline: a
// query finds each name by comparing it with every parameter or column.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace wardlink

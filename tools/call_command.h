#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "library/export_table.h"
#include "shared/regional_settings.h"

namespace wardlink::host {

// The export named `name`; raises UsageError with the closest name as a suggestion.
const ExportSpec& ExportNamed(std::string_view name);

// The candidate closest to `name` (edit distance, without regard to case), or "" when none is
// close enough to be a likely slip.
std::string ClosestName(std::string_view name, const std::vector<std::string>& candidates);

// Warnings for the stay record's date and number texts that the export would replace by its
// default (the current time, 0 or 1) under `settings`. Nothing is changed in what is sent.
std::vector<std::string> FallbackWarnings(const ExportSpec& spec,
                                          const std::vector<std::string>& values,
                                          const RegionalSettings& settings);

// Splits a batch line as a shell splits words: blanks separate, '...' and "..." quote, a
// backslash escapes the next character, '#' at the start of a word begins a comment. Raises
// UsageError on an unclosed quote.
std::vector<std::string> SplitArguments(std::string_view line);

// `text` as people read it on a terminal: each control character written out ("\x1b"), so that
// no stored text can move the cursor, recolour or retitle the operator's terminal.
std::string Visible(std::string_view text);

// `wardlink call [--json] EXPORT SERVER LOGIN PASSWORD ARGS...` (the arguments after "call").
int RunCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// `wardlink batch [--json] [--stop-on-failure] [FILE]`: one call a line, `#` starts a comment.
// The status is that of the first call that failed (0 when none did).
int RunBatch(std::istream& in, bool json, bool stopOnFailure, std::ostream& out, std::ostream& err);

}  // namespace wardlink::host

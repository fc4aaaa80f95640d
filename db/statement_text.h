#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
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

// A colon followed by a name marks a parameter; the name ends before a blank (space or tab), a line
// break, ",", ";", ")" or the end of the text. A colon inside a quoted literal is plain text.
ParsedStatement ParseNamedParameters(std::string_view text);

// The two rewrites SQLite needs, outside quoted literals only: "Delete T Where" gains "From", and
// the schema prefix "dbo." is dropped.
std::string RewriteForSqlite(std::string_view text);

// Both of the above in one pass over `text`, appending to `out`: parameters become `?` markers
// (each reported as the [begin, end) of its name in `text`; none when `onParameter` is empty),
// and with `rewriteForSqlite` the rewrites follow. The same as RewriteForSqlite of
// ParseNamedParameters' text.
class ParameterSink {
 public:
  ParameterSink() = default;
  ParameterSink(std::nullptr_t) {}  // NOLINT(google-explicit-constructor): no sink
  // Refers to `sink` without copying it: a sink lives for the one scan it is passed to.
  template <class Sink,
            class = std::enable_if_t<std::is_invocable_v<Sink&, size_t, size_t> &&
                                     !std::is_same_v<std::decay_t<Sink>, ParameterSink>>>
  ParameterSink(Sink&& sink)  // NOLINT(google-explicit-constructor): a callable is a sink
      : sink_(const_cast<void*>(static_cast<const void*>(std::addressof(sink)))),
        call_([](void* s, size_t begin, size_t end) {
          (*static_cast<std::remove_reference_t<Sink>*>(s))(begin, end);
        }) {}

  explicit operator bool() const { return call_ != nullptr; }
  void operator()(size_t begin, size_t end) const { call_(sink_, begin, end); }

 private:
  void* sink_ = nullptr;
  void (*call_)(void*, size_t, size_t) = nullptr;
};
void ScanStatement(std::string_view text, bool rewriteForSqlite, std::string& out,
                   const ParameterSink& onParameter);

// Names compare without regard to ASCII case (table, column and parameter names).
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace wardlink

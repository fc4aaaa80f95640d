// The connection-string quoting. No login, password or server name can add or change an
// attribute: the string built reads back as exactly the attributes meant, under a reader of each
// driver family's rule written apart from the library's; a driver of unknown rule must read it
// so under every one. A value is refused only where its driver's rule cannot carry it.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/db_error.h"
#include "db/odbc_connection_string.h"
#include "tests/fuzz/fuzz_input.h"

using namespace wardlink;
using namespace wardlink::fuzz;

namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

enum class Reader {
  kBraceRule,     // braces, "}}" for "}", the value ends at the lone "}"
  kFreeTdsRule,   // braces, the value ends at the first "};" or a "}" at the very end
  kIgnoresBraces  // every ";" ends a value, braces are part of it
};

std::string Trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// The attributes in order as a driver of `reader`'s family reads them; nothing when the text is
// not well formed for it.
std::optional<Attributes> Read(std::string_view text, Reader reader) {
  Attributes attributes;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t equals = text.find('=', pos);
    if (equals == std::string_view::npos) return std::nullopt;
    std::string key = Trimmed(text.substr(pos, equals - pos));
    pos = equals + 1;
    std::string value;
    if (reader != Reader::kIgnoresBraces && pos < text.size() && text[pos] == '{') {
      size_t end = pos + 1;
      for (;; ++end) {
        if (end >= text.size()) return std::nullopt;
        if (text[end] != '}') continue;
        if (reader == Reader::kBraceRule) {
          if (end + 1 < text.size() && text[end + 1] == '}') {
            ++end;
            continue;
          }
          break;
        }
        if (end + 1 == text.size() || text[end + 1] == ';') break;
      }
      value = std::string(text.substr(pos + 1, end - pos - 1));
      if (reader == Reader::kBraceRule) {
        for (size_t at = value.find("}}"); at != std::string::npos; at = value.find("}}", at + 1))
          value.erase(at, 1);
      }
      pos = end + 1;
      if (pos < text.size() && text[pos] != ';') return std::nullopt;
      ++pos;
    } else {
      size_t end = std::min(text.find(';', pos), text.size());
      value = Trimmed(text.substr(pos, end - pos));
      pos = end + 1;
    }
    attributes.emplace_back(std::move(key), std::move(value));
  }
  return attributes;
}

std::vector<Reader> ReadersOf(OdbcQuoting rule) {
  switch (rule) {
    case OdbcQuoting::kStandard:
      return {Reader::kBraceRule};
    case OdbcQuoting::kFreeTds:
      return {Reader::kFreeTdsRule};
    case OdbcQuoting::kUnknown:
      break;
  }
  return {Reader::kBraceRule, Reader::kFreeTdsRule, Reader::kIgnoresBraces};
}

// What the rule cannot carry as one value.
bool Uncarriable(const std::string& value, OdbcQuoting rule) {
  switch (rule) {
    case OdbcQuoting::kStandard:
      return false;
    case OdbcQuoting::kFreeTds:
      return value.find("};") != std::string::npos;
    case OdbcQuoting::kUnknown:
      break;
  }
  for (unsigned char c : value) {
    if (c == ';' || c == '{' || c == '}' || c == '=' || c < 0x20 || c == 0x7F) return true;
  }
  return !value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
                            value.back() == '\t');
}

// `build` gives the text, or raises DbError when a value cannot be carried.
template <typename Build>
void Check(OdbcQuoting rule, const std::vector<std::string>& values, const Attributes& expected,
           Build build) {
  bool refusable = false;
  for (const std::string& value : values) refusable = refusable || Uncarriable(value, rule);
  std::string text;
  try {
    text = build();
  } catch (const DbError&) {
    Expect(refusable, "refused though the driver can carry it: " + Shown(values.back()));
    return;
  }
  Expect(!refusable, "built though the driver cannot carry it: " + Shown(text));
  for (Reader reader : ReadersOf(rule)) {
    Expect(Read(text, reader) == expected, "reads as other attributes (reader " +
                                               std::to_string(static_cast<int>(reader)) +
                                               "): " + Shown(text));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  std::string server = input.Text(24);
  std::string login = input.Text(24);
  std::string password = input.Rest();

  for (OdbcQuoting rule : {OdbcQuoting::kStandard, OdbcQuoting::kFreeTds, OdbcQuoting::kUnknown}) {
    Check(rule, {password}, {{"PWD", password}},
          [&] { return OdbcAttribute("PWD", password, rule); });
    Check(rule, {login, password},
          {{"DSN", "emr"}, {"Database", "/tmp/a.db"}, {"UID", login}, {"PWD", password}}, [&] {
            return DataSourceConnectionString("DSN=emr;Database=/tmp/a.db", login, password, rule);
          });
  }
  Check(OdbcQuoting::kFreeTds, {server, login, password},
        {{"Driver", "FreeTDS"},
         {"Server", server},
         {"Database", "KLINODB"},
         {"UID", login},
         {"PWD", password},
         {"ClientCharset", "UTF-8"}},
        [&] { return SqlServerConnectionString(server, login, password, "UTF-8"); });
  return 0;
}

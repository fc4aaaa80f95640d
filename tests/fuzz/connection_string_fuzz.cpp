// The connection-string quoting. No login, password or server name can add or change an
// attribute: the string built reads back as exactly the attributes meant, first under the driver
// manager's reading, then under each driver family's rule, all written apart from the library's;
// a driver of unknown rule must read it so under every one. A value is refused only where the
// driver manager and its driver cannot both carry it.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/db_error.h"
#include "db/odbc_connection_string.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/odbc_reference.h"

using namespace wardlink;
using namespace wardlink::fuzz;

namespace {

using Attributes = ReadAttributes;

// The driver manager reads every string first; then the driver, by its family's rule (a driver of
// unknown rule under every one).
std::vector<Reader> ReadersOf(OdbcQuoting rule) {
  switch (rule) {
    case OdbcQuoting::kStandard:
      return {Reader::kDriverManager};
    case OdbcQuoting::kFreeTds:
      return {Reader::kDriverManager, Reader::kFreeTds};
    case OdbcQuoting::kUnknown:
      break;
  }
  return {Reader::kDriverManager, Reader::kFreeTds, Reader::kIgnoresBraces};
}

// What the rule cannot carry as one value.
bool Uncarriable(const std::string& value, OdbcQuoting rule) {
  if (value.find('}') != std::string::npos) return true;
  if (rule != OdbcQuoting::kUnknown) return false;
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
    Expect(ReadConnectionString(text, reader) == expected,
           "reads as other attributes (reader " + std::to_string(static_cast<int>(reader)) +
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
    Check(rule, {password}, {{"PWD", password}}, [&] {
      return AppendOdbcAttributes("", {{"PWD", password}}, rule);
    });
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
        [&] {
          return SqlServerConnectionString(server, login, password, "UTF-8", OdbcQuoting::kFreeTds);
        });
  return 0;
}

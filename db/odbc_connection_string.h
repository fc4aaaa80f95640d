#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wardlink {

// Every connection string is read twice: first by the driver manager (the ODBC brace rule: a
// braced value ends at a lone "}", "}}" stands for "}"), then by the driver, whose rule may differ.
// A value is sent only in a form that both read as exactly that value.
enum class OdbcQuoting {
  kStandard,  // the ODBC brace rule, as the driver manager's (Microsoft's drivers)
  kFreeTds,   // a braced value ends at the first "};" (or "}" at the end); "}}" is not undone
  kUnknown,   // no rule known (some drivers ignore braces): only values without syntax, bare
};

using OdbcAttributes = std::vector<std::pair<std::string, std::string>>;

// The drivers the library knows, told apart by the file name of the library the driver manager
// loads (never by a registered name, nor by the folders on the way to the file).
enum class OdbcFamily {
  kFreeTds,    // libtdsodbc.so
  kMicrosoft,  // Microsoft's SQL Server drivers
  kSqlite,     // the SQLite ODBC driver, which creates a missing database file unless told not to
  kOther,
};
OdbcFamily FamilyOfLibrary(std::string_view library);

// The quoting rule of a family; any driver not known to follow a rule gets kUnknown.
OdbcQuoting QuotingFor(OdbcFamily family);

// `value` written so that the driver manager and the driver read it back as exactly one value, or
// nothing when they cannot (it is then never sent). A value holding "}" is never sent: FreeTDS
// does not undo "}}", and Windows' driver manager documents no escape for it. Under kUnknown a
// value holding ";", "{", "=", a control character or blanks at either end is refused as well.
std::optional<std::string> QuoteOdbcValue(std::string_view value, OdbcQuoting quoting);

// Reads a connection string as the driver manager does: keys and values exactly as written, in
// order, with repeats kept. Raises DbError on a braced value that never closes.
OdbcAttributes ParseOdbcConnectionString(std::string_view text);

// The attributes the driver manager acts on: a later value of a key replaces the earlier one, and
// whichever of DSN or Driver/FILEDSN comes first hides the other.
OdbcAttributes DriverManagerAttributes(std::string_view text);

// The value of `key` (without regard to case) that the driver manager acts on, if any.
std::optional<std::string> OdbcAttributeValue(std::string_view text, std::string_view key);

// `base` (a connection string, possibly empty) with `attributes` appended, each value quoted for
// the driver. Raises DbError when a value cannot be carried, or when the driver manager would not
// read the result as `base`'s attributes with exactly these added.
std::string AppendOdbcAttributes(std::string_view base, const OdbcAttributes& attributes,
                                 OdbcQuoting quoting);

// The SQL Server driver and the fixed catalog of a plain server name.
inline constexpr std::string_view kSqlServerDriver = "FreeTDS";
inline constexpr std::string_view kCatalog = "KLINODB";

// The connection string for a SQL Server instance named `server`, through FreeTDS, with the
// host's code page as the client character set, each value quoted by `quoting` (that of the
// library the driver manager loads for FreeTDS). Raises DbError when a value cannot be carried.
std::string SqlServerConnectionString(std::string_view server, std::string_view login,
                                      std::string_view password, std::string_view codeset,
                                      OdbcQuoting quoting);

// The driver a plain server name uses on Windows: the newest of Microsoft's SQL Server drivers
// among `installed` ("ODBC Driver 18 for SQL Server" before 17, before "SQL Server Native Client
// 11.0"), or "SQL Server", which every Windows has.
std::string NewestSqlServerDriver(const std::vector<std::string>& installed);

// The connection string for a SQL Server instance through one of Microsoft's drivers, each value
// quoted by `quoting`. Raises DbError when a value cannot be carried.
std::string MicrosoftSqlServerConnectionString(std::string_view driver, std::string_view server,
                                               std::string_view login, std::string_view password,
                                               OdbcQuoting quoting);

// The caller's own connection string with the login and password appended as UID and PWD.
std::string DataSourceConnectionString(std::string_view connectionString, std::string_view login,
                                       std::string_view password, OdbcQuoting quoting);

}  // namespace wardlink

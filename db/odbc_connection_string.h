#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wardlink {

// How a driver reads a value in a connection string.
enum class OdbcQuoting {
  kStandard,  // the ODBC brace rule: a braced value ends at a "}" not doubled; "}}" stands for "}"
  kFreeTds,   // a braced value ends at the first "};" (or "}" at the end); "}}" is not undone
  kUnknown,   // no rule known (some drivers ignore braces): only values without syntax, bare
};

// Which rule the driver named by `driver` (a registered name or a library path) follows. Only
// the drivers known to follow a rule get it; any other is kUnknown.
OdbcQuoting QuotingForDriver(std::string_view driver);

// `value` written so that the driver reads it back as exactly one value, or nothing when the
// driver cannot carry it as one value (it is then never sent). Under kUnknown a value holding
// ";", "{", "}", "=", a control character or blanks at either end is refused.
std::optional<std::string> QuoteOdbcValue(std::string_view value, OdbcQuoting quoting);

// "Key=value;" with the value quoted; raises DbError when the value cannot be carried.
std::string OdbcAttribute(std::string_view key, std::string_view value, OdbcQuoting quoting);

// Reads a connection string as a driver following `quoting` does: its attributes in order, keys
// as written. Raises DbError on a braced value that never closes.
std::vector<std::pair<std::string, std::string>> ParseOdbcConnectionString(std::string_view text,
                                                                           OdbcQuoting quoting);

// The first value of `key` (without regard to case) in a connection string, if any.
std::optional<std::string> OdbcAttributeValue(std::string_view text, std::string_view key);

// The SQL Server driver and the fixed catalog of a plain server name.
inline constexpr std::string_view kSqlServerDriver = "FreeTDS";
inline constexpr std::string_view kCatalog = "KLINODB";

// The connection string for a SQL Server instance named `server`, through FreeTDS, with the
// host's code page as the client character set. Raises DbError when a value cannot be carried.
std::string SqlServerConnectionString(std::string_view server, std::string_view login,
                                      std::string_view password, std::string_view codeset);

// The driver a plain server name uses on Windows: the newest of Microsoft's SQL Server drivers
// among `installed` ("ODBC Driver 18 for SQL Server" before 17, before "SQL Server Native Client
// 11.0"), or "SQL Server", which every Windows has.
std::string NewestSqlServerDriver(const std::vector<std::string>& installed);

// The connection string for a SQL Server instance through one of Microsoft's drivers, which follow
// the ODBC brace rule. Raises DbError when a value cannot be carried.
std::string MicrosoftSqlServerConnectionString(std::string_view driver, std::string_view server,
                                               std::string_view login, std::string_view password);

// The caller's own connection string with the login and password appended as UID and PWD.
std::string DataSourceConnectionString(std::string_view connectionString, std::string_view login,
                                       std::string_view password, OdbcQuoting quoting);

}  // namespace wardlink

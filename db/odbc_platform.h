#pragma once

// What differs between the ODBC driver managers: on Windows every call that carries text goes
// through its W function in UTF-16 (the narrow functions convert through the ANSI code page, and
// are missing under Wine); elsewhere through the narrow functions, in UTF-8 for a driver that
// reads UTF-8 and in the host's code page otherwise. The rest of the ODBC backend is the same
// source on every platform.
#if defined(_WIN32)
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/code_page.h"

namespace wardlink {

// Text as the driver's parameters and columns carry it (kDriverTextType, kDriverCharSize bytes a
// unit), converted from and to the host's code page.
class DriverText {
 public:
  // `utf8Driver`: the driver reads and writes UTF-8 through the narrow functions.
  explicit DriverText(bool utf8Driver = false);
  std::string ToDriver(std::string_view host) const;
  std::string FromDriver(std::string_view driver) const;

 private:
  std::optional<TextConverter> converter_;
};

extern const SQLSMALLINT kDriverTextType;
extern const size_t kDriverCharSize;

// The text-carrying calls. Texts are the host's; `text` converts them.
SQLRETURN OdbcDriverConnect(SQLHDBC connection, const DriverText& text,
                            std::string_view connectionString);
SQLRETURN OdbcPrepare(SQLHSTMT statement, const DriverText& text, std::string_view statementText);
// Runs a text once, unprepared: the transaction steps that a driver takes as statements.
SQLRETURN OdbcExecuteDirect(SQLHSTMT statement, const DriverText& text,
                            std::string_view statementText);
// One diagnostic record; nothing when there is no such record.
struct OdbcRecord {
  std::string sqlState;
  int nativeError = 0;
  std::string message;  // in the host's code page
};
std::optional<OdbcRecord> OdbcDiagnostic(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                         const DriverText& text);
SQLRETURN OdbcDescribeColumn(SQLHSTMT statement, SQLUSMALLINT column, const DriverText& text,
                             std::string& name, SQLSMALLINT& type, SQLSMALLINT& digits);
SQLRETURN OdbcInfoText(SQLHDBC connection, SQLUSMALLINT info, const DriverText& text,
                       std::string& value);

// The library the driver manager loads for `Driver=driver`, and for `DSN=dsn`, found as it finds
// it; empty when it would load none.
std::string DriverLibrary(std::string_view driver);
std::string DataSourceLibrary(std::string_view dsn);

// The connection string for a plain SQL Server name: FreeTDS with the host's code page on POSIX,
// the newest Microsoft SQL Server driver installed on Windows. Raises DbError when a value cannot
// be carried.
std::string HostSqlServerConnectionString(std::string_view server, std::string_view login,
                                          std::string_view password);

}  // namespace wardlink

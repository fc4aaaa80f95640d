#include <odbcinst.h>

#include <array>

#include "db/odbc_connection_string.h"
#include "db/odbc_platform.h"

namespace wardlink {

namespace {

SQLCHAR* Chars(std::string& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }

std::string ProfileString(std::string_view section, const char* key, const char* file) {
  std::array<char, 1024> value{};
  int length = SQLGetPrivateProfileString(std::string(section).c_str(), key, "", value.data(),
                                          static_cast<int>(value.size()), file);
  if (length <= 0) return std::string();
  return std::string(value.data());
}

}  // namespace

// FreeTDS is told the host's code page (ClientCharset), so host text goes through unchanged; the
// SQLite driver reads and writes UTF-8.
DriverText::DriverText(bool utf8Driver) {
  if (utf8Driver) converter_.emplace();
}

std::string DriverText::ToDriver(std::string_view host) const {
  return converter_ ? converter_->ToUtf8(host) : std::string(host);
}

std::string DriverText::FromDriver(std::string_view driver) const {
  return converter_ ? converter_->FromUtf8(driver) : std::string(driver);
}

const SQLSMALLINT kDriverTextType = SQL_C_CHAR;
const size_t kDriverCharSize = 1;

SQLRETURN OdbcDriverConnect(SQLHDBC connection, const DriverText& text,
                            std::string_view connectionString) {
  std::string driverText = text.ToDriver(connectionString);
  return SQLDriverConnect(connection, nullptr, Chars(driverText),
                          static_cast<SQLSMALLINT>(driverText.size()), nullptr, 0, nullptr,
                          SQL_DRIVER_NOPROMPT);
}

SQLRETURN OdbcPrepare(SQLHSTMT statement, const DriverText& text, std::string_view statementText) {
  std::string driverText = text.ToDriver(statementText);
  return SQLPrepare(statement, Chars(driverText), static_cast<SQLINTEGER>(driverText.size()));
}

SQLRETURN OdbcExecuteDirect(SQLHSTMT statement, const DriverText& text,
                            std::string_view statementText) {
  std::string driverText = text.ToDriver(statementText);
  return SQLExecDirect(statement, Chars(driverText), static_cast<SQLINTEGER>(driverText.size()));
}

std::optional<OdbcRecord> OdbcDiagnostic(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                         const DriverText& text) {
  std::array<SQLCHAR, SQL_SQLSTATE_SIZE + 1> state{};
  SQLINTEGER nativeError = 0;
  std::string message(SQL_MAX_MESSAGE_LENGTH, '\0');
  SQLSMALLINT length = 0;
  SQLRETURN rc = SQLGetDiagRec(type, handle, record, state.data(), &nativeError, Chars(message),
                               static_cast<SQLSMALLINT>(message.size()), &length);
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return std::nullopt;
  message.resize(std::min<size_t>(static_cast<size_t>(length), message.size() - 1));
  return OdbcRecord{reinterpret_cast<const char*>(state.data()), static_cast<int>(nativeError),
                    text.FromDriver(message)};
}

SQLRETURN OdbcDescribeColumn(SQLHSTMT statement, SQLUSMALLINT column, const DriverText& text,
                             std::string& name, SQLSMALLINT& type, SQLSMALLINT& digits) {
  std::string raw(256, '\0');
  SQLSMALLINT length = 0;
  SQLULEN size = 0;
  SQLSMALLINT nullable = 0;
  SQLRETURN rc = SQLDescribeCol(statement, column, Chars(raw), static_cast<SQLSMALLINT>(raw.size()),
                                &length, &type, &size, &digits, &nullable);
  raw.resize(std::min<size_t>(static_cast<size_t>(length), raw.size() - 1));
  name = text.FromDriver(raw);
  return rc;
}

SQLRETURN OdbcInfoText(SQLHDBC connection, SQLUSMALLINT info, const DriverText& text,
                       std::string& value) {
  std::string raw(256, '\0');
  SQLSMALLINT length = 0;
  SQLRETURN rc =
      SQLGetInfo(connection, info, raw.data(), static_cast<SQLSMALLINT>(raw.size()), &length);
  raw.resize(std::min<size_t>(static_cast<size_t>(length), raw.size() - 1));
  value = text.FromDriver(raw);
  return rc;
}

std::string DataSourceDriverName(std::string_view dsn) {
  return ProfileString(dsn, "Driver", "odbc.ini");
}

std::string DriverLibraryPath(std::string_view driver) {
  return ProfileString(driver, "Driver", "odbcinst.ini");
}

std::string HostSqlServerConnectionString(std::string_view server, std::string_view login,
                                          std::string_view password) {
  return SqlServerConnectionString(server, login, password, EnvironmentCodeset());
}

}  // namespace wardlink

#include <odbcinst.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

#include "db/odbc_connection_string.h"
#include "db/odbc_platform.h"

// The installer's own names for the user's and the system's DSN files. libodbcinst exports them,
// but declares them only in a header meant for its own sources.
extern "C" BOOL _odbcinst_UserINI(char* fileName, BOOL verify);
extern "C" BOOL _odbcinst_SystemINI(char* fileName, BOOL verify);

namespace wardlink {

namespace {

// The driver manager's buffer for a library name or a DSN's driver, terminating zero included.
constexpr size_t kIniValueSize = 1001;

SQLCHAR* Chars(std::string& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }

// Read into a buffer of the driver manager's own size, so that a value too long for it is cut
// where the driver manager cuts it.
std::string ProfileString(std::string_view section, const char* key, const char* file) {
  std::array<char, kIniValueSize> value{};
  int length = SQLGetPrivateProfileString(std::string(section).c_str(), key, "", value.data(),
                                          static_cast<int>(value.size()), file);
  if (length <= 0) return std::string();
  return std::string(value.data());
}

// The files the driver manager looks up a DSN in, in its order: the user's, then the system's.
// It switches the installer's process-wide mode to pick each; the same files read by name leave
// that mode alone for other threads. ODBCSEARCH overrides the mode, and so the files.
std::vector<std::string> DataSourceFiles() {
  std::array<char, FILENAME_MAX + 1> user{};
  std::array<char, FILENAME_MAX + 1> system{};
  _odbcinst_UserINI(user.data(), 0);
  _odbcinst_SystemINI(system.data(), 0);
  const char* search = std::getenv("ODBCSEARCH");
  std::string_view mode = search != nullptr ? search : "";
  if (mode == "ODBC_USER_DSN") return {user.data()};
  if (mode == "ODBC_SYSTEM_DSN") return {system.data()};
  return {user.data(), system.data()};
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

std::string DriverLibrary(std::string_view driver) {
  if (driver.size() >= kIniValueSize) return std::string();  // refused as too long
  // A 64-bit driver manager reads Driver64 first.
  std::string library = sizeof(void*) == 8 ? ProfileString(driver, "Driver64", "ODBCINST.INI") : "";
  if (library.empty()) library = ProfileString(driver, "Driver", "ODBCINST.INI");
  // A name registered nowhere is loaded as a library of that name.
  return library.empty() ? std::string(driver) : library;
}

std::string DataSourceLibrary(std::string_view dsn) {
  std::string driver;
  for (const std::string& file : DataSourceFiles()) {
    // The installer creates a file it is asked to read; a missing one holds no DSN.
    if (::access(file.c_str(), F_OK) != 0) continue;
    driver = ProfileString(dsn, "Driver", file.c_str());
    if (!driver.empty()) break;
  }
  if (driver.empty() || driver.front() == '/') return driver;
  // A DSN's driver name must be registered; it is never loaded as a library of that name.
  std::string library = DriverLibrary(driver);
  return library == driver ? std::string() : library;
}

std::string HostSqlServerConnectionString(std::string_view server, std::string_view login,
                                          std::string_view password) {
  return SqlServerConnectionString(server, login, password, EnvironmentCodeset(),
                                   QuotingFor(FamilyOfLibrary(DriverLibrary(kSqlServerDriver))));
}

}  // namespace wardlink

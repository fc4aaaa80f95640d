#include <algorithm>
#include <array>

#include "db/odbc_connection_string.h"
#include "db/odbc_platform.h"
#include "db/statement_text.h"

// After windows.h, which the platform header brings.
#include <odbcinst.h>

namespace wardlink {

namespace {

SQLWCHAR* Wide(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

std::u16string_view Units(std::string_view bytes) {
  return {reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / sizeof(char16_t)};
}

std::u16string Truncated(std::u16string text, SQLSMALLINT length) {
  text.resize(
      std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), text.size() - 1));
  return text;
}

// Every driver and DSN registered, from the driver manager's own lists.
template <typename List>
void ForEachRegistered(List list, const auto& visit) {
  SQLHENV environment = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment))) return;
  SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(SQL_OV_ODBC3)), 0);
  std::u16string name(256, u'\0');
  std::u16string detail(1024, u'\0');
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT detailLength = 0;
    SQLRETURN rc =
        list(environment, direction, Wide(name), static_cast<SQLSMALLINT>(name.size()), &nameLength,
             Wide(detail), static_cast<SQLSMALLINT>(detail.size()), &detailLength);
    if (!SQL_SUCCEEDED(rc)) break;
    visit(Truncated(name, nameLength), Truncated(detail, detailLength));
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, environment);
}

}  // namespace

// Windows converts between the ANSI code page and UTF-16 itself; every driver gets UTF-16.
DriverText::DriverText(bool /*utf8Driver*/) { converter_.emplace(); }

std::string DriverText::ToDriver(std::string_view host) const {
  std::u16string wide = converter_->ToUtf16(host);
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(char16_t));
}

std::string DriverText::FromDriver(std::string_view driver) const {
  return converter_->FromUtf16(Units(driver));
}

const SQLSMALLINT kDriverTextType = SQL_C_WCHAR;
const size_t kDriverCharSize = sizeof(SQLWCHAR);

SQLRETURN OdbcDriverConnect(SQLHDBC connection, const DriverText& text,
                            std::string_view connectionString) {
  std::string wide = text.ToDriver(connectionString);
  return SQLDriverConnectW(connection, nullptr, reinterpret_cast<SQLWCHAR*>(wide.data()),
                           static_cast<SQLSMALLINT>(wide.size() / kDriverCharSize), nullptr, 0,
                           nullptr, SQL_DRIVER_NOPROMPT);
}

SQLRETURN OdbcPrepare(SQLHSTMT statement, const DriverText& text, std::string_view statementText) {
  std::string wide = text.ToDriver(statementText);
  return SQLPrepareW(statement, reinterpret_cast<SQLWCHAR*>(wide.data()),
                     static_cast<SQLINTEGER>(wide.size() / kDriverCharSize));
}

SQLRETURN OdbcExecuteDirect(SQLHSTMT statement, const DriverText& text,
                            std::string_view statementText) {
  std::string wide = text.ToDriver(statementText);
  return SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(wide.data()),
                        static_cast<SQLINTEGER>(wide.size() / kDriverCharSize));
}

std::optional<OdbcRecord> OdbcDiagnostic(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                         const DriverText& text) {
  std::u16string state(SQL_SQLSTATE_SIZE + 1, u'\0');
  SQLINTEGER nativeError = 0;
  std::u16string message(SQL_MAX_MESSAGE_LENGTH, u'\0');
  SQLSMALLINT length = 0;
  SQLRETURN rc = SQLGetDiagRecW(type, handle, record, Wide(state), &nativeError, Wide(message),
                                static_cast<SQLSMALLINT>(message.size()), &length);
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return std::nullopt;
  state.resize(SQL_SQLSTATE_SIZE);
  message = Truncated(std::move(message), length);
  return OdbcRecord{Utf16ToUtf8(state), static_cast<int>(nativeError),
                    text.FromDriver({reinterpret_cast<const char*>(message.data()),
                                     message.size() * sizeof(char16_t)})};
}

SQLRETURN OdbcDescribeColumn(SQLHSTMT statement, SQLUSMALLINT column, const DriverText& text,
                             std::string& name, SQLSMALLINT& type, SQLSMALLINT& digits) {
  std::u16string raw(256, u'\0');
  SQLSMALLINT length = 0;
  SQLULEN size = 0;
  SQLSMALLINT nullable = 0;
  SQLRETURN rc = SQLDescribeColW(statement, column, Wide(raw), static_cast<SQLSMALLINT>(raw.size()),
                                 &length, &type, &size, &digits, &nullable);
  raw = Truncated(std::move(raw), length);
  name =
      text.FromDriver({reinterpret_cast<const char*>(raw.data()), raw.size() * sizeof(char16_t)});
  return rc;
}

SQLRETURN OdbcInfoText(SQLHDBC connection, SQLUSMALLINT info, const DriverText& text,
                       std::string& value) {
  std::u16string raw(256, u'\0');
  SQLSMALLINT length = 0;  // in bytes
  SQLRETURN rc = SQLGetInfoW(connection, info, Wide(raw),
                             static_cast<SQLSMALLINT>(raw.size() * sizeof(char16_t)), &length);
  raw = Truncated(std::move(raw), static_cast<SQLSMALLINT>(length / sizeof(char16_t)));
  value =
      text.FromDriver({reinterpret_cast<const char*>(raw.data()), raw.size() * sizeof(char16_t)});
  return rc;
}

// The driver manager loads the library registered under a driver's name, and nothing for a name
// registered nowhere.
std::string DriverLibrary(std::string_view driver) {
  TextConverter text;
  std::u16string name = text.ToUtf16(driver);
  std::u16string library(1024, u'\0');
  int length = SQLGetPrivateProfileStringW(reinterpret_cast<LPCWSTR>(name.c_str()), L"Driver", L"",
                                           reinterpret_cast<LPWSTR>(library.data()),
                                           static_cast<int>(library.size()), L"ODBCINST.INI");
  library.resize(static_cast<size_t>(std::clamp(length, 0, static_cast<int>(library.size()) - 1)));
  return text.FromUtf16(library);
}

std::string DataSourceLibrary(std::string_view dsn) {
  TextConverter text;
  std::string driver;
  ForEachRegistered(SQLDataSourcesW, [&](const std::u16string& name, const std::u16string& detail) {
    if (driver.empty() && EqualsIgnoringCase(text.FromUtf16(name), dsn))
      driver = text.FromUtf16(detail);
  });
  return driver.empty() ? std::string() : DriverLibrary(driver);
}

std::string HostSqlServerConnectionString(std::string_view server, std::string_view login,
                                          std::string_view password) {
  TextConverter text;
  std::vector<std::string> installed;
  ForEachRegistered(SQLDriversW, [&](const std::u16string& name, const std::u16string&) {
    installed.push_back(text.FromUtf16(name));
  });
  std::string driver = NewestSqlServerDriver(installed);
  return MicrosoftSqlServerConnectionString(driver, server, login, password,
                                            QuotingFor(FamilyOfLibrary(DriverLibrary(driver))));
}

}  // namespace wardlink

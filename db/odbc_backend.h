#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/backend.h"
#include "db/odbc_connection_string.h"

namespace wardlink {

// How long the connection step waits for a server before it fails.
inline constexpr int kOdbcLoginTimeoutSeconds = 10;

// Opens an ODBC connection with `connectionString`, never prompting. The dialect follows from the
// DBMS the driver reports. Raises DbError with the driver's diagnostics on failure.
std::unique_ptr<DbBackend> OpenOdbcBackend(const std::string& connectionString);

// The family of the library the driver manager loads for the caller's connection string: that
// of its Driver attribute, or of the driver its DSN is registered with.
OdbcFamily DataSourceFamily(std::string_view connectionString);

// After a failed connection step: raises "database file not found" when the caller's string
// reaches the SQLite driver for a Database file that does not exist (the driver, told never to
// create one, says only that it could not connect).
void RaiseIfSqliteDatabaseMissing(std::string_view connectionString);

// What keeps the SQLite driver from creating a database file that is missing.
inline constexpr std::string_view kSqliteNoCreate = "NoCreat=1";

// The caller's connection string ("odbc:" form) with the login and password, each quoted for the
// driver's family; for FreeTDS also the host's code page when the string names none, and for the
// SQLite driver the order never to create a database file.
std::string OdbcDataSourceConnectionString(std::string_view connectionString,
                                           std::string_view login, std::string_view password);

}  // namespace wardlink

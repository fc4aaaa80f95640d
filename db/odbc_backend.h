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

// Which quoting rule the driver of the caller's connection string follows: its Driver attribute,
// or the driver its DSN is registered with.
OdbcQuoting QuotingForDataSource(std::string_view connectionString);

// The caller's connection string ("odbc:" form) with the login and password, and for FreeTDS the
// host's code page when the string names none.
std::string OdbcDataSourceConnectionString(std::string_view connectionString,
                                           std::string_view login, std::string_view password);

}  // namespace wardlink

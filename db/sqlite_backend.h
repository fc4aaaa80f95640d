#pragma once

#include <memory>
#include <string>

#include "db/backend.h"

namespace wardlink {

// Opens the existing SQLite database file at `path`; a missing file raises DbError (the
// connection step fails), never creates an empty database.
std::unique_ptr<DbBackend> OpenSqliteBackend(const std::string& path);

// Runs a script of several statements on a new database file (used to create trial databases).
void CreateSqliteDatabase(const std::string& path, const std::string& script);

}  // namespace wardlink

#pragma once

#include <memory>
#include <string>

#include "db/backend.h"

namespace wardlink {

// A call's connection closes without checkpointing the write-ahead log; the writer whose commit
// takes the log past this many pages copies it into the database. A small log keeps cheap the
// recovery that every call's open runs (each call's connection is the only one).
inline constexpr int kWalAutoCheckpointPages = 32;

// Opens the existing SQLite database file at `path`; a missing file raises DbError (the
// connection step fails), never creates an empty database.
std::unique_ptr<DbBackend> OpenSqliteBackend(const std::string& path);

// Runs a script of several statements on a new database file (used to create trial databases).
void CreateSqliteDatabase(const std::string& path, const std::string& script);

}  // namespace wardlink

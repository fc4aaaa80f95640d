#pragma once

#include <memory>
#include <string>

#include "db/backend.h"

struct sqlite3;

namespace wardlink {

// Concurrent writers wait for each other this long before a statement fails as busy.
inline constexpr int kBusyTimeoutMs = 30000;

// A call's connection closes without checkpointing the write-ahead log; the writer whose commit
// takes the log past this many pages copies it into the database. A small log keeps cheap the
// recovery that every call's open runs (each call's connection is the only one).
inline constexpr int kWalAutoCheckpointPages = 32;

// Makes the commit that takes the log past `pages` copy it into the database and truncate it.
// Every open rebuilds the log's index from the whole file and forgets what was copied, so a log
// that is only copied (never emptied) is read, and copied again, by every later call.
void TruncateLogPast(sqlite3* db, int pages);

// Opens the existing SQLite database file at `path`; a missing file raises DbError (the
// connection step fails), never creates an empty database.
std::unique_ptr<DbBackend> OpenSqliteBackend(const std::string& path);

// Runs a script of several statements on a new database file (used to create trial databases).
void CreateSqliteDatabase(const std::string& path, const std::string& script);

}  // namespace wardlink

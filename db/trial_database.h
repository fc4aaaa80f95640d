#pragma once

#include <string>

namespace wardlink {

// The SQLite script that creates the trial database: every table and column of the schema, the
// keys the operations check, the lookup indexes (every stay's rows by ZhuYuanNo, the department
// references by UnitID, the events), integer columns that refuse a non-integer text (those of the
// stay record store the empty text as 0), WAL journal mode, and one default date format.
std::string SqliteTrialScript();

// The T-SQL script that creates the same tables in an empty SQL Server catalog (shipped as
// db/schema/sqlserver.sql; a test keeps the two equal).
std::string SqlServerTrialScript();

// Creates a trial database for `server` ("sqlite:PATH"). Refuses to overwrite an existing file.
// Raises DbError on failure.
void CreateTrialDatabase(const std::string& server);

}  // namespace wardlink

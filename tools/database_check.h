#pragma once

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"

namespace wardlink::host {

// What `wardlink check` found: problems make exports fail; warnings make some of their calls
// give one of their own codes.
struct CheckReport {
  std::vector<std::string> problems;
  std::vector<std::string> warnings;
};

// The exports that read or write each table the library names.
const std::map<std::string_view, std::vector<std::string_view>>& ExportsByTable();

// Checks an open database: every table and column the library names exists, names resolve
// without regard to case, a default date format row exists, the title list is not empty.
CheckReport CheckDatabase(DbConnection& connection);

// `wardlink check SERVER LOGIN PASSWORD`: prints the report; 0 when nothing is missing.
int RunCheck(const ConnectionArgs& args, std::ostream& out);

}  // namespace wardlink::host

#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wardlink {

// What a database or driver said about a failure as codes, so that failures are told apart
// without reading their words.
struct DbErrorCodes {
  std::vector<std::string> sqlStates;  // ODBC: the SQLSTATE of each diagnostic record, in order
  int nativeError = 0;  // ODBC: the first record's native error; SQLite: the system errno
  int resultCode = 0;   // SQLite: the extended result code
};

// Every failure of a database operation, whichever backend raised it. The message is for people:
// the database's own words (for ODBC each record prefixed with its SQLSTATE), in the host's code
// page; the codes are for the library.
class DbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // The library's own words (a kind of failure, a path), then what the database or driver said:
  // only the latter could ever echo a password.
  DbError(const std::string& ownWords, const std::string& databaseSaid, DbErrorCodes codes = {})
      : std::runtime_error(ownWords + databaseSaid),
        ownLength_(ownWords.size()),
        codes_(std::move(codes)) {}

  const DbErrorCodes& codes() const noexcept { return codes_; }
  bool HasSqlState(std::string_view state) const {
    for (const std::string& each : codes_.sqlStates)
      if (each == state) return true;
    return false;
  }

  // How many leading bytes of what() are the library's own words; 0 when all of it is what the
  // database or driver said.
  size_t ownLength() const noexcept { return ownLength_; }

 private:
  size_t ownLength_ = 0;
  DbErrorCodes codes_;
};

}  // namespace wardlink

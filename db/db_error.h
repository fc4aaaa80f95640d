#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace wardlink {

// Every failure of a database operation, whichever backend raised it. The message is the
// database's own (for ODBC prefixed with its SQLSTATE), in the host's code page.
class DbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // The library's own words (a kind of failure, a path), then what the database or driver said:
  // only the latter could ever echo a password.
  DbError(const std::string& ownWords, const std::string& databaseSaid)
      : std::runtime_error(ownWords + databaseSaid), ownLength_(ownWords.size()) {}

  // How many leading bytes of what() are the library's own words; 0 when all of it is what the
  // database or driver said.
  size_t ownLength() const noexcept { return ownLength_; }

 private:
  size_t ownLength_ = 0;
};

}  // namespace wardlink

#pragma once

#include <stdexcept>
#include <string>

namespace wardlink {

// Every failure of a database operation, whichever backend raised it. The message is the
// database's own (for ODBC prefixed with its SQLSTATE), in the host's code page.
class DbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace wardlink

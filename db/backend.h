#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "db/date_time.h"

namespace wardlink {

// A parameter or a cell of a result. Texts are in the host's code page on this side of the
// backend; a backend converts them to and from what its database stores.
using DbValue = std::variant<std::monostate, std::string, int64_t, double, DateTime>;

// A whole result, read at once. The library's results are a handful of rows, and a materialised
// result gives every backend the same first/next/end navigation.
struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<DbValue>> rows;
};

// Which statement texts the database understands as they are.
enum class Dialect {
  kSqlServer,  // texts sent unchanged
  kSqlite,     // "Delete T Where" and the "dbo." prefix are rewritten
};

// One open connection to one database. Statements arrive with `?` markers, already in the
// backend's dialect, with one value per marker in order of appearance. Every failure raises
// DbError.
class DbBackend {
 public:
  virtual ~DbBackend() = default;

  virtual Dialect dialect() const = 0;
  virtual ResultSet Query(const std::string& text, const std::vector<DbValue>& parameters) = 0;
  virtual void Execute(const std::string& text, const std::vector<DbValue>& parameters) = 0;
  virtual void BeginTransaction() = 0;
  virtual void CommitTransaction() = 0;
  virtual void RollbackTransaction() = 0;
};

}  // namespace wardlink

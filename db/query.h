#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/backend.h"
#include "db/connection.h"
#include "db/date_time.h"
#include "db/statement_text.h"

namespace wardlink {

// The call's query, reused for every statement. Statement texts hold named parameters (`:Name`);
// values are bound by name. Every operation raises DbError on failure.
class DbQuery {
 public:
  explicit DbQuery(DbConnection& connection) : connection_(connection) {}
  DbQuery(const DbQuery&) = delete;
  DbQuery& operator=(const DbQuery&) = delete;

  // Each closes any open result. The connection must be open: the text is read in its dialect.
  void SetStatement(std::string_view text);
  void ClearStatement();
  void AppendStatementLine(std::string_view line);

  void BindText(std::string_view name, std::string_view value);
  void BindInteger(std::string_view name, int32_t value);
  void BindFloat(std::string_view name, double value);
  void BindDateTime(std::string_view name, const DateTime& value);

  // Runs a statement that returns rows and stands on the first row.
  void RunQuery();
  // Runs a statement that returns no rows.
  void RunCommand();
  void CloseResult();

  bool HasNoRows() const;
  void GoFirst();
  void GoNext();
  bool AtEnd() const;

  // Column reads on the current row, by name without regard to case. NULL reads as the empty
  // text, 0, or the zero date-time (30 December 1899 00:00).
  std::string ColumnText(std::string_view name) const;
  int32_t ColumnInteger(std::string_view name) const;
  int32_t FirstColumnInteger() const;
  DateTime ColumnDateTime(std::string_view name) const;

  const std::string& statement() const { return text_; }

 private:
  void TextChanged();
  template <class T, class V>
  void Bind(std::string_view name, const V& value);
  const std::vector<DbValue>& ParameterValues() const;
  const DbValue& Cell(std::string_view name) const;
  const DbValue& CellAt(size_t column) const;

  DbConnection& connection_;
  std::string text_;
  ParsedStatement parsed_;       // text_ as the backend takes it
  std::vector<DbValue> values_;  // one per marker; std::monostate until bound
  std::optional<ResultSet> result_;
  size_t row_ = 0;
};

}  // namespace wardlink

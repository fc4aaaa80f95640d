#include "db/query.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "db/db_error.h"
#include "db/statement_observer.h"
#include "db/statement_text.h"

namespace wardlink {

namespace {

int32_t ToInt32(int64_t value) {
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    throw DbError("value " + std::to_string(value) + " does not fit a 32-bit integer");
  return static_cast<int32_t>(value);
}

int32_t CellToInteger(const DbValue& cell) {
  if (std::holds_alternative<std::monostate>(cell)) return 0;
  if (const auto* i = std::get_if<int64_t>(&cell)) return ToInt32(*i);
  if (const auto* d = std::get_if<double>(&cell)) {
    if (!std::isfinite(*d)) throw DbError("value is not a number");
    return ToInt32(std::llround(*d));
  }
  if (const auto* s = std::get_if<std::string>(&cell)) {
    // Fixed-width columns come back padded with blanks.
    std::string_view text = *s;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
      throw DbError("'" + *s + "' is not an integer");
    return ToInt32(value);
  }
  throw DbError("a date-time is not an integer");
}

}  // namespace

void DbQuery::SetStatement(std::string_view text) {
  text_ = text;
  TextChanged();
}

void DbQuery::ClearStatement() {
  text_.clear();
  TextChanged();
}

void DbQuery::AppendStatementLine(std::string_view line) {
  if (!text_.empty()) text_ += '\n';
  text_ += line;
  TextChanged();
}

void DbQuery::TextChanged() {
  CloseResult();
  parsed_ = ParseStatement(text_, connection_.backend().dialect());
  values_.assign(parsed_.parameters.size(), DbValue{});
}

// Every marker of the name takes the value.
template <class T, class V>
void DbQuery::Bind(std::string_view name, const V& value) {
  bool found = false;
  for (size_t marker = 0; marker < values_.size(); ++marker) {
    if (!EqualsIgnoringCase(parsed_.parameters[marker], name)) continue;
    values_[marker].emplace<T>(value);
    found = true;
  }
  if (!found) throw DbError("parameter " + std::string(name) + " not found in the statement");
}

void DbQuery::BindText(std::string_view name, std::string_view value) {
  Bind<std::string>(name, value);
}
void DbQuery::BindInteger(std::string_view name, int32_t value) { Bind<int64_t>(name, value); }
void DbQuery::BindFloat(std::string_view name, double value) { Bind<double>(name, value); }
void DbQuery::BindDateTime(std::string_view name, const DateTime& value) {
  if (!IsValidDateTime(value)) throw DbError("invalid date-time " + ToStoredText(value));
  Bind<DateTime>(name, value);
}

const std::vector<DbValue>& DbQuery::ParameterValues() const {
  for (size_t marker = 0; marker < values_.size(); ++marker) {
    if (std::holds_alternative<std::monostate>(values_[marker]))
      throw DbError("parameter " + parsed_.parameters[marker] + " has no value");
  }
  return values_;
}

void DbQuery::RunQuery() {
  CloseResult();
  const std::vector<DbValue>& values = ParameterValues();
  NotifyStatementObserver(text_);
  result_ = connection_.backend().Query(parsed_.text, values);
  row_ = 0;
}

void DbQuery::RunCommand() {
  CloseResult();
  const std::vector<DbValue>& values = ParameterValues();
  NotifyStatementObserver(text_);
  connection_.backend().Execute(parsed_.text, values);
}

void DbQuery::CloseResult() {
  result_.reset();
  row_ = 0;
}

bool DbQuery::HasNoRows() const {
  if (!result_) throw DbError("no open result");
  return result_->rows.empty();
}

void DbQuery::GoFirst() {
  if (!result_) throw DbError("no open result");
  row_ = 0;
}

void DbQuery::GoNext() {
  if (!result_) throw DbError("no open result");
  if (row_ < result_->rows.size()) ++row_;
}

bool DbQuery::AtEnd() const {
  if (!result_) throw DbError("no open result");
  return row_ >= result_->rows.size();
}

const DbValue& DbQuery::CellAt(size_t column) const {
  if (AtEnd()) throw DbError("no current row");
  return result_->rows[row_][column];
}

const DbValue& DbQuery::Cell(std::string_view name) const {
  if (!result_) throw DbError("no open result");
  const std::vector<std::string>& columns = result_->columns;
  for (size_t column = 0; column < columns.size(); ++column) {
    if (EqualsIgnoringCase(columns[column], name)) return CellAt(column);
  }
  throw DbError("column " + std::string(name) + " not found");
}

std::string DbQuery::ColumnText(std::string_view name) const {
  const DbValue& cell = Cell(name);
  if (const auto* s = std::get_if<std::string>(&cell)) return *s;
  if (const auto* i = std::get_if<int64_t>(&cell)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&cell)) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, *d);
    return ec == std::errc() ? std::string(text, end) : std::string();
  }
  if (const auto* t = std::get_if<DateTime>(&cell)) return ToStoredText(*t);
  return std::string();
}

int32_t DbQuery::ColumnInteger(std::string_view name) const { return CellToInteger(Cell(name)); }

int32_t DbQuery::FirstColumnInteger() const {
  if (!result_ || result_->columns.empty()) throw DbError("no open result");
  return CellToInteger(CellAt(0));
}

DateTime DbQuery::ColumnDateTime(std::string_view name) const {
  const DbValue& cell = Cell(name);
  if (std::holds_alternative<std::monostate>(cell)) return DateTime{};
  if (const auto* t = std::get_if<DateTime>(&cell)) return *t;
  if (const auto* s = std::get_if<std::string>(&cell)) {
    if (auto value = ParseStoredText(*s)) return *value;
    throw DbError("'" + *s + "' is not a date-time");
  }
  throw DbError("column " + std::string(name) + " is not a date-time");
}

}  // namespace wardlink

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

void DbQuery::Attach() { CloseResult(); }

void DbQuery::SetStatement(std::string_view text) { SetText(std::string(text)); }

void DbQuery::ClearStatement() { SetText(std::string()); }

void DbQuery::AppendStatementLine(std::string_view line) {
  std::string text = text_;
  if (!text.empty()) text += '\n';
  text += line;
  SetText(std::move(text));
}

void DbQuery::SetText(std::string text) {
  CloseResult();
  ParsedStatement parsed = ParseNamedParameters(text);
  text_ = std::move(text);
  markedText_ = std::move(parsed.text);
  parameterNames_ = std::move(parsed.parameters);
  values_.assign(parameterNames_.size(), std::nullopt);
}

void DbQuery::Bind(std::string_view name, const DbValue& value) {
  bool found = false;
  for (size_t i = 0; i < parameterNames_.size(); ++i) {
    if (EqualsIgnoringCase(parameterNames_[i], name)) {
      values_[i] = value;
      found = true;
    }
  }
  if (!found) throw DbError("parameter " + std::string(name) + " not found in the statement");
}

void DbQuery::BindText(std::string_view name, std::string_view value) {
  Bind(name, std::string(value));
}
void DbQuery::BindInteger(std::string_view name, int32_t value) {
  Bind(name, static_cast<int64_t>(value));
}
void DbQuery::BindFloat(std::string_view name, double value) { Bind(name, value); }
void DbQuery::BindDateTime(std::string_view name, const DateTime& value) {
  if (!IsValidDateTime(value)) throw DbError("invalid date-time " + ToStoredText(value));
  Bind(name, value);
}

std::vector<DbValue> DbQuery::ParameterValues() const {
  std::vector<DbValue> values;
  values.reserve(values_.size());
  for (size_t i = 0; i < values_.size(); ++i) {
    if (!values_[i]) throw DbError("parameter " + parameterNames_[i] + " has no value");
    values.push_back(*values_[i]);
  }
  return values;
}

std::string DbQuery::BackendText() const {
  DbBackend& backend = connection_.backend();
  return backend.dialect() == Dialect::kSqlite ? RewriteForSqlite(markedText_) : markedText_;
}

void DbQuery::RunQuery() {
  CloseResult();
  std::vector<DbValue> values = ParameterValues();
  NotifyStatementObserver(text_);
  result_ = connection_.backend().Query(BackendText(), values);
  row_ = 0;
}

void DbQuery::RunCommand() {
  CloseResult();
  std::vector<DbValue> values = ParameterValues();
  NotifyStatementObserver(text_);
  connection_.backend().Execute(BackendText(), values);
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
  for (size_t i = 0; i < result_->columns.size(); ++i) {
    if (EqualsIgnoringCase(result_->columns[i], name)) return CellAt(i);
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

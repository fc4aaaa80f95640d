#include "db/query.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "db/db_error.h"
#include "db/name_index.h"
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

// The texts are assigned in place: a call runs several statements through one query, and the
// buffers of the first serve the rest.
void DbQuery::SetStatement(std::string_view text) {
  text_.assign(text);
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
  // The dialect is known once the connection is open; a text set before is rewritten when run.
  dialectKnown_ = connection_.IsConnected();
  Scan(dialectKnown_ && connection_.backend().dialect() == Dialect::kSqlite);
  IndexNames();
  values_.assign(parameterNames_.size(), DbValue{});
  bound_.assign(parameterNames_.size(), false);
}

void DbQuery::Scan(bool rewriteForSqlite) {
  parameterNames_.clear();
  backendText_.clear();
  backendTextRewritten_ = rewriteForSqlite;
  std::string_view text = text_;
  ScanStatement(text, rewriteForSqlite, backendText_, [&](size_t begin, size_t end) {
    parameterNames_.push_back(text.substr(begin, end - begin));
  });
}

void DbQuery::IndexNames() {
  // A repeated name joins its chain right after the first marker: the order within a chain does
  // not matter, as every marker of a name takes the same value.
  sameName_.assign(parameterNames_.size(), 0);
  parameterIndex_.Build(parameterNames_, [&](size_t first, size_t marker) {
    sameName_[marker] = sameName_[first];
    sameName_[first] = static_cast<uint32_t>(marker + 1);
  });
}

template <class T, class V>
void DbQuery::Bind(std::string_view name, const V& value) {
  if (parameterIndex_.empty()) throw DbError("no statement to bind " + std::string(name) + " to");
  std::optional<size_t> first = parameterIndex_.Find(parameterNames_, name);
  if (!first) throw DbError("parameter " + std::string(name) + " not found in the statement");
  // Built in place, once for every marker of the name.
  for (size_t marker = *first;; marker = sameName_[marker] - 1) {
    values_[marker].emplace<T>(value);
    bound_[marker] = true;
    if (sameName_[marker] == 0) break;
  }
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
  for (size_t i = 0; i < bound_.size(); ++i) {
    if (!bound_[i]) throw DbError("parameter " + std::string(parameterNames_[i]) + " has no value");
  }
  return values_;
}

const std::string& DbQuery::BackendText() {
  bool sqlite = connection_.backend().dialect() == Dialect::kSqlite;
  if (!dialectKnown_ && sqlite != backendTextRewritten_) Scan(sqlite);
  return backendText_;
}

void DbQuery::RunQuery() {
  CloseResult();
  const std::vector<DbValue>& values = ParameterValues();
  NotifyStatementObserver(text_);
  result_ = connection_.backend().Query(BackendText(), values);
  row_ = 0;
}

void DbQuery::RunCommand() {
  CloseResult();
  const std::vector<DbValue>& values = ParameterValues();
  NotifyStatementObserver(text_);
  connection_.backend().Execute(BackendText(), values);
}

void DbQuery::CloseResult() {
  result_.reset();
  columnIndex_.clear();
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
  // Indexed at the first read by name: a record is read column by column.
  if (columnIndex_.empty()) columnIndex_.Build(result_->columns, [](size_t, size_t) {});
  std::optional<size_t> column = columnIndex_.Find(result_->columns, name);
  if (!column) throw DbError("column " + std::string(name) + " not found");
  return CellAt(*column);
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

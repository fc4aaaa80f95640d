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
  text_ = std::move(text);
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

namespace {

// Names are ASCII: compared without regard to ASCII case, hashed alike.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x == y) continue;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

uint32_t NameHash(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  }
  return hash;
}

}  // namespace

void DbQuery::IndexNames() {
  size_t size = 8;
  while (size < parameterNames_.size() * 2) size *= 2;
  nameSlots_.assign(size, 0);
  sameName_.assign(parameterNames_.size(), 0);
  std::vector<uint32_t> lastOfName(parameterNames_.size(), 0);
  for (uint32_t marker = 0; marker < parameterNames_.size(); ++marker) {
    for (size_t slot = NameHash(parameterNames_[marker]) & (size - 1);;
         slot = (slot + 1) & (size - 1)) {
      uint32_t first = nameSlots_[slot];
      if (first == 0) {
        nameSlots_[slot] = marker + 1;
        lastOfName[marker] = marker + 1;
        break;
      }
      if (SameName(parameterNames_[first - 1], parameterNames_[marker])) {
        sameName_[lastOfName[first - 1] - 1] = marker + 1;
        lastOfName[first - 1] = marker + 1;
        break;
      }
    }
  }
}

void DbQuery::Bind(std::string_view name, DbValue value) {
  if (nameSlots_.empty()) throw DbError("no statement to bind " + std::string(name) + " to");
  const size_t mask = nameSlots_.size() - 1;
  for (size_t slot = NameHash(name) & mask; nameSlots_[slot] != 0; slot = (slot + 1) & mask) {
    uint32_t marker = nameSlots_[slot];
    if (!SameName(parameterNames_[marker - 1], name)) continue;
    for (; sameName_[marker - 1] != 0; marker = sameName_[marker - 1]) {
      values_[marker - 1] = value;
      bound_[marker - 1] = true;
    }
    values_[marker - 1] = std::move(value);
    bound_[marker - 1] = true;
    return;
  }
  throw DbError("parameter " + std::string(name) + " not found in the statement");
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
    if (SameName(result_->columns[i], name)) return CellAt(i);
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

#include "db/trial_database.h"

#include <string_view>

#include "db/db_error.h"
#include "db/schema.h"
#include "db/sqlite_backend.h"
#include "db/statement_text.h"

namespace wardlink {

namespace {

using schema::ColumnKind;

std::string_view TypeName(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::kInteger:
      return "INTEGER";
    case ColumnKind::kHostInteger:
      // No declared type: SQLite then keeps a text as given instead of reading "3.0" or "1e2" as
      // an integer, so that the check below sees what the host sent.
      return "";
    case ColumnKind::kFloat:
      return "REAL";
    case ColumnKind::kDateTime:
      return "DATETIME";
    case ColumnKind::kText:
      break;
  }
  return "TEXT";
}

// SQL Server's conversion of varchar to int, as a condition on the text `t`: blanks around, an
// optional sign, decimal digits within 32 bits; blanks only or a sign alone read as 0. Anything
// else (a decimal point, an exponent, a tab, an overflow) fails the statement there.
std::string IsSqlServerIntegerText(const std::string& t) {
  const std::string trimmed = "trim(" + t + ", ' ')";
  const std::string digits = "CASE WHEN substr(" + trimmed + ", 1, 1) IN ('+', '-') THEN substr(" +
                             trimmed + ", 2) ELSE " + trimmed + " END";
  const std::string significant = "ltrim(" + digits + ", '0')";
  return "(" + digits + " NOT GLOB '*[^0-9]*' AND (length(" + significant + ") < 10 OR length(" +
         significant + ") = 10 AND " + significant + " <= CASE WHEN substr(" + trimmed +
         ", 1, 1) = '-' THEN '2147483648' ELSE '2147483647' END))";
}

std::string Join(const std::vector<std::string_view>& names) {
  std::string joined;
  for (auto name : names) {
    if (!joined.empty()) joined += ", ";
    joined += name;
  }
  return joined;
}

void AppendTable(const schema::TableDef& table, std::string& script) {
  bool textReachesIntegers = false;
  for (const auto& column : table.columns)
    textReachesIntegers = textReachesIntegers || column.kind == ColumnKind::kHostInteger;
  script += "CREATE TABLE ";
  script += table.name;
  script += " (\n";
  std::vector<std::string_view> integerColumns;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const auto& column = table.columns[i];
    script += "  ";
    script += column.name;
    if (!TypeName(column.kind).empty()) {
      script += ' ';
      script += TypeName(column.kind);
    }
    // SQL Server's default collation compares text without regard to case.
    if (column.kind == ColumnKind::kText) script += " COLLATE NOCASE";
    if (!column.defaultValue.empty()) {
      script += " DEFAULT ";
      script += column.defaultValue;
    }
    const std::string name(column.name);
    if (column.kind == ColumnKind::kInteger) {
      // An integer column refuses text that is not an integer, as SQL Server's int does. Where
      // the library writes host text to the table, the empty text passes here and the triggers
      // below store it as 0; elsewhere only integers reach these columns.
      script += " CHECK (typeof(" + name + ") IN ('integer', 'null')";
      if (textReachesIntegers) script += " OR " + name + " = ''";
      script += ")";
      integerColumns.push_back(column.name);
    } else if (column.kind == ColumnKind::kHostInteger) {
      // The host's text passes when SQL Server would convert it; the triggers below store it as
      // that integer. Named, so that a refusal reads as the rule and not as the expression.
      script += " CONSTRAINT " + name + "_converts_to_int CHECK (typeof(" + name +
                ") = 'null' OR typeof(" + name + ") = 'integer' AND " + name +
                " BETWEEN -2147483648 AND 2147483647 OR typeof(" + name + ") = 'text' AND " +
                IsSqlServerIntegerText(name) + ")";
      integerColumns.push_back(column.name);
    }
    if (i + 1 < table.columns.size() || !table.uniqueKey.empty()) script += ',';
    script += '\n';
  }
  if (!table.uniqueKey.empty()) script += "  UNIQUE (" + Join(table.uniqueKey) + ")\n";
  script += ");\n";

  if (!table.index.empty()) {
    script += "CREATE INDEX " + std::string(table.name) + "_Lookup ON " + std::string(table.name) +
              " (" + Join(table.index) + ");\n";
  }
  if (!textReachesIntegers) return;
  std::string condition;
  std::string assignments;
  for (auto name : integerColumns) {
    std::string column(name);
    if (!condition.empty()) {
      condition += " OR ";
      assignments += ", ";
    }
    condition += "typeof(NEW." + column + ") = 'text'";
    // The checks let through only texts that read as 0 ('' and the like) or, in a host integer
    // column, a valid integer text, which the cast reads as SQL Server does.
    assignments += column + " = CASE WHEN typeof(" + column + ") = 'text' THEN CAST(trim(" +
                   column + ", ' ') AS INTEGER) ELSE " + column + " END";
  }
  // The update trigger watches the integer columns only, so that other updates never run it.
  for (std::string event : {std::string("INSERT"), "UPDATE OF " + Join(integerColumns)}) {
    script += "CREATE TRIGGER " + std::string(table.name) + "_EmptyAsZero_" + event.substr(0, 6) +
              " AFTER " + event + " ON " + std::string(table.name) + " WHEN " + condition +
              " BEGIN UPDATE " + std::string(table.name) + " SET " + assignments +
              " WHERE rowid = NEW.rowid; END;\n";
  }
}

std::string_view SqlServerTypeName(const schema::TableDef& table, const schema::ColumnDef& column) {
  switch (column.kind) {
    case ColumnKind::kInteger:
    case ColumnKind::kHostInteger:
      return "int";
    case ColumnKind::kFloat:
      return "float";
    case ColumnKind::kDateTime:
      return "datetime2(3)";
    case ColumnKind::kText:
      break;
  }
  // 8-bit text in the catalog's collation, as the library binds it (docs/sql-server.md). Key and
  // index columns stay within the index key size.
  for (auto key : table.uniqueKey)
    if (key == column.name) return "varchar(255)";
  for (auto key : table.index)
    if (key == column.name) return "varchar(255)";
  return "varchar(8000)";
}

bool IsKeyColumn(const schema::TableDef& table, std::string_view column) {
  for (auto key : table.uniqueKey)
    if (key == column) return true;
  return false;
}

void AppendSqlServerTable(const schema::TableDef& table, std::string& script) {
  std::string name(table.name);
  script += "CREATE TABLE dbo." + name + " (\n";
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const auto& column = table.columns[i];
    script += "  " + std::string(column.name) + " " + std::string(SqlServerTypeName(table, column));
    script += IsKeyColumn(table, column.name) ? " NOT NULL" : " NULL";
    if (!column.defaultValue.empty())
      script += " CONSTRAINT DF_" + name + "_" + std::string(column.name) + " DEFAULT " +
                std::string(column.defaultValue);
    if (i + 1 < table.columns.size() || !table.uniqueKey.empty()) script += ',';
    script += '\n';
  }
  if (!table.uniqueKey.empty())
    script += "  CONSTRAINT UQ_" + name + " UNIQUE (" + Join(table.uniqueKey) + ")\n";
  script += ");\n";
  if (!table.index.empty())
    script += std::string(table.indexUniqueOnSqlServer ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
              name + "_Lookup ON dbo." + name + " (" + Join(table.index) + ");\n";
}

}  // namespace

std::string SqlServerTrialScript() {
  std::string script =
      "-- The tables that WardLink reads and writes, for a trial in an empty SQL Server catalog\n"
      "-- KLINODB: run this script in that catalog. Generated from db/schema.h; a test keeps it\n"
      "-- equal to the generator. Names resolve without regard to case under the server's\n"
      "-- default case-insensitive collation, as the library's statements need.\n"
      "SET XACT_ABORT ON;\n"
      "BEGIN TRANSACTION;\n";
  for (const auto& table : schema::AllTables()) AppendSqlServerTable(table, script);
  script +=
      "INSERT INTO dbo.EMR_FORMATDATETYPE (ID, UserDefault) VALUES (1, 1);\n"
      "INSERT INTO dbo.EMR_FORMATDATE (FormatDateTypeID, UserDefault, FormatDateTime_Show, "
      "FormatDateTime_Input) VALUES (1, 1, 'yyyy-MM-dd HH:mm', 'yyyy-MM-dd HH:mm');\n"
      "COMMIT TRANSACTION;\n";
  return script;
}

std::string SqliteTrialScript() {
  std::string script = "PRAGMA journal_mode=WAL;\nBEGIN;\n";
  for (const auto& table : schema::AllTables()) AppendTable(table, script);
  // One default date format, so that admission works on a new trial database.
  script +=
      "INSERT INTO EMR_FORMATDATETYPE (ID, UserDefault) VALUES (1, 1);\n"
      "INSERT INTO EMR_FORMATDATE (FormatDateTypeID, UserDefault, FormatDateTime_Show, "
      "FormatDateTime_Input) VALUES (1, 1, 'yyyy-MM-dd HH:mm', 'yyyy-MM-dd HH:mm');\n";
  script += "COMMIT;\n";
  return script;
}

void CreateTrialDatabase(const std::string& server) {
  constexpr std::string_view kPrefix = "sqlite:";
  if (!server.starts_with(kPrefix))
    throw DbError("a trial database is created only for sqlite:PATH");
  std::string path = server.substr(kPrefix.size());
  if (path.empty()) throw DbError("no path given");
  // A name SQLite could read as a URI or a database of no file is refused, not quietly made into
  // a file of that odd name.
  if (path.front() == ':' || EqualsIgnoringCase(std::string_view(path).substr(0, 5), "file:"))
    throw DbError(path + " is not a plain file path");
  CreateSqliteDatabase(path, SqliteTrialScript());
}

}  // namespace wardlink

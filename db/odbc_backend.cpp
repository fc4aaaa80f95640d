#include "db/odbc_backend.h"

#include <array>
#include <filesystem>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "db/db_error.h"
#include "db/odbc_platform.h"
#include "db/statement_text.h"

namespace wardlink {

namespace {

// The diagnostic records of a handle: for people each as "[SQLSTATE] message", for the library
// their codes.
struct Diagnostics {
  std::string message;
  DbErrorCodes codes;
};

Diagnostics ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle, const DriverText& text) {
  Diagnostics read;
  if (handle == SQL_NULL_HANDLE) return read;
  for (SQLSMALLINT record = 1;; ++record) {
    std::optional<OdbcRecord> diagnostic = OdbcDiagnostic(type, handle, record, text);
    if (!diagnostic) break;
    if (!read.message.empty()) read.message += "; ";
    read.message += "[" + diagnostic->sqlState + "] " + diagnostic->message;
    if (read.codes.sqlStates.empty()) read.codes.nativeError = diagnostic->nativeError;
    read.codes.sqlStates.push_back(std::move(diagnostic->sqlState));
  }
  return read;
}

// The one checker every driver call goes through.
void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, std::string_view what,
           const DriverText* text = nullptr) {
  if (SQL_SUCCEEDED(rc)) return;
  Diagnostics read = text != nullptr ? ReadDiagnostics(type, handle, *text)
                                     : ReadDiagnostics(type, handle, DriverText());
  if (read.message.empty())
    read.message = "no diagnostics (return code " + std::to_string(rc) + ")";
  throw DbError(std::string(what) + " failed: ", read.message, std::move(read.codes));
}

template <SQLSMALLINT Type>
class OdbcHandle {
 public:
  explicit OdbcHandle(SQLHANDLE parent) {
    SQLRETURN rc = SQLAllocHandle(Type, parent, &handle_);
    if (!SQL_SUCCEEDED(rc)) {
      handle_ = SQL_NULL_HANDLE;
      constexpr SQLSMALLINT kParentType = Type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
      Check(rc, kParentType, parent, "allocating an ODBC handle");
      throw DbError("allocating an ODBC handle failed");
    }
  }
  ~OdbcHandle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(Type, handle_);
  }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  OdbcHandle(OdbcHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  OdbcHandle& operator=(OdbcHandle&&) = delete;

  SQLHANDLE get() const { return handle_; }

 private:
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

using EnvironmentHandle = OdbcHandle<SQL_HANDLE_ENV>;
using ConnectionHandle = OdbcHandle<SQL_HANDLE_DBC>;
using StatementHandle = OdbcHandle<SQL_HANDLE_STMT>;

// A parameter's value where the driver reads it at execution.
struct ParameterBuffer {
  std::string text;
  SQLINTEGER integer = 0;
  SQLBIGINT bigInteger = 0;
  double real = 0;
  SQL_TIMESTAMP_STRUCT timestamp{};
  SQLLEN indicator = 0;
};

// A prepared and executed statement with the parameter buffers it may still read.
struct Execution {
  StatementHandle statement;
  std::vector<ParameterBuffer> buffers;
};

bool IsIntegerType(SQLSMALLINT type, SQLSMALLINT digits) {
  switch (type) {
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIGINT:
    case SQL_BIT:
      return true;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return digits == 0;
    default:
      return false;
  }
}

bool IsFloatType(SQLSMALLINT type) {
  return type == SQL_REAL || type == SQL_FLOAT || type == SQL_DOUBLE || type == SQL_DECIMAL ||
         type == SQL_NUMERIC;
}

bool IsDateTimeType(SQLSMALLINT type) {
  return type == SQL_TYPE_TIMESTAMP || type == SQL_TIMESTAMP || type == SQL_TYPE_DATE ||
         type == SQL_DATE;
}

// What a failed connection step means, from the SQLSTATEs of its diagnostics, for the reason a
// host reads after result 1. A refused login also reports "unable to connect": it goes first.
std::string_view ConnectFailureKind(const DbErrorCodes& codes) {
  auto has = [&](std::string_view state) {
    for (const std::string& each : codes.sqlStates)
      if (each == state) return true;
    return false;
  };
  if (has("28000")) return "login refused";
  // unixODBC reports a driver library it cannot load with a general warning (01000) alone.
  bool onlyWarnings = !codes.sqlStates.empty();
  for (const std::string& each : codes.sqlStates) onlyWarnings = onlyWarnings && each == "01000";
  if (has("IM002") || has("IM003") || has("IM004") || onlyWarnings)
    return "driver or DSN not found";
  if (has("08001") || has("08S01") || has("HYT00") || has("HYT01")) return "server unreachable";
  if (has("08004")) return "connection refused by the server";
  return "connection failed";
}

// The login time-out must be set before the connection is opened.
void SetLoginTimeout(SQLHANDLE connection) {
  Check(SQLSetConnectAttr(
            connection, SQL_ATTR_LOGIN_TIMEOUT,
            reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(kOdbcLoginTimeoutSeconds)),
            SQL_IS_UINTEGER),
        SQL_HANDLE_DBC, connection, "setting the login time-out");
}

// The connected session: it disconnects when it ends, so that a failure anywhere after the driver
// connected (reading driver information, setting up the text conversion) still disconnects before
// the connection handle is freed. Nothing runs between connecting and this owner existing.
class Session {
 public:
  Session(SQLHANDLE connection, const std::string& connectionString) : connection_(connection) {
    // The call takes the length as SQLSMALLINT: a longer string would arrive cut, or not at all.
    if (DriverText().ToDriver(connectionString).size() / kDriverCharSize >
        static_cast<size_t>(std::numeric_limits<SQLSMALLINT>::max()))
      throw DbError("connection string refused: too long", "");
    SetLoginTimeout(connection);
    SQLRETURN rc = OdbcDriverConnect(connection, DriverText(), connectionString);
    if (!SQL_SUCCEEDED(rc)) {
      Diagnostics read = ReadDiagnostics(SQL_HANDLE_DBC, connection, DriverText());
      std::string kind(ConnectFailureKind(read.codes));
      throw DbError(kind + ": ", read.message, std::move(read.codes));
    }
  }
  ~Session() { SQLDisconnect(connection_); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

 private:
  SQLHANDLE connection_;
};

// SQL Server runs transactions at READ COMMITTED unless told otherwise, under which two calls can
// both pass their checks on one state, or number two events of one stay alike. Serializable
// gives the one state that SQLite's write lock gives; the statement texts stay as they are.
void AskForSerializableTransactions(SQLHANDLE connection) {
  Check(SQLSetConnectAttr(connection, SQL_ATTR_TXN_ISOLATION,
                          reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(SQL_TXN_SERIALIZABLE)),
                          SQL_IS_UINTEGER),
        SQL_HANDLE_DBC, connection, "asking for serializable transactions");
}

class OdbcBackend final : public DbBackend {
 public:
  explicit OdbcBackend(const std::string& connectionString)
      : environment_(SQL_NULL_HANDLE),
        connection_(Prepared(environment_.get())),
        session_(connection_.get(), connectionString) {
    std::string dbms;
    Check(OdbcInfoText(connection_.get(), SQL_DBMS_NAME, DriverText(), dbms), SQL_HANDLE_DBC,
          connection_.get(), "reading the DBMS name");
    bool sqlite = false;
    for (size_t i = 0; i + 6 <= dbms.size(); ++i)
      sqlite = sqlite || EqualsIgnoringCase(std::string_view(dbms).substr(i, 6), "sqlite");
    dialect_ = sqlite ? Dialect::kSqlite : Dialect::kSqlServer;
    text_.emplace(sqlite);
    if (dialect_ == Dialect::kSqlServer) AskForSerializableTransactions(connection_.get());
  }

  ~OdbcBackend() override {
    // A transaction still open at the end is not wanted: the clean-up undoes it, and a driver
    // refuses to disconnect with one open.
    if (inTransaction_) {
      try {
        EndTransaction(SQL_ROLLBACK, "rolling back");
      } catch (...) {
        // Disconnecting ends the transaction all the same.
      }
    }
    last_.reset();  // before the session ends: disconnecting frees the connection's statements
  }

  OdbcBackend(const OdbcBackend&) = delete;
  OdbcBackend& operator=(const OdbcBackend&) = delete;

  Dialect dialect() const override { return dialect_; }

  ResultSet Query(const std::string& text, const std::vector<DbValue>& parameters) override {
    last_.reset();
    Execution execution = Prepare(text);
    BindAndExecute(execution, parameters);
    SQLHANDLE statement = execution.statement.get();
    ResultSet result;
    SQLSMALLINT columns = 0;
    Check(SQLNumResultCols(statement, &columns), SQL_HANDLE_STMT, statement, "reading the result",
          &*text_);
    // Row counts of a batch may come before the rows.
    while (columns == 0) {
      SQLRETURN rc = SQLMoreResults(statement);
      if (rc == SQL_NO_DATA) return result;
      Check(rc, SQL_HANDLE_STMT, statement, "reading the result", &*text_);
      Check(SQLNumResultCols(statement, &columns), SQL_HANDLE_STMT, statement, "reading the result",
            &*text_);
    }
    std::vector<std::pair<SQLSMALLINT, SQLSMALLINT>> types;  // SQL type, decimal digits
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns); ++i) {
      std::string name;
      SQLSMALLINT type = 0;
      SQLSMALLINT digits = 0;
      Check(OdbcDescribeColumn(statement, i, *text_, name, type, digits), SQL_HANDLE_STMT,
            statement, "describing a column", &*text_);
      result.columns.push_back(std::move(name));
      types.emplace_back(type, digits);
    }
    for (;;) {
      SQLRETURN rc = SQLFetch(statement);
      if (rc == SQL_NO_DATA) break;
      Check(rc, SQL_HANDLE_STMT, statement, "fetching a row", &*text_);
      auto& row = result.rows.emplace_back();
      row.reserve(types.size());
      for (size_t i = 0; i < types.size(); ++i)
        row.push_back(
            ReadCell(statement, static_cast<SQLUSMALLINT>(i + 1), types[i].first, types[i].second));
    }
    Drain(statement);
    return result;
  }

  // The same text as the last command runs its prepared statement again (a statement executed
  // twice with new values); any other text replaces it.
  void Execute(const std::string& text, const std::vector<DbValue>& parameters) override {
    if (last_ && last_->text == text) {
      SQLFreeStmt(last_->execution.statement.get(), SQL_RESET_PARAMS);
    } else {
      last_.reset();
      last_.emplace(LastCommand{text, Prepare(text)});
    }
    SQLHANDLE statement = last_->execution.statement.get();
    try {
      BindAndExecute(last_->execution, parameters);
      Drain(statement);
    } catch (...) {
      last_.reset();
      throw;
    }
    // The cursor closed, so that the kept statement holds nothing open in the database.
    SQLFreeStmt(statement, SQL_CLOSE);
  }

  void BeginTransaction() override {
    if (inTransaction_) throw DbError("a transaction is already open");
    if (dialect_ == Dialect::kSqlite) {
      // The driver's manual commit begins a deferred transaction (and Debian's driver has no
      // setting for another kind), in which two writers can both pass their checks on one state.
      // Taking the write lock at the start makes the second writer wait, as the embedded backend
      // does.
      RunTransactionStep("BEGIN IMMEDIATE", "starting a transaction");
    } else {
      SetAutoCommit(false);
    }
    inTransaction_ = true;
  }

  void CommitTransaction() override { EndTransaction(SQL_COMMIT, "committing"); }
  void RollbackTransaction() override { EndTransaction(SQL_ROLLBACK, "rolling back"); }

 private:
  static SQLHANDLE Prepared(SQLHANDLE environment) {
    Check(SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                        reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(SQL_OV_ODBC3)), 0),
          SQL_HANDLE_ENV, environment, "setting the ODBC version");
    return environment;
  }

  void EndTransaction(SQLSMALLINT completion, std::string_view what) {
    if (!inTransaction_) throw DbError("no transaction is open");
    if (dialect_ == Dialect::kSqlite) {
      RunTransactionStep(completion == SQL_COMMIT ? "COMMIT" : "ROLLBACK", what);
      inTransaction_ = false;
      return;
    }
    Check(SQLEndTran(SQL_HANDLE_DBC, connection_.get(), completion), SQL_HANDLE_DBC,
          connection_.get(), what, &*text_);
    inTransaction_ = false;
    SetAutoCommit(true);
  }

  // A transaction step SQLite takes as a statement: run unprepared, apart from the call's own
  // statements, and with the kept command closed first so that nothing of it stays open.
  void RunTransactionStep(std::string_view text, std::string_view what) {
    last_.reset();
    StatementHandle statement(connection_.get());
    Check(OdbcExecuteDirect(statement.get(), *text_, text), SQL_HANDLE_STMT, statement.get(), what,
          &*text_);
  }

  void SetAutoCommit(bool on) {
    auto value = static_cast<intptr_t>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF);
    Check(SQLSetConnectAttr(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(value), SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, connection_.get(), on ? "ending manual commit" : "starting a transaction",
          &*text_);
  }

  Execution Prepare(const std::string& text) {
    Execution execution{StatementHandle(connection_.get()), {}};
    SQLHANDLE statement = execution.statement.get();
    // The driver's form of the text takes up to four bytes for each of the host's.
    if (text.size() > static_cast<size_t>(std::numeric_limits<SQLINTEGER>::max()) / 4)
      throw DbError("statement too long");
    // Errors of data-changing statements may show only at execution, so both steps are checked.
    Check(OdbcPrepare(statement, *text_, text), SQL_HANDLE_STMT, statement,
          "preparing the statement", &*text_);
    return execution;
  }

  void BindAndExecute(Execution& execution, const std::vector<DbValue>& parameters) {
    SQLHANDLE statement = execution.statement.get();
    // Sized before binding: the driver keeps pointers into the buffers until execution.
    execution.buffers.assign(parameters.size(), ParameterBuffer{});
    for (size_t i = 0; i < parameters.size(); ++i)
      Bind(statement, static_cast<SQLUSMALLINT>(i + 1), parameters[i], execution.buffers[i]);
    SQLRETURN rc = SQLExecute(statement);
    // An update or delete that hits no row reports SQL_NO_DATA; that is no failure.
    if (rc != SQL_NO_DATA)
      Check(rc, SQL_HANDLE_STMT, statement, "executing the statement", &*text_);
  }

  // Reads past every further result of the statement so that a failure in one of them raises.
  void Drain(SQLHANDLE statement) {
    for (;;) {
      SQLRETURN rc = SQLMoreResults(statement);
      if (rc == SQL_NO_DATA) return;
      Check(rc, SQL_HANDLE_STMT, statement, "reading further results", &*text_);
    }
  }

  void Bind(SQLHANDLE statement, SQLUSMALLINT index, const DbValue& value,
            ParameterBuffer& buffer) {
    SQLSMALLINT cType = kDriverTextType;
    SQLSMALLINT sqlType = SQL_VARCHAR;
    SQLULEN columnSize = 1;
    SQLSMALLINT digits = 0;
    SQLPOINTER data = nullptr;
    SQLLEN bufferLength = 0;
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::monostate>) {
            buffer.indicator = SQL_NULL_DATA;
          } else if constexpr (std::is_same_v<T, std::string>) {
            buffer.text = text_->ToDriver(v);
            // Declared varchar, as the columns are (docs/sql-server.md): its length counts bytes
            // in the code page, which the host's text has (UTF-16 units never outnumber them);
            // longer than SQL Server's 8000 goes as long data.
            columnSize = std::max<SQLULEN>(
                std::max<SQLULEN>(v.size(), buffer.text.size() / kDriverCharSize), 1);
            sqlType = columnSize > 8000 ? SQL_LONGVARCHAR : SQL_VARCHAR;
            data = buffer.text.data();
            bufferLength = static_cast<SQLLEN>(buffer.text.size());
            buffer.indicator = bufferLength;
          } else if constexpr (std::is_same_v<T, int64_t>) {
            if (v >= std::numeric_limits<SQLINTEGER>::min() &&
                v <= std::numeric_limits<SQLINTEGER>::max()) {
              buffer.integer = static_cast<SQLINTEGER>(v);
              cType = SQL_C_SLONG;
              sqlType = SQL_INTEGER;
              columnSize = 10;
              data = &buffer.integer;
            } else {
              buffer.bigInteger = v;
              cType = SQL_C_SBIGINT;
              sqlType = SQL_BIGINT;
              columnSize = 19;
              data = &buffer.bigInteger;
            }
          } else if constexpr (std::is_same_v<T, double>) {
            buffer.real = v;
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            columnSize = 15;
            data = &buffer.real;
          } else {
            buffer.timestamp.year = static_cast<SQLSMALLINT>(v.year);
            buffer.timestamp.month = static_cast<SQLUSMALLINT>(v.month);
            buffer.timestamp.day = static_cast<SQLUSMALLINT>(v.day);
            buffer.timestamp.hour = static_cast<SQLUSMALLINT>(v.hour);
            buffer.timestamp.minute = static_cast<SQLUSMALLINT>(v.minute);
            buffer.timestamp.second = static_cast<SQLUSMALLINT>(v.second);
            buffer.timestamp.fraction = static_cast<SQLUINTEGER>(v.millisecond) * 1000000U;
            cType = SQL_C_TYPE_TIMESTAMP;
            sqlType = SQL_TYPE_TIMESTAMP;
            columnSize = 23;  // yyyy-mm-dd hh:mm:ss.fff
            digits = 3;
            data = &buffer.timestamp;
          }
        },
        value);
    Check(SQLBindParameter(statement, index, SQL_PARAM_INPUT, cType, sqlType, columnSize, digits,
                           data, bufferLength, &buffer.indicator),
          SQL_HANDLE_STMT, statement, "binding a parameter", &*text_);
  }

  DbValue ReadCell(SQLHANDLE statement, SQLUSMALLINT column, SQLSMALLINT type, SQLSMALLINT digits) {
    SQLLEN indicator = 0;
    if (IsIntegerType(type, digits)) {
      SQLBIGINT value = 0;
      Check(SQLGetData(statement, column, SQL_C_SBIGINT, &value, 0, &indicator), SQL_HANDLE_STMT,
            statement, "reading a column", &*text_);
      if (indicator == SQL_NULL_DATA) return std::monostate{};
      return static_cast<int64_t>(value);
    }
    if (IsFloatType(type)) {
      double value = 0;
      Check(SQLGetData(statement, column, SQL_C_DOUBLE, &value, 0, &indicator), SQL_HANDLE_STMT,
            statement, "reading a column", &*text_);
      if (indicator == SQL_NULL_DATA) return std::monostate{};
      return value;
    }
    if (IsDateTimeType(type)) {
      SQL_TIMESTAMP_STRUCT value{};
      Check(SQLGetData(statement, column, SQL_C_TYPE_TIMESTAMP, &value, 0, &indicator),
            SQL_HANDLE_STMT, statement, "reading a column", &*text_);
      if (indicator == SQL_NULL_DATA) return std::monostate{};
      return DateTime{value.year,
                      value.month,
                      value.day,
                      value.hour,
                      value.minute,
                      value.second,
                      static_cast<int>(value.fraction / 1000000U)};
    }
    // Everything else as text, read in pieces so that no length limit applies.
    std::string collected;
    std::array<char, 4096> piece{};
    for (;;) {
      SQLRETURN rc = SQLGetData(statement, column, kDriverTextType, piece.data(),
                                static_cast<SQLLEN>(piece.size()), &indicator);
      if (rc == SQL_NO_DATA) break;
      Check(rc, SQL_HANDLE_STMT, statement, "reading a column", &*text_);
      if (indicator == SQL_NULL_DATA) return std::monostate{};
      bool truncated = indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(piece.size());
      // A truncated piece ends in a terminating character.
      size_t got = truncated ? piece.size() - kDriverCharSize : static_cast<size_t>(indicator);
      collected.append(piece.data(), got);
      if (!truncated) break;
    }
    return text_->FromDriver(collected);
  }

  // Released in reverse order: statements, then the session (disconnect), then the handles.
  EnvironmentHandle environment_;
  ConnectionHandle connection_;
  Session session_;
  bool inTransaction_ = false;
  Dialect dialect_ = Dialect::kSqlServer;
  std::optional<DriverText> text_;
  struct LastCommand {
    std::string text;
    Execution execution;
  };
  std::optional<LastCommand> last_;
};

}  // namespace

std::unique_ptr<DbBackend> OpenOdbcBackend(const std::string& connectionString) {
  return std::make_unique<OdbcBackend>(connectionString);
}

OdbcFamily DataSourceFamily(std::string_view connectionString) {
  std::string library;
  if (auto driver = OdbcAttributeValue(connectionString, "Driver")) {
    library = DriverLibrary(*driver);
  } else if (auto dsn = OdbcAttributeValue(connectionString, "DSN")) {
    library = DataSourceLibrary(*dsn);
  }
  // Without either the driver manager reads a file DSN or the DSN "DEFAULT": no family is known.
  return FamilyOfLibrary(library);
}

void RaiseIfSqliteDatabaseMissing(std::string_view connectionString) {
  if (DataSourceFamily(connectionString) != OdbcFamily::kSqlite) return;
  // The driver reads the first Database it finds.
  for (const auto& [key, value] : ParseOdbcConnectionString(connectionString)) {
    if (!EqualsIgnoringCase(key, "Database")) continue;
    std::error_code error;
    if (!value.empty() && !std::filesystem::exists(std::filesystem::path(value), error) && !error)
      throw DbError("database file not found: " + value, "");
    return;
  }
}

std::string OdbcDataSourceConnectionString(std::string_view connectionString,
                                           std::string_view login, std::string_view password) {
  OdbcFamily family = DataSourceFamily(connectionString);
  OdbcAttributes added = {{"UID", std::string(login)}, {"PWD", std::string(password)}};
  if (family == OdbcFamily::kFreeTds && !OdbcAttributeValue(connectionString, "ClientCharset"))
    added.emplace_back("ClientCharset", EnvironmentCodeset());
  std::string text = AppendOdbcAttributes(connectionString, added, QuotingFor(family));
  // The SQLite driver creates a missing database file unless told not to; it reads the first
  // NoCreat it finds, so the library's goes in front of anything the caller wrote.
  if (family == OdbcFamily::kSqlite) text.insert(0, std::string(kSqliteNoCreate) + ";");
  return text;
}

}  // namespace wardlink

// A stand-in ODBC driver for the tests. It records every connection string it receives, exactly
// as received, in the file named by WARDLINK_RECORDER_LOG ("<length>:<bytes>\n" per connection),
// reports itself as a SQL Server, accepts every statement, and answers every Select with one
// column ID and as many rows as the connection string's "Rows=" attribute asks (none by default).
// It refuses the login "refused" with SQLSTATE 28000, echoing the connection string in its
// message as a careless driver might. Every connection attribute it is given goes, as
// "<attribute>=<value>\n", to the file named by WARDLINK_RECORDER_ATTRIBUTES; the C and SQL type
// and size of every parameter bound go to the file named by WARDLINK_RECORDER_BIND_LOG.
#include <sql.h>
#include <sqlext.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Environment {};
struct Connection {
  int rows = 0;
  std::string refusal;  // the diagnostic message of a refused login
};
struct Statement {
  Connection* connection = nullptr;
  bool select = false;
  int rowsLeft = 0;
};

void Record(const std::string& text) {
  const char* path = std::getenv("WARDLINK_RECORDER_LOG");
  if (path == nullptr) return;
  FILE* file = std::fopen(path, "ab");
  if (file == nullptr) return;
  std::fprintf(file, "%zu:", text.size());
  std::fwrite(text.data(), 1, text.size(), file);
  std::fputc('\n', file);
  std::fclose(file);
}

bool StartsWithSelect(const std::string& text) {
  size_t pos = text.find_first_not_of(" \t\r\n");
  if (pos == std::string::npos || text.size() - pos < 6) return false;
  std::string word = text.substr(pos, 6);
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return word == "select";
}

SQLRETURN CopyOut(const char* value, SQLPOINTER out, SQLSMALLINT size, SQLSMALLINT* length) {
  auto full = static_cast<SQLSMALLINT>(std::strlen(value));
  if (length != nullptr) *length = full;
  if (out != nullptr && size > 0) {
    std::strncpy(static_cast<char*>(out), value, static_cast<size_t>(size) - 1);
    static_cast<char*>(out)[size - 1] = '\0';
  }
  return SQL_SUCCESS;
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  switch (type) {
    case SQL_HANDLE_ENV:
      *output = new Environment;
      return SQL_SUCCESS;
    case SQL_HANDLE_DBC:
      *output = new Connection;
      return SQL_SUCCESS;
    case SQL_HANDLE_STMT: {
      auto* statement = new Statement;
      statement->connection = static_cast<Connection*>(input);
      *output = statement;
      return SQL_SUCCESS;
    }
    default:
      return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  switch (type) {
    case SQL_HANDLE_ENV:
      delete static_cast<Environment*>(handle);
      return SQL_SUCCESS;
    case SQL_HANDLE_DBC:
      delete static_cast<Connection*>(handle);
      return SQL_SUCCESS;
    case SQL_HANDLE_STMT:
      delete static_cast<Statement*>(handle);
      return SQL_SUCCESS;
    default:
      return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  const char* path = std::getenv("WARDLINK_RECORDER_ATTRIBUTES");
  FILE* file = path != nullptr ? std::fopen(path, "ab") : nullptr;
  if (file == nullptr) return SQL_SUCCESS;
  // The attributes the library sets all carry an integer in the pointer.
  std::fprintf(file, "%d=%lld\n", static_cast<int>(attribute),
               static_cast<long long>(reinterpret_cast<intptr_t>(value)));
  std::fclose(file);
  return SQL_SUCCESS;
}
SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC, SQLINTEGER, SQLPOINTER value, SQLINTEGER,
                                    SQLINTEGER*) {
  if (value != nullptr) *static_cast<SQLUINTEGER*>(value) = 0;
  return SQL_SUCCESS;
}
SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC dbc, SQLHWND, SQLCHAR* in, SQLSMALLINT inLength,
                                   SQLCHAR* out, SQLSMALLINT outSize, SQLSMALLINT* outLength,
                                   SQLUSMALLINT) {
  std::string text = inLength == SQL_NTS ? std::string(reinterpret_cast<const char*>(in))
                                         : std::string(reinterpret_cast<const char*>(in),
                                                       static_cast<size_t>(inLength));
  Record(text);
  auto* connection = static_cast<Connection*>(dbc);
  size_t rows = text.find("Rows=");
  connection->rows = rows == std::string::npos ? 0 : std::atoi(text.c_str() + rows + 5);
  if (text.find("UID=refused;") != std::string::npos) {
    connection->refusal = "Login failed for user 'refused' (" + text + ")";
    return SQL_ERROR;
  }
  return CopyOut(text.c_str(), out, outSize, outLength);
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLGetInfo(SQLHDBC, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT size,
                             SQLSMALLINT* length) {
  switch (type) {
    case SQL_DBMS_NAME:
      return CopyOut("Microsoft SQL Server", value, size, length);
    case SQL_DRIVER_ODBC_VER:
      return CopyOut("03.50", value, size, length);
    default:
      if (value != nullptr && size >= static_cast<SQLSMALLINT>(sizeof(SQLUINTEGER)))
        *static_cast<SQLUINTEGER*>(value) = 0;
      if (length != nullptr) *length = 0;
      return SQL_SUCCESS;
  }
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                SQLSMALLINT size, SQLSMALLINT* length) {
  if (type != SQL_HANDLE_DBC || record != 1) return SQL_NO_DATA;
  const std::string& refusal = static_cast<Connection*>(handle)->refusal;
  if (refusal.empty()) return SQL_NO_DATA;
  if (state != nullptr) std::memcpy(state, "28000", 6);
  if (native != nullptr) *native = 18456;
  return CopyOut(refusal.c_str(), message, size, length);
}
SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLSMALLINT, SQLPOINTER,
                                  SQLSMALLINT, SQLSMALLINT*) {
  return SQL_NO_DATA;
}

SQLRETURN SQL_API SQLPrepare(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  auto* statement = static_cast<Statement*>(handle);
  std::string sql = length == SQL_NTS ? std::string(reinterpret_cast<const char*>(text))
                                      : std::string(reinterpret_cast<const char*>(text),
                                                    static_cast<size_t>(length));
  statement->select = StartsWithSelect(sql);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLSMALLINT cType,
                                   SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT, SQLPOINTER,
                                   SQLLEN, SQLLEN*) {
  // The declared types, one line each, in the file named by WARDLINK_RECORDER_BIND_LOG.
  const char* path = std::getenv("WARDLINK_RECORDER_BIND_LOG");
  if (path == nullptr) return SQL_SUCCESS;
  FILE* file = std::fopen(path, "ab");
  if (file == nullptr) return SQL_SUCCESS;
  std::fprintf(file, "%d %d %lu\n", cType, sqlType, static_cast<unsigned long>(columnSize));
  std::fclose(file);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT handle) {
  auto* statement = static_cast<Statement*>(handle);
  statement->rowsLeft = statement->select ? statement->connection->rows : 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT* columns) {
  *columns = static_cast<Statement*>(handle)->select ? 1 : 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT, SQLUSMALLINT, SQLCHAR* name, SQLSMALLINT size,
                                 SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* columnSize,
                                 SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  CopyOut("ID", name, size, length);
  if (type != nullptr) *type = SQL_INTEGER;
  if (columnSize != nullptr) *columnSize = 10;
  if (digits != nullptr) *digits = 0;
  if (nullable != nullptr) *nullable = SQL_NULLABLE;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT handle) {
  auto* statement = static_cast<Statement*>(handle);
  if (statement->rowsLeft <= 0) return SQL_NO_DATA;
  --statement->rowsLeft;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT, SQLUSMALLINT, SQLSMALLINT type, SQLPOINTER value,
                             SQLLEN size, SQLLEN* indicator) {
  if (type == SQL_C_SBIGINT) {
    *static_cast<SQLBIGINT*>(value) = 1;
    if (indicator != nullptr) *indicator = sizeof(SQLBIGINT);
    return SQL_SUCCESS;
  }
  if (size < 2) return SQL_ERROR;
  std::strcpy(static_cast<char*>(value), "1");
  if (indicator != nullptr) *indicator = 1;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT) { return SQL_NO_DATA; }
SQLRETURN SQL_API SQLRowCount(SQLHSTMT, SQLLEN* count) {
  *count = 1;
  return SQL_SUCCESS;
}
SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT, SQLUSMALLINT) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLEndTran(SQLSMALLINT, SQLHANDLE, SQLSMALLINT) { return SQL_SUCCESS; }

}  // extern "C"

#include "db/sqlite_backend.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(_WIN32)
#include <io.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <type_traits>

#include "db/code_page.h"
#include "db/db_error.h"
#include "db/statement_text.h"

namespace wardlink {

namespace {

// The file name SQLite is given for a host path: the path and nothing else. SQLite reads a name
// beginning with "file:" as a URI when its build allows URIs, and ":memory:" (or the empty name)
// as a database of no file; "./" in front makes either an ordinary relative path.
std::string PlainFileName(const std::string& hostPath) {
  std::string name = SqliteFileName(hostPath);
  if (name.empty() || name.front() == ':' || EqualsIgnoringCase(name.substr(0, 5), "file:"))
    name.insert(0, "./");
  return name;
}

struct CloseDatabase {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, CloseDatabase>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

class SqliteBackend final : public DbBackend {
 public:
  explicit SqliteBackend(DatabaseHandle db) : db_(std::move(db)) {}

  Dialect dialect() const override { return Dialect::kSqlite; }

  ResultSet Query(const std::string& text, const std::vector<DbValue>& parameters) override {
    Statement statement(Prepare(text, parameters));
    ResultSet result;
    int columns = sqlite3_column_count(statement.get());
    for (int i = 0; i < columns; ++i)
      result.columns.push_back(converter_.FromUtf8(sqlite3_column_name(statement.get(), i)));
    while (Step(statement.get())) {
      auto& row = result.rows.emplace_back();
      row.reserve(static_cast<size_t>(columns));
      for (int i = 0; i < columns; ++i) row.push_back(ReadCell(statement.get(), i));
    }
    return result;
  }

  void Execute(const std::string& text, const std::vector<DbValue>& parameters) override {
    Statement statement(Prepare(text, parameters));
    while (Step(statement.get())) {
    }
  }

  // IMMEDIATE takes the write lock at once, so that two writers never both read the same
  // maximum event number and then collide; the second waits (busy timeout) instead.
  void BeginTransaction() override { Run("BEGIN IMMEDIATE"); }
  void CommitTransaction() override { Run("COMMIT"); }
  void RollbackTransaction() override { Run("ROLLBACK"); }

  void Run(const char* text) {
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), text, nullptr, nullptr, &message) != SQLITE_OK) {
      std::string error = message != nullptr ? message : sqlite3_errmsg(db_.get());
      sqlite3_free(message);
      throw DbError("", converter_.FromUtf8(error), Codes());
    }
  }

 private:
  [[noreturn]] void Fail() const {
    throw DbError("", converter_.FromUtf8(sqlite3_errmsg(db_.get())), Codes());
  }
  DbErrorCodes Codes() const {
    return {{}, sqlite3_system_errno(db_.get()), sqlite3_extended_errcode(db_.get())};
  }

  // The statement in use, reset (and its values dropped) when the run ends, so that it holds no
  // lock and points at no freed text.
  class Statement {
   public:
    explicit Statement(sqlite3_stmt* statement) : statement_(statement) {}
    ~Statement() {
      sqlite3_reset(statement_);
      sqlite3_clear_bindings(statement_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return statement_; }

   private:
    sqlite3_stmt* statement_;
  };

  // The same text as the last statement runs the prepared statement again (a statement executed
  // twice with new values); any other text replaces it.
  sqlite3_stmt* Prepare(const std::string& text, const std::vector<DbValue>& parameters) {
    const std::string* utf8 = &text;
    std::string converted;
    if (!converter_.PassesUnchanged(text)) {
      converted = converter_.ToUtf8(text);
      utf8 = &converted;
    }
    if (!prepared_ || *utf8 != preparedText_) {
      prepared_.reset();
      preparedText_.clear();
      sqlite3_stmt* raw = nullptr;
      const char* tail = nullptr;
      if (sqlite3_prepare_v2(db_.get(), utf8->c_str(), static_cast<int>(utf8->size()), &raw,
                             &tail) != SQLITE_OK)
        Fail();
      StatementHandle statement(raw);
      if (!statement) throw DbError("empty statement");
      // One statement per call: anything after it would otherwise be silently ignored.
      for (; tail != nullptr && *tail != '\0'; ++tail) {
        if (*tail != ' ' && *tail != '\t' && *tail != '\r' && *tail != '\n' && *tail != ';')
          throw DbError("more than one statement in one text");
      }
      prepared_ = std::move(statement);
      preparedText_ = *utf8;
    }
    sqlite3_stmt* raw = prepared_.get();
    if (sqlite3_bind_parameter_count(raw) != static_cast<int>(parameters.size()))
      throw DbError("statement has " + std::to_string(sqlite3_bind_parameter_count(raw)) +
                    " parameter markers but " + std::to_string(parameters.size()) + " values");
    try {
      for (size_t i = 0; i < parameters.size(); ++i)
        Bind(raw, static_cast<int>(i) + 1, parameters[i]);
    } catch (...) {
      sqlite3_clear_bindings(raw);
      throw;
    }
    return raw;
  }

  void Bind(sqlite3_stmt* statement, int index, const DbValue& value) {
    int rc = std::visit(
        [&](const auto& v) -> int {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::monostate>) {
            return sqlite3_bind_null(statement, index);
          } else if constexpr (std::is_same_v<T, std::string>) {
            // The values outlive the run: valid UTF-8 host text is bound where it is.
            if (converter_.PassesUnchanged(v))
              return sqlite3_bind_text(statement, index, v.data(), static_cast<int>(v.size()),
                                       SQLITE_STATIC);
            std::string utf8 = converter_.ToUtf8(v);
            return sqlite3_bind_text(statement, index, utf8.data(), static_cast<int>(utf8.size()),
                                     SQLITE_TRANSIENT);
          } else if constexpr (std::is_same_v<T, int64_t>) {
            return sqlite3_bind_int64(statement, index, v);
          } else if constexpr (std::is_same_v<T, double>) {
            return sqlite3_bind_double(statement, index, v);
          } else {
            std::string stored = ToStoredText(v);
            return sqlite3_bind_text(statement, index, stored.data(),
                                     static_cast<int>(stored.size()), SQLITE_TRANSIENT);
          }
        },
        value);
    if (rc != SQLITE_OK) Fail();
  }

  bool Step(sqlite3_stmt* statement) {
    int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Fail();
  }

  DbValue ReadCell(sqlite3_stmt* statement, int column) const {
    switch (sqlite3_column_type(statement, column)) {
      case SQLITE_NULL:
        return std::monostate{};
      case SQLITE_INTEGER:
        return static_cast<int64_t>(sqlite3_column_int64(statement, column));
      case SQLITE_FLOAT:
        return sqlite3_column_double(statement, column);
      default: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
        int size = sqlite3_column_bytes(statement, column);
        return converter_.FromUtf8(
            std::string_view(bytes != nullptr ? bytes : "", static_cast<size_t>(size)));
      }
    }
  }

  DatabaseHandle db_;
  TextConverter converter_;
  StatementHandle prepared_;  // declared after the database: finalized before it closes
  std::string preparedText_;
};

// How a host reads a failure to use a database file that opened: the kinds of the README's table.
std::string_view OpenFailureKind(int code) {
  switch (code & 0xff) {
    case SQLITE_NOTADB:
      return "not a database: ";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "database busy: ";
    case SQLITE_IOERR:
    case SQLITE_FULL:
      return "disk error: ";
    case SQLITE_CORRUPT:
      return "database damaged: ";
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH:
      return "cannot open the database file ";
    default:
      return "connection failed: ";
  }
}

DatabaseHandle OpenHandle(const std::string& path, int flags) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(PlainFileName(path).c_str(), &raw, flags, nullptr);
  DatabaseHandle db(raw);
  if (rc != SQLITE_OK) {
    // The reason a host reads after result 1: a missing file is the common mistake.
    if (db && sqlite3_system_errno(db.get()) == ENOENT)
      throw DbError("database file not found: " + path, "");
    throw DbError("cannot open the database file " + path + ": ",
                  db ? sqlite3_errmsg(db.get()) : "out of memory");
  }
  sqlite3_extended_result_codes(db.get(), 1);
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  return db;
}

}  // namespace

void TruncateLogPast(sqlite3* db, int pages) {
  sqlite3_wal_hook(
      db,
      [](void* limit, sqlite3* handle, const char* name, int logPages) {
        if (logPages < static_cast<int>(reinterpret_cast<intptr_t>(limit))) return SQLITE_OK;
        // The commit has happened: never wait for other processes here. Without a busy handler a
        // checkpoint that meets a reader or writer copies what it can and leaves the log to the
        // next commit.
        sqlite3_busy_timeout(handle, 0);
        sqlite3_wal_checkpoint_v2(handle, name, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        sqlite3_busy_timeout(handle, kBusyTimeoutMs);
        return SQLITE_OK;
      },
      reinterpret_cast<void*>(static_cast<intptr_t>(pages)));
}

std::unique_ptr<DbBackend> OpenSqliteBackend(const std::string& path) {
  // Only a plain file: SQLite would take a device such as /dev/null for an empty database, and
  // opening a FIFO would wait for a writer.
  std::error_code error;
  auto status = std::filesystem::status(path, error);
  if (path.empty() || !std::filesystem::exists(status))
    throw DbError("database file not found: " + path, "");
  if (!std::filesystem::is_regular_file(status)) throw DbError("not a database: " + path, "");
  DatabaseHandle db = OpenHandle(path, SQLITE_OPEN_READWRITE);
  // Every call's connection is the last one to close; a checkpoint there would cost every write
  // call more syncs. The writer that takes the log past the threshold moves it into the database
  // instead, and a committed call is already safe in the synced log.
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  TruncateLogPast(db.get(), kWalAutoCheckpointPages);
  auto backend = std::make_unique<SqliteBackend>(std::move(db));
  // Committed data survives a crash of the process or the machine. Reading the schema here also
  // makes a file that is not a database fail the connection step rather than the first statement.
  int64_t pages = 0;
  try {
    backend->Run("PRAGMA synchronous=FULL");
    backend->Run("SELECT count(*) FROM sqlite_master");
    pages = std::get<int64_t>(backend->Query("PRAGMA page_count", {}).rows.at(0).at(0));
  } catch (const DbError& error) {
    throw DbError(std::string(OpenFailureKind(error.codes().resultCode)) + path + ": ",
                  error.what(), error.codes());
  }
  // Decided on what the connection opened, not on an earlier look at the path: SQLite reads an
  // empty file as an empty database.
  if (pages == 0) throw DbError("not a database: " + path, "");
  return backend;
}

namespace {

// The database `script` makes, as the bytes of its file: built in memory, so that no file is
// opened by name. A database built in memory keeps its journal in memory too; the header's two
// format bytes say "write-ahead log" as SQLite's own switch to WAL mode writes them.
std::string DatabaseImage(const std::string& script) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  DatabaseHandle db(raw);
  if (rc != SQLITE_OK) throw DbError("out of memory");
  char* message = nullptr;
  if (sqlite3_exec(db.get(), script.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string error = message != nullptr ? message : sqlite3_errmsg(db.get());
    sqlite3_free(message);
    throw DbError(error);
  }
  sqlite3_int64 size = 0;
  std::unique_ptr<unsigned char, decltype(&sqlite3_free)> bytes(
      sqlite3_serialize(db.get(), "main", &size, 0), &sqlite3_free);
  if (!bytes) throw DbError("out of memory");
  std::string image(reinterpret_cast<const char*>(bytes.get()), static_cast<size_t>(size));
  constexpr size_t kWriteVersion = 18;
  constexpr size_t kReadVersion = 19;
  constexpr char kWal = 2;
  image.at(kWriteVersion) = kWal;
  image.at(kReadVersion) = kWal;
  return image;
}

#if defined(_WIN32)
constexpr int kBinary = O_BINARY;
int SyncFile(int file) { return _commit(file); }
#else
constexpr int kBinary = 0;
int SyncFile(int file) { return ::fsync(file); }
#endif

// Whether `path` still names the file open as `file`: a name swapped for a link or another file
// while the file was written is not the file written.
bool NamesFile(const std::string& path, int file) {
#if defined(_WIN32)
  (void)path, (void)file;
  return true;  // no inode to compare; creating a link needs a privilege there
#else
  struct stat named {};
  struct stat opened {};
  return ::lstat(path.c_str(), &named) == 0 && ::fstat(file, &opened) == 0 &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
#endif
}

}  // namespace

void CreateSqliteDatabase(const std::string& path, const std::string& script) {
  const std::string image = DatabaseImage(script);
  // Created here, exclusively (never through a link), and written only through this descriptor:
  // nothing but the file this call created is ever written.
  int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | kBinary, 0644);
  if (file < 0) {
    if (errno == EEXIST)
      throw DbError(path + " already exists; a trial database is never written over another file");
    throw DbError("cannot create " + path + ": " + std::strerror(errno));
  }
  std::string failure;
  for (size_t written = 0; failure.empty() && written < image.size();) {
    auto count =
        ::write(file, image.data() + written, static_cast<unsigned>(image.size() - written));
    if (count < 0 && errno != EINTR) failure = std::strerror(errno);
    if (count > 0) written += static_cast<size_t>(count);
  }
  if (failure.empty() && SyncFile(file) != 0) failure = std::strerror(errno);
  const bool ours = NamesFile(path, file);
  // Removed only while the name is still this file's: what took its place is left as found.
  if (!failure.empty() && ours) ::unlink(path.c_str());
  ::close(file);
  if (!failure.empty()) throw DbError("cannot write " + path + ": " + failure);
  if (!ours)
    throw DbError(path + " was replaced while the trial database was written; it is left as found");
}

}  // namespace wardlink

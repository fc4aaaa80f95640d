#include "hl7/store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "hl7/charset.h"

namespace wardlink::hl7 {

namespace {

struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS messages (
  id INTEGER PRIMARY KEY,
  received_at TEXT NOT NULL,
  peer TEXT NOT NULL,
  sending_application TEXT,
  sending_facility TEXT,
  control_id TEXT,
  event TEXT,
  visit TEXT,
  raw BLOB NOT NULL,
  state TEXT NOT NULL,
  export TEXT,
  result INTEGER,
  reason TEXT,
  ack_code TEXT,
  ack BLOB,
  answered_at TEXT,
  deliveries INTEGER NOT NULL DEFAULT 1
);
CREATE INDEX IF NOT EXISTS messages_visit ON messages (visit);
CREATE INDEX IF NOT EXISTS messages_state ON messages (state);
-- An unreadable, refused or ignored message is kept to its first 4 KiB: enough to see what it
-- was, not a place where anyone who can connect fills the disk.
CREATE TRIGGER IF NOT EXISTS messages_unkeyed_short AFTER INSERT ON messages
  WHEN NEW.control_id IS NULL AND length(NEW.raw) > 4096
  BEGIN UPDATE messages SET raw = substr(raw, 1, 4096) WHERE id = NEW.id; END;
CREATE TRIGGER IF NOT EXISTS messages_ignored_short AFTER UPDATE OF state ON messages
  WHEN NEW.state = 'answered' AND NEW.export IS NULL AND length(NEW.raw) > 4096
  BEGIN UPDATE messages SET raw = substr(raw, 1, 4096) WHERE id = NEW.id; END;
)";

const char* kColumns =
    "id, received_at, peer, sending_application, sending_facility, control_id, event, visit, raw, "
    "state, export, result, reason, ack_code, ack, answered_at, deliveries";

std::string ColumnText(sqlite3_stmt* s, int i) {
  const void* bytes = sqlite3_column_blob(s, i);
  int size = sqlite3_column_bytes(s, i);
  return bytes != nullptr ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size))
                          : std::string();
}

StoredMessage ReadRow(sqlite3_stmt* s) {
  StoredMessage m;
  m.id = sqlite3_column_int64(s, 0);
  m.receivedAt = ColumnText(s, 1);
  m.peer = ColumnText(s, 2);
  m.sendingApplication = ColumnText(s, 3);
  m.sendingFacility = ColumnText(s, 4);
  m.controlId = ColumnText(s, 5);
  m.event = ColumnText(s, 6);
  m.visit = ColumnText(s, 7);
  m.raw = ColumnText(s, 8);
  m.state = ColumnText(s, 9);
  m.exportName = ColumnText(s, 10);
  if (sqlite3_column_type(s, 11) != SQLITE_NULL) m.result = sqlite3_column_int(s, 11);
  m.reason = ColumnText(s, 12);
  m.ackCode = ColumnText(s, 13);
  m.ack = ColumnText(s, 14);
  m.answeredAt = ColumnText(s, 15);
  m.deliveries = sqlite3_column_int(s, 16);
  return m;
}

class Binder {
 public:
  Binder(sqlite3* db, const std::string& sql) : db_(db) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) Fail();
    statement_.reset(raw);
  }
  Binder& Text(const std::string& value) {
    Check(sqlite3_bind_text(statement_.get(), ++index_, value.data(),
                            static_cast<int>(value.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Binder& Blob(const std::string& value) {
    Check(sqlite3_bind_blob(statement_.get(), ++index_, value.data(),
                            static_cast<int>(value.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Binder& Integer(int64_t value) {
    Check(sqlite3_bind_int64(statement_.get(), ++index_, value));
    return *this;
  }
  Binder& Null() {
    Check(sqlite3_bind_null(statement_.get(), ++index_));
    return *this;
  }
  // One step: true while it gives a row.
  bool Step() {
    int rc = sqlite3_step(statement_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail();
    return false;
  }
  sqlite3_stmt* get() const { return statement_.get(); }

 private:
  void Check(int rc) const {
    if (rc != SQLITE_OK) Fail();
  }
  [[noreturn]] void Fail() const {
    throw std::runtime_error(std::string("message store: ") + sqlite3_errmsg(db_));
  }
  sqlite3* db_;
  Statement statement_;
  int index_ = 0;
};

void Execute(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::string text = error != nullptr ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error("message store: " + text);
  }
}

// Stores before version 1 keyed a message by the first components of MSH-3, MSH-4 and MSH-10:
// each key is read again, whole, from the message kept, and the index lets a refused conflict
// stand beside the message it collided with.
// Stores of user_version 1 have no digest column; their rows keep an empty digest and are
// compared by their raw text.
void AddDigests(sqlite3* db) {
  {
    Binder version(db, "PRAGMA user_version");
    if (version.Step() && sqlite3_column_int(version.get(), 0) >= 2) return;
  }
  Execute(db, "BEGIN IMMEDIATE");
  try {
    bool present = false;
    {
      Binder columns(db, "SELECT 1 FROM pragma_table_info('messages') WHERE name = 'digest'");
      present = columns.Step();
    }
    if (!present) Execute(db, "ALTER TABLE messages ADD COLUMN digest TEXT");
    Execute(db, "PRAGMA user_version = 2; COMMIT");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void MigrateKeys(sqlite3* db) {
  {
    Binder version(db, "PRAGMA user_version");
    if (version.Step() && sqlite3_column_int(version.get(), 0) >= 1) return;
  }
  Execute(db, "BEGIN IMMEDIATE");
  try {
    Execute(db, "DROP INDEX IF EXISTS messages_key");
    {  // the scan ends before the index is made
      Binder rows(db, "SELECT id, raw FROM messages WHERE control_id IS NOT NULL");
      while (rows.Step()) {
        std::string charset;
        Message message;
        try {
          message = ReadMessage(ColumnText(rows.get(), 1), charset);
        } catch (const ParseError&) {
          continue;  // kept as it was keyed
        }
        Binder update(db,
                      "UPDATE messages SET sending_application = ?, sending_facility = ?, "
                      "control_id = ? WHERE id = ?");
        update.Text(KeyField(message, 3)).Text(KeyField(message, 4)).Text(KeyField(message, 10));
        update.Integer(sqlite3_column_int64(rows.get(), 0)).Step();
      }
    }
    Execute(db,
            "CREATE UNIQUE INDEX messages_key ON messages (sending_application, sending_facility, "
            "control_id) WHERE control_id IS NOT NULL AND state <> 'conflict'; "
            "PRAGMA user_version = 1; COMMIT");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::string FormatNow(const char* form, bool millis) {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  size_t length = std::strftime(text, sizeof text, form, &local);
  std::string out(text, length);
  if (millis) {
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    char tail[8];
    std::snprintf(tail, sizeof tail, ".%03d", static_cast<int>(ms));
    out += tail;
  }
  return out;
}

}  // namespace

void SqliteClose::operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }

std::string StoreTime() { return FormatNow("%Y-%m-%d %H:%M:%S", true); }
std::string Hl7Time() { return FormatNow("%Y%m%d%H%M%S", false); }

Store::Store(const std::string& path, bool exclusive) : path_(path) {
  if (exclusive) {
    // One gateway per store: a second one would take the first one's messages in hand for
    // uncertain ones. The lock is on the file, so another name for it (a link, a bind mount)
    // finds it taken. flock() and SQLite's own fcntl() locks do not meet; the descriptor stays
    // open as long as SQLite's, whose locks a close() of any descriptor of the file would drop.
    lockFd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0)
      throw std::runtime_error("cannot open message store " + path + ": " + std::strerror(errno));
    struct stat status {};
    if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0 || fstat(lockFd_, &status) != 0) {
      ::close(lockFd_);
      throw std::runtime_error("message store " + path + " is in use by another gateway");
    }
    // Patient data: the owner's alone, whatever the umask or an earlier version left.
    if ((status.st_mode & 07777) != 0600 && fchmod(lockFd_, 0600) != 0) {
      ::close(lockFd_);
      throw std::runtime_error("cannot make message store " + path + " mode 0600");
    }
    device_ = status.st_dev;
    inode_ = status.st_ino;
  }
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(
      path.c_str(), &raw,
      exclusive ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY, nullptr);
  db_.reset(raw);
  if (rc != SQLITE_OK)
    throw std::runtime_error("cannot open message store " + path + ": " +
                             (raw != nullptr ? sqlite3_errmsg(raw) : "out of memory"));
  sqlite3_busy_timeout(raw, 10000);
  if (!exclusive) return;
  // An ACK goes out only after its outcome is on disk: a full sync at every commit.
  Execute(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
  Execute(raw, kSchema);
  MigrateKeys(raw);
  AddDigests(raw);
  Execute(raw, "UPDATE messages SET state = 'uncertain' WHERE state = 'applying'");
}

Store::~Store() {
  db_.reset();
  if (lockFd_ >= 0) ::close(lockFd_);
}

Store::Claim Store::Begin(const StoredMessage& m) {
  std::lock_guard lock(mutex_);
  sqlite3* db = db_.get();
  Execute(db, "BEGIN IMMEDIATE");
  try {
    Binder find(
        db, std::string("SELECT ") + kColumns +
                ", digest FROM messages WHERE sending_application = ? AND sending_facility = ? AND "
                "control_id = ? AND state <> 'conflict'");
    find.Text(m.sendingApplication).Text(m.sendingFacility).Text(m.controlId);
    Claim claim;
    if (find.Step()) {
      claim.existing = ReadRow(find.get());
      claim.existing.digest = ColumnText(find.get(), 17);
      claim.id = claim.existing.id;
      if (claim.existing.state == kRetry) {
        Binder again(db,
                     "UPDATE messages SET state = 'applying', received_at = ?, peer = ?, raw = ?, "
                     "digest = ?, deliveries = deliveries + 1 WHERE id = ?");
        again.Text(m.receivedAt).Text(m.peer).Blob(m.raw).Text(m.digest).Integer(claim.id).Step();
        claim.isNew = true;
      }
    } else {
      Binder insert(db,
                    "INSERT INTO messages (received_at, peer, sending_application, "
                    "sending_facility, control_id, event, raw, digest, state) VALUES (?, ?, ?, ?, "
                    "?, ?, ?, ?, 'applying')");
      insert.Text(m.receivedAt).Text(m.peer).Text(m.sendingApplication).Text(m.sendingFacility);
      insert.Text(m.controlId).Text(m.event).Blob(m.raw).Text(m.digest).Step();
      claim.isNew = true;
      claim.id = sqlite3_last_insert_rowid(db);
    }
    Execute(db, "COMMIT");
    return claim;
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void Store::CountDelivery(int64_t id) {
  std::lock_guard lock(mutex_);
  Binder count(db_.get(), "UPDATE messages SET deliveries = deliveries + 1 WHERE id = ?");
  count.Integer(id).Step();
}

void Store::RecordConflict(const StoredMessage& m) {
  std::lock_guard lock(mutex_);
  Binder insert(db_.get(),
                "INSERT INTO messages (received_at, peer, sending_application, sending_facility, "
                "control_id, event, raw, state, reason, ack_code, ack, answered_at) VALUES (?, ?, "
                "?, ?, ?, ?, ?, 'conflict', ?, ?, ?, ?)");
  insert.Text(m.receivedAt).Text(m.peer).Text(m.sendingApplication).Text(m.sendingFacility);
  insert.Text(m.controlId).Text(m.event).Blob(m.raw).Text(m.reason).Text(m.ackCode).Blob(m.ack);
  insert.Text(StoreTime()).Step();
}

bool Store::Resolve(const std::string& path, int64_t id, bool applied) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, SqliteClose> db(raw);
  if (rc != SQLITE_OK)
    throw std::runtime_error("cannot open message store " + path + ": " +
                             (raw != nullptr ? sqlite3_errmsg(raw) : "out of memory"));
  sqlite3_busy_timeout(raw, 10000);
  // Applied: a resend is answered AA from now on. Not applied: the next resend is applied.
  Binder update(raw,
                "UPDATE messages SET state = ?, ack_code = ?, ack = NULL, reason = ?, "
                "answered_at = ? WHERE id = ? AND state = 'uncertain'");
  update.Text(applied ? kAnswered : kRetry).Text(applied ? "AA" : "");
  update.Text(std::string("settled by a person after a restart: ") +
              (applied ? "applied" : "not applied"));
  update.Text(StoreTime()).Integer(id).Step();
  return sqlite3_changes(raw) == 1;
}

void Store::RecordUnkeyed(const StoredMessage& m) {
  std::lock_guard lock(mutex_);
  Binder insert(db_.get(),
                "INSERT INTO messages (received_at, peer, sending_application, sending_facility, "
                "control_id, event, raw, state, reason, ack_code, ack, answered_at) VALUES (?, ?, "
                "?, ?, NULL, ?, ?, 'answered', ?, ?, ?, ?)");
  insert.Text(m.receivedAt).Text(m.peer).Text(m.sendingApplication).Text(m.sendingFacility);
  insert.Text(m.event).Blob(m.raw).Text(m.reason).Text(m.ackCode).Blob(m.ack).Text(StoreTime());
  insert.Step();
}

void Store::Finish(int64_t id, const std::string& state, const std::string& event,
                   const std::string& visit, const std::string& exportName,
                   std::optional<int32_t> result, const std::string& reason,
                   const std::string& ackCode, const std::string& ack) {
  std::lock_guard lock(mutex_);
  Binder update(db_.get(),
                "UPDATE messages SET state = ?, event = ?, visit = ?, export = ?, result = ?, "
                "reason = ?, ack_code = ?, ack = ?, answered_at = ? WHERE id = ?");
  update.Text(state).Text(event).Text(visit);
  exportName.empty() ? update.Null() : update.Text(exportName);
  result ? update.Integer(*result) : update.Null();
  update.Text(reason).Text(ackCode).Blob(ack).Text(StoreTime()).Integer(id).Step();
}

std::optional<std::string> Store::Lost() const {
  if (lockFd_ < 0) return std::nullopt;
  struct stat opened {};
  struct stat named {};
  bool there = ::stat(path_.c_str(), &named) == 0;
  if (there && (named.st_dev != device_ || named.st_ino != inode_))
    return "message store " + path_ + " was replaced by another file";
  if (!there || fstat(lockFd_, &opened) != 0 || opened.st_nlink == 0)
    return "message store " + path_ + " was removed";
  return std::nullopt;
}

void Store::Prune(int keepDays) {
  std::time_t cutoff = std::time(nullptr) - static_cast<std::time_t>(keepDays) * 86400;
  std::tm local{};
  localtime_r(&cutoff, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  std::lock_guard lock(mutex_);
  Binder prune(db_.get(),
               "UPDATE messages SET raw = X'' WHERE received_at < ? AND length(raw) > 0");
  prune.Text(text).Step();
}

std::vector<StoredMessage> Store::List(const Filter& filter) {
  std::lock_guard lock(mutex_);
  std::string sql = std::string("SELECT ") + kColumns + " FROM messages WHERE 1 = 1";
  if (!filter.controlId.empty()) sql += " AND control_id = ?";
  if (!filter.visit.empty()) sql += " AND visit = ?";
  if (filter.uncertain) sql += " AND state = 'uncertain'";
  if (filter.conflicts) sql += " AND state = 'conflict'";
  if (!filter.since.empty()) sql += " AND received_at >= ?";
  sql += " ORDER BY id";
  Binder query(db_.get(), sql);
  if (!filter.controlId.empty()) query.Text(filter.controlId);
  if (!filter.visit.empty()) query.Text(filter.visit);
  if (!filter.since.empty()) query.Text(filter.since);
  std::vector<StoredMessage> rows;
  while (query.Step()) rows.push_back(ReadRow(query.get()));
  return rows;
}

Store::Outstanding Store::Pending() {
  std::lock_guard lock(mutex_);
  // received_at is local time, as julianday(..., 'localtime') reads it.
  Binder query(db_.get(),
               "SELECT (SELECT count(*) FROM messages WHERE state = 'uncertain'), "
               "coalesce((julianday('now', 'localtime') - julianday(min(received_at))) * 86400, 0) "
               "FROM messages WHERE state IN ('applying', 'uncertain')");
  query.Step();
  return {sqlite3_column_int64(query.get(), 0), sqlite3_column_double(query.get(), 1)};
}

}  // namespace wardlink::hl7

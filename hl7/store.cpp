#include "hl7/store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <stdexcept>

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
CREATE UNIQUE INDEX IF NOT EXISTS messages_key
  ON messages (sending_application, sending_facility, control_id) WHERE control_id IS NOT NULL;
CREATE INDEX IF NOT EXISTS messages_visit ON messages (visit);
CREATE INDEX IF NOT EXISTS messages_state ON messages (state);
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

Store::Store(const std::string& path, bool exclusive) {
  if (exclusive) {
    // One gateway per store: a second one would take the first one's messages in hand for
    // uncertain ones.
    lockFd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) throw std::runtime_error("cannot create " + path + ".lock");
    if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
      ::close(lockFd_);
      throw std::runtime_error("message store " + path + " is in use by another gateway");
    }
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
    Binder find(db, std::string("SELECT ") + kColumns +
                        " FROM messages WHERE sending_application = ? AND sending_facility = ? AND "
                        "control_id = ?");
    find.Text(m.sendingApplication).Text(m.sendingFacility).Text(m.controlId);
    Claim claim;
    if (find.Step()) {
      claim.existing = ReadRow(find.get());
      claim.id = claim.existing.id;
      if (claim.existing.state == kRetry) {
        Binder again(db,
                     "UPDATE messages SET state = 'applying', received_at = ?, peer = ?, raw = ?, "
                     "deliveries = deliveries + 1 WHERE id = ?");
        again.Text(m.receivedAt).Text(m.peer).Blob(m.raw).Integer(claim.id).Step();
        claim.isNew = true;
      } else {
        Binder count(db, "UPDATE messages SET deliveries = deliveries + 1 WHERE id = ?");
        count.Integer(claim.id).Step();
        ++claim.existing.deliveries;
      }
    } else {
      Binder insert(db,
                    "INSERT INTO messages (received_at, peer, sending_application, "
                    "sending_facility, control_id, event, raw, state) VALUES (?, ?, ?, ?, ?, ?, ?, "
                    "'applying')");
      insert.Text(m.receivedAt).Text(m.peer).Text(m.sendingApplication).Text(m.sendingFacility);
      insert.Text(m.controlId).Text(m.event).Blob(m.raw).Step();
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

std::vector<StoredMessage> Store::List(const Filter& filter) {
  std::lock_guard lock(mutex_);
  std::string sql = std::string("SELECT ") + kColumns + " FROM messages WHERE 1 = 1";
  if (!filter.controlId.empty()) sql += " AND control_id = ?";
  if (!filter.visit.empty()) sql += " AND visit = ?";
  if (filter.uncertain) sql += " AND state = 'uncertain'";
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

#pragma once

// The gateway's message store: a SQLite file that any SQLite client reads. Every message is
// recorded before its export is called and its outcome and ACK after, each durably committed, so
// that after a crash a message is either answered, or recorded without an outcome (uncertain).

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace wardlink::hl7 {

// Where a message stands in the store.
inline constexpr const char* kApplying = "applying";    // recorded; the export may be running
inline constexpr const char* kAnswered = "answered";    // outcome and ACK final
inline constexpr const char* kRetry = "retry";          // answered AR: not applied, to be resent
inline constexpr const char* kUncertain = "uncertain";  // was applying when the gateway stopped
inline constexpr const char* kConflict = "conflict";    // refused: another message holds its key

struct StoredMessage {
  int64_t id = 0;
  std::string receivedAt;
  std::string peer;
  std::string sendingApplication;
  std::string sendingFacility;
  std::string controlId;
  std::string event;
  std::string visit;
  std::string raw;
  std::string state;
  std::string exportName;
  std::optional<int32_t> result;
  std::string reason;
  std::string ackCode;
  std::string ack;
  std::string answeredAt;
  int deliveries = 0;
  // What makes it the same message (SHA-256 of its segments, MSH-7 aside), kept when the raw
  // text is cut to 4 KiB or pruned; empty for rows of stores that predate it.
  std::string digest;
};

struct SqliteClose {
  void operator()(sqlite3* db) const noexcept;
};

class Store {
 public:
  // Opens (creating when missing, mode 0600) the store at `path`. With `exclusive`, takes the
  // gateway's lock on the file itself (one gateway per store, whatever name reaches it) and turns
  // every message left applying into uncertain.
  Store(const std::string& path, bool exclusive);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Records a message that has a key. Gives the new row, or the row already held for the key; a
  // row in `retry` is taken up again as applying and given as new.
  struct Claim {
    bool isNew = false;
    StoredMessage existing;
    int64_t id = 0;
  };
  Claim Begin(const StoredMessage& message);

  // One more delivery of the message held in row `id` (a duplicate).
  void CountDelivery(int64_t id);

  // Records a message refused because another one holds its key, already answered; the held
  // row is left as it is.
  void RecordConflict(const StoredMessage& message);

  // Settles an uncertain message after a person checked the stay; false when row `id` is not
  // uncertain. Opens the store at `path` beside a running gateway.
  static bool Resolve(const std::string& path, int64_t id, bool applied);

  // Records a message that cannot be keyed (unreadable), already answered.
  void RecordUnkeyed(const StoredMessage& message);

  // The outcome of a row begun with Begin.
  void Finish(int64_t id, const std::string& state, const std::string& event,
              const std::string& visit, const std::string& exportName,
              std::optional<int32_t> result, const std::string& reason, const std::string& ackCode,
              const std::string& ack);

  struct Filter {
    std::string controlId;
    std::string visit;
    bool uncertain = false;
    std::string since;
    bool conflicts = false;
  };
  std::vector<StoredMessage> List(const Filter& filter);

  // Why the file at the store's path is no longer the one opened (removed, or replaced); nullopt
  // while it is. Only for a store opened exclusive.
  std::optional<std::string> Lost() const;

  // Removes the raw text of messages received more than `keepDays` days ago; their rows stay.
  void Prune(int keepDays);

  // For the metrics: the uncertain messages, and the age of the oldest message without a final
  // outcome (applying or uncertain; 0 when there is none).
  struct Outstanding {
    int64_t uncertain = 0;
    double oldestSeconds = 0;
  };
  Outstanding Pending();

 private:
  std::mutex mutex_;
  std::unique_ptr<sqlite3, SqliteClose> db_;
  int lockFd_ = -1;  // the store file itself, held open and locked
  std::string path_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

// Local time as "YYYY-MM-DD HH:MM:SS.mmm" (what the store keeps) and as an HL7 time stamp.
std::string StoreTime();
std::string Hl7Time();

}  // namespace wardlink::hl7

#pragma once

// The gateway's message store: a SQLite file that any SQLite client reads. Every message is
// recorded before its export is called and its outcome and ACK after, each durably committed, so
// that after a crash a message is either answered, or recorded without an outcome (uncertain).

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
};

struct SqliteClose {
  void operator()(sqlite3* db) const noexcept;
};

class Store {
 public:
  // Opens (creating when missing) the store at `path`. With `exclusive`, takes the gateway's lock
  // on it (one gateway per store) and turns every message left applying into uncertain.
  Store(const std::string& path, bool exclusive);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Records a message that has a key. Gives the new row, or the row already held for the key
  // (its deliveries counted); a row in `retry` is taken up again as applying and given as new.
  struct Claim {
    bool isNew = false;
    StoredMessage existing;
    int64_t id = 0;
  };
  Claim Begin(const StoredMessage& message);

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
  };
  std::vector<StoredMessage> List(const Filter& filter);

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
  int lockFd_ = -1;
};

// Local time as "YYYY-MM-DD HH:MM:SS.mmm" (what the store keeps) and as an HL7 time stamp.
std::string StoreTime();
std::string Hl7Time();

}  // namespace wardlink::hl7

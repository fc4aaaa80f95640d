#pragma once

// One message in, one ACK out: read, keyed against the store, mapped, applied through the export,
// recorded, acknowledged. Safe to call from several threads at once.

#include <atomic>
#include <string>
#include <string_view>

#include "hl7/mapping.h"
#include "hl7/metrics.h"
#include "hl7/senders.h"
#include "hl7/store.h"

namespace wardlink::hl7 {

struct Connection {
  std::string server;
  std::string login;
  std::string password;
};

struct Reply {
  std::string ack;         // the ACK message, segments ending in CR, in the message's character set
  std::string ackCode;     // AA, AE, AR
  std::string logLine;     // time, sender, control ID, event, export, result, ACK code
  bool storeLost = false;  // the store was removed or replaced: the gateway must stop
};

class Gateway {
 public:
  Gateway(Connection connection, Mapping mapping, Store& store, Metrics* metrics = nullptr);
  // `senders`: the senders the connection matched (nullptr: no senders file, anyone).
  Reply Handle(std::string_view bytes, const std::string& peer,
               const std::vector<const Sender*>* senders = nullptr);
  Metrics& metrics() { return metrics_; }

 private:
  Connection connection_;
  Mapping mapping_;
  Store& store_;
  std::string hostCodeset_;
  Metrics off_;
  Metrics& metrics_;
};

// The ACK's own control ID: unique within the process and across restarts.
std::string NewControlId();

// An AR for a message that is not read whole (a frame over the limit): addressed and echoed from
// its MSH segment when `head` begins with a readable one.
std::string RejectionAck(std::string_view head, int code, const std::string& text);

}  // namespace wardlink::hl7

#pragma once

// The MLLP listener: frames start with 0x0B and end with 0x1C 0x0D; each connection's messages
// are applied and acknowledged in order, connections side by side, plain or over TLS.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "hl7/gateway.h"
#include "hl7/senders.h"
#include "hl7/tls.h"

namespace wardlink::hl7 {

struct ServerOptions {
  // [ADDR:]PORT; no ADDR: 127.0.0.1 and ::1. Empty: port 2575 there, unless only TLS is asked.
  std::string listen;
  std::string listenTls;  // the same for MLLP over TLS; empty: none
  TlsFiles tls;
  const Senders* senders = nullptr;  // nullptr: any sender (loopback, or --any-sender)
  bool anySender = false;
  size_t maxFrame = 1 << 20;
  size_t maxConnections = 64;
  size_t maxPerPeer = 8;
  std::chrono::seconds idleTimeout{300};
  std::chrono::seconds frameTimeout{60};
  unsigned workers = 4;
  std::function<void()> hourly;  // run on a worker every hour (the store's pruning)
};

// Raises std::runtime_error when the options cannot be served: an address other than loopback
// without a senders file or --any-sender, TLS files without a TLS listener or the reverse.
void CheckListening(const ServerOptions& options);

// Runs until SIGTERM or SIGINT; the messages in hand are finished and acknowledged first. Gives
// false when it stopped because the store was lost. Prints "listening on ADDR port N" (and
// "listening with TLS on ADDR port N") on standard error once it accepts.
bool Serve(Gateway& gateway, const ServerOptions& options);

}  // namespace wardlink::hl7

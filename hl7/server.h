#pragma once

// The MLLP listener: frames start with 0x0B and end with 0x1C 0x0D; each connection's messages
// are applied and acknowledged in order, connections side by side.

#include <chrono>
#include <cstddef>
#include <string>

#include "hl7/gateway.h"

namespace wardlink::hl7 {

struct ServerOptions {
  std::string listen = "2575";  // [ADDR:]PORT; no ADDR: every IPv6 and IPv4 address
  size_t maxFrame = 1 << 20;
  std::chrono::seconds idleTimeout{300};
  unsigned workers = 4;
};

// Runs until SIGTERM or SIGINT; the messages in hand are finished and acknowledged first.
// Prints "listening on ADDR port N" on standard error once it accepts.
void Serve(Gateway& gateway, const ServerOptions& options);

}  // namespace wardlink::hl7

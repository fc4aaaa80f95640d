#pragma once

// The gateway's metrics in Prometheus' text format, served on `--metrics ADDR:PORT`. Every
// metric the gateway keeps is defined in metrics.cpp; the gateway and the listener only report
// what happened through the calls below. A Metrics made without an address keeps nothing and
// each call returns at once.

#include <chrono>
#include <memory>
#include <string>

namespace wardlink::hl7 {

class Store;

class Metrics {
 public:
  Metrics();  // off
  // Serves GET /metrics on `address` ([ADDR:]PORT; only a port: the loopback address); the
  // uncertain messages and the oldest pending one are read from `store` at each scrape.
  Metrics(const std::string& address, Store& store);
  ~Metrics();
  Metrics(const Metrics&) = delete;
  Metrics& operator=(const Metrics&) = delete;

  // Where the endpoint answers (http://ADDR:PORT/metrics), empty when off.
  std::string Url() const;

  void Answered(const std::string& event, const std::string& ackCode);
  void Duplicate();
  void Conflict();
  void BrokenFrame();
  void ConnectionOpened();
  void ConnectionClosed();
  void ConnectionRefused();
  void AckSeconds(double seconds);  // a message's last byte to its ACK
  void ExportSeconds(const std::string& exportName, double seconds);
  void EmrReachable(bool reachable);

 private:
  struct State;
  std::unique_ptr<State> state_;  // null when off
};

// Seconds from `start` to now, for the histograms.
double SecondsSince(std::chrono::steady_clock::time_point start);

}  // namespace wardlink::hl7

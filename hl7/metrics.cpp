#include "hl7/metrics.h"

#include <prometheus/collectable.h>
#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/metric_family.h>
#include <prometheus/registry.h>

#include <cctype>
#include <mutex>
#include <stdexcept>

#include "hl7/store.h"

namespace wardlink::hl7 {

namespace {

using prometheus::Counter;
using prometheus::Family;
using prometheus::Gauge;
using prometheus::Histogram;

// From a millisecond to a minute: an ACK or an export usually takes milliseconds, a busy or
// unreachable database seconds.
const Histogram::BucketBoundaries kSeconds = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                              0.5,   1,      2.5,   5,    10,    30,   60};

// A trigger event as a label value. Senders write what they like in MSH-9.2: anything that is not
// a letter and two digits counts as "other", so that a peer cannot make series without end.
std::string EventLabel(const std::string& event) {
  if (event.empty()) return "none";
  bool code = event.size() == 3 && std::isupper(static_cast<unsigned char>(event[0])) != 0 &&
              std::isdigit(static_cast<unsigned char>(event[1])) != 0 &&
              std::isdigit(static_cast<unsigned char>(event[2])) != 0;
  return code ? event : "other";
}

// What only the store knows, read when the endpoint is scraped.
class StoreGauges : public prometheus::Collectable {
 public:
  explicit StoreGauges(Store& store) : store_(store) {}

  std::vector<prometheus::MetricFamily> Collect() const override {
    Store::Outstanding outstanding = store_.Pending();
    return {Gauge("wardlink_hl7_uncertain",
                  "Messages whose outcome a crash left unknown, waiting for a person",
                  static_cast<double>(outstanding.uncertain)),
            Gauge("wardlink_hl7_oldest_pending_seconds",
                  "Age of the oldest message without a final outcome (0 when there is none)",
                  outstanding.oldestSeconds)};
  }

 private:
  static prometheus::MetricFamily Gauge(const std::string& name, const std::string& help,
                                        double value) {
    prometheus::ClientMetric metric;
    metric.gauge.value = value;
    return {name, help, prometheus::MetricType::Gauge, {metric}};
  }
  Store& store_;
};

}  // namespace

// The gateway's metrics, one list: the families registered here and the store's two gauges above.
struct Metrics::State {
  explicit State(Store& store) : storeGauges(std::make_shared<StoreGauges>(store)) {}

  std::shared_ptr<prometheus::Registry> registry = std::make_shared<prometheus::Registry>();
  std::shared_ptr<StoreGauges> storeGauges;
  Family<Counter>& messages = prometheus::BuildCounter()
                                  .Name("wardlink_hl7_messages_total")
                                  .Help("Messages answered, by trigger event and ACK code")
                                  .Register(*registry);
  Counter& duplicates = prometheus::BuildCounter()
                            .Name("wardlink_hl7_duplicates_total")
                            .Help("Messages received again and answered with the same ACK")
                            .Register(*registry)
                            .Add({});
  Counter& conflicts = prometheus::BuildCounter()
                           .Name("wardlink_hl7_conflicts_total")
                           .Help("Different messages under a key already held, refused")
                           .Register(*registry)
                           .Add({});
  Counter& brokenFrames = prometheus::BuildCounter()
                              .Name("wardlink_hl7_broken_frames_total")
                              .Help("MLLP frames discarded unread")
                              .Register(*registry)
                              .Add({});
  Gauge& connections = prometheus::BuildGauge()
                           .Name("wardlink_hl7_connections")
                           .Help("MLLP connections open")
                           .Register(*registry)
                           .Add({});
  Counter& refused = prometheus::BuildCounter()
                         .Name("wardlink_hl7_connections_refused_total")
                         .Help("MLLP connections closed before a byte was read")
                         .Register(*registry)
                         .Add({});
  Histogram& ackSeconds = prometheus::BuildHistogram()
                              .Name("wardlink_hl7_ack_seconds")
                              .Help("From a message's last byte to its ACK")
                              .Register(*registry)
                              .Add({}, kSeconds);
  Family<Histogram>& exportSeconds = prometheus::BuildHistogram()
                                         .Name("wardlink_hl7_export_seconds")
                                         .Help("The export's own time, by export")
                                         .Register(*registry);
  // No series until a message has gone to the EMR database: a gateway that has just started
  // does not know whether it can reach it.
  Family<Gauge>& emrReachable =
      prometheus::BuildGauge()
          .Name("wardlink_hl7_emr_reachable")
          .Help("1 when the last message reached the EMR database, 0 when it could not")
          .Register(*registry);
  std::unique_ptr<prometheus::Exposer> exposer;
  std::string url;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Metrics::Metrics() = default;

Metrics::Metrics(const std::string& address, Store& store)
    : state_(std::make_unique<State>(store)) {
  std::string bind = address.find(':') == std::string::npos ? "127.0.0.1:" + address : address;
  try {
    state_->exposer = std::make_unique<prometheus::Exposer>(bind, 1);
  } catch (const std::exception& error) {
    throw std::runtime_error("--metrics " + address + ": cannot listen: " + error.what());
  }
  state_->exposer->RegisterCollectable(state_->registry);
  state_->exposer->RegisterCollectable(state_->storeGauges);
  std::vector<int> ports = state_->exposer->GetListeningPorts();
  std::string host = bind.substr(0, bind.rfind(':'));
  state_->url =
      "http://" + host + ":" + (ports.empty() ? "?" : std::to_string(ports[0])) + "/metrics";
}

Metrics::~Metrics() = default;

std::string Metrics::Url() const { return state_ ? state_->url : ""; }

void Metrics::Answered(const std::string& event, const std::string& ackCode) {
  if (state_) state_->messages.Add({{"event", EventLabel(event)}, {"ack", ackCode}}).Increment();
}

void Metrics::Duplicate() {
  if (state_) state_->duplicates.Increment();
}

void Metrics::Conflict() {
  if (state_) state_->conflicts.Increment();
}

void Metrics::BrokenFrame() {
  if (state_) state_->brokenFrames.Increment();
}

void Metrics::ConnectionOpened() {
  if (state_) state_->connections.Increment();
}

void Metrics::ConnectionClosed() {
  if (state_) state_->connections.Decrement();
}

void Metrics::ConnectionRefused() {
  if (state_) state_->refused.Increment();
}

void Metrics::AckSeconds(double seconds) {
  if (state_) state_->ackSeconds.Observe(seconds);
}

void Metrics::ExportSeconds(const std::string& exportName, double seconds) {
  if (state_) state_->exportSeconds.Add({{"export", exportName}}, kSeconds).Observe(seconds);
}

void Metrics::EmrReachable(bool reachable) {
  if (state_) state_->emrReachable.Add({}).Set(reachable ? 1 : 0);
}

}  // namespace wardlink::hl7

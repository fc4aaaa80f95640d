#include "hl7/server.h"

#include <sys/resource.h>

#include <asio.hpp>
#include <asio/ssl.hpp>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

namespace wardlink::hl7 {

namespace {

using asio::ip::tcp;
using TlsStream = asio::ssl::stream<tcp::socket>;

constexpr char kStartBlock = 0x0B;
constexpr char kEndBlock = 0x1C;
constexpr char kCarriageReturn = 0x0D;
constexpr unsigned short kDefaultPort = 2575;

std::mutex logMutex;

// Texts from peers and messages reach these lines: control characters are written \Xhh\, so
// that no line is split or ended by what was sent.
void Log(const std::string& line) {
  std::lock_guard lock(logMutex);
  std::cerr << EscapeControls(line) << '\n' << std::flush;
}

// "[ADDR:]PORT" as the endpoints to listen on: no ADDR is this machine only (IPv4 and IPv6).
std::vector<tcp::endpoint> Endpoints(const std::string& listen, const char* option) {
  std::string host;
  std::string port = listen;
  size_t colon = listen.rfind(':');
  if (colon != std::string::npos) {
    host = listen.substr(0, colon);
    port = listen.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
      host = host.substr(1, host.size() - 2);
  }
  if (port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string::npos || std::stoul(port) > 65535)
    throw std::runtime_error(std::string(option) + ": no such port " + port);
  auto number = static_cast<unsigned short>(std::stoul(port));
  if (host.empty())
    return {tcp::endpoint(asio::ip::address_v4::loopback(), number),
            tcp::endpoint(asio::ip::address_v6::loopback(), number)};
  std::error_code error;
  auto address = asio::ip::make_address(host, error);
  if (error) throw std::runtime_error(std::string(option) + ": not an address: " + host);
  return {tcp::endpoint(address, number)};
}

// The plain and the TLS endpoints; the plain listener is on by default unless only TLS is asked.
std::pair<std::vector<tcp::endpoint>, std::vector<tcp::endpoint>> AllEndpoints(
    const ServerOptions& options) {
  std::vector<tcp::endpoint> plain;
  std::vector<tcp::endpoint> tls;
  if (!options.listen.empty() || options.listenTls.empty())
    plain = Endpoints(options.listen.empty() ? std::to_string(kDefaultPort) : options.listen,
                      "--listen");
  if (!options.listenTls.empty()) tls = Endpoints(options.listenTls, "--listen-tls");
  return {plain, tls};
}

std::string AddressText(asio::ip::address address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  return address.to_string();
}

class Listener;

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, std::string address, Listener& listener, asio::ssl::context* tls);
  void Start();
  void Stop();  // closes now, or after the message in hand when one is
  const std::string& address() const { return address_; }

 private:
  bool Admit();  // the connection against the senders: false when it matches none (closed)
  void Read();
  void TakeFrames();
  void Apply(std::string frame);
  void Write(std::string bytes, bool closeAfter);
  void ArmIdle();
  // A time limit on `what` (a TLS handshake, a frame), kept until Disarm: more bytes do not
  // extend it.
  void ArmDeadline(const char* what);
  void Disarm();
  void Dismiss();  // closes, after TLS's close_notify when TLS is up
  void Linger();   // after a refused handshake: closes once the client has read the alert
  void Close();
  tcp::socket& Socket() { return tls_ ? tls_->next_layer() : socket_; }

  tcp::socket socket_;
  std::unique_ptr<TlsStream> tls_;
  Listener& listener_;
  asio::steady_timer idle_;
  asio::steady_timer deadline_;
  const char* deadlineFor_ = nullptr;
  unsigned deadlineRound_ = 0;
  std::string address_;
  std::string peer_;
  std::vector<const Sender*> senders_;
  std::string pending_;
  std::array<char, 65536> buffer_{};
  bool busy_ = false;
  bool stopping_ = false;
  bool closed_ = false;
};

class Listener {
 public:
  Listener(asio::io_context& io, Gateway& gateway, const ServerOptions& options)
      : io_(io),
        gateway_(gateway),
        options_(options),
        workers_(std::max(1U, options.workers)),
        signals_(io, SIGINT, SIGTERM),
        retry_(io),
        hourly_(io) {
    if (!options.listenTls.empty()) tls_.emplace(MakeTlsContext(options.tls));
  }

  void Open() {
    auto [plain, tls] = AllEndpoints(options_);
    OpenAll(plain, false);
    OpenAll(tls, true);
    if (options_.anySender)
      Log("wardlink hl7: --any-sender: messages are taken from anyone who reaches the port");
    signals_.async_wait([this](const std::error_code& error, int) {
      if (!error) Shutdown();
    });
    Hourly();
  }

  void Shutdown() {
    if (stopping_) return;
    Log("wardlink hl7: stopping; finishing the messages in hand");
    stopping_ = true;
    std::error_code ignored;
    for (auto& acceptor : acceptors_) acceptor->close(ignored);
    retry_.cancel();
    hourly_.cancel();
    signals_.cancel();
    std::set<std::shared_ptr<Session>> sessions = sessions_;
    for (const auto& session : sessions) session->Stop();
  }

  // The store is gone: what is in hand has been answered AR; the gateway stops, failed.
  void Abandon() {
    failed_ = true;
    Shutdown();
  }

  void Forget(const std::shared_ptr<Session>& session) {
    if (sessions_.erase(session) != 0 && --perPeer_[session->address()] == 0)
      perPeer_.erase(session->address());
  }
  bool failed() const { return failed_; }
  Gateway& gateway() { return gateway_; }
  const ServerOptions& options() const { return options_; }
  asio::thread_pool& workers() { return workers_; }
  asio::io_context& io() { return io_; }
  void Join() { workers_.join(); }

 private:
  void OpenAll(const std::vector<tcp::endpoint>& endpoints, bool tls) {
    unsigned short port = 0;  // port 0 on several addresses: the one the first was given
    for (size_t i = 0; i < endpoints.size(); ++i) {
      tcp::endpoint endpoint = endpoints[i];
      if (endpoint.port() == 0) endpoint.port(port);
      try {
        port = OpenOne(endpoint, tls);
      } catch (const std::system_error& error) {
        // This machine's IPv6 loopback may be missing; the IPv4 one then serves alone.
        if (i == 0 || !endpoint.address().is_loopback() || !endpoint.address().is_v6()) throw;
        Log("wardlink hl7: not listening on ::1: " + std::string(error.what()));
      }
    }
  }

  unsigned short OpenOne(const tcp::endpoint& endpoint, bool tls) {
    auto acceptor = std::make_unique<tcp::acceptor>(io_);
    acceptor->open(endpoint.protocol());
    acceptor->set_option(tcp::acceptor::reuse_address(true));
    // [::] takes IPv4 peers too where the system allows it.
    if (endpoint.protocol() == tcp::v6())
      acceptor->set_option(asio::ip::v6_only(!endpoint.address().is_unspecified()));
    acceptor->bind(endpoint);
    acceptor->listen(asio::socket_base::max_listen_connections);
    auto bound = acceptor->local_endpoint();
    Log(std::string("wardlink hl7: listening ") + (tls ? "with TLS " : "") + "on " +
        bound.address().to_string() + " port " + std::to_string(bound.port()));
    acceptors_.push_back(std::move(acceptor));
    Accept(*acceptors_.back(), tls);
    return bound.port();
  }

  void Accept(tcp::acceptor& acceptor, bool tls) {
    acceptor.async_accept([this, &acceptor, tls](const std::error_code& error, tcp::socket socket) {
      if (stopping_) return;
      if (error) {
        if (error == asio::error::operation_aborted) return;
        // Out of descriptors or the like: the sockets open now are served; try again shortly.
        retry_.expires_after(std::chrono::milliseconds(100));
        retry_.async_wait([this, &acceptor, tls](const std::error_code& e) {
          if (!e && !stopping_) Accept(acceptor, tls);
        });
        return;
      }
      std::error_code ignored;
      auto remote = socket.remote_endpoint(ignored);
      std::string address = ignored ? "unknown" : AddressText(remote.address());
      std::string peer = address + ":" + std::to_string(remote.port());
      // Beyond the limits a connection is closed at once: the ones open keep being served.
      if (sessions_.size() >= options_.maxConnections) {
        Log("wardlink hl7: " + peer + " refused: " + std::to_string(sessions_.size()) +
            " connections open (--max-connections)");
        gateway_.metrics().ConnectionRefused();
        socket.close(ignored);
      } else if (perPeer_[address] >= options_.maxPerPeer) {
        Log("wardlink hl7: " + peer + " refused: " + std::to_string(perPeer_[address]) +
            " connections open from " + address + " (--max-per-peer)");
        gateway_.metrics().ConnectionRefused();
        socket.close(ignored);
      } else {
        auto session =
            std::make_shared<Session>(std::move(socket), address, *this, tls ? &*tls_ : nullptr);
        sessions_.insert(session);
        ++perPeer_[address];
        gateway_.metrics().ConnectionOpened();
        session->Start();
      }
      if (perPeer_[address] == 0) perPeer_.erase(address);
      Accept(acceptor, tls);
    });
  }

  void Hourly() {
    if (!options_.hourly) return;
    hourly_.expires_after(std::chrono::hours(1));
    hourly_.async_wait([this](const std::error_code& error) {
      if (error || stopping_) return;
      asio::post(workers_, options_.hourly);
      Hourly();
    });
  }

  asio::io_context& io_;
  Gateway& gateway_;
  const ServerOptions& options_;
  std::optional<asio::ssl::context> tls_;
  asio::thread_pool workers_;
  asio::signal_set signals_;
  asio::steady_timer retry_;
  asio::steady_timer hourly_;
  std::vector<std::unique_ptr<tcp::acceptor>> acceptors_;
  std::set<std::shared_ptr<Session>> sessions_;
  std::map<std::string, size_t> perPeer_;
  bool stopping_ = false;
  bool failed_ = false;
};

Session::Session(tcp::socket socket, std::string address, Listener& listener,
                 asio::ssl::context* tls)
    : socket_(std::move(socket)),
      listener_(listener),
      idle_(listener.io()),
      deadline_(listener.io()),
      address_(std::move(address)) {
  std::error_code error;
  auto remote = socket_.remote_endpoint(error);
  peer_ = address_ + ":" + (error ? "?" : std::to_string(remote.port()));
  if (tls != nullptr) tls_ = std::make_unique<TlsStream>(std::move(socket_), *tls);
}

void Session::Start() {
  if (!tls_) {
    if (Admit()) {
      ArmIdle();
      Read();
    }
    return;
  }
  ArmDeadline("TLS handshake");
  tls_->async_handshake(asio::ssl::stream_base::server,
                        [self = shared_from_this()](const std::error_code& error) {
                          if (self->closed_) return;
                          self->Disarm();
                          if (error) {
                            Log("wardlink hl7: " + self->peer_ +
                                " TLS handshake failed: " + error.message() + ": closed");
                            self->Linger();
                            return;
                          }
                          if (!self->Admit()) return;
                          self->ArmIdle();
                          self->Read();
                        });
}

bool Session::Admit() {
  const Senders* senders = listener_.options().senders;
  if (senders == nullptr) return true;
  std::vector<std::string> names;
  if (tls_) names = CertificateNames(tls_->native_handle());
  senders_ = senders->Match(address_, names);
  if (!senders_.empty()) return true;
  Log("wardlink hl7: " + peer_ + (names.empty() ? "" : " (certificate " + names.front() + ")") +
      " matches no sender: closed");
  listener_.gateway().metrics().ConnectionRefused();
  Dismiss();
  return false;
}

void Session::Stop() {
  stopping_ = true;
  if (!busy_) Close();
}

void Session::Dismiss() {
  if (!tls_) {
    Close();
    return;
  }
  ArmDeadline("TLS close");
  tls_->async_shutdown([self = shared_from_this()](const std::error_code&) { self->Close(); });
}

// Sends nothing more and drops what the client still sends until it closes: a close with bytes
// unread would reset the connection, and the client would see the reset rather than the alert.
void Session::Linger() {
  std::error_code ignored;
  Socket().shutdown(tcp::socket::shutdown_send, ignored);
  ArmDeadline("TLS close");
  Socket().async_read_some(asio::buffer(buffer_),
                           [self = shared_from_this()](const std::error_code& error, size_t) {
                             if (self->closed_) return;
                             if (error) {
                               self->Close();
                               return;
                             }
                             self->Linger();
                           });
}

void Session::Close() {
  if (closed_) return;
  closed_ = true;
  std::error_code ignored;
  idle_.cancel();
  deadline_.cancel();
  Socket().shutdown(tcp::socket::shutdown_both, ignored);
  Socket().close(ignored);
  listener_.gateway().metrics().ConnectionClosed();
  listener_.Forget(shared_from_this());
}

void Session::ArmIdle() {
  idle_.expires_after(listener_.options().idleTimeout);
  idle_.async_wait([self = shared_from_this()](const std::error_code& error) {
    if (error || self->closed_) return;
    if (self->busy_) {
      self->ArmIdle();
      return;
    }
    Log("wardlink hl7: " + self->peer_ + " idle: closed");
    self->Close();
  });
}

void Session::ArmDeadline(const char* what) {
  if (deadlineFor_ != nullptr) return;
  deadlineFor_ = what;
  unsigned round = ++deadlineRound_;
  deadline_.expires_after(listener_.options().frameTimeout);
  deadline_.async_wait([self = shared_from_this(), round](const std::error_code& error) {
    if (error || self->closed_ || round != self->deadlineRound_ || self->deadlineFor_ == nullptr)
      return;
    Log("wardlink hl7: " + self->peer_ + " " + self->deadlineFor_ + " not done within " +
        std::to_string(self->listener_.options().frameTimeout.count()) + " s: closed");
    self->Close();
  });
}

void Session::Disarm() {
  deadlineFor_ = nullptr;
  ++deadlineRound_;
  deadline_.cancel();
}

void Session::Read() {
  auto done = [self = shared_from_this()](const std::error_code& error, size_t n) {
    if (self->closed_) return;
    if (error) {
      self->Close();
      return;
    }
    self->ArmIdle();
    self->pending_.append(self->buffer_.data(), n);
    self->TakeFrames();
  };
  if (tls_) {
    tls_->async_read_some(asio::buffer(buffer_), std::move(done));
  } else {
    socket_.async_read_some(asio::buffer(buffer_), std::move(done));
  }
}

void Session::TakeFrames() {
  if (stopping_) {
    Close();
    return;
  }
  for (;;) {
    // Blank lines between frames are tolerated; anything else outside a frame ends the
    // connection.
    size_t start = pending_.find_first_not_of("\r\n");
    if (start == std::string::npos) {
      pending_.clear();
      Disarm();
      Read();
      return;
    }
    if (pending_[start] != kStartBlock) {
      Log("wardlink hl7: " + peer_ + " sent bytes outside an MLLP frame: closed");
      Close();
      return;
    }
    size_t end = pending_.find(std::string{kEndBlock, kCarriageReturn}, start + 1);
    // A start block before the end: the frame in hand was cut short. It is dropped unread and
    // reading starts again at the new start block; its time limit keeps running.
    size_t restart = pending_.find(kStartBlock, start + 1);
    if (restart != std::string::npos && (end == std::string::npos || restart < end)) {
      Log("wardlink hl7: " + peer_ + " broken frame: a start block before its end; " +
          std::to_string(restart - start - 1) + " bytes discarded");
      listener_.gateway().metrics().BrokenFrame();
      pending_.erase(0, restart);
      continue;
    }
    size_t limit = listener_.options().maxFrame;
    if ((end == std::string::npos && pending_.size() - start - 1 > limit) ||
        (end != std::string::npos && end - start - 1 > limit)) {
      std::string text = "frame over " + std::to_string(limit) + " bytes: refused";
      Log("wardlink hl7: " + peer_ + " " + text + "; connection closed");
      std::string ack =
          RejectionAck(std::string_view(pending_).substr(start + 1, 65536), 102, text);
      pending_.clear();
      listener_.gateway().metrics().Answered("", "AR");
      Write(std::string(1, kStartBlock) + ack + std::string{kEndBlock, kCarriageReturn}, true);
      return;
    }
    if (end == std::string::npos) {
      pending_.erase(0, start);
      ArmDeadline("frame");
      Read();
      return;
    }
    std::string frame = pending_.substr(start + 1, end - start - 1);
    pending_.erase(0, end + 2);
    Disarm();
    Apply(std::move(frame));
    return;
  }
}

void Session::Apply(std::string frame) {
  busy_ = true;
  auto guard = asio::make_work_guard(listener_.io());
  auto received = std::chrono::steady_clock::now();
  asio::post(listener_.workers(), [self = shared_from_this(), frame = std::move(frame),
                                   guard = std::move(guard), received]() mutable {
    std::string bytes;
    bool storeLost = false;
    try {
      const Senders* senders = self->listener_.options().senders;
      Reply reply =
          self->listener_.gateway().Handle(frame, self->peer_, senders ? &self->senders_ : nullptr);
      Log(reply.logLine);
      bytes = std::string(1, kStartBlock) + reply.ack + std::string{kEndBlock, kCarriageReturn};
      storeLost = reply.storeLost;
      self->listener_.gateway().metrics().AckSeconds(SecondsSince(received));
    } catch (const std::exception& error) {
      // No ACK: the sender keeps the message and sends it again.
      Log("wardlink hl7: " + self->peer_ + " " + error.what() + "; connection closed");
    }
    asio::post(self->listener_.io(), [self, bytes = std::move(bytes), storeLost]() mutable {
      if (storeLost) self->listener_.Abandon();
      if (bytes.empty()) {
        self->busy_ = false;
        self->Close();
        return;
      }
      self->Write(std::move(bytes), storeLost);
    });
  });
}

void Session::Write(std::string bytes, bool closeAfter) {
  auto data = std::make_shared<std::string>(std::move(bytes));
  busy_ = true;
  auto done = [self = shared_from_this(), data, closeAfter](const std::error_code& error, size_t) {
    self->busy_ = false;
    if (error || closeAfter || self->closed_) {
      self->Close();
      return;
    }
    self->TakeFrames();
  };
  if (tls_) {
    asio::async_write(*tls_, asio::buffer(*data), std::move(done));
  } else {
    asio::async_write(socket_, asio::buffer(*data), std::move(done));
  }
}

void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace

void CheckListening(const ServerOptions& options) {
  bool tlsFiles =
      !options.tls.certificate.empty() || !options.tls.key.empty() || !options.tls.ca.empty();
  if (!options.listenTls.empty() && (options.tls.certificate.empty() || options.tls.key.empty()))
    throw std::runtime_error("--listen-tls needs --tls-cert and --tls-key");
  if (options.listenTls.empty() && tlsFiles)
    throw std::runtime_error("--tls-cert, --tls-key and --tls-ca need --listen-tls");
  if (options.maxConnections == 0 || options.maxPerPeer == 0 || options.frameTimeout.count() == 0)
    throw std::runtime_error(
        "--max-connections, --max-per-peer and --frame-timeout take 1 or more");
  auto [plain, tls] = AllEndpoints(options);
  plain.insert(plain.end(), tls.begin(), tls.end());
  for (const auto& endpoint : plain) {
    if (endpoint.address().is_loopback() || options.senders != nullptr || options.anySender)
      continue;
    throw std::runtime_error(
        "listening on " + endpoint.address().to_string() +
        " lets anyone who reaches it change patients' stays: give --senders FILE, the senders "
        "allowed (or --any-sender for a test bed)");
  }
}

bool Serve(Gateway& gateway, const ServerOptions& options) {
  CheckListening(options);
  RaiseDescriptorLimit();
  asio::io_context io;
  Listener listener(io, gateway, options);
  listener.Open();
  io.run();
  listener.Join();
  Log(listener.failed() ? "wardlink hl7: stopped: the message store was lost"
                        : "wardlink hl7: stopped");
  return !listener.failed();
}

}  // namespace wardlink::hl7

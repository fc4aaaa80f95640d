#include "hl7/server.h"

#include <sys/resource.h>

#include <asio.hpp>
#include <iostream>
#include <memory>
#include <mutex>
#include <set>

namespace wardlink::hl7 {

namespace {

using asio::ip::tcp;

constexpr char kStartBlock = 0x0B;
constexpr char kEndBlock = 0x1C;
constexpr char kCarriageReturn = 0x0D;

std::mutex logMutex;

void Log(const std::string& line) {
  std::lock_guard lock(logMutex);
  std::cerr << line << '\n' << std::flush;
}

class Listener;

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, Listener& listener);
  void Start();
  void Stop();  // closes now, or after the message in hand when one is

 private:
  void Read();
  void TakeFrames();
  void Apply(std::string frame);
  void Write(std::string bytes, bool closeAfter);
  void ArmIdle();
  void Close();

  tcp::socket socket_;
  Listener& listener_;
  asio::steady_timer idle_;
  std::string peer_;
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
        retry_(io) {}

  void Open() {
    std::string host;
    std::string port = options_.listen;
    size_t colon = options_.listen.rfind(':');
    if (colon != std::string::npos) {
      host = options_.listen.substr(0, colon);
      port = options_.listen.substr(colon + 1);
      if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    }
    unsigned long number = std::stoul(port);
    if (number > 65535) throw std::runtime_error("--listen: no such port " + port);
    if (host.empty()) {
      // One socket for both families where the system allows it, else IPv4 alone.
      try {
        OpenOne(tcp::endpoint(asio::ip::address_v6::any(), static_cast<unsigned short>(number)),
                true);
      } catch (const std::system_error&) {
        OpenOne(tcp::endpoint(asio::ip::address_v4::any(), static_cast<unsigned short>(number)),
                false);
      }
    } else {
      OpenOne(tcp::endpoint(asio::ip::make_address(host), static_cast<unsigned short>(number)),
              false);
    }
    signals_.async_wait([this](const std::error_code& error, int) {
      if (!error) Shutdown();
    });
  }

  void Shutdown() {
    Log("wardlink hl7: stopping; finishing the messages in hand");
    stopping_ = true;
    std::error_code ignored;
    for (auto& acceptor : acceptors_) acceptor->close(ignored);
    retry_.cancel();
    std::set<std::shared_ptr<Session>> sessions = sessions_;
    for (const auto& session : sessions) session->Stop();
  }

  void Forget(const std::shared_ptr<Session>& session) { sessions_.erase(session); }
  bool stopping() const { return stopping_; }
  Gateway& gateway() { return gateway_; }
  const ServerOptions& options() const { return options_; }
  asio::thread_pool& workers() { return workers_; }
  asio::io_context& io() { return io_; }
  void Join() { workers_.join(); }

 private:
  void OpenOne(const tcp::endpoint& endpoint, bool dualStack) {
    auto acceptor = std::make_unique<tcp::acceptor>(io_);
    acceptor->open(endpoint.protocol());
    acceptor->set_option(tcp::acceptor::reuse_address(true));
    if (endpoint.protocol() == tcp::v6()) acceptor->set_option(asio::ip::v6_only(!dualStack));
    acceptor->bind(endpoint);
    acceptor->listen(asio::socket_base::max_listen_connections);
    auto bound = acceptor->local_endpoint();
    Log("wardlink hl7: listening on " + bound.address().to_string() + " port " +
        std::to_string(bound.port()));
    acceptors_.push_back(std::move(acceptor));
    Accept(*acceptors_.back());
  }

  void Accept(tcp::acceptor& acceptor) {
    acceptor.async_accept([this, &acceptor](const std::error_code& error, tcp::socket socket) {
      if (stopping_) return;
      if (error) {
        if (error == asio::error::operation_aborted) return;
        // Out of descriptors or the like: the sockets open now are served; try again shortly.
        retry_.expires_after(std::chrono::milliseconds(100));
        retry_.async_wait([this, &acceptor](const std::error_code& e) {
          if (!e && !stopping_) Accept(acceptor);
        });
        return;
      }
      auto session = std::make_shared<Session>(std::move(socket), *this);
      sessions_.insert(session);
      gateway_.metrics().ConnectionOpened();
      session->Start();
      Accept(acceptor);
    });
  }

  asio::io_context& io_;
  Gateway& gateway_;
  const ServerOptions& options_;
  asio::thread_pool workers_;
  asio::signal_set signals_;
  asio::steady_timer retry_;
  std::vector<std::unique_ptr<tcp::acceptor>> acceptors_;
  std::set<std::shared_ptr<Session>> sessions_;
  bool stopping_ = false;
};

Session::Session(tcp::socket socket, Listener& listener)
    : socket_(std::move(socket)), listener_(listener), idle_(listener.io()) {
  std::error_code error;
  auto remote = socket_.remote_endpoint(error);
  if (error) {
    peer_ = "unknown";
    return;
  }
  auto address = remote.address();
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  peer_ = address.to_string() + ":" + std::to_string(remote.port());
}

void Session::Start() {
  ArmIdle();
  Read();
}

void Session::Stop() {
  stopping_ = true;
  if (!busy_) Close();
}

void Session::Close() {
  if (closed_) return;
  closed_ = true;
  std::error_code ignored;
  idle_.cancel();
  socket_.shutdown(tcp::socket::shutdown_both, ignored);
  socket_.close(ignored);
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

void Session::Read() {
  socket_.async_read_some(asio::buffer(buffer_),
                          [self = shared_from_this()](const std::error_code& error, size_t n) {
                            if (self->closed_) return;
                            if (error) {
                              self->Close();
                              return;
                            }
                            self->ArmIdle();
                            self->pending_.append(self->buffer_.data(), n);
                            self->TakeFrames();
                          });
}

void Session::TakeFrames() {
  if (stopping_) {
    Close();
    return;
  }
  // Blank lines between frames are tolerated; anything else outside a frame ends the connection.
  size_t start = pending_.find_first_not_of("\r\n");
  if (start == std::string::npos) {
    pending_.clear();
    Read();
    return;
  }
  if (pending_[start] != kStartBlock) {
    Log("wardlink hl7: " + peer_ + " sent bytes outside an MLLP frame: closed");
    Close();
    return;
  }
  size_t end = pending_.find(std::string{kEndBlock, kCarriageReturn}, start + 1);
  size_t limit = listener_.options().maxFrame;
  if ((end == std::string::npos && pending_.size() - start - 1 > limit) ||
      (end != std::string::npos && end - start - 1 > limit)) {
    std::string text = "frame over " + std::to_string(limit) + " bytes: refused";
    Log("wardlink hl7: " + peer_ + " " + text + "; connection closed");
    std::string ack = RejectionAck(std::string_view(pending_).substr(start + 1, 65536), 102, text);
    pending_.clear();
    listener_.gateway().metrics().Answered("", "AR");
    Write(std::string(1, kStartBlock) + ack + std::string{kEndBlock, kCarriageReturn}, true);
    return;
  }
  if (end == std::string::npos) {
    pending_.erase(0, start);
    Read();
    return;
  }
  std::string frame = pending_.substr(start + 1, end - start - 1);
  pending_.erase(0, end + 2);
  Apply(std::move(frame));
}

void Session::Apply(std::string frame) {
  busy_ = true;
  auto guard = asio::make_work_guard(listener_.io());
  auto received = std::chrono::steady_clock::now();
  asio::post(listener_.workers(), [self = shared_from_this(), frame = std::move(frame),
                                   guard = std::move(guard), received]() mutable {
    std::string bytes;
    try {
      Reply reply = self->listener_.gateway().Handle(frame, self->peer_);
      Log(reply.logLine);
      bytes = std::string(1, kStartBlock) + reply.ack + std::string{kEndBlock, kCarriageReturn};
      self->listener_.gateway().metrics().AckSeconds(SecondsSince(received));
    } catch (const std::exception& error) {
      // No ACK: the sender keeps the message and sends it again.
      Log("wardlink hl7: " + self->peer_ + " " + error.what() + "; connection closed");
    }
    asio::post(self->listener_.io(), [self, bytes = std::move(bytes)]() mutable {
      if (bytes.empty()) {
        self->busy_ = false;
        self->Close();
        return;
      }
      self->Write(std::move(bytes), false);
    });
  });
}

void Session::Write(std::string bytes, bool closeAfter) {
  auto data = std::make_shared<std::string>(std::move(bytes));
  busy_ = true;
  asio::async_write(
      socket_, asio::buffer(*data),
      [self = shared_from_this(), data, closeAfter](const std::error_code& error, size_t) {
        self->busy_ = false;
        if (error || closeAfter || self->closed_) {
          self->Close();
          return;
        }
        self->TakeFrames();
      });
}

void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace

void Serve(Gateway& gateway, const ServerOptions& options) {
  RaiseDescriptorLimit();
  asio::io_context io;
  Listener listener(io, gateway, options);
  listener.Open();
  io.run();
  listener.Join();
  Log("wardlink hl7: stopped");
}

}  // namespace wardlink::hl7

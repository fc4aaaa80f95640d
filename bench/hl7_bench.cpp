// Messages per second through `wardlink hl7 serve` (ACK after the store's synced commit) on 1 and
// 4 connections, plain, over TLS and plain with the metrics endpoint (--metrics), beside the same
// calls made directly through the exports on 1 and 4 threads; then the gateway's memory with every
// connection it allows parked on an unfinished frame of the largest size.
// Usage: wardlink_hl7_bench DIR [MESSAGES]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/hl7/hl7_test_support.h"
#include "wardlink.h"

namespace {

using namespace wardlink::hl7::testing;
using Clock = std::chrono::steady_clock;

struct Workload {
  const char* name;
  // The message and the direct call of message i on connection (or thread) c.
  std::function<std::string(int c, int i)> message;
  std::function<int32_t(const std::string& server, int c, int i)> direct;
  bool needsStays;
};

std::string Visit(int c) { return "ZB" + std::to_string(c); }
std::string Visit(int c, int i) { return "ZA" + std::to_string(c) + "-" + std::to_string(i); }

std::string Date(int i, bool movement) {
  char text[32];
  std::snprintf(text, sizeof text, movement ? "2024030%d%02d%02d" : "2024030%d%02d%02d00",
                1 + i / 1440, i / 60 % 24, i % 60);
  return text;
}

const Workload kWorkloads[] = {
    {"A01 admission",
     [](int c, int i) {
       return Join({Msh("A01", "A" + std::to_string(c) + "-" + std::to_string(i)),
                    Seg("EVN", {{2, "20240301101500"}}),
                    Seg("PID", {{3, "BA^^^^MR"}, {5, "Chen^Jing"}, {7, "19890215"}, {8, "F"}}),
                    Seg("PV1", {{3, "1^Ward 1A^1101^^^^^^Medicine"},
                                {7, "doc01^Wang^Wei"},
                                {19, Visit(c, i)},
                                {44, "20240301"}})});
     },
     [](const std::string& s, int c, int i) {
       std::string visit = Visit(c, i);
       return AddVictim(s.c_str(), "", "", visit.c_str(), "Chen Jing", "1", "Medicine", "doc01",
                        "Wang Wei", "", "", "", "", "", "", "", "女", "35", "0", "15", "", "", "",
                        "", "", "", "BA", "", "", "Ward 1A", "1101", "03/01/2024", "03/01/2024", "",
                        "", "", "", "", "", "", "", "", "", "", "", "", "");
     },
     false},
    {"A54 hand-over",
     [](int c, int i) {
       std::string date = Date(i, false);
       return Join({Msh("A54", "H" + std::to_string(c) + "-" + std::to_string(i)),
                    Seg("EVN", {{2, date}, {6, date}}),
                    Seg("PV1", {{7, "doc02^Zhao^Lei"}, {19, Visit(c)}})});
     },
     [](const std::string& s, int c, int i) {
       std::string visit = Visit(c);
       return JiaoBan(s.c_str(), "", "", visit.c_str(), "doc02", "Zhao Lei", "", "",
                      Date(i, true).c_str());
     },
     true},
};

std::string NewEmr(const std::filesystem::path& folder, int stays) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  CreateTrial(folder / "emr.db");
  std::string server = "sqlite:" + (folder / "emr.db").string();
  AddOrganisation(server);
  for (int c = 0; c < stays; ++c) {
    std::string visit = Visit(c);
    AddVictim(server.c_str(), "", "", visit.c_str(), "Chen Jing", "1", "Medicine", "doc01",
              "Wang Wei", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
              "", "", "", "", "03/01/2024", "03/01/2024", "", "", "", "", "", "", "", "", "", "",
              "", "", "", "");
  }
  return server;
}

// An MLLP client inside TLS with the test CA's "his" certificate (mutual TLS, as a site runs it).
class TlsClient {
 public:
  TlsClient(int port, const std::filesystem::path& tls)
      : context_(SSL_CTX_new(TLS_client_method()), SSL_CTX_free), ssl_(nullptr, SSL_free) {
    SSL_CTX* context = context_.get();
    SSL_CTX_load_verify_locations(context, (tls / "ca.pem").c_str(), nullptr);
    SSL_CTX_use_certificate_chain_file(context, (tls / "his.pem").c_str());
    SSL_CTX_use_PrivateKey_file(context, (tls / "his.key").c_str(), SSL_FILETYPE_PEM);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    ssl_.reset(SSL_new(context));
    SSL_set_fd(ssl_.get(), fd_);
    SSL_set1_host(ssl_.get(), "localhost");
    if (SSL_connect(ssl_.get()) != 1) ssl_.reset();
  }
  ~TlsClient() {
    ssl_.reset();
    if (fd_ >= 0) ::close(fd_);
  }
  TlsClient(const TlsClient&) = delete;
  TlsClient& operator=(const TlsClient&) = delete;

  std::optional<std::string> Send(const std::string& message) {
    std::string frame = "\x0b" + message + "\x1c\r";
    if (!ssl_ || SSL_write(ssl_.get(), frame.data(), static_cast<int>(frame.size())) <= 0)
      return std::nullopt;
    while (pending_.find("\x1c\r") == std::string::npos) {
      char buffer[4096];
      int n = SSL_read(ssl_.get(), buffer, sizeof buffer);
      if (n <= 0) return std::nullopt;
      pending_.append(buffer, static_cast<size_t>(n));
    }
    size_t end = pending_.find("\x1c\r");
    std::string ack = pending_.substr(1, end - 1);
    pending_.erase(0, end + 2);
    return ack;
  }

 private:
  std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> context_;
  std::unique_ptr<SSL, void (*)(SSL*)> ssl_;
  int fd_ = -1;
  std::string pending_;
};

// The CPU time the process has used so far (user and system), in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));  // after "PID (NAME) "
  std::string field;
  double ticks = 0;
  for (int i = 3; fields >> field && i <= 15; ++i)
    if (i >= 14) ticks += std::stod(field);  // utime, stime
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A line of /proc/PID/status in kB ("VmRSS", "VmHWM").
long StatusKb(pid_t pid, const std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.starts_with(name + ":")) return std::stol(line.substr(name.size() + 1));
  return -1;
}

// The gateway with its default limits (64 connections, 8 from one address, 1 MiB frames), every
// connection sending all of a frame but its end; its memory once it has read them.
void ParkedConnections(const std::filesystem::path& dir) {
  std::string server = NewEmr(dir / "parked", 0);
  GatewayProcess gateway(dir / "parked", server);
  auto settle = [&] {
    long last = -1;
    long now = StatusKb(gateway.pid(), "VmRSS");
    for (int calm = 0; calm < 10; now = StatusKb(gateway.pid(), "VmRSS")) {
      calm = now == last ? calm + 1 : 0;
      last = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return now;
  };
  long idle = settle();
  constexpr size_t kMaxFrame = 1 << 20;
  std::string head = Msh("A01", "P") + "\rNTE|1||";
  std::string frame = "\x0b" + head + std::string(kMaxFrame - head.size(), 'x');
  std::vector<std::unique_ptr<MllpClient>> parked;
  for (int peer = 0; peer < 8; ++peer) {
    for (int i = 0; i < 8; ++i) {
      parked.push_back(std::make_unique<MllpClient>("127.0.0.1", gateway.port(),
                                                    "127.0.0." + std::to_string(peer + 1)));
      parked.back()->SendRaw(frame);
    }
  }
  MllpClient refused("127.0.0.1", gateway.port(), "127.0.0.9");
  bool closed = refused.ClosedByPeer(std::chrono::seconds(5));
  long full = settle();
  std::printf(
      "\nmemory of the gateway (RSS): %.1f MB idle; %.1f MB with 64 connections each "
      "holding %zu bytes of an unfinished frame (peak %.1f MB); a 65th connection %s\n",
      idle / 1024.0, full / 1024.0, frame.size() - 1, StatusKb(gateway.pid(), "VmHWM") / 1024.0,
      closed ? "closed at once" : "OPEN");
  gateway.Stop(SIGTERM);
}

// Runs `body(c)` on `count` threads at once; gives the seconds they took together.
double Timed(int count, const std::function<void(int)>& body) {
  auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < count; ++c) threads.emplace_back(body, c);
  for (auto& thread : threads) thread.join();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: wardlink_hl7_bench DIR [MESSAGES]\n");
    return 2;
  }
  setenv("LC_ALL", "C", 1);
  std::filesystem::path dir = argv[1];
  int messages = argc > 2 ? std::atoi(argv[2]) : 400;
  std::atomic<int> failures{0};
  std::filesystem::path tls = dir / "tls";
  std::string make =
      std::string(WARDLINK_SOURCE_DIR) + "/tests/hl7/make_tls_files.sh " + tls.string();
  if (std::system(make.c_str()) != 0) {
    std::fprintf(stderr, "cannot make the TLS files\n");
    return 1;
  }
  std::printf(
      "| workload | connections | messages | direct calls/s | gateway messages/s | "
      "gateway / direct | over TLS messages/s | TLS / plain | with --metrics messages/s | "
      "gateway CPU ms/message plain, TLS |\n|---|---|---|---|---|---|---|---|---|---|\n");
  for (const Workload& w : kWorkloads) {
    for (int connections : {1, 4}) {
      int each = messages / connections;
      std::string server = NewEmr(dir / "direct", w.needsStays ? connections : 0);
      double direct = Timed(connections, [&](int c) {
        for (int i = 0; i < each; ++i)
          if (w.direct(server, c, i) != 0) ++failures;
      });
      // Plain, TLS and plain with metrics in turn, twice, the faster of each kept: a disk's syncs
      // vary more than TLS or the metrics cost.
      double seconds[3] = {1e9, 1e9, 1e9};  // plain, TLS, plain with --metrics
      double cpu[3] = {1e9, 1e9, 1e9};      // the gateway's CPU seconds
      for (int run = 0; run < 6; ++run) {
        int variant = run % 3;
        int secure = variant == 1 ? 1 : 0;
        server = NewEmr(dir / "gateway", w.needsStays ? connections : 0);
        std::vector<std::string> extra;
        if (secure != 0)
          extra = {"--listen-tls", "127.0.0.1:0",
                   "--tls-cert",   (tls / "server.pem").string(),
                   "--tls-key",    (tls / "server.key").string(),
                   "--tls-ca",     (tls / "ca.pem").string()};
        if (variant == 2) extra = {"--metrics", "0"};
        GatewayProcess gateway(dir / "gateway", server, extra);
        double took = Timed(connections, [&](int c) {
          std::function<std::optional<std::string>(const std::string&)> send;
          std::unique_ptr<MllpClient> plain;
          std::unique_ptr<TlsClient> tlsClient;
          if (secure != 0) {
            tlsClient = std::make_unique<TlsClient>(gateway.tlsPort(), tls);
            send = [&](const std::string& m) { return tlsClient->Send(m); };
          } else {
            plain = std::make_unique<MllpClient>("127.0.0.1", gateway.port());
            send = [&](const std::string& m) { return plain->Send(m); };
          }
          for (int i = 0; i < each; ++i) {
            auto ack = send(w.message(c, i));
            if (!ack || AckField(*ack, "MSA", 1) != "AA") ++failures;
          }
        });
        seconds[variant] = std::min(seconds[variant], took);
        cpu[variant] = std::min(cpu[variant], CpuSeconds(gateway.pid()));
        gateway.Stop(SIGTERM);
      }
      int total = each * connections;
      std::printf("| %s | %d | %d | %.0f | %.0f | %.2fx | %.0f | %.2fx | %.0f | %.2f, %.2f |\n",
                  w.name, connections, total, total / direct, total / seconds[0],
                  direct / seconds[0], total / seconds[1], seconds[0] / seconds[1],
                  total / seconds[2], 1000 * cpu[0] / total, 1000 * cpu[1] / total);
      std::fflush(stdout);
    }
  }
  ParkedConnections(dir);
  if (failures != 0) std::printf("%d calls or messages did not give 0 / AA\n", failures.load());
  return failures == 0 ? 0 : 1;
}

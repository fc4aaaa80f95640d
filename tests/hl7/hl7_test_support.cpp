#include "tests/hl7/hl7_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "wardlink.h"

namespace wardlink::hl7::testing {

std::string Seg(const std::string& id, const std::map<int, std::string>& fields) {
  std::string out = id;
  int last = fields.empty() ? 0 : fields.rbegin()->first;
  for (int i = 1; i <= last; ++i) {
    out += '|';
    auto found = fields.find(i);
    if (found != fields.end()) out += found->second;
  }
  return out;
}

std::string Msh(const std::string& event, const std::string& controlId, const std::string& version,
                const std::string& charset) {
  return "MSH|^~\\&|HIS|HOSP|WARDLINK|EMR|20240301080000||ADT^" + event + "|" + controlId + "|P|" +
         version + (charset.empty() ? "" : "|||||CHN|" + charset);
}

std::string Join(const std::vector<std::string>& segments) {
  std::string out;
  for (const auto& segment : segments) out += segment + "\r";
  return out;
}

void AddOrganisation(const std::string& server) {
  const char* s = server.c_str();
  auto check = [](int32_t result, const char* what) {
    if (result != 0)
      throw std::runtime_error(std::string(what) + " gave " + std::to_string(result));
  };
  check(AddUnit(s, "", "", 1, 1, "Medicine", ""), "AddUnit 1");
  check(AddUnit(s, "", "", 2, 1, "Surgery", ""), "AddUnit 2");
  check(AddUser(s, "", "", "doc01", "pw", "Wang Wei", 0, "", 1, 0), "AddUser doc01");
  check(AddUser(s, "", "", "doc02", "pw", "Zhao Lei", 0, "", 1, 0), "AddUser doc02");
  check(AddUser(s, "", "", "doc03", "pw", "Zhang Min", 0, "", 2, 0), "AddUser doc03");
  check(AddUser(s, "", "", "doc04", "pw", "Li Na", 0, "", 2, 0), "AddUser doc04");
}

std::string AckField(const std::string& ack, const std::string& id, int field) {
  std::istringstream lines(ack);
  std::string line;
  while (std::getline(lines, line, '\r')) {
    if (!line.starts_with(id + "|")) continue;
    std::vector<std::string> parts;
    std::istringstream fields(line);
    std::string part;
    while (std::getline(fields, part, '|')) parts.push_back(part);
    int index = id == "MSH" ? field - 1 : field;
    return index < static_cast<int>(parts.size()) ? parts[static_cast<size_t>(index)] : "";
  }
  return "<no " + id + ">";
}

std::string Tool() { return WARDLINK_TOOL; }

void CreateTrial(const std::filesystem::path& path) {
  std::string command = Tool() + " create-trial sqlite:" + path.string() + " >/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("create-trial failed");
}

std::string NewEmr(const std::filesystem::path& path) {
  CreateTrial(path);
  std::string server = "sqlite:" + path.string();
  AddOrganisation(server);
  return server;
}

std::pair<int, std::string> RunTool(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
  std::string out;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe.get())) out.append(buffer, n);
  int status = pclose(pipe.release());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TempFolder::TempFolder() {
  char pattern[] = "/tmp/wardlink-hl7-XXXXXX";
  path_ = mkdtemp(pattern);
}

TempFolder::~TempFolder() { std::filesystem::remove_all(path_); }

GatewayProcess::GatewayProcess(const std::filesystem::path& folder, const std::string& server,
                               std::vector<std::string> extra) {
  log_ = folder /
         ("gateway-" + std::to_string(::getpid()) + "-" +
          std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".log");
  std::vector<std::string> words = {
      Tool(), "hl7", "serve", "--listen", "127.0.0.1:0", "--store", (folder / "store.db").string()};
  for (auto& word : extra) words.push_back(std::move(word));
  // A later --listen wins: the caller's, for IPv6.
  words.insert(words.end(), {server, "", ""});
  // Made before fork: the child of a threaded process only calls what is safe after fork.
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    int fd = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    int null = ::open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  bool tls = std::find(words.begin(), words.end(), "--listen-tls") != words.end();
  auto port = [](const std::string& text, const std::string& line) {
    size_t at = text.find(line);
    at = at == std::string::npos ? at : text.find(" port ", at);
    return at != std::string::npos && text.find('\n', at) != std::string::npos
               ? std::stoi(text.substr(at + 6))
               : 0;
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    std::string text = ErrorOutput();
    port_ = port(text, "listening on ");
    tlsPort_ = port(text, "listening with TLS on ");
    if (port_ != 0 && (!tls || tlsPort_ != 0)) return;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("the gateway stopped at start: " + text);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  throw std::runtime_error("the gateway did not start listening: " + ErrorOutput());
}

GatewayProcess::~GatewayProcess() {
  if (pid_ > 0) Stop(SIGKILL);
}

int GatewayProcess::Stop(int signal) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, signal);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::optional<int> GatewayProcess::Exited(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (pid_ > 0) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

std::string GatewayProcess::ErrorOutput() const {
  std::ifstream in(log_);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

MllpClient::MllpClient(const std::string& host, int port, const std::string& source) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return;
  fd_ = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  addrinfo* local = nullptr;
  hints.ai_flags = AI_NUMERICHOST;
  bool bound = source.empty() || (getaddrinfo(source.c_str(), "0", &hints, &local) == 0 &&
                                  ::bind(fd_, local->ai_addr, local->ai_addrlen) == 0);
  if (local != nullptr) freeaddrinfo(local);
  if (fd_ >= 0 && (!bound || ::connect(fd_, found->ai_addr, found->ai_addrlen) != 0)) {
    ::close(fd_);
    fd_ = -1;
  }
  freeaddrinfo(found);
}

MllpClient::~MllpClient() {
  if (fd_ >= 0) ::close(fd_);
}

bool MllpClient::SendRaw(const std::string& bytes) {
  size_t sent = 0;
  while (fd_ >= 0 && sent < bytes.size()) {
    ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return fd_ >= 0;
}

std::optional<std::string> MllpClient::Send(const std::string& message,
                                            std::chrono::milliseconds timeout) {
  if (!SendRaw("\x0b" + message + "\x1c\r")) return std::nullopt;
  return ReadAck(timeout);
}

std::optional<std::string> MllpClient::ReadAck(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (fd_ >= 0) {
    size_t start = pending_.find('\x0b');
    size_t end = pending_.find("\x1c\r");
    if (start != std::string::npos && end != std::string::npos && end > start) {
      std::string ack = pending_.substr(start + 1, end - start - 1);
      pending_.erase(0, end + 2);
      return ack;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
    char buffer[65536];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return std::nullopt;
    pending_.append(buffer, static_cast<size_t>(n));
  }
  return std::nullopt;
}

bool MllpClient::ClosedByPeer(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (fd_ >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[65536];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
    pending_.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

std::vector<std::string> TableRows(const std::filesystem::path& path, const std::string& table) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot open " + path.string());
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> owner(db, sqlite3_close);
  sqlite3_stmt* statement = nullptr;
  std::string sql = "SELECT * FROM " + table;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db));
  std::vector<std::string> rows;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row += std::string(sqlite3_column_name(statement, i)) + "=" +
             (text != nullptr ? reinterpret_cast<const char*>(text) : "<null>") + "|";
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace wardlink::hl7::testing

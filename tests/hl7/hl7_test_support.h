#pragma once

// Messages as senders write them, a trial EMR with its departments and doctors, the gateway run
// as its own process, and an MLLP client written here for the hostile and crash cases.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wardlink::hl7::testing {

// A segment from its fields by number: Seg("PV1", {{3, "1^W^1"}, {19, "ZY1"}}).
std::string Seg(const std::string& id, const std::map<int, std::string>& fields);

// MSH of an ADT message from HIS/HOSP to WARDLINK/EMR.
std::string Msh(const std::string& event, const std::string& controlId,
                const std::string& version = "2.5.1", const std::string& charset = "UNICODE UTF-8");

// Segments joined into one message, each ending in CR.
std::string Join(const std::vector<std::string>& segments);

// Departments 1 and 2 and the doctors doc01 to doc04 that the day's messages name.
void AddOrganisation(const std::string& server);

// The segments of an ACK, split at CR, and field `field` of segment `id` (MSA-1 is field 1).
std::string AckField(const std::string& ack, const std::string& id, int field);

// The wardlink tool, and a trial database made with it.
std::string Tool();
void CreateTrial(const std::filesystem::path& path);

// An EMR ready for the day: a trial database with departments 1 and 2 and doctors doc01-doc04;
// gives its server argument.
std::string NewEmr(const std::filesystem::path& path);

// A shell command's exit status and what it printed on standard output and error.
std::pair<int, std::string> RunTool(const std::string& command);

// A folder of its own under /tmp, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// `wardlink hl7 serve` as a process of its own on a free port.
class GatewayProcess {
 public:
  GatewayProcess(const std::filesystem::path& folder, const std::string& server,
                 std::vector<std::string> extra = {});
  ~GatewayProcess();
  GatewayProcess(const GatewayProcess&) = delete;
  GatewayProcess& operator=(const GatewayProcess&) = delete;

  int port() const { return port_; }
  int tlsPort() const { return tlsPort_; }  // with --listen-tls
  pid_t pid() const { return pid_; }
  // Sends `signal` and waits for the process; gives its exit status (128 + signal if killed).
  int Stop(int signal);
  // The exit status once the process ends by itself within `timeout`; nullopt while it runs.
  std::optional<int> Exited(std::chrono::milliseconds timeout);
  std::string ErrorOutput() const;

 private:
  std::filesystem::path log_;
  pid_t pid_ = -1;
  int port_ = 0;
  int tlsPort_ = 0;
};

// A blocking MLLP client with a time-out on every read.
class MllpClient {
 public:
  // `source`: the local address to connect from (127.0.0.2 is another peer on loopback).
  MllpClient(const std::string& host, int port, const std::string& source = "");
  ~MllpClient();
  MllpClient(const MllpClient&) = delete;
  MllpClient& operator=(const MllpClient&) = delete;
  bool connected() const { return fd_ >= 0; }

  bool SendRaw(const std::string& bytes);
  // Sends one framed message and reads its ACK; nullopt when the connection closes or the
  // time-out passes first.
  std::optional<std::string> Send(const std::string& message,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(20));
  std::optional<std::string> ReadAck(std::chrono::milliseconds timeout);
  // True when the gateway has closed the connection (read gives end of file) within `timeout`.
  bool ClosedByPeer(std::chrono::milliseconds timeout);

 private:
  int fd_ = -1;
  std::string pending_;
};

// Every row of `table` in the SQLite file at `path`, each row's cells joined by "|", sorted.
std::vector<std::string> TableRows(const std::filesystem::path& path, const std::string& table);

}  // namespace wardlink::hl7::testing

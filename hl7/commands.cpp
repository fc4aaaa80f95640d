#include "hl7/commands.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "hl7/gateway.h"
#include "hl7/senders.h"
#include "hl7/server.h"
#include "library/exit_status.h"
#include "library/export_table.h"

namespace wardlink::hl7 {

const char* const kHelp =
    R"(  hl7 serve [--listen [ADDR:]PORT] [--listen-tls [ADDR:]PORT --tls-cert FILE --tls-key FILE
            [--tls-ca FILE]] [--senders FILE | --any-sender] [--store PATH] [--mapping FILE]
            [--keep-days DAYS] [--max-connections N] [--max-per-peer N] [--max-frame BYTES]
            [--frame-timeout SECONDS] [--idle-timeout SECONDS] [--workers N]
            [--metrics [ADDR:]PORT] [SERVER LOGIN PASSWORD]
         receive HL7 v2 ADT messages over MLLP and apply each through its export, acknowledging
         AA (applied or ignored), AE (the export refused it, or its outcome is uncertain after a
         restart) or AR (unreadable, a field the event needs is missing, a sender speaking for
         an MSH-3/MSH-4 it may not use, or the database cannot be reached: send again); one line
         per message on standard error; SIGTERM or SIGINT stops it after the messages in hand.
         It listens on 127.0.0.1 and ::1 port 2575 unless --listen names another address, which
         needs --senders FILE (who may connect, and for which MSH-3/MSH-4) or --any-sender.
         --listen-tls: MLLP over TLS 1.2 or later; --tls-ca requires client certificates signed
         by it. Limits: --max-connections 64, --max-per-peer 8 (from one address), --max-frame
         1048576, --frame-timeout 60 (a frame must arrive whole within it), --idle-timeout 300.
         Raw messages are kept --keep-days 90 in the store (mode 0600), then only their outcome.
         Without SERVER LOGIN PASSWORD they come from WARDLINK_SERVER, WARDLINK_LOGIN and
         WARDLINK_PASSWORD. Default store: wardlink-hl7.db in the current folder. With
         --metrics, serves Prometheus metrics at http://ADDR:PORT/metrics (only a port: on
         127.0.0.1)
  hl7 apply [--store PATH] [--mapping FILE] [SERVER LOGIN PASSWORD] FILE...
         the same for files of messages (segments ending in CR, LF or CRLF; messages one after
         another, or MLLP-framed); prints each ACK; exit status 1 when one is not AA. When
         WARDLINK_SERVER is set, server, login and password come from WARDLINK_SERVER,
         WARDLINK_LOGIN and WARDLINK_PASSWORD and every argument is a FILE
  hl7 log --store PATH [--control-id ID | --visit ZHUYUANNO | --uncertain | --conflicts |
          --since TIME] [--json]
         what the gateway received, the export it called with its result and reason, and the
         ACK it sent; --uncertain lists the messages whose outcome a crash left unknown,
         --conflicts the messages refused because another message held their key
  hl7 resolve --store PATH ID applied|not-applied
         settles the uncertain message #ID after checking its stay: applied answers its resends
         AA, not-applied lets the next resend be applied
  hl7 mapping
         print the default mapping file (TOML; edit a copy and pass it with --mapping)
)";

namespace {

constexpr unsigned long kKeepDays = 90;  // the raw texts' time in the store

using host::kExitDone;
using host::kExitToolFailed;
using host::kExitUsage;

int Usage(const std::string& problem) {
  std::cerr << "wardlink hl7: " << problem << "\nTry 'wardlink --help'.\n";
  return kExitUsage;
}

struct Options {
  std::map<std::string, std::string> values;
  std::vector<std::string> positional;
  bool json = false;
  bool uncertain = false;
  bool conflicts = false;
  bool anySender = false;
};

// Reads --name VALUE options among positional words; flags are --json, --uncertain,
// --conflicts and --any-sender.
std::optional<Options> ReadOptions(const std::vector<std::string>& args,
                                   const std::vector<std::string>& known) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--json" || arg == "--uncertain" || arg == "--conflicts" || arg == "--any-sender") {
      (arg == "--json"        ? options.json
       : arg == "--uncertain" ? options.uncertain
       : arg == "--conflicts" ? options.conflicts
                              : options.anySender) = true;
      continue;
    }
    if (arg.starts_with("--")) {
      bool ok = false;
      for (const auto& name : known) ok = ok || name == arg;
      if (!ok || i + 1 >= args.size()) {
        Usage((ok ? "missing value for " : "unknown option ") + arg);
        return std::nullopt;
      }
      options.values[arg] = args[++i];
      continue;
    }
    options.positional.push_back(arg);
  }
  return options;
}

std::string Value(const Options& options, const std::string& name, const std::string& fallback) {
  auto found = options.values.find(name);
  return found != options.values.end() ? found->second : fallback;
}

Mapping LoadMapping(const Options& options) {
  auto found = options.values.find("--mapping");
  return found != options.values.end() ? Mapping::ReadFile(found->second) : Mapping::Default();
}

// The server, login and password from the environment, when WARDLINK_SERVER is set: the
// password then appears on no command line.
std::optional<Connection> EnvironmentConnection() {
  const char* server = std::getenv("WARDLINK_SERVER");
  if (server == nullptr || *server == '\0') return std::nullopt;
  auto env = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value != nullptr ? value : "");
  };
  return Connection{server, env("WARDLINK_LOGIN"), env("WARDLINK_PASSWORD")};
}

// A whole number option within [low, high]; nullopt (after the usage message) otherwise.
std::optional<unsigned long> Number(const Options& options, const std::string& name,
                                    unsigned long fallback, unsigned long low = 0,
                                    unsigned long high = 1UL << 40) {
  std::string text = Value(options, name, std::to_string(fallback));
  if (!text.empty() && text.size() < 15 &&
      text.find_first_not_of("0123456789") == std::string::npos) {
    unsigned long value = std::stoul(text);
    if (value >= low && value <= high) return value;
  }
  Usage(name + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high));
  return std::nullopt;
}

int Serve(const std::vector<std::string>& args) {
  auto options = ReadOptions(
      args, {"--listen", "--listen-tls", "--tls-cert", "--tls-key", "--tls-ca", "--senders",
             "--store", "--mapping", "--keep-days", "--max-connections", "--max-per-peer",
             "--max-frame", "--frame-timeout", "--idle-timeout", "--workers", "--metrics"});
  if (!options) return kExitUsage;
  if (options->json || options->uncertain || options->conflicts)
    return Usage("serve: unexpected flag");
  Connection connection;
  if (options->positional.size() == 3) {
    connection = {options->positional[0], options->positional[1], options->positional[2]};
  } else if (auto env = EnvironmentConnection(); options->positional.empty() && env) {
    connection = *env;
  } else {
    return Usage(
        "serve takes SERVER LOGIN PASSWORD (or WARDLINK_SERVER, WARDLINK_LOGIN, "
        "WARDLINK_PASSWORD)");
  }
  ServerOptions server;
  server.listen = Value(*options, "--listen", "");
  server.listenTls = Value(*options, "--listen-tls", "");
  server.tls = {Value(*options, "--tls-cert", ""), Value(*options, "--tls-key", ""),
                Value(*options, "--tls-ca", "")};
  server.anySender = options->anySender;
  auto maxFrame = Number(*options, "--max-frame", server.maxFrame, 64);
  auto maxConnections = Number(*options, "--max-connections", server.maxConnections, 1, 100000);
  auto maxPerPeer = Number(*options, "--max-per-peer", server.maxPerPeer, 1, 100000);
  auto frameTimeout = Number(*options, "--frame-timeout", server.frameTimeout.count(), 1, 86400);
  auto idleTimeout = Number(*options, "--idle-timeout", server.idleTimeout.count(), 1, 604800);
  auto workers = Number(*options, "--workers", server.workers, 1, 256);
  auto keepDays = Number(*options, "--keep-days", kKeepDays, 1, 36500);
  if (!maxFrame || !maxConnections || !maxPerPeer || !frameTimeout || !idleTimeout || !workers ||
      !keepDays)
    return kExitUsage;
  server.maxFrame = *maxFrame;
  server.maxConnections = *maxConnections;
  server.maxPerPeer = *maxPerPeer;
  server.frameTimeout = std::chrono::seconds(*frameTimeout);
  server.idleTimeout = std::chrono::seconds(*idleTimeout);
  server.workers = static_cast<unsigned>(*workers);
  std::optional<Senders> senders;
  if (options->values.contains("--senders")) {
    if (options->anySender) return Usage("serve takes --senders or --any-sender, not both");
    senders = Senders::ReadFile(options->values["--senders"]);
    server.senders = &*senders;
  }
  try {
    CheckListening(server);
  } catch (const std::runtime_error& error) {
    std::cerr << "wardlink hl7: " << error.what() << '\n';
    return kExitToolFailed;
  }
  Mapping mapping = LoadMapping(*options);
  Store store(Value(*options, "--store", "wardlink-hl7.db"), true);
  std::optional<Metrics> metrics;
  if (options->values.contains("--metrics")) {
    metrics.emplace(options->values["--metrics"], store);
    std::cerr << "wardlink hl7: metrics at " << metrics->Url() << std::endl;
  }
  Gateway gateway(connection, std::move(mapping), store, metrics ? &*metrics : nullptr);
  server.hourly = [&store, days = static_cast<int>(*keepDays)] { store.Prune(days); };
  store.Prune(static_cast<int>(*keepDays));
  return Serve(gateway, server) ? kExitDone : kExitToolFailed;
}

// The messages of a file: MLLP frames when it holds a start block, else a new message at each
// segment that begins with MSH.
std::vector<std::string> SplitMessages(const std::string& content) {
  std::vector<std::string> messages;
  if (content.find('\x0b') != std::string::npos) {
    size_t start = content.find('\x0b');
    while (start != std::string::npos) {
      size_t end = content.find('\x1c', start + 1);
      messages.push_back(
          content.substr(start + 1, end == std::string::npos ? end : end - start - 1));
      if (end == std::string::npos) break;
      start = content.find('\x0b', end + 1);
    }
    return messages;
  }
  std::string current;
  size_t i = 0;
  while (i < content.size()) {
    size_t end = content.find_first_of("\r\n", i);
    std::string line = content.substr(i, end == std::string::npos ? end : end - i);
    i = end == std::string::npos ? content.size() : end + 1;
    if (line.empty()) continue;
    if (line.starts_with("MSH") && !current.empty()) {
      messages.push_back(current);
      current.clear();
    }
    current += line + "\r";
  }
  if (!current.empty()) messages.push_back(current);
  return messages;
}

std::string Shown(std::string text) {
  for (char& c : text)
    if (c == '\r') c = '\n';
  return text;
}

int Apply(const std::vector<std::string>& args) {
  auto options = ReadOptions(args, {"--store", "--mapping"});
  if (!options) return kExitUsage;
  const auto& p = options->positional;
  auto connection = EnvironmentConnection();
  size_t firstFile = connection ? 0 : 3;
  if (!connection && p.size() >= 4) connection = Connection{p[0], p[1], p[2]};
  if (!connection || p.size() <= firstFile)
    return Usage(
        "apply takes SERVER LOGIN PASSWORD FILE... (or WARDLINK_SERVER, WARDLINK_LOGIN, "
        "WARDLINK_PASSWORD and FILE...)");
  Mapping mapping = LoadMapping(*options);
  Store store(Value(*options, "--store", "wardlink-hl7.db"), true);
  Gateway gateway(*connection, std::move(mapping), store);
  int status = kExitDone;
  for (size_t f = firstFile; f < p.size(); ++f) {
    std::ifstream in(p[f], std::ios::binary);
    if (!in) {
      std::cerr << "wardlink hl7: cannot read " << p[f] << '\n';
      return kExitToolFailed;
    }
    std::ostringstream content;
    content << in.rdbuf();
    for (const auto& message : SplitMessages(content.str())) {
      Reply reply = gateway.Handle(message, p[f]);
      std::cerr << EscapeControls(reply.logLine) << '\n';
      std::cout << Shown(reply.ack) << '\n';
      if (reply.ackCode != "AA") status = kExitToolFailed;
    }
  }
  return status;
}

int Log(const std::vector<std::string>& args) {
  auto options = ReadOptions(args, {"--store", "--control-id", "--visit", "--since"});
  if (!options) return kExitUsage;
  if (!options->positional.empty())
    return Usage("log: unexpected argument " + options->positional[0]);
  if (!options->values.contains("--store")) return Usage("log needs --store PATH");
  Store store(options->values["--store"], false);
  Store::Filter filter{Value(*options, "--control-id", ""), Value(*options, "--visit", ""),
                       options->uncertain, Value(*options, "--since", ""), options->conflicts};
  for (const auto& m : store.List(filter)) {
    std::string result = m.result ? std::to_string(*m.result) : "";
    if (options->json) {
      using host::JsonString;
      std::cout << "{\"id\":" << m.id << ",\"received\":" << JsonString(m.receivedAt)
                << ",\"peer\":" << JsonString(m.peer)
                << ",\"sending_application\":" << JsonString(m.sendingApplication)
                << ",\"sending_facility\":" << JsonString(m.sendingFacility)
                << ",\"control_id\":" << JsonString(m.controlId)
                << ",\"event\":" << JsonString(m.event) << ",\"visit\":" << JsonString(m.visit)
                << ",\"state\":" << JsonString(m.state)
                << ",\"export\":" << JsonString(m.exportName)
                << ",\"result\":" << (m.result ? result : "null")
                << ",\"reason\":" << JsonString(m.reason)
                << ",\"ack_code\":" << JsonString(m.ackCode)
                << ",\"answered\":" << JsonString(m.answeredAt)
                << ",\"deliveries\":" << m.deliveries << ",\"message\":" << JsonString(m.raw)
                << ",\"ack\":" << JsonString(m.ack) << "}\n";
      continue;
    }
    // What a message sent is written with its control characters escaped: one entry, its lines.
    std::cout << '#' << m.id << ' ' << m.receivedAt << " from "
              << EscapeControls(m.sendingApplication + '/' + m.sendingFacility + " (" + m.peer +
                                ") control ID " + (m.controlId.empty() ? "-" : m.controlId) +
                                ", event " + (m.event.empty() ? "-" : m.event) + ", visit " +
                                (m.visit.empty() ? "-" : m.visit))
              << '\n'
              << "    " << m.state;
    if (!m.exportName.empty()) std::cout << "; " << m.exportName << " -> " << result;
    if (!m.ackCode.empty()) std::cout << "; ACK " << m.ackCode << " at " << m.answeredAt;
    std::cout << "; received " << m.deliveries << (m.deliveries == 1 ? " time" : " times") << '\n';
    if (!m.reason.empty()) std::cout << "    " << EscapeControls(m.reason) << '\n';
  }
  return kExitDone;
}

int Resolve(const std::vector<std::string>& args) {
  auto options = ReadOptions(args, {"--store"});
  if (!options) return kExitUsage;
  const auto& p = options->positional;
  int64_t id = 0;
  try {
    size_t used = 0;
    if (p.size() == 2) id = std::stoll(p[0], &used);
    if (id > 0 && used != p[0].size()) id = 0;
  } catch (const std::exception&) {
  }
  if (!options->values.contains("--store") || id <= 0 ||
      (p[1] != "applied" && p[1] != "not-applied"))
    return Usage("resolve takes --store PATH ID applied|not-applied");
  if (!Store::Resolve(options->values["--store"], id, p[1] == "applied")) {
    std::cerr << "wardlink hl7: #" << id << " is not an uncertain message\n";
    return kExitToolFailed;
  }
  std::cout << '#' << id << " settled: " << p[1] << '\n';
  return kExitDone;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("hl7 takes serve, apply, log, resolve or mapping");
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  try {
    if (command == "serve") return Serve(rest);
    if (command == "apply") return Apply(rest);
    if (command == "log") return Log(rest);
    if (command == "resolve") return Resolve(rest);
    if (command == "mapping" && rest.empty()) {
      std::cout << DefaultMappingText();
      return kExitDone;
    }
  } catch (const MappingError& error) {
    std::cerr << "wardlink hl7: mapping refused: " << error.what() << '\n';
    return kExitToolFailed;
  } catch (const SendersError& error) {
    std::cerr << "wardlink hl7: senders file refused: " << error.what() << '\n';
    return kExitToolFailed;
  }
  return Usage("unknown hl7 command " + command);
}

}  // namespace wardlink::hl7

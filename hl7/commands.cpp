#include "hl7/commands.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "hl7/gateway.h"
#include "hl7/server.h"
#include "tools/call_command.h"
#include "tools/exit_status.h"
#include "tools/export_table.h"

namespace wardlink::hl7 {

const char* const kHelp =
    R"(  hl7 serve [--listen [ADDR:]PORT] [--store PATH] [--mapping FILE] [--max-frame BYTES]
            [--idle-timeout SECONDS] [--workers N] [--metrics [ADDR:]PORT]
            [SERVER LOGIN PASSWORD]
         receive HL7 v2 ADT messages over MLLP (default port 2575, every IPv4 and IPv6 address)
         and apply each through its export, acknowledging AA (applied or ignored), AE (the
         export refused it, or its outcome is uncertain after a restart) or AR (unreadable, a
         field the event needs is missing, or the database cannot be reached: send again); one
         line per message on standard error; SIGTERM or SIGINT stops it after the messages in
         hand. Without SERVER LOGIN PASSWORD they come from WARDLINK_SERVER, WARDLINK_LOGIN
         and WARDLINK_PASSWORD. Default store: wardlink-hl7.db in the current folder. With
         --metrics, serves Prometheus metrics at http://ADDR:PORT/metrics (only a port: on
         127.0.0.1)
  hl7 apply [--store PATH] [--mapping FILE] SERVER LOGIN PASSWORD FILE...
         the same for files of messages (segments ending in CR, LF or CRLF; messages one after
         another, or MLLP-framed); prints each ACK; exit status 1 when one is not AA
  hl7 log --store PATH [--control-id ID | --visit ZHUYUANNO | --uncertain | --since TIME] [--json]
         what the gateway received, the export it called with its result and reason, and the
         ACK it sent; --uncertain lists the messages whose outcome a crash left unknown
  hl7 mapping
         print the default mapping file (TOML; edit a copy and pass it with --mapping)
)";

namespace {

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
};

// Reads --name VALUE options among positional words; flags are --json and --uncertain.
std::optional<Options> ReadOptions(const std::vector<std::string>& args,
                                   const std::vector<std::string>& known) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--json" || arg == "--uncertain") {
      (arg == "--json" ? options.json : options.uncertain) = true;
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

int Serve(const std::vector<std::string>& args) {
  auto options = ReadOptions(args, {"--listen", "--store", "--mapping", "--max-frame",
                                    "--idle-timeout", "--workers", "--metrics"});
  if (!options) return kExitUsage;
  if (options->json || options->uncertain) return Usage("serve: unexpected flag");
  Connection connection;
  if (options->positional.size() == 3) {
    connection = {options->positional[0], options->positional[1], options->positional[2]};
  } else if (options->positional.empty() && std::getenv("WARDLINK_SERVER") != nullptr &&
             *std::getenv("WARDLINK_SERVER") != '\0') {
    auto env = [](const char* name) {
      const char* value = std::getenv(name);
      return std::string(value != nullptr ? value : "");
    };
    connection = {env("WARDLINK_SERVER"), env("WARDLINK_LOGIN"), env("WARDLINK_PASSWORD")};
  } else {
    return Usage(
        "serve takes SERVER LOGIN PASSWORD (or WARDLINK_SERVER, WARDLINK_LOGIN, "
        "WARDLINK_PASSWORD)");
  }
  ServerOptions server;
  server.listen = Value(*options, "--listen", server.listen);
  try {
    server.maxFrame = std::stoul(Value(*options, "--max-frame", std::to_string(server.maxFrame)));
    server.idleTimeout = std::chrono::seconds(
        std::stoul(Value(*options, "--idle-timeout", std::to_string(server.idleTimeout.count()))));
    server.workers = static_cast<unsigned>(
        std::stoul(Value(*options, "--workers", std::to_string(server.workers))));
  } catch (const std::exception&) {
    return Usage("--max-frame, --idle-timeout and --workers take a number");
  }
  Mapping mapping = LoadMapping(*options);
  Store store(Value(*options, "--store", "wardlink-hl7.db"), true);
  std::optional<Metrics> metrics;
  if (options->values.contains("--metrics")) {
    metrics.emplace(options->values["--metrics"], store);
    std::cerr << "wardlink hl7: metrics at " << metrics->Url() << std::endl;
  }
  Gateway gateway(connection, std::move(mapping), store, metrics ? &*metrics : nullptr);
  Serve(gateway, server);
  return kExitDone;
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
  if (options->positional.size() < 4) return Usage("apply takes SERVER LOGIN PASSWORD FILE...");
  const auto& p = options->positional;
  Mapping mapping = LoadMapping(*options);
  Store store(Value(*options, "--store", "wardlink-hl7.db"), true);
  Gateway gateway({p[0], p[1], p[2]}, std::move(mapping), store);
  int status = kExitDone;
  for (size_t f = 3; f < p.size(); ++f) {
    std::ifstream in(p[f], std::ios::binary);
    if (!in) {
      std::cerr << "wardlink hl7: cannot read " << p[f] << '\n';
      return kExitToolFailed;
    }
    std::ostringstream content;
    content << in.rdbuf();
    for (const auto& message : SplitMessages(content.str())) {
      Reply reply = gateway.Handle(message, p[f]);
      std::cerr << reply.logLine << '\n';
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
                       options->uncertain, Value(*options, "--since", "")};
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
    std::cout << '#' << m.id << ' ' << m.receivedAt << " from " << m.sendingApplication << '/'
              << m.sendingFacility << " (" << m.peer << ") control ID "
              << (m.controlId.empty() ? "-" : m.controlId) << ", event "
              << (m.event.empty() ? "-" : m.event) << ", visit "
              << (m.visit.empty() ? "-" : m.visit) << '\n'
              << "    " << m.state;
    if (!m.exportName.empty()) std::cout << "; " << m.exportName << " -> " << result;
    if (!m.ackCode.empty()) std::cout << "; ACK " << m.ackCode << " at " << m.answeredAt;
    std::cout << "; received " << m.deliveries << (m.deliveries == 1 ? " time" : " times") << '\n';
    if (!m.reason.empty()) std::cout << "    " << m.reason << '\n';
  }
  return kExitDone;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("hl7 takes serve, apply, log or mapping");
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  try {
    if (command == "serve") return Serve(rest);
    if (command == "apply") return Apply(rest);
    if (command == "log") return Log(rest);
    if (command == "mapping" && rest.empty()) {
      std::cout << DefaultMappingText();
      return kExitDone;
    }
  } catch (const MappingError& error) {
    std::cerr << "wardlink hl7: mapping refused: " << error.what() << '\n';
    return kExitToolFailed;
  }
  return Usage("unknown hl7 command " + command);
}

}  // namespace wardlink::hl7

// wardlink: the host program built with the library, for people and for scripts. Creates and
// checks databases, calls any export by name (one at a time or in batches), shows a stay's record
// and timeline, and plays a demo day of a hospital.

#include "wardlink.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/trial_database.h"
#include "hl7/commands.h"
#include "library/exit_status.h"
#include "library/export_table.h"
#include "tools/call_command.h"
#include "tools/database_check.h"
#include "tools/demo.h"
#include "tools/stay_views.h"

namespace {

using namespace wardlink::host;

// Written for people and for help2man, which makes the man page from it.
constexpr const char* kHelp = R"(Usage: wardlink COMMAND [ARGUMENTS...]
Calls the WardLink library's exports by name, creates and checks databases, and shows a stay's
record and timeline.

Commands:
  create-trial sqlite:PATH
         create a new SQLite trial database at the plain file path PATH (never over an existing
         file; "file:" URIs and ":memory:" are refused)
  call [--json] EXPORT SERVER LOGIN PASSWORD ARGUMENTS...
         call one export; print its result with its meaning, every buffer it filled and, for
         1, -1 and a rolled-back code, the reason; warn on stderr when a date or number text
         of the stay record would be replaced by its default
  batch [--json] [--stop-on-failure] [FILE]
         calls read one a line from FILE (or standard input when FILE is - or missing), with the
         arguments of `call` after the word call; `#` starts a comment line; one result line
         each (a JSON object each with --json)
  help [EXPORT]
         list the exports, or give one export's arguments, their text forms and its result codes
  events SERVER LOGIN PASSWORD ZHUYUANNO
         a stay's event log as a timeline, with its movement state and transfer target
  record SERVER LOGIN PASSWORD ZHUYUANNO
         a stay's record, one field a line
  check SERVER LOGIN PASSWORD
         check that a database has every table and column the library uses, that names resolve
         without regard to case, that a default date format exists and the title list is filled
  demo sqlite:PATH
         play a day of a small hospital on a new trial database
@HL7@
Options:
  -h, --help     print this help and exit
  -V, --version  print the version and exit
  --json         (call, batch) print each result as one JSON object: export, result, meaning,
                 buffers, message, warnings
  --stop-on-failure
                 (batch) stop at the first call that does not give 0

Servers:
  sqlite:PATH    the existing SQLite database in the file PATH, a path and nothing else (never a
                 URI or :memory:); login and password are ignored
  odbc:STRING    any ODBC data source (DSN=... or Driver=...;...), login and password added
  NAME           the SQL Server instance NAME through FreeTDS, catalog KLINODB
  A login, password or server name that the driver manager and the driver could not both read
  as one value (any value holding "}", and for most drivers also ";", "{", "=", control
  characters or blanks at either end) is refused unsent: result 1.

Result codes:
  0 done; 1 connection failed (the reason is printed); 2 to 5 the export's own (see wardlink help
  EXPORT); -1 unexpected database error (the database's message is printed).

Exit status:
  0      the call gave 0 (batch: every call did; check: nothing is missing)
  1      the tool could not do its job, or check found something missing
  2      usage error: nothing was called
  9      the call gave -1
  11     the call gave 1
  12-15  the call gave its own code 2 to 5
  A batch exits with the status of its first call that failed.

HL7 gateway:
  Set-up: put the EMR's server, login and password in the environment file
  (/etc/wardlink/hl7.env when installed under /usr: WARDLINK_SERVER, WARDLINK_LOGIN,
  WARDLINK_PASSWORD), then `systemctl enable --now wardlink-hl7`; senders connect to port 2575.
  `wardlink hl7 mapping > site.toml` gives the default mapping to edit; pass it with --mapping
  (in WARDLINK_HL7_OPTIONS); a mapping with an unknown argument or path is refused at start-up,
  naming its line.
  ACK codes (MSA-1): AA: applied, or not used by the EMR (MSA-3 "ignored: ..."). AE: not applied
  because the export refused it (ERR-8: the export, its result code and meaning, and the
  database's reason), or "outcome uncertain after a restart: check the stay" (the gateway stopped
  while applying it; it is never applied again). AR: not applied and may be sent again: the
  message cannot be read, lacks a field the event needs, holds a control character in a field
  the mapping reads, or names an unsupported character set (ERR-3 100, 101, 102, 103; ERR-2 the
  segment and field; ERR-8 what is wrong), or the EMR database cannot be reached (ERR-3 207).
  Key: the whole MSH-3, MSH-4 and MSH-10. The same message again (MSH-7 aside) is a duplicate:
  answered with the same ACK, never applied twice. A different message under a key already held
  is a conflict: AR (ERR-3 205), never applied, listed by `wardlink hl7 log --conflicts`.
  The log: `wardlink hl7 log --store PATH` gives each message's arrival, sender, control ID,
  event and visit, then its state (answered; retry: answered AR, a resend is applied; uncertain;
  applying; conflict), the export with its result, the ACK code and time, how often it was
  received, and the reason. Any SQLite client reads the same store (table messages). An
  uncertain message is settled with `wardlink hl7 resolve --store PATH ID applied|not-applied`.

Examples:
  wardlink create-trial sqlite:/tmp/trial.db
  wardlink call AddUnit sqlite:/tmp/trial.db "" "" 1 1 Surgery ""
  wardlink help AddVictim
  wardlink events sqlite:/tmp/trial.db "" "" ZY0001
)";

int Usage(const std::string& problem) {
  std::cerr << "wardlink: " << problem << "\nTry 'wardlink --help'.\n";
  return kExitUsage;
}

const std::vector<std::string> kCommands = {"create-trial", "call",  "batch", "help", "events",
                                            "record",       "check", "demo",  "hl7"};

void PrintExportHelp(const ExportSpec& spec) {
  std::cout << spec.name() << " SERVER LOGIN PASSWORD";
  for (const auto& argument : spec.arguments()) std::cout << ' ' << argument.name;
  std::cout << "\n\nArguments after SERVER LOGIN PASSWORD:\n";
  if (spec.arguments().empty()) std::cout << "  none\n";
  for (const auto& argument : spec.arguments())
    std::cout << "  " << argument.name << ": " << DescribeForm(argument.form) << '\n';
  if (!spec.buffers().empty()) {
    std::cout << "\nBuffers it fills (printed on 0):\n  ";
    for (size_t i = 0; i < spec.buffers().size(); ++i)
      std::cout << (i == 0 ? "" : i % 6 == 0 ? ",\n  " : ", ") << spec.buffers()[i];
    std::cout << '\n';
  }
  std::cout << "\nResult codes:\n";
  for (int32_t code : {0, 1}) std::cout << "  " << code << "  " << spec.Meaning(code) << '\n';
  for (const auto& [code, meaning] : spec.codes())
    std::cout << "  " << code << "  " << meaning << '\n';
  std::cout << "  -1 " << spec.Meaning(-1) << '\n';
}

int Help(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::cout
        << "Exports, each called as: wardlink call EXPORT SERVER LOGIN PASSWORD ARGUMENTS...\n";
    for (const auto& spec : Exports()) {
      std::cout << "  " << spec.name();
      if (spec.arguments().size() > 8) {
        std::cout << " (" << spec.arguments().size() << " texts: " << spec.arguments().front().name
                  << " ... " << spec.arguments().back().name << ")";
      } else {
        for (const auto& argument : spec.arguments()) std::cout << ' ' << argument.name;
      }
      std::cout << '\n';
    }
    std::cout << "wardlink help EXPORT gives the text forms and result codes of one.\n";
    return kExitDone;
  }
  if (args.size() > 1) return Usage("help takes one export name");
  PrintExportHelp(ExportNamed(args[0]));
  return kExitDone;
}

int Batch(std::vector<std::string> args) {
  bool json = false;
  bool stop = false;
  std::string file;
  for (const auto& arg : args) {
    if (arg == "--json") {
      json = true;
    } else if (arg == "--stop-on-failure") {
      stop = true;
    } else if (file.empty() && (arg == "-" || !arg.starts_with("-"))) {
      file = arg;
    } else {
      return Usage("batch: unexpected argument " + arg);
    }
  }
  if (file.empty() || file == "-") return RunBatch(std::cin, json, stop, std::cout, std::cerr);
  std::error_code ignored;
  if (std::filesystem::is_directory(file, ignored)) {
    // A folder opens as a stream that reads nothing: the batch would do nothing and succeed.
    std::cerr << "wardlink: cannot read " << file << ": it is a folder\n";
    return kExitToolFailed;
  }
  std::ifstream in(file);
  if (!in) {
    std::cerr << "wardlink: cannot read " << file << '\n';
    return kExitToolFailed;
  }
  return RunBatch(in, json, stop, std::cout, std::cerr);
}

int Demo(const std::string& server) {
  // One clear message instead of a page of failed calls.
  wardlink::DbConnection connection({server, "", ""});
  if (!connection.Connect()) {
    std::cout << "cannot open " << server << ": " << connection.failure() << '\n';
    return ExitStatusForResult(1);
  }
  connection.Disconnect();
  DemoRun run(server);
  DemoDictionaries(run);
  DemoOrganisation(run);
  DemoPatients(run);
  DemoMovements(run);
  std::cout << "\n"
            << (run.failures() == 0 ? "demo completed" : "demo had unexpected results") << '\n';
  return run.failures() == 0 ? kExitDone : kExitToolFailed;
}

int Run(const std::vector<std::string>& args) {
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  const auto asksHelp = [](const std::string& word) { return word == "-h" || word == "--help"; };
  if (asksHelp(command) || (!rest.empty() && asksHelp(rest[0]))) {
    std::string help = kHelp;
    help.replace(help.find("@HL7@"), 5, wardlink::hl7::kHelp);
    std::cout << help;
    return kExitDone;
  }
  if (command == "-V" || command == "--version") {
    std::cout << "wardlink " << WardLinkVersion() << '\n';
    return kExitDone;
  }
  if (command == "call") return RunCall(rest, std::cout, std::cerr);
  if (command == "batch") return Batch(rest);
  if (command == "help") return Help(rest);
  if (command == "hl7") return wardlink::hl7::RunCommand(rest);
  const auto connection = [&]() -> wardlink::ConnectionArgs { return {rest[0], rest[1], rest[2]}; };
  if (command == "create-trial" && rest.size() == 1) {
    wardlink::CreateTrialDatabase(rest[0]);
    std::cout << "created trial database " << rest[0] << '\n';
    return kExitDone;
  }
  if (command == "events" && rest.size() == 4) return RunEvents(connection(), rest[3], std::cout);
  if (command == "record" && rest.size() == 4) return RunRecord(connection(), rest[3], std::cout);
  if (command == "check" && rest.size() == 3) return RunCheck(connection(), std::cout);
  if (command == "demo" && rest.size() == 1) return Demo(rest[0]);
  for (const auto& known : kCommands) {
    if (command == known) return Usage("wrong number of arguments for " + command);
  }
  std::string closest = ClosestName(command, kCommands);
  return Usage("unknown command " + command +
               (closest.empty() ? "" : "; did you mean " + closest + "?"));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("no command given");
  try {
    return Run(args);
  } catch (const UsageError& error) {
    return Usage(error.what());
  } catch (const std::exception& error) {
    std::cerr << "wardlink: " << error.what() << '\n';
    return kExitToolFailed;
  }
}

// wardlink: a small host program for the library. Creates trial databases, calls any export by
// name, and plays a demo day of a hospital.

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/trial_database.h"
#include "tools/demo.h"
#include "tools/export_calls.h"

namespace {

using namespace wardlink::host;

int Usage() {
  std::cerr << "usage:\n"
               "  wardlink create-trial sqlite:PATH\n"
               "  wardlink call EXPORT SERVER LOGIN PASSWORD ARGS...\n"
               "  wardlink demo sqlite:PATH\n"
               "exports and their arguments after SERVER LOGIN PASSWORD:\n";
  for (const auto& line : DescribeExports()) std::cerr << "  " << line << '\n';
  return 2;
}

int Call(const std::vector<std::string>& args) {
  if (args.size() < 4) return Usage();
  std::vector<std::string> rest(args.begin() + 4, args.end());
  CallOutcome outcome = CallExport(args[0], args[1], args[2], args[3], rest);
  std::cout << "result: " << outcome.result << '\n';
  for (const auto& [name, text] : outcome.buffers) std::cout << name << ": " << text << '\n';
  if (outcome.result == -1) std::cout << "error: " << outcome.error << '\n';
  return 0;
}

int Demo(const std::string& server) {
  DemoRun run(server);
  DemoDictionaries(run);
  DemoOrganisation(run);
  DemoPatients(run);
  DemoMovements(run);
  std::cout << "\n"
            << (run.failures() == 0 ? "demo completed" : "demo had unexpected results") << '\n';
  return run.failures() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  try {
    const std::string& command = args[0];
    if (command == "create-trial" && args.size() == 2) {
      wardlink::CreateTrialDatabase(args[1]);
      std::cout << "created trial database " << args[1] << '\n';
      return 0;
    }
    if (command == "call") return Call({args.begin() + 1, args.end()});
    if (command == "demo" && args.size() == 2) return Demo(args[1]);
  } catch (const std::exception& error) {
    std::cerr << "wardlink: " << error.what() << '\n';
    return 1;
  }
  return Usage();
}

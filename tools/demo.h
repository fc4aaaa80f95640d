#pragma once

#include <string>
#include <vector>

namespace wardlink::host {

// Plays calls against one database and prints each with its result and the buffers it filled.
class DemoRun {
 public:
  explicit DemoRun(std::string server) : server_(std::move(server)) {}

  // Calls an export through the host's export table; returns its result code.
  int Call(const std::string& name, const std::vector<std::string>& args);
  void Heading(const std::string& title);
  const std::string& server() const { return server_; }
  int failures() const { return failures_; }
  // Counts an outcome that the demo did not expect, so that the run ends non-zero.
  void Expect(bool condition, const std::string& what);

 private:
  std::string server_;
  int failures_ = 0;
};

// A date as a host writes it, in the short date form of the regional settings.
std::string ShortDate(int year, int month, int day);
// The 44 texts of a demo stay record, ZhuYuanNo first.
std::vector<std::string> DemoStay(const std::string& zhuYuanNo, const std::string& name,
                                  const std::string& age, const std::string& admitted,
                                  const std::string& condition);

// The sections of the demo, in the order a day of the hospital runs.
void DemoDictionaries(DemoRun& run);
void DemoOrganisation(DemoRun& run);
void DemoPatients(DemoRun& run);
void DemoMovements(DemoRun& run);

}  // namespace wardlink::host

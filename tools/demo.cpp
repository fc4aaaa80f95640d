#include "tools/demo.h"

#include <iostream>

#include "tools/call_command.h"

namespace wardlink::host {

void DemoRun::Heading(const std::string& title) { std::cout << "\n== " << title << " ==\n"; }

int DemoRun::Call(const std::string& name, const std::vector<std::string>& args) {
  std::cout << name << "(";
  for (size_t i = 0; i < args.size(); ++i) std::cout << (i ? ", " : "") << '"' << args[i] << '"';
  const ExportSpec& spec = ExportNamed(name);
  CallOutcome outcome = spec.Call({server_, "", "", args});
  std::cout << ") -> " << outcome.result << " (" << spec.Meaning(outcome.result) << ")\n";
  for (const auto& [buffer, text] : outcome.buffers)
    std::cout << "    " << buffer << ": " << text << '\n';
  if (!outcome.message.empty()) std::cout << "    reason: " << outcome.message << '\n';
  return outcome.result;
}

void DemoRun::Expect(bool condition, const std::string& what) {
  if (condition) return;
  ++failures_;
  std::cout << "    UNEXPECTED: " << what << '\n';
}

void DemoDictionaries(DemoRun& run) {
  run.Heading("Dictionaries");
  run.Expect(run.Call("AddZhiYe", {"Teacher", "1", "1"}) == 0, "occupation added");
  run.Expect(run.Call("AddZhiYe", {"Farmer", "2", "2"}) == 0, "occupation added");
  run.Expect(run.Call("AddZhiYe", {"Farmer again", "2", "3"}) == 2, "duplicate refused");
  run.Expect(run.Call("UpdateZhiYe", {"Farmer (retired)", "2", "5"}) == 0, "occupation renamed");
  run.Expect(run.Call("AddHunYin", {"single", "1", "1"}) == 0, "marital status added");
  run.Expect(run.Call("AddHunYin", {"married", "2", "2"}) == 0, "marital status added");
  run.Expect(run.Call("AddInHospType", {"emergency", "1", "1"}) == 0, "in-hospital type added");
  run.Expect(run.Call("AddYiBaoLeiXing", {"city scheme", "1", "1"}) == 0, "insurance type added");
  run.Expect(run.Call("AddCertificateType", {"identity card", "1", "1"}) == 0,
             "document type added");
  run.Expect(run.Call("AddCertificateType", {"passport", "2", "2"}) == 0, "document type added");
  run.Expect(run.Call("DeleteCertificateType", {"2"}) == 0, "document type deleted");
  run.Expect(run.Call("DeleteCertificateType", {"2"}) == 2, "second deletion refused");

  run.Heading("Lookup lists");
  run.Call("GetZhiCheng", {});
  run.Call("GetBingQingMiaoShu", {});
}

}  // namespace wardlink::host

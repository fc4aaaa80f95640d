#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wardlink::host {

// How the tool reads an argument's text, and what the export makes of it.
enum class ArgumentForm {
  kText,           // any text, passed as it is
  kInteger,        // converted by the tool to a 32-bit integer
  kSpare,          // never read by the export: any text, 0 is passed
  kMovementDate,   // yyyyMMddHHmm
  kDischargeDate,  // yyyyMMddHHmmss
  kRecordDate,     // short date form of the regional settings, else the current time
  kRecordNumber,   // host integer text, else 0
  kRecordCount,    // host integer text, else 1
  kRecordUnitId,   // a text the database converts to its integer column
};

struct ArgumentSpec {
  std::string name;
  ArgumentForm form;
};

// An argument the tool cannot pass (not an integer, wrong count, unknown export): nothing is
// called.
class UsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The values of one call: the connection arguments and the export's own, as texts.
struct CallArguments {
  std::string server;
  std::string login;
  std::string password;
  std::vector<std::string> values;
};

// What one call of an export gave back: the result code, the buffers it filled, and the library's
// message for 1, -1 and a rolled-back code.
struct CallOutcome {
  int32_t result = 0;
  std::vector<std::pair<std::string, std::string>> buffers;  // name, text
  std::string message;
};

class ExportSpec;
using ExportCall = std::function<CallOutcome(const ExportSpec&, const CallArguments&)>;

// One export as the tool knows it: its arguments, the buffers it fills, and what each of its own
// result codes means. The one table of result meanings: `help`, `call` and the demo read it.
class ExportSpec {
 public:
  ExportSpec(std::string name, std::vector<ArgumentSpec> arguments,
             std::map<int32_t, std::string> codes, ExportCall call,
             std::vector<std::string> buffers = {});

  const std::string& name() const { return name_; }
  const std::vector<ArgumentSpec>& arguments() const { return arguments_; }
  const std::vector<std::string>& buffers() const { return buffers_; }
  // Codes 2 to 5 that this export returns, with their meaning.
  const std::map<int32_t, std::string>& codes() const { return codes_; }

  // The meaning of any result this export can give (0, 1, -1 and its own codes).
  std::string Meaning(int32_t result) const;

  // Converts the texts to the argument kinds and calls the export. Raises UsageError, naming
  // the argument, when a value cannot be converted or the count is wrong.
  CallOutcome Call(const CallArguments& arguments) const;

  // Argument `index` converted to an integer; raises UsageError naming it.
  int32_t Integer(const CallArguments& arguments, size_t index) const;

 private:
  std::string name_;
  std::vector<ArgumentSpec> arguments_;
  std::map<int32_t, std::string> codes_;
  ExportCall call_;
  std::vector<std::string> buffers_;
};

// Every export, in the order of the public header.
const std::vector<ExportSpec>& Exports();

// The export named `name` (exact spelling), or nullptr.
const ExportSpec* FindExport(std::string_view name);

// The meanings shared by every export.
inline constexpr std::string_view kMeaningDone = "done";
inline constexpr std::string_view kMeaningConnectionFailed = "connection failed";
inline constexpr std::string_view kMeaningUnexpected = "unexpected database error";

// `value` as a JSON string; the text is converted from the host's code page to UTF-8.
std::string JsonString(std::string_view value);

// What the argument form accepts, in words, for `help`.
std::string DescribeForm(ArgumentForm form);

}  // namespace wardlink::host

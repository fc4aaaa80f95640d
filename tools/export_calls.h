#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wardlink::host {

// What one call of an export gave back: the result code and the buffers it filled.
struct CallOutcome {
  int32_t result = 0;
  std::vector<std::pair<std::string, std::string>> buffers;  // name, text
  std::string error;                                         // the library's message for -1
};

// Calls the export `name` with the connection arguments and `args`, converting each argument to
// the kind the export takes. Raises std::invalid_argument for an unknown export or a wrong count.
CallOutcome CallExport(const std::string& name, const std::string& server, const std::string& login,
                       const std::string& password, const std::vector<std::string>& args);

// The export names in table order, with their argument descriptions (for usage text).
std::vector<std::string> DescribeExports();

}  // namespace wardlink::host

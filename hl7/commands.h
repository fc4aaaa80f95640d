#pragma once

#include <string>
#include <vector>

namespace wardlink::hl7 {

// `wardlink hl7 serve|apply|log|mapping ...`; gives the exit status.
int RunCommand(const std::vector<std::string>& args);

// The hl7 lines of `wardlink --help`.
extern const char* const kHelp;

}  // namespace wardlink::hl7

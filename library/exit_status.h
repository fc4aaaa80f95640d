#pragma once

#include <cstdint>

namespace wardlink::host {

// The tool's exit statuses. A call's result r other than 0 exits with 10 + r, so that a script
// reads the result back from the status: 9 for -1, 11 for 1, 12 to 15 for an export's own codes.
inline constexpr int kExitDone = 0;
inline constexpr int kExitToolFailed = 1;  // the tool could not do its job, or `check` found gaps
inline constexpr int kExitUsage = 2;       // a usage error: nothing was called

inline int ExitStatusForResult(int32_t result) { return result == 0 ? kExitDone : 10 + result; }

}  // namespace wardlink::host

#pragma once

#include <string>
#include <string_view>

namespace wardlink {

// Removes every leading and trailing character whose code is 32 (blank) or lower.
std::string TrimControl(std::string_view text);

// Copies `text` and one terminating zero byte into the caller's buffer.
void CopyToBuffer(std::string_view text, char* buffer);

}  // namespace wardlink

#pragma once

#include <string_view>

namespace wardlink {

// The message of the calling thread's last unguarded error, kept until its next export call.
void ClearLastError() noexcept;
void SetLastError(std::string_view message) noexcept;

}  // namespace wardlink

#include "library/last_error.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "wardlink.h"

namespace wardlink {

namespace {
thread_local std::string tLastError;
}

void ClearLastError() noexcept { tLastError.clear(); }

void SetLastError(std::string_view message) noexcept {
  try {
    tLastError.assign(message);
  } catch (...) {
    tLastError.clear();  // out of memory: the -1 result still stands
  }
}

}  // namespace wardlink

extern "C" WARDLINK_API int32_t WardLinkLastError(char* buffer, int32_t size) {
  const std::string& message = wardlink::tLastError;
  if (buffer != nullptr && size > 0) {
    size_t count = std::min(message.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, message.data(), count);
    buffer[count] = '\0';
  }
  return static_cast<int32_t>(message.size());
}

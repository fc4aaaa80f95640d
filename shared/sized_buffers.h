#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace wardlink {

// The result of a sized read when a text did not fit its buffer: no other export returns it.
inline constexpr int32_t kTextDidNotFit = 6;

// One host buffer and the number of bytes it holds, the zero byte included.
struct SizedBuffer {
  char* data;
  int32_t size;
};

// Stores each text's length (without the zero byte) in `lengths`, when given, and copies every
// text with its zero byte into its buffer, but only when all of them fit: otherwise no buffer is
// written and the result is kTextDidNotFit. A null buffer is never written and never too small,
// so that it asks for the length alone.
int32_t CopyToSizedBuffers(std::span<const std::string> texts, std::span<const SizedBuffer> buffers,
                           int32_t* lengths);

}  // namespace wardlink

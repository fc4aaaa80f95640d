#include "shared/sized_buffers.h"

#include <algorithm>
#include <limits>

#include "shared/text.h"

namespace wardlink {

int32_t CopyToSizedBuffers(std::span<const std::string> texts, std::span<const SizedBuffer> buffers,
                           int32_t* lengths) {
  constexpr size_t kMaxLength = std::numeric_limits<int32_t>::max();
  bool allFit = true;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (lengths != nullptr)
      lengths[i] = static_cast<int32_t>(std::min(texts[i].size(), kMaxLength));
    const SizedBuffer& buffer = buffers[i];
    // Compared without adding to the length, which cannot then overflow.
    if (buffer.data != nullptr &&
        (buffer.size <= 0 || texts[i].size() >= static_cast<size_t>(buffer.size)))
      allFit = false;
  }
  if (!allFit) return kTextDidNotFit;
  for (size_t i = 0; i < texts.size(); ++i) CopyToBuffer(texts[i], buffers[i].data);
  return 0;
}

}  // namespace wardlink

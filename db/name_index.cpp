#include "db/name_index.h"

#include <cstring>

namespace wardlink {

// The length and the first and last eight bytes decide: names differ there far more often than in
// the middle, and the rest is left to EqualsIgnoringCase. Setting bit 5 folds ASCII case.
uint32_t NameIndex::Hash(std::string_view name) {
  uint64_t head = 0, tail = 0;
  if (name.size() >= 8) {
    std::memcpy(&head, name.data(), 8);
    std::memcpy(&tail, name.data() + name.size() - 8, 8);
  } else {
    for (size_t i = 0; i < name.size(); ++i)
      head |= uint64_t{static_cast<unsigned char>(name[i])} << (8 * i);
    tail = head;
  }
  constexpr uint64_t kFold = 0x2020202020202020u;  // a byte past a short name folds alike
  uint64_t hash = ((head | kFold) * 0x9E3779B97F4A7C15u) ^ ((tail | kFold) + name.size());
  hash *= 0xC2B2AE3D27D4EB4Fu;
  return static_cast<uint32_t>(hash >> 32);
}

}  // namespace wardlink

#include "db/name_index.h"

#include <algorithm>
#include <cstring>

namespace wardlink {

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;  // names are nearly always written alike
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The length and the first and last eight bytes decide: names differ there far more often than in
// the middle, and the rest is left to SameName. Setting bit 5 folds ASCII case.
uint32_t NameIndex::Hash(std::string_view name) {
  if (name.empty()) return 0;
  uint64_t head = 0, tail = 0;
  size_t n = std::min<size_t>(name.size(), 8);
  std::memcpy(&head, name.data(), n);
  std::memcpy(&tail, name.data() + name.size() - n, n);
  const uint64_t fold = 0x2020202020202020u >> (8 * (8 - n));
  uint64_t hash = ((head | fold) * 0x9E3779B97F4A7C15u) ^ ((tail | fold) + name.size());
  hash *= 0xC2B2AE3D27D4EB4Fu;
  return static_cast<uint32_t>(hash >> 32);
}

}  // namespace wardlink

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "db/statement_text.h"

namespace wardlink {

// Positions of names, found by name without regard to case in the same time however many names
// there are: an open-addressed table of each name's first position. The names themselves stay
// with the caller, who passes the same list to Build and Find.
class NameIndex {
 public:
  // Indexes `names`; `onRepeat(first, position)` is called for a name already at `first`.
  template <class Names, class OnRepeat>
  void Build(const Names& names, OnRepeat&& onRepeat) {
    size_t size = 8;
    while (size < names.size() * 2) size *= 2;
    slots_.assign(size, 0);
    for (uint32_t position = 0; position < names.size(); ++position) {
      for (size_t slot = Hash(names[position]) & (size - 1);; slot = (slot + 1) & (size - 1)) {
        if (slots_[slot] == 0) {
          slots_[slot] = position + 1;
          break;
        }
        if (EqualsIgnoringCase(names[slots_[slot] - 1], names[position])) {
          onRepeat(size_t{slots_[slot] - 1}, size_t{position});
          break;
        }
      }
    }
  }

  // The first position of `name` in the indexed `names`.
  template <class Names>
  std::optional<size_t> Find(const Names& names, std::string_view name) const {
    if (slots_.empty()) return std::nullopt;
    const size_t mask = slots_.size() - 1;
    for (size_t slot = Hash(name) & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
      if (EqualsIgnoringCase(names[slots_[slot] - 1], name)) return slots_[slot] - 1;
    }
    return std::nullopt;
  }

  bool empty() const { return slots_.empty(); }
  void clear() { slots_.clear(); }

 private:
  static uint32_t Hash(std::string_view name);

  std::vector<uint32_t> slots_;  // position + 1; 0 for an empty slot
};

}  // namespace wardlink

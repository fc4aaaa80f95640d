#include "shared/text.h"

#include <cstring>

namespace wardlink {

namespace {
bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }
}  // namespace

std::string TrimControl(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return std::string(text);
}

void CopyToBuffer(std::string_view text, char* buffer) {
  if (buffer == nullptr) return;  // no slot to write: never write through a null pointer
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
}

}  // namespace wardlink

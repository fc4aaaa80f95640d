#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace wardlink {

// The host's 8-bit code page: the codeset of the environment's locale (LC_ALL, LC_CTYPE, LANG),
// with the C/POSIX locale counted as UTF-8. Read without touching the process's locale.
std::string EnvironmentCodeset();

// Converts text between the host's code page and UTF-8. A character the target cannot show
// becomes "?"; so does each byte sequence that is not valid in the source, UTF-8 included, and
// reading resumes at the next byte that can start a character. The result is always valid text.
class TextConverter {
 public:
  explicit TextConverter(std::string codeset = EnvironmentCodeset());
  ~TextConverter();
  TextConverter(const TextConverter&) = delete;
  TextConverter& operator=(const TextConverter&) = delete;

  std::string ToUtf8(std::string_view hostText) const;
  std::string FromUtf8(std::string_view utf8Text) const;
  const std::string& codeset() const { return codeset_; }

 private:
  std::string codeset_;
  bool utf8Host_ = false;  // no conversion, only validation
  iconv_t toUtf8_ = reinterpret_cast<iconv_t>(-1);
  iconv_t fromUtf8_ = reinterpret_cast<iconv_t>(-1);
};

}  // namespace wardlink

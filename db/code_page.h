#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace wardlink {

// The host's 8-bit code page. On Windows the system ANSI code page ("CP936" ...); elsewhere the
// codeset of the environment's locale (LC_ALL, LC_CTYPE, LANG), with the C/POSIX locale counted
// as UTF-8, read without touching the process's locale.
std::string EnvironmentCodeset();

// The platform's own reading of it, each time anew.
std::string ReadEnvironmentCodeset();

// While one exists on a thread, EnvironmentCodeset() on that thread reads the environment once and
// then answers from memory: the span of one export call, which several parts ask.
class CodesetScope {
 public:
  CodesetScope();
  ~CodesetScope();
  CodesetScope(const CodesetScope&) = delete;
  CodesetScope& operator=(const CodesetScope&) = delete;

 private:
  friend std::string EnvironmentCodeset();
  std::optional<std::string> codeset_;
  CodesetScope* outer_;
};

// Converts text between the host's code page and UTF-8 or UTF-16. A character the target cannot
// show becomes "?"; so does each byte sequence that is not valid in the source, UTF-8 included,
// and reading resumes at the next byte that can start a character. The result is always valid
// text.
class TextConverter {
 public:
  explicit TextConverter(std::string codeset = EnvironmentCodeset());
  ~TextConverter();
  TextConverter(const TextConverter&) = delete;
  TextConverter& operator=(const TextConverter&) = delete;

  std::string ToUtf8(std::string_view hostText) const;
  std::string FromUtf8(std::string_view utf8Text) const;
  std::u16string ToUtf16(std::string_view hostText) const;
  std::string FromUtf16(std::u16string_view utf16Text) const;
  const std::string& codeset() const { return codeset_; }
  // True when ToUtf8 gives `hostText` back unchanged (valid UTF-8 host text), so that it can be
  // used where it is.
  bool PassesUnchanged(std::string_view hostText) const;

 private:
  struct Codec;  // the platform's conversion state
  std::string codeset_;
  bool utf8Host_ = false;  // no conversion, only validation
  std::unique_ptr<Codec> codec_;
};

// A file name from the host as SQLite's open takes it: UTF-8 on Windows (SQLite turns it into
// UTF-16 for the file system); unchanged elsewhere, where file names are bytes.
std::string SqliteFileName(std::string_view hostPath);

// Length of the well-formed UTF-8 character at `pos` (no overlong forms, no surrogates, nothing
// above U+10FFFF), or 0 when none starts there.
size_t Utf8CharacterLength(std::string_view text, size_t pos);

// `text` with each invalid UTF-8 sequence replaced by one "?"; reading resumes at the next byte
// that can start a character, so that no valid character after a bad byte is lost.
std::string ValidUtf8(std::string_view text);

// UTF-8 and UTF-16 into each other, as ValidUtf8 reads UTF-8; a lone surrogate becomes "?".
std::u16string Utf8ToUtf16(std::string_view utf8Text);
std::string Utf16ToUtf8(std::u16string_view utf16Text);

}  // namespace wardlink

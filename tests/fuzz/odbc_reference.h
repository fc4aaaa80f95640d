#pragma once

// Readers of connection strings written apart from the library's own: the driver manager's
// reading, and each driver family's. The real-driver-manager test shows the first agrees with
// unixODBC on every hostile case it sends; the fuzz target uses them as its oracle.

#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wardlink::fuzz {

using ReadAttributes = std::vector<std::pair<std::string, std::string>>;

enum class Reader {
  kDriverManager,  // the ODBC brace rule ("}}" for "}"); the next key may follow a "}" at once
  kFreeTds,        // braces; the value ends at the first "};" or a "}" at the very end
  kIgnoresBraces,  // every ";" ends a value, braces are part of it
};

// The attributes in order as `reader` reads them, blanks around bare values dropped for the
// drivers; nothing when the text is not well formed for it.
inline std::optional<ReadAttributes> ReadConnectionString(std::string_view text, Reader reader) {
  auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  auto trim = [&](std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return std::string(s);
  };
  ReadAttributes read;
  size_t i = 0;
  while (true) {
    while (i < text.size() && (blank(text[i]) || text[i] == ';')) ++i;
    if (i >= text.size()) return read;
    size_t eq = text.find('=', i);
    if (eq == std::string_view::npos) {
      if (reader == Reader::kDriverManager) return read;  // the rest is not read at all
      return std::nullopt;
    }
    std::string key(text.substr(i, eq - i));
    if (reader != Reader::kDriverManager) key = trim(key);
    i = eq + 1;
    std::string value;
    if (reader != Reader::kIgnoresBraces && i < text.size() && text[i] == '{') {
      size_t j = i + 1;
      for (;; ++j) {
        if (j >= text.size()) return std::nullopt;
        if (text[j] != '}') continue;
        if (reader == Reader::kDriverManager) {
          if (j + 1 < text.size() && text[j + 1] == '}') {
            value += text.substr(i + 1, j + 1 - (i + 1));
            i = ++j;
            continue;
          }
          break;
        }
        if (j + 1 == text.size() || text[j + 1] == ';') break;
      }
      value += text.substr(i + 1, j - i - 1);
      i = j + 1;
      if (reader == Reader::kFreeTds && i < text.size() && text[i] != ';') return std::nullopt;
    } else {
      size_t end = std::min(text.find(';', i), text.size());
      value = std::string(text.substr(i, end - i));
      if (reader != Reader::kDriverManager) value = trim(value);
      i = end;
    }
    read.emplace_back(std::move(key), std::move(value));
  }
}

// The value of Driver that the driver manager loads (the last one, unless a DSN came first).
inline std::optional<std::string> DriverManagerDriver(std::string_view text) {
  auto read = ReadConnectionString(text, Reader::kDriverManager);
  if (!read) return std::nullopt;
  auto same = [](std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
      if (std::tolower(static_cast<unsigned char>(a[k])) !=
          std::tolower(static_cast<unsigned char>(b[k])))
        return false;
    return true;
  };
  std::optional<std::string> driver;
  bool dsn = false;
  bool driverFirst = false;
  for (const auto& [key, value] : *read) {
    if (same(key, "DSN") && !driverFirst) dsn = true;
    if ((same(key, "Driver") || same(key, "FILEDSN")) && !dsn) driverFirst = true;
    if (same(key, "Driver") && !dsn) driver = value;
  }
  return driver;
}

}  // namespace wardlink::fuzz

#include "db/odbc_connection_string.h"

#include <cctype>

#include "db/db_error.h"
#include "db/statement_text.h"

namespace wardlink {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A value that every driver reads back unchanged without braces: nothing a driver could take
// for syntax.
bool NeedsNoBraces(std::string_view value) {
  if (value.empty()) return true;
  if (IsBlank(value.front()) || IsBlank(value.back())) return false;
  for (char c : value) {
    auto byte = static_cast<unsigned char>(c);
    if (c == ';' || c == '{' || c == '}' || c == '=' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsSqlServerDriverName(std::string_view name) {
  return name == "sql server" || name.starts_with("sql server native client ") ||
         (name.starts_with("odbc driver ") && name.ends_with(" for sql server"));
}

}  // namespace

OdbcQuoting QuotingForDriver(std::string_view driver) {
  std::string lower = Lower(TrimBlanks(driver));
  if (lower.size() >= 2 && lower.front() == '{' && lower.back() == '}')
    lower = lower.substr(1, lower.size() - 2);
  std::string_view file = lower;
  if (size_t slash = file.find_last_of("/\\"); slash != std::string_view::npos)
    file.remove_prefix(slash + 1);
  if (lower.find("freetds") != std::string::npos || file.find("tdsodbc") != std::string::npos)
    return OdbcQuoting::kFreeTds;
  // Microsoft's SQL Server drivers, by registered name or by library.
  if (IsSqlServerDriverName(lower) || file.starts_with("libmsodbcsql") ||
      file.starts_with("msodbcsql") || file.starts_with("sqlncli") || file == "sqlsrv32.dll")
    return OdbcQuoting::kStandard;
  return OdbcQuoting::kUnknown;
}

std::optional<std::string> QuoteOdbcValue(std::string_view value, OdbcQuoting quoting) {
  if (NeedsNoBraces(value)) return std::string(value);
  switch (quoting) {
    case OdbcQuoting::kStandard: {
      std::string quoted = "{";
      for (char c : value) {
        quoted += c;
        if (c == '}') quoted += '}';
      }
      quoted += '}';
      return quoted;
    }
    case OdbcQuoting::kFreeTds:
      // The value runs to the first "};", so a value holding one would end early and the rest
      // would be read as attributes of the caller's choosing.
      if (value.find("};") != std::string_view::npos) return std::nullopt;
      return "{" + std::string(value) + "}";
    case OdbcQuoting::kUnknown:
      // Braces may be read as part of the value, and ";" or "=" inside them as syntax.
      return std::nullopt;
  }
  return std::nullopt;
}

std::string OdbcAttribute(std::string_view key, std::string_view value, OdbcQuoting quoting) {
  std::optional<std::string> quoted = QuoteOdbcValue(value, quoting);
  if (!quoted)
    throw DbError("the value of " + std::string(key) +
                  " cannot be passed to this ODBC driver as one value");
  return std::string(key) + "=" + *quoted + ";";
}

std::vector<std::pair<std::string, std::string>> ParseOdbcConnectionString(std::string_view text,
                                                                           OdbcQuoting quoting) {
  std::vector<std::pair<std::string, std::string>> attributes;
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == ';' || IsBlank(text[pos])) {
      ++pos;
      continue;
    }
    size_t equals = text.find('=', pos);
    if (equals == std::string_view::npos) {
      attributes.emplace_back(std::string(TrimBlanks(text.substr(pos))), std::string());
      break;
    }
    std::string key(TrimBlanks(text.substr(pos, equals - pos)));
    pos = equals + 1;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    std::string value;
    if (pos < text.size() && text[pos] == '{') {
      ++pos;
      bool closed = false;
      while (pos < text.size()) {
        char c = text[pos++];
        if (c != '}') {
          value += c;
          continue;
        }
        if (quoting == OdbcQuoting::kFreeTds) {
          if (pos == text.size() || text[pos] == ';') {
            closed = true;
            break;
          }
          value += c;
        } else if (pos < text.size() && text[pos] == '}') {
          value += c;
          ++pos;
        } else {
          closed = true;
          break;
        }
      }
      if (!closed) throw DbError("connection string: a braced value of " + key + " never closes");
      size_t end = text.find(';', pos);
      pos = end == std::string_view::npos ? text.size() : end + 1;
    } else {
      size_t end = text.find(';', pos);
      if (end == std::string_view::npos) end = text.size();
      value = std::string(TrimBlanks(text.substr(pos, end - pos)));
      pos = end + 1;
    }
    attributes.emplace_back(std::move(key), std::move(value));
  }
  return attributes;
}

std::optional<std::string> OdbcAttributeValue(std::string_view text, std::string_view key) {
  for (auto& [name, value] : ParseOdbcConnectionString(text, OdbcQuoting::kStandard)) {
    if (EqualsIgnoringCase(name, key)) return value;
  }
  return std::nullopt;
}

std::string SqlServerConnectionString(std::string_view server, std::string_view login,
                                      std::string_view password, std::string_view codeset) {
  constexpr OdbcQuoting kRule = OdbcQuoting::kFreeTds;
  return "Driver={" + std::string(kSqlServerDriver) + "};" +
         OdbcAttribute("Server", server, kRule) + OdbcAttribute("Database", kCatalog, kRule) +
         OdbcAttribute("UID", login, kRule) + OdbcAttribute("PWD", password, kRule) +
         OdbcAttribute("ClientCharset", codeset, kRule);
}

namespace {

// The version in a Microsoft driver's name ("ODBC Driver 18 for SQL Server" gives 18, "SQL Server
// Native Client 11.0" gives 11), ranked so that any "ODBC Driver" comes before any Native Client.
std::optional<int> MicrosoftDriverRank(std::string_view name) {
  constexpr std::string_view kOdbcDriver = "odbc driver ";
  constexpr std::string_view kOdbcSuffix = " for sql server";
  constexpr std::string_view kNativeClient = "sql server native client ";
  std::string lower = Lower(name);
  auto number = [](std::string_view digits) -> std::optional<int> {
    int value = 0;
    size_t count = 0;
    for (; count < digits.size() && std::isdigit(static_cast<unsigned char>(digits[count])) &&
           value < 100000;
         ++count)
      value = value * 10 + (digits[count] - '0');
    if (count == 0) return std::nullopt;
    return value;
  };
  std::string_view text = lower;
  if (text.starts_with(kOdbcDriver) && text.ends_with(kOdbcSuffix)) {
    std::string_view digits =
        text.substr(kOdbcDriver.size(), text.size() - kOdbcDriver.size() - kOdbcSuffix.size());
    auto version = number(digits);
    if (version && std::to_string(*version) == digits) return 1000000 + *version;
  }
  if (text.starts_with(kNativeClient)) return number(text.substr(kNativeClient.size()));
  return std::nullopt;
}

}  // namespace

std::string NewestSqlServerDriver(const std::vector<std::string>& installed) {
  std::string newest = "SQL Server";
  int newestRank = -1;
  for (const std::string& name : installed) {
    std::optional<int> rank = MicrosoftDriverRank(name);
    if (rank && *rank > newestRank) {
      newest = name;
      newestRank = *rank;
    }
  }
  return newest;
}

std::string MicrosoftSqlServerConnectionString(std::string_view driver, std::string_view server,
                                               std::string_view login, std::string_view password) {
  constexpr OdbcQuoting kRule = OdbcQuoting::kStandard;
  return OdbcAttribute("Driver", driver, kRule) + OdbcAttribute("Server", server, kRule) +
         OdbcAttribute("Database", kCatalog, kRule) + OdbcAttribute("UID", login, kRule) +
         OdbcAttribute("PWD", password, kRule);
}

std::string DataSourceConnectionString(std::string_view connectionString, std::string_view login,
                                       std::string_view password, OdbcQuoting quoting) {
  std::string text(TrimBlanks(connectionString));
  // A braced value left open would swallow the attributes appended below.
  ParseOdbcConnectionString(
      text, quoting == OdbcQuoting::kFreeTds ? OdbcQuoting::kFreeTds : OdbcQuoting::kStandard);
  if (quoting == OdbcQuoting::kUnknown) ParseOdbcConnectionString(text, OdbcQuoting::kFreeTds);
  if (!text.empty() && text.back() != ';') text += ';';
  return text + OdbcAttribute("UID", login, quoting) + OdbcAttribute("PWD", password, quoting);
}

}  // namespace wardlink

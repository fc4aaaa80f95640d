#include "db/odbc_connection_string.h"

#include <algorithm>
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

}  // namespace

OdbcFamily FamilyOfLibrary(std::string_view library) {
  std::string file = Lower(library);
  if (size_t slash = file.find_last_of("/\\"); slash != std::string::npos) file.erase(0, slash + 1);
  // The file name, with or without the version that may follow ".so".
  auto named = [&](const std::string& name) {
    return file == name || file.starts_with(name + ".");
  };
  if (named("libtdsodbc.so")) return OdbcFamily::kFreeTds;
  if (named("libsqlite3odbc.so") || file == "sqlite3odbc.dll") return OdbcFamily::kSqlite;
  if (file.starts_with("libmsodbcsql") || file.starts_with("msodbcsql") ||
      file.starts_with("sqlncli") || file == "sqlsrv32.dll")
    return OdbcFamily::kMicrosoft;
  return OdbcFamily::kOther;
}

OdbcQuoting QuotingFor(OdbcFamily family) {
  switch (family) {
    case OdbcFamily::kFreeTds:
      return OdbcQuoting::kFreeTds;
    case OdbcFamily::kMicrosoft:
      return OdbcQuoting::kStandard;
    case OdbcFamily::kSqlite:  // ignores braces
    case OdbcFamily::kOther:
      break;
  }
  return OdbcQuoting::kUnknown;
}

std::optional<std::string> QuoteOdbcValue(std::string_view value, OdbcQuoting quoting) {
  if (NeedsNoBraces(value)) return std::string(value);
  // The driver manager ends a braced value at a lone "}"; FreeTDS would keep a doubled one, and
  // Windows' driver manager documents no escape at all.
  if (quoting == OdbcQuoting::kUnknown || value.find('}') != std::string_view::npos)
    return std::nullopt;
  return "{" + std::string(value) + "}";
}

OdbcAttributes ParseOdbcConnectionString(std::string_view text) {
  OdbcAttributes attributes;
  size_t pos = 0;
  for (;;) {
    while (pos < text.size() &&
           (std::isspace(static_cast<unsigned char>(text[pos])) != 0 || text[pos] == ';'))
      ++pos;
    // A key runs to the next "=", across any ";"; without one the rest is not read at all.
    size_t equals = text.find('=', pos);
    if (pos == text.size() || equals == std::string_view::npos) break;
    std::string key(text.substr(pos, equals - pos));
    pos = equals + 1;
    std::string value;
    if (pos < text.size() && text[pos] == '{') {
      // Braced: "}}" stands for "}", a lone "}" ends the value and the next key may follow at once.
      for (++pos;; ++pos) {
        if (pos == text.size())
          throw DbError("connection string: a braced value of " + key + " never closes");
        if (text[pos] != '}') {
          value += text[pos];
        } else if (pos + 1 < text.size() && text[pos + 1] == '}') {
          value += '}';
          ++pos;
        } else {
          ++pos;
          break;
        }
      }
    } else {
      size_t end = std::min(text.find(';', pos), text.size());
      value = std::string(text.substr(pos, end - pos));
      pos = end;
    }
    attributes.emplace_back(std::move(key), std::move(value));
  }
  return attributes;
}

namespace {

OdbcAttributes ActedOn(const OdbcAttributes& read) {
  OdbcAttributes acted;
  bool dsn = false;
  bool driver = false;
  for (const auto& attribute : read) {
    const std::string& key = attribute.first;
    if (EqualsIgnoringCase(key, "DSN")) {
      if (driver) continue;
      dsn = true;
    } else if (EqualsIgnoringCase(key, "Driver") || EqualsIgnoringCase(key, "FILEDSN")) {
      if (dsn) continue;
      driver = true;
    }
    auto same = std::find_if(acted.begin(), acted.end(), [&](const auto& earlier) {
      return EqualsIgnoringCase(earlier.first, key);
    });
    if (same != acted.end()) {
      same->second = attribute.second;
    } else {
      acted.push_back(attribute);
    }
  }
  return acted;
}

}  // namespace

OdbcAttributes DriverManagerAttributes(std::string_view text) {
  return ActedOn(ParseOdbcConnectionString(text));
}

std::optional<std::string> OdbcAttributeValue(std::string_view text, std::string_view key) {
  for (auto& [name, value] : DriverManagerAttributes(text)) {
    if (EqualsIgnoringCase(name, key)) return value;
  }
  return std::nullopt;
}

std::string AppendOdbcAttributes(std::string_view base, const OdbcAttributes& attributes,
                                 OdbcQuoting quoting) {
  std::string text(TrimBlanks(base));
  OdbcAttributes meant = ParseOdbcConnectionString(text);
  if (!text.empty() && text.back() != ';') text += ';';
  for (const auto& [key, value] : attributes) {
    std::optional<std::string> quoted = QuoteOdbcValue(value, quoting);
    if (!quoted)
      throw DbError("the value of " + key + " cannot be passed to this ODBC driver as one value");
    text += key + "=" + *quoted + ";";
    meant.emplace_back(key, value);
  }
  // The caller's part could still swallow what follows (a key left without "=", say).
  if (DriverManagerAttributes(text) != ActedOn(meant))
    throw DbError("the connection string would not be read as the attributes given");
  return text;
}

std::string SqlServerConnectionString(std::string_view server, std::string_view login,
                                      std::string_view password, std::string_view codeset,
                                      OdbcQuoting quoting) {
  return AppendOdbcAttributes("Driver={" + std::string(kSqlServerDriver) + "}",
                              {{"Server", std::string(server)},
                               {"Database", std::string(kCatalog)},
                               {"UID", std::string(login)},
                               {"PWD", std::string(password)},
                               {"ClientCharset", std::string(codeset)}},
                              quoting);
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
                                               std::string_view login, std::string_view password,
                                               OdbcQuoting quoting) {
  return AppendOdbcAttributes({},
                              {{"Driver", std::string(driver)},
                               {"Server", std::string(server)},
                               {"Database", std::string(kCatalog)},
                               {"UID", std::string(login)},
                               {"PWD", std::string(password)}},
                              quoting);
}

std::string DataSourceConnectionString(std::string_view connectionString, std::string_view login,
                                       std::string_view password, OdbcQuoting quoting) {
  return AppendOdbcAttributes(
      connectionString, {{"UID", std::string(login)}, {"PWD", std::string(password)}}, quoting);
}

}  // namespace wardlink

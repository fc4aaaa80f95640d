#include "tools/call_command.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "db/code_page.h"
#include "db/date_time.h"
#include "library/exit_status.h"
#include "shared/conversions.h"

namespace wardlink::host {

namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min(
          {row[j] + 1, row[j - 1] + 1, diagonal + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// One call: the parsed command line of `call` or of a batch line.
struct CallRequest {
  const ExportSpec* spec = nullptr;
  CallArguments arguments;
};

CallRequest ParseCall(const std::vector<std::string>& words) {
  if (words.size() < 4)
    throw UsageError("a call needs EXPORT SERVER LOGIN PASSWORD, then the export's arguments");
  CallRequest request;
  request.spec = &ExportNamed(words[0]);
  request.arguments = {words[1], words[2], words[3], {words.begin() + 4, words.end()}};
  return request;
}

std::string JsonObject(const CallRequest& request, const CallOutcome& outcome,
                       const std::vector<std::string>& warnings, std::string_view prefix) {
  std::string json = "{" + std::string(prefix);
  json += "\"export\":" + JsonString(request.spec->name());
  json += ",\"result\":" + std::to_string(outcome.result);
  json += ",\"meaning\":" + JsonString(request.spec->Meaning(outcome.result));
  json += ",\"buffers\":{";
  for (size_t i = 0; i < outcome.buffers.size(); ++i) {
    json += (i ? "," : "") + JsonString(outcome.buffers[i].first) + ":" +
            JsonString(outcome.buffers[i].second);
  }
  json += "},\"message\":" + JsonString(outcome.message) + ",\"warnings\":[";
  for (size_t i = 0; i < warnings.size(); ++i) json += (i ? "," : "") + JsonString(warnings[i]);
  return json + "]}";
}

std::string ResultText(const CallRequest& request, const CallOutcome& outcome) {
  std::string text =
      std::to_string(outcome.result) + " (" + request.spec->Meaning(outcome.result) + ")";
  if (!outcome.message.empty()) text += ": " + outcome.message;
  return text;
}

}  // namespace

std::string ClosestName(std::string_view name, const std::vector<std::string>& candidates) {
  std::string best;
  size_t bestDistance = std::max<size_t>(2, name.size() / 3) + 1;
  for (const auto& candidate : candidates) {
    size_t distance = EditDistance(name, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

const ExportSpec& ExportNamed(std::string_view name) {
  if (const ExportSpec* spec = FindExport(name)) return *spec;
  std::vector<std::string> names;
  for (const auto& spec : Exports()) names.push_back(spec.name());
  std::string closest = ClosestName(name, names);
  throw UsageError("no export named " + std::string(name) +
                   (closest.empty() ? "" : "; did you mean " + closest + "?") +
                   " (wardlink help lists them)");
}

std::vector<std::string> FallbackWarnings(const ExportSpec& spec,
                                          const std::vector<std::string>& values,
                                          const RegionalSettings& settings) {
  std::vector<std::string> warnings;
  const int year = CurrentLocalDateTime().year;
  for (size_t i = 0; i < spec.arguments().size() && i < values.size(); ++i) {
    const ArgumentSpec& argument = spec.arguments()[i];
    const std::string& text = values[i];
    std::string quoted = "\"" + text + "\"";
    switch (argument.form) {
      case ArgumentForm::kRecordDate:
        if (!ScanHostDate(text, settings, year)) {
          warnings.push_back(argument.name + ": " + quoted +
                             " is not a date in the short date form " + settings.shortDateFormat +
                             "; the current time is stored");
        }
        break;
      case ArgumentForm::kRecordNumber:
      case ArgumentForm::kRecordCount:
        // A text that is read gives the same value whatever the default.
        if (ParseHostInt(text, 0) != ParseHostInt(text, 1)) {
          warnings.push_back(argument.name + ": " + quoted + " is not an integer; " +
                             (argument.form == ArgumentForm::kRecordNumber ? "0" : "1") +
                             " is stored");
        }
        break;
      default:
        break;
    }
  }
  return warnings;
}

std::vector<std::string> SplitArguments(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    const bool escapes = c == '\\' && i + 1 < line.size();
    if (quote == '\'') {
      if (c == '\'')
        quote = 0;
      else
        word += c;
    } else if (quote == '"') {
      // Inside double quotes a backslash escapes only a quote or a backslash.
      if (c == '"')
        quote = 0;
      else if (escapes && (line[i + 1] == '"' || line[i + 1] == '\\'))
        word += line[++i];
      else
        word += c;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      if (inWord) words.push_back(std::exchange(word, {}));
      inWord = false;
    } else if (c == '#' && !inWord) {
      break;  // a comment, as in the shell
    } else {
      inWord = true;
      if (c == '\'' || c == '"')
        quote = c;
      else if (escapes)
        word += line[++i];
      else
        word += c;
    }
  }
  if (quote != 0) throw UsageError(std::string("unclosed ") + quote + " quote");
  if (inWord) words.push_back(std::move(word));
  return words;
}

std::string Visible(std::string_view text) {
  // In UTF-8, the C1 controls (U+0080 to U+009F) are two bytes, the first 0xC2; a terminal takes
  // U+009B for the start of a sequence as it takes ESC [.
  static const bool kUtf8Host = TextConverter().codeset() == "UTF-8";
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0U;
    char escaped[8];
    if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    } else if (kUtf8Host && byte == 0xC2 && next >= 0x80 && next < 0xA0) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", next);
      ++i;
    } else {
      shown += text[i];
      continue;
    }
    shown += escaped;
  }
  return shown;
}

int RunCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> words = args;
  bool json = false;
  if (!words.empty() && words[0] == "--json") {
    json = true;
    words.erase(words.begin());
  }
  CallRequest request = ParseCall(words);
  std::vector<std::string> warnings =
      FallbackWarnings(*request.spec, request.arguments.values, EnvironmentRegionalSettings());
  for (const auto& warning : warnings) err << "warning: " << warning << '\n';
  CallOutcome outcome = request.spec->Call(request.arguments);
  if (json) {
    out << JsonObject(request, outcome, warnings, "") << '\n';
  } else {
    out << "result: " << Visible(ResultText(request, outcome)) << '\n';
    for (const auto& [name, text] : outcome.buffers) out << name << ": " << Visible(text) << '\n';
  }
  return ExitStatusForResult(outcome.result);
}

int RunBatch(std::istream& in, bool json, bool stopOnFailure, std::ostream& out,
             std::ostream& err) {
  const RegionalSettings settings = EnvironmentRegionalSettings();
  int status = kExitDone;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::string_view content = line;
    size_t start = content.find_first_not_of(" \t\r");
    if (start == std::string_view::npos || content[start] == '#') continue;
    int lineStatus = kExitDone;
    const std::string where = std::to_string(number);
    try {
      // An argument ends at a NUL byte on its way to the library: the call would not be the one
      // written.
      if (content.find('\0') != std::string_view::npos)
        throw UsageError("the line holds a NUL byte, which no argument can carry");
      CallRequest request = ParseCall(SplitArguments(content));
      std::vector<std::string> warnings =
          FallbackWarnings(*request.spec, request.arguments.values, settings);
      for (const auto& warning : warnings)
        err << "line " << where << ": warning: " << warning << '\n';
      CallOutcome outcome = request.spec->Call(request.arguments);
      if (json) {
        out << JsonObject(request, outcome, warnings, "\"line\":" + where + ",") << '\n';
      } else {
        out << where << ": " << request.spec->name() << " -> "
            << Visible(ResultText(request, outcome));
        for (const auto& [name, text] : outcome.buffers)
          out << "  " << name << "=" << JsonString(text);
        out << '\n';
      }
      lineStatus = ExitStatusForResult(outcome.result);
    } catch (const UsageError& error) {
      if (json) {
        out << "{\"line\":" << where << ",\"error\":" << JsonString(error.what()) << "}\n";
      } else {
        out << where << ": error: " << Visible(error.what()) << '\n';
      }
      lineStatus = kExitUsage;
    }
    out.flush();
    if (lineStatus == kExitDone) continue;
    if (status == kExitDone) status = lineStatus;
    if (stopOnFailure) break;
  }
  return status;
}

}  // namespace wardlink::host

#include "shared/regional_settings.h"

#include <string_view>

#include "db/code_page.h"
#include "db/statement_text.h"

namespace wardlink {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Expands the composite conversions, so that the rest sees only simple ones.
std::string ExpandComposites(std::string_view form) {
  std::string expanded;
  for (size_t i = 0; i < form.size(); ++i) {
    if (form[i] != '%' || i + 1 >= form.size()) {
      expanded += form[i];
      continue;
    }
    char c = form[++i];
    switch (c) {
      case 'D':
        expanded += "%m/%d/%y";
        break;
      case 'F':
        expanded += "%Y-%m-%d";
        break;
      case 'T':
        expanded += "%H:%M:%S";
        break;
      case 'R':
        expanded += "%H:%M";
        break;
      case 'r':
        expanded += "%I:%M:%S %p";
        break;
      default:
        expanded += '%';
        expanded += c;
    }
  }
  return expanded;
}

// The first character of literal text after the first conversion, blanks skipped: the separator
// that the form puts between its parts.
std::string FirstSeparator(std::string_view form, std::string_view fallback) {
  size_t i = form.find('%');
  if (i == std::string_view::npos || i + 1 >= form.size()) return std::string(fallback);
  i += 2;
  while (i < form.size() && (form[i] == 'E' || form[i] == 'O')) ++i;  // modifiers come first
  while (i < form.size() && form[i] == ' ') ++i;
  if (i >= form.size() || form[i] == '%') return std::string(fallback);
  auto lead = static_cast<unsigned char>(form[i]);
  size_t length = 1;
  if (lead >= 0xC0) {  // a UTF-8 sequence is kept whole
    while (i + length < form.size() &&
           (static_cast<unsigned char>(form[i + length]) & 0xC0) == 0x80)
      ++length;
  }
  return std::string(form.substr(i, length));
}

// A byte that can separate the parts of a date or a time: ASCII punctuation below '@', which no
// double-byte code page uses inside a character. Quotes and '%' are none.
bool IsSeparator(char c) {
  return c > ' ' && c < '@' && !(c >= '0' && c <= '9') && c != '%' && c != '"' && c != '\'';
}

// Hands each byte of a strftime form's literal text to `literal`, and each conversion character
// (its E or O modifier skipped) to `conversion`.
template <typename Literal, typename Conversion>
void ScanForm(std::string_view form, Literal literal, Conversion conversion) {
  for (size_t i = 0; i < form.size(); ++i) {
    if (form[i] != '%') {
      literal(form[i]);
      continue;
    }
    ++i;
    while (i < form.size() && (form[i] == 'E' || form[i] == 'O')) ++i;
    if (i < form.size()) conversion(form[i]);
  }
}

// Whether the form's literal text holds words (letters, or any character beyond ASCII) rather
// than separators only.
bool HasWords(std::string_view form) {
  bool words = false;
  ScanForm(
      form,
      [&](char c) { words = words || IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0x80; },
      [](char) {});
  return words;
}

// A form written with words as its numbers (and morning/afternoon text) joined by its first
// separator, or by `fallback` where it has none; the words, names and time zones are left out.
std::string NumbersOnly(std::string_view form, std::string& separator, std::string_view fallback) {
  separator = fallback;
  bool found = false;
  ScanForm(
      form,
      [&](char c) {
        if (found || !IsSeparator(c)) return;
        separator.assign(1, c);
        found = true;
      },
      [](char) {});
  std::string pattern;
  bool lastWasAmPm = false;
  ScanForm(
      form, [](char) {},
      [&](char c) {
        std::string element = PatternFromStrftime(std::string("%") + c);
        bool isName =
            element == "ddd" || element == "dddd" || element == "MMM" || element == "MMMM";
        if (element.empty() || !IsAsciiLetter(element[0]) || isName) return;
        bool amPm = element == "AMPM";
        if (!pattern.empty()) pattern += amPm || lastWasAmPm ? std::string(" ") : separator;
        pattern += element;
        lastWasAmPm = amPm;
      });
  return pattern;
}

// What Windows 10 and later give for the locales whose own forms are written with words.
constexpr WindowsLocaleForms kWindowsForms[] = {
    {"zh_CN", "yyyy/M/d", "yyyy'年'M'月'd'日'", "/", "H:mm", "H:mm:ss", ":"},
    {"zh_SG", "d/M/yyyy", "yyyy'年'M'月'd'日'", "/", "tt h:mm", "tt h:mm:ss", ":"},
    {"zh_HK", "d/M/yyyy", "yyyy'年'M'月'd'日'", "/", "H:mm", "H:mm:ss", ":"},
    {"zh_TW", "yyyy/M/d", "yyyy'年'M'月'd'日'", "/", "tt hh:mm", "tt hh:mm:ss", ":"},
    {"ja_JP", "yyyy/MM/dd", "yyyy'年'M'月'd'日'", "/", "H:mm", "H:mm:ss", ":"},
    {"ko_KR", "yyyy-MM-dd", "yyyy'년' M'월' d'일' dddd", "-", "tt h:mm", "tt h:mm:ss", ":"},
};

// The long time form without its seconds and the literal text just before them.
std::string WithoutSeconds(const std::string& form) {
  size_t seconds = form.find("%S");
  if (seconds == std::string::npos) return form;
  size_t start = seconds;
  while (start > 0 && form[start - 1] != '%' && !(start >= 2 && form[start - 2] == '%')) --start;
  return form.substr(0, start) + form.substr(seconds + 2);
}

}  // namespace

std::string PatternFromStrftime(const std::string& strftimeForm) {
  std::string form = ExpandComposites(strftimeForm);
  std::string pattern;
  std::string literal;  // literal letters are quoted, so that they stay text
  auto flushLiteral = [&] {
    if (literal.empty()) return;
    pattern += '"' + literal + '"';
    literal.clear();
  };
  for (size_t i = 0; i < form.size(); ++i) {
    char c = form[i];
    if (c != '%') {
      if (IsAsciiLetter(c)) {
        literal += c;
      } else if (c == '"') {
        flushLiteral();
        pattern += "'\"'";
      } else if (c == '\'') {
        flushLiteral();
        pattern += "\"'\"";
      } else {
        flushLiteral();
        pattern += c;
      }
      continue;
    }
    flushLiteral();
    if (++i >= form.size()) break;
    while (i < form.size() && (form[i] == 'E' || form[i] == 'O')) ++i;  // era and digit forms
    if (i >= form.size()) break;
    switch (form[i]) {
      case 'a':
        pattern += "ddd";
        break;
      case 'A':
        pattern += "dddd";
        break;
      case 'b':
      case 'h':
        pattern += "MMM";
        break;
      case 'B':
        pattern += "MMMM";
        break;
      case 'd':
        pattern += "dd";
        break;
      case 'e':
        pattern += "d";
        break;
      case 'm':
        pattern += "MM";
        break;
      case 'y':
        pattern += "yy";
        break;
      case 'Y':
        pattern += "yyyy";
        break;
      case 'H':
        pattern += "HH";
        break;
      case 'k':
        pattern += "H";
        break;
      case 'I':
        pattern += "hh";
        break;
      case 'l':
        pattern += "h";
        break;
      case 'M':
        pattern += "nn";
        break;
      case 'S':
        pattern += "ss";
        break;
      case 'p':
      case 'P':
        pattern += "AMPM";
        break;
      case 'n':
      case 't':
        pattern += ' ';
        break;
      case '%':
        pattern += '%';
        break;
      default:
        break;  // time zone, week numbers and the like have no pattern letter
    }
  }
  flushLiteral();
  return pattern;
}

RegionalSettings CLocaleRegionalSettings() { return RegionalSettings{}; }

bool IsDoubleByteCodeset(std::string_view codeset) {
  for (std::string_view name :
       {"GBK", "GB2312", "GB18030", "CP936", "BIG5", "BIG5-HKSCS", "BIG5HKSCS", "CP950", "SJIS",
        "SHIFT_JIS", "SHIFT-JIS", "CP932", "CP949", "UHC", "JOHAB"}) {
    if (EqualsIgnoringCase(codeset, name)) return true;
  }
  return false;
}

const WindowsLocaleForms* WindowsFormsOf(std::string_view localeName) {
  std::string_view territory = localeName.substr(0, localeName.find_first_of(".@"));
  for (const WindowsLocaleForms& forms : kWindowsForms)
    if (forms.locale == territory) return &forms;
  return nullptr;
}

void ApplyStrftimeForms(RegionalSettings& settings, const std::string& dateFormIn,
                        const std::string& timeFormIn, std::string_view localeName,
                        const TextConverter* host) {
  std::string dateForm = ExpandComposites(dateFormIn);
  std::string timeForm = ExpandComposites(timeFormIn);
  const bool dateWords = HasWords(dateForm);
  const bool timeWords = HasWords(timeForm);
  const WindowsLocaleForms* windows = dateWords || timeWords ? WindowsFormsOf(localeName) : nullptr;
  if (windows != nullptr) {
    // A host passes and reads the same texts as on Windows.
    auto text = [&](std::string_view utf8) {
      return host != nullptr ? host->FromUtf8(utf8) : std::string(utf8);
    };
    settings.shortDateFormat = PatternFromWindowsForm(text(windows->shortDate));
    settings.longDateFormat = PatternFromWindowsForm(text(windows->longDate));
    settings.dateSeparator = windows->dateSeparator;
    settings.shortTimeFormat = PatternFromWindowsForm(text(windows->shortTime));
    settings.longTimeFormat = PatternFromWindowsForm(text(windows->longTime));
    settings.timeSeparator = windows->timeSeparator;
    return;
  }
  if (!dateForm.empty()) {
    if (dateWords) {
      settings.shortDateFormat = NumbersOnly(dateForm, settings.dateSeparator, "/");
    } else {
      settings.shortDateFormat = PatternFromStrftime(dateForm);
      settings.dateSeparator = FirstSeparator(dateForm, "/");
    }
    settings.longDateFormat = "dddd, " + settings.shortDateFormat;
  }
  if (!timeForm.empty()) {
    if (timeWords) {
      settings.longTimeFormat = NumbersOnly(timeForm, settings.timeSeparator, ":");
      std::string separator;
      settings.shortTimeFormat = NumbersOnly(WithoutSeconds(timeForm), separator, ":");
    } else {
      settings.longTimeFormat = PatternFromStrftime(timeForm);
      settings.shortTimeFormat = PatternFromStrftime(WithoutSeconds(timeForm));
      settings.timeSeparator = FirstSeparator(timeForm, ":");
    }
  }
}

std::string PatternFromWindowsForm(const std::string& form) {
  std::string pattern;
  std::string literal;  // kept in double quotes, so that no letter or separator in it is read
  auto flushLiteral = [&] {
    if (literal.empty()) return;
    pattern += '"' + literal + '"';
    literal.clear();
  };
  auto addLiteral = [&](char c) {
    if (c != '"') {
      literal += c;
      return;
    }
    flushLiteral();
    pattern += "'\"'";
  };
  for (size_t i = 0; i < form.size();) {
    char c = form[i];
    if (c == '\'') {
      // '' is a quote; otherwise the text up to the closing quote is literal.
      if (i + 1 < form.size() && form[i + 1] == '\'') {
        flushLiteral();
        pattern += "\"'\"";
        i += 2;
        continue;
      }
      size_t end = std::min(form.find('\'', i + 1), form.size());
      for (size_t j = i + 1; j < end; ++j) addLiteral(form[j]);
      i = end + 1;
      continue;
    }
    size_t run = 1;
    while (i + run < form.size() && form[i + run] == c) ++run;
    i += run;
    std::string element;
    switch (c) {
      case 'd':
      case 'M':
        element.assign(std::min<size_t>(run, 4), c);
        break;
      case 'y':
        element = run <= 2 ? "yy" : "yyyy";
        break;
      case 'h':
      case 'H':
      case 's':
        element.assign(std::min<size_t>(run, 2), c);
        break;
      case 'm':  // the minute in a Windows form
        element.assign(std::min<size_t>(run, 2), 'n');
        break;
      case 't':
        element = "AMPM";
        break;
      case 'g':
        continue;  // the era has no pattern letter
      default:
        // Windows shows separators as written; so do we, instead of reading them as ours.
        if (IsAsciiLetter(c) || c == '"' || c == '/' || c == ':') {
          for (size_t k = 0; k < run; ++k) addLiteral(c);
        } else {
          flushLiteral();
          pattern.append(run, c);
        }
        continue;
    }
    flushLiteral();
    pattern += element;
  }
  flushLiteral();
  return pattern;
}

}  // namespace wardlink

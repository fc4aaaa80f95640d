#include "shared/regional_settings.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <string_view>

#include "db/code_page.h"
#include "db/statement_text.h"

namespace wardlink {

namespace {

// A locale object of our own, freed on every path; uselocale/setlocale are never called.
class LocaleHandle {
 public:
  explicit LocaleHandle(const std::string& name)
      : locale_(newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(nullptr))) {}
  ~LocaleHandle() {
    if (locale_ != static_cast<locale_t>(nullptr)) freelocale(locale_);
  }
  LocaleHandle(const LocaleHandle&) = delete;
  LocaleHandle& operator=(const LocaleHandle&) = delete;

  bool valid() const { return locale_ != static_cast<locale_t>(nullptr); }
  std::string Item(nl_item item) const {
    const char* text = nl_langinfo_l(item, locale_);
    return text != nullptr ? std::string(text) : std::string();
  }

 private:
  locale_t locale_;
};

std::string TimeLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

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

// The long time form without its seconds and the literal text just before them.
std::string WithoutSeconds(const std::string& form) {
  size_t seconds = form.find("%S");
  if (seconds == std::string::npos) return form;
  size_t start = seconds;
  while (start > 0 && form[start - 1] != '%' && !(start >= 2 && form[start - 2] == '%')) --start;
  return form.substr(0, start) + form.substr(seconds + 2);
}

bool IsDoubleByteCodeset(std::string_view codeset) {
  for (std::string_view name :
       {"GBK", "GB2312", "GB18030", "CP936", "BIG5", "BIG5-HKSCS", "BIG5HKSCS", "CP950", "SJIS",
        "SHIFT_JIS", "SHIFT-JIS", "CP932", "CP949", "UHC", "JOHAB"}) {
    if (EqualsIgnoringCase(codeset, name)) return true;
  }
  return false;
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

RegionalSettings RegionalSettingsOfLocale(const std::string& localeName) {
  LocaleHandle locale(localeName);
  if (!locale.valid()) return CLocaleRegionalSettings();
  RegionalSettings settings;
  std::string dateForm = ExpandComposites(locale.Item(D_FMT));
  std::string timeForm = ExpandComposites(locale.Item(T_FMT));
  if (!dateForm.empty()) {
    settings.shortDateFormat = PatternFromStrftime(dateForm);
    settings.longDateFormat = "dddd, " + settings.shortDateFormat;
    settings.dateSeparator = FirstSeparator(dateForm, "/");
  }
  if (!timeForm.empty()) {
    settings.longTimeFormat = PatternFromStrftime(timeForm);
    settings.shortTimeFormat = PatternFromStrftime(WithoutSeconds(timeForm));
    settings.timeSeparator = FirstSeparator(timeForm, ":");
  }
  for (int i = 0; i < 12; ++i) {
    settings.shortMonthNames[i] = locale.Item(ABMON_1 + i);
    settings.longMonthNames[i] = locale.Item(MON_1 + i);
  }
  for (int i = 0; i < 7; ++i) {
    settings.shortDayNames[i] = locale.Item(ABDAY_1 + i);
    settings.longDayNames[i] = locale.Item(DAY_1 + i);
  }
  settings.timeAmString = locale.Item(AM_STR);
  settings.timePmString = locale.Item(PM_STR);
  return settings;
}

RegionalSettings EnvironmentRegionalSettings() {
  RegionalSettings settings = RegionalSettingsOfLocale(TimeLocaleName());
  settings.doubleByteCodePage = IsDoubleByteCodeset(EnvironmentCodeset());
  return settings;
}

}  // namespace wardlink

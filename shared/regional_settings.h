#pragma once

#include <array>
#include <string>
#include <string_view>

namespace wardlink {

class TextConverter;

// The regional settings that the date conversions follow. Forms are written in the pattern
// letters of FormatDatePattern (yyyy, MM, dd, HH, nn, ss, AMPM ...). Passed as a value so that a
// caller, or a test, chooses them without touching the process's locale.
struct RegionalSettings {
  std::string shortDateFormat = "MM/dd/yy";
  // A locale has no long date form of its own: the long day name before the short form stands
  // in for it.
  std::string longDateFormat = "dddd, MM/dd/yy";
  std::string dateSeparator = "/";
  std::string shortTimeFormat = "HH:nn";
  std::string longTimeFormat = "HH:nn:ss";
  std::string timeSeparator = ":";
  std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> longMonthNames{"January",   "February", "March",    "April",
                                             "May",       "June",     "July",     "August",
                                             "September", "October",  "November", "December"};
  // Sunday first.
  std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> longDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  std::string timeAmString = "AM";
  std::string timePmString = "PM";
  // The host's code page is a double-byte one (GBK, Big5, Shift_JIS ...): a byte from 0x81 up
  // opens a two-byte character whose second byte may look like an ASCII letter.
  bool doubleByteCodePage = false;
};

// The settings of the C/POSIX locale: MM/dd/yy with "/" as separator.
RegionalSettings CLocaleRegionalSettings();

// The settings of the host's locale. On Windows the user's regional settings; elsewhere the
// environment's time locale (LC_ALL, LC_TIME, LANG), read through a locale object of its own, so
// that the process's locale is neither read nor changed; a locale that cannot be loaded gives the
// C/POSIX settings.
RegionalSettings EnvironmentRegionalSettings();

// The same for a named POSIX locale ("de_DE.UTF-8"); the C/POSIX settings when it cannot be
// loaded. Not on Windows.
RegionalSettings RegionalSettingsOfLocale(const std::string& localeName);

// Turns a strftime form of the locale (D_FMT, T_FMT) into the pattern letters above.
std::string PatternFromStrftime(const std::string& form);

// Sets the date and time forms and separators from a locale's D_FMT and T_FMT. Separators are
// only ever taken from punctuation: where a form is written with words ("%Y年%m月%d日"), the
// settings are the forms Windows gives the same locale (`localeName`, "zh_CN.GBK"), their texts
// converted from UTF-8 by `host` (kept as UTF-8 without one); for a locale that Windows has no
// forms for, the form's numbers joined by its first punctuation, else by "/" and ":".
void ApplyStrftimeForms(RegionalSettings& settings, const std::string& dateForm,
                        const std::string& timeForm, std::string_view localeName = "C",
                        const TextConverter* host = nullptr);

// The forms Windows gives a locale whose own forms are written with words, in Windows' notation
// and UTF-8.
struct WindowsLocaleForms {
  std::string_view locale;  // language_territory
  std::string_view shortDate;
  std::string_view longDate;
  std::string_view dateSeparator;
  std::string_view shortTime;
  std::string_view longTime;
  std::string_view timeSeparator;
};
// The entry for a POSIX locale name ("ja_JP.eucJP" looks up ja_JP); nullptr when there is none.
const WindowsLocaleForms* WindowsFormsOf(std::string_view localeName);

// Turns a Windows locale's date or time form ("yyyy/M/d", "h:mm:ss tt") into the pattern letters
// above; its literal text and separators stay as written.
std::string PatternFromWindowsForm(const std::string& form);

// Whether `codeset` names a double-byte code page (GBK, Big5, Shift_JIS, CP936 ...).
bool IsDoubleByteCodeset(std::string_view codeset);

}  // namespace wardlink

#include <windows.h>

#include "db/code_page.h"
#include "shared/regional_settings.h"

namespace wardlink {

namespace {

// One setting of the user's locale in the host's code page; empty when Windows has none.
std::string LocaleInfo(const TextConverter& text, LCTYPE type) {
  wchar_t value[256];
  int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, value, 256);
  if (length <= 1) return std::string();
  return text.FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(value),
                                            static_cast<size_t>(length - 1)));
}

void Set(std::string& setting, std::string value) {
  if (!value.empty()) setting = std::move(value);
}

}  // namespace

RegionalSettings EnvironmentRegionalSettings() {
  TextConverter text;
  RegionalSettings settings;
  Set(settings.shortDateFormat, PatternFromWindowsForm(LocaleInfo(text, LOCALE_SSHORTDATE)));
  Set(settings.longDateFormat, PatternFromWindowsForm(LocaleInfo(text, LOCALE_SLONGDATE)));
  Set(settings.dateSeparator, LocaleInfo(text, LOCALE_SDATE));
  Set(settings.shortTimeFormat, PatternFromWindowsForm(LocaleInfo(text, LOCALE_SSHORTTIME)));
  Set(settings.longTimeFormat, PatternFromWindowsForm(LocaleInfo(text, LOCALE_STIMEFORMAT)));
  Set(settings.timeSeparator, LocaleInfo(text, LOCALE_STIME));
  for (int i = 0; i < 12; ++i) {
    Set(settings.shortMonthNames[i], LocaleInfo(text, LOCALE_SABBREVMONTHNAME1 + i));
    Set(settings.longMonthNames[i], LocaleInfo(text, LOCALE_SMONTHNAME1 + i));
  }
  // Windows counts the days from Monday; the settings from Sunday.
  for (int i = 0; i < 7; ++i) {
    int windowsDay = (i + 6) % 7;
    Set(settings.shortDayNames[i], LocaleInfo(text, LOCALE_SABBREVDAYNAME1 + windowsDay));
    Set(settings.longDayNames[i], LocaleInfo(text, LOCALE_SDAYNAME1 + windowsDay));
  }
  settings.timeAmString = LocaleInfo(text, LOCALE_S1159);
  settings.timePmString = LocaleInfo(text, LOCALE_S2359);
  settings.doubleByteCodePage = IsDoubleByteCodeset(text.codeset());
  return settings;
}

}  // namespace wardlink

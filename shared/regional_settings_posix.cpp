#include <langinfo.h>
#include <locale.h>

#include <cstdlib>

#include "db/code_page.h"
#include "shared/regional_settings.h"

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

}  // namespace

RegionalSettings RegionalSettingsOfLocale(const std::string& localeName) {
  LocaleHandle locale(localeName);
  if (!locale.valid()) return CLocaleRegionalSettings();
  RegionalSettings settings;
  ApplyStrftimeForms(settings, locale.Item(D_FMT), locale.Item(T_FMT));
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

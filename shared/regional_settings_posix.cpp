#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <optional>

#include "db/code_page.h"
#include "db/db_error.h"
#include "db/statement_text.h"
#include "shared/regional_settings.h"

namespace wardlink {

namespace {

// A locale object of our own, freed on every path; uselocale/setlocale are never called. Its
// LC_CTYPE names the codeset its LC_TIME texts are written in.
class LocaleHandle {
 public:
  explicit LocaleHandle(const std::string& name)
      : locale_(newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name.c_str(),
                          static_cast<locale_t>(nullptr))) {}
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

// The time locale's texts in the host's code page (LC_CTYPE), converted where the two codesets
// differ; as read where a codeset cannot be converted.
class HostTexts {
 public:
  explicit HostTexts(std::string timeCodeset) {
    try {
      host_.emplace();
      if (timeCodeset == "ANSI_X3.4-1968") timeCodeset = "UTF-8";  // the C locale: ASCII
      if (!EqualsIgnoringCase(timeCodeset, host_->codeset())) time_.emplace(timeCodeset);
    } catch (const DbError&) {
      time_.reset();
    }
  }

  const TextConverter* host() const { return host_ ? &*host_ : nullptr; }
  std::string FromTimeLocale(std::string text) const {
    if (!time_ || !host_) return text;
    return host_->FromUtf8(time_->ToUtf8(text));
  }

 private:
  std::optional<TextConverter> host_;
  std::optional<TextConverter> time_;
};

}  // namespace

RegionalSettings RegionalSettingsOfLocale(const std::string& localeName) {
  LocaleHandle locale(localeName);
  if (!locale.valid()) return CLocaleRegionalSettings();
  const HostTexts texts(locale.Item(CODESET));
  auto item = [&](nl_item name) { return texts.FromTimeLocale(locale.Item(name)); };
  RegionalSettings settings;
  ApplyStrftimeForms(settings, item(D_FMT), item(T_FMT), localeName, texts.host());
  for (int i = 0; i < 12; ++i) {
    settings.shortMonthNames[i] = item(ABMON_1 + i);
    settings.longMonthNames[i] = item(MON_1 + i);
  }
  for (int i = 0; i < 7; ++i) {
    settings.shortDayNames[i] = item(ABDAY_1 + i);
    settings.longDayNames[i] = item(DAY_1 + i);
  }
  settings.timeAmString = item(AM_STR);
  settings.timePmString = item(PM_STR);
  return settings;
}

RegionalSettings EnvironmentRegionalSettings() {
  RegionalSettings settings = RegionalSettingsOfLocale(TimeLocaleName());
  settings.doubleByteCodePage = IsDoubleByteCodeset(EnvironmentCodeset());
  return settings;
}

}  // namespace wardlink

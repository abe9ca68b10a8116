// Localized labels from a built-in table (English and Chinese). Any thread.
#ifndef SETTINGS_LANGUAGE_SETTINGS_H_
#define SETTINGS_LANGUAGE_SETTINGS_H_

#include <string>

#include "base/export.h"
#include "base/thread/mutex.h"

namespace settings::language {

// The language of the labels the library shows the user. Any thread.
class LUMOHOST_EXPORT LanguageSettings {
 public:
  static LanguageSettings& Instance();  // the process's settings

  LanguageSettings(const LanguageSettings&) = delete;
  LanguageSettings& operator=(const LanguageSettings&) = delete;

  // The label for `key` in the current language; an unknown key returns the key itself.
  std::wstring GetString(std::wstring key) const;

  // "en" (the default) or "zh"; anything else falls back to English.
  void SetLanguage(std::wstring language);
  std::wstring GetLanguage() const;  // "en" or "zh"

 private:
  LanguageSettings() = default;

  mutable base::thread::Mutex mutex_;
  std::wstring language_ GUARDED_BY(mutex_) = L"en";
};

}  // namespace settings::language

#endif  // SETTINGS_LANGUAGE_SETTINGS_H_

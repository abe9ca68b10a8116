#include "settings/language_settings.h"

namespace settings::language {
namespace {

struct Label {
  const wchar_t* key;
  const wchar_t* english;
  const wchar_t* chinese;
};

constexpr Label kLabels[] = {
    {L"song_source_norda", L"Norda Music", L"\u8bfa\u8fbe\u97f3\u4e50"},
    {L"song_source_net", L"Internet", L"\u7f51\u7edc"},
};

}  // namespace

LanguageSettings& LanguageSettings::Instance() {
  static LanguageSettings* settings = new LanguageSettings;  // never destroyed
  return *settings;
}

std::wstring LanguageSettings::GetString(std::wstring key) const {
  const bool chinese = GetLanguage() == L"zh";
  for (const Label& label : kLabels) {
    if (key == label.key) return chinese ? label.chinese : label.english;
  }
  return key;
}

void LanguageSettings::SetLanguage(std::wstring language) {
  base::thread::MutexLock lock(&mutex_);
  language_ = language == L"zh" ? L"zh" : L"en";
}

std::wstring LanguageSettings::GetLanguage() const {
  base::thread::MutexLock lock(&mutex_);
  return language_;
}

}  // namespace settings::language

#include "settings/user_account_settings.h"

#include <utility>

namespace settings::user {

UserAccountSettings& UserAccountSettings::Instance() {
  static UserAccountSettings* settings = new UserAccountSettings;  // never destroyed
  return *settings;
}

std::wstring UserAccountSettings::_GetKwtok() const {
  base::thread::MutexLock lock(&mutex_);
  return kwtok_;
}

void UserAccountSettings::SetKwtok(std::wstring token) {
  base::thread::MutexLock lock(&mutex_);
  kwtok_ = std::move(token);
}

}  // namespace settings::user

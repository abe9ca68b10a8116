// The signed-in account, as the host player knows it. Any thread.
#ifndef SETTINGS_USER_ACCOUNT_SETTINGS_H_
#define SETTINGS_USER_ACCOUNT_SETTINGS_H_

#include <string>

#include "base/export.h"
#include "base/thread/mutex.h"

namespace settings::user {

// The signed-in account, as the host keeps it. Any thread.
class LUMOHOST_EXPORT UserAccountSettings {
 public:
  static UserAccountSettings& Instance();  // the process's settings

  UserAccountSettings(const UserAccountSettings&) = delete;
  UserAccountSettings& operator=(const UserAccountSettings&) = delete;

  // The account's session token; empty when nobody is signed in.
  std::wstring _GetKwtok() const;
  void SetKwtok(std::wstring token);  // sets the session token

 private:
  UserAccountSettings() = default;

  mutable base::thread::Mutex mutex_;
  std::wstring kwtok_ GUARDED_BY(mutex_);
};

}  // namespace settings::user

#endif  // SETTINGS_USER_ACCOUNT_SETTINGS_H_

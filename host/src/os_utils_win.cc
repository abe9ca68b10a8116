// MD5 through CryptoAPI, the machine id from the registry's machine GUID (the one Windows sets up
// at installation), the tick count from the system.
#include <windows.h>
// After windows.h, which it builds on.
#include <wincrypt.h>

#include <algorithm>

#include "base/os_utils.h"
#include "base/string_utils.h"
#include "os_utils_internal.h"

namespace base::os_utils {
namespace internal {
namespace {

// One provider context for the whole process, never released: acquiring one costs more than
// hashing a short text, and the keys and signatures of every encrypted call are hashed. Hash
// objects are made per digest, so threads share only the context, which CryptoAPI allows.
HCRYPTPROV HashProvider() {
  static const HCRYPTPROV provider = [] {
    HCRYPTPROV acquired = 0;
    if (!CryptAcquireContextW(&acquired, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
      return HCRYPTPROV{0};
    }
    return acquired;
  }();
  return provider;
}

}  // namespace

std::optional<Md5Digest> Md5(std::string_view bytes) {
  const HCRYPTPROV provider = HashProvider();
  HCRYPTHASH hash = 0;
  if (provider == 0 || !CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) return std::nullopt;
  Md5Digest digest;
  DWORD length = static_cast<DWORD>(digest.size());
  // CryptHashData takes a DWORD length; texts longer than that are hashed in pieces.
  constexpr size_t kMaxPiece = 1u << 30;
  bool ok = true;
  for (size_t at = 0; ok && at < bytes.size(); at += kMaxPiece) {
    const size_t piece = std::min(kMaxPiece, bytes.size() - at);
    ok = CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data() + at),
                       static_cast<DWORD>(piece), 0) != FALSE;
  }
  ok = ok && CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &length, 0) &&
       length == digest.size();
  CryptDestroyHash(hash);
  if (!ok) return std::nullopt;
  return digest;
}

std::string RawMachineId() {
  wchar_t guid[64] = {};
  DWORD size = sizeof(guid) - sizeof(wchar_t);
  DWORD type = 0;
  HKEY key = nullptr;
  // The 64-bit view: a 32-bit process would otherwise read the redirected key, which has no
  // machine GUID. KEY_WOW64_64KEY is understood by every Windows this runs on.
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
    const LSTATUS status =
        RegQueryValueExW(key, L"MachineGuid", nullptr, &type, reinterpret_cast<BYTE*>(guid), &size);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && type == REG_SZ && guid[0] != L'\0') {
      return string_utils::ToUtf8(guid);  // `guid` stays terminated: one unit was kept free
    }
  }
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD name_length = MAX_COMPUTERNAME_LENGTH + 1;
  if (GetComputerNameW(name, &name_length)) return string_utils::ToUtf8(name);
  return {};
}

}  // namespace internal

uint32_t GetTickCount() { return ::GetTickCount(); }

bool IsProcessExiting() {
  // The loader's own answer: true from the moment ExitProcess began, when it has stopped the
  // process's other threads.
  using Query = BOOLEAN(WINAPI*)();
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlDllShutdownInProgress")));
  return query != nullptr && query() != FALSE;
}

}  // namespace base::os_utils

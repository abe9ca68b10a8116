// Stands in for Visual C++'s buffer-overrun checks (/GS): the module's cookie, made unguessable
// before anything else runs, and the check the compiler calls when a function returns. A
// damaged stack ends the process at once, as Visual C++'s runtime does.
#include <intrin.h>
#include <windows.h>

extern "C" {
uintptr_t __security_cookie = 0x00002B992DDFA232;

void __cdecl __security_init_cookie(void) {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uintptr_t cookie = static_cast<uintptr_t>(counter.QuadPart) << 32 ^ counter.QuadPart;
  cookie ^= static_cast<uintptr_t>(GetCurrentProcessId()) << 16 ^ GetCurrentThreadId();
  cookie ^= reinterpret_cast<uintptr_t>(&cookie);
  cookie &= 0x0000FFFFFFFFFFFF;  // as Visual C++'s: never a valid address, never zero
  __security_cookie = cookie == 0 ? 0x00002B992DDFA232 : cookie;
}

void __cdecl __security_check_cookie(uintptr_t cookie) {
  if (cookie != __security_cookie) {
    __fastfail(2);  // FAST_FAIL_STACK_COOKIE_CHECK_FAILURE
  }
}
}

// Stands in for Visual C++'s WinMainCRTStartup: the entry point of a windowed program with
// WinMain().
#include <stdlib.h>
#include <windows.h>

#include "startup.h"

extern "C" {
_ACRTIMP void __cdecl _set_app_type(int type);
_ACRTIMP int __cdecl _configure_narrow_argv(int mode);
_ACRTIMP int __cdecl _initialize_narrow_environment(void);
_ACRTIMP char* __cdecl _get_narrow_winmain_command_line(void);

int __cdecl WinMainCRTStartup(void) {
  _set_app_type(2);  // a windowed program
  _configure_narrow_argv(1);
  _initialize_narrow_environment();
  if (!lumo_run_initializers()) {
    _exit(255);
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  exit(WinMain(GetModuleHandleW(nullptr), nullptr, _get_narrow_winmain_command_line(), show));
}
}

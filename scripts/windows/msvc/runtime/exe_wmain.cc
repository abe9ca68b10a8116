// Stands in for Visual C++'s wmainCRTStartup: the entry point of a console program with wmain().
#include <stdlib.h>

#include "startup.h"

extern "C" {
int __cdecl wmain(int argc, wchar_t** argv, wchar_t** envp);

_ACRTIMP void __cdecl _set_app_type(int type);
_ACRTIMP int __cdecl _configure_wide_argv(int mode);
_ACRTIMP int __cdecl _initialize_wide_environment(void);
_ACRTIMP int* __cdecl __p___argc(void);
_ACRTIMP wchar_t*** __cdecl __p___wargv(void);
_ACRTIMP wchar_t** __cdecl _get_initial_wide_environment(void);

int __cdecl wmainCRTStartup(void) {
  _set_app_type(1);
  _configure_wide_argv(1);
  _initialize_wide_environment();
  if (!lumo_run_initializers()) {
    _exit(255);
  }
  exit(wmain(*__p___argc(), *__p___wargv(), _get_initial_wide_environment()));
}
}

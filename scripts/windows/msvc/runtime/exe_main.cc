// Stands in for Visual C++'s mainCRTStartup: the entry point of a console program with main().
#include <stdlib.h>

#include "startup.h"

extern "C" {
int __cdecl main(int argc, char** argv, char** envp);

_ACRTIMP void __cdecl _set_app_type(int type);
_ACRTIMP int __cdecl _configure_narrow_argv(int mode);
_ACRTIMP int __cdecl _initialize_narrow_environment(void);
_ACRTIMP int* __cdecl __p___argc(void);
_ACRTIMP char*** __cdecl __p___argv(void);
_ACRTIMP char** __cdecl _get_initial_narrow_environment(void);

int __cdecl mainCRTStartup(void) {
  _set_app_type(1);           // a console program
  _configure_narrow_argv(1);  // arguments unexpanded
  _initialize_narrow_environment();
  if (!lumo_run_initializers()) {
    _exit(255);
  }
  exit(main(*__p___argc(), *__p___argv(), _get_initial_narrow_environment()));
}
}

// Stands in for Visual C++'s atexit/_onexit of its static start-up part: a DLL keeps its exit
// functions (among them every static destructor) in a table of its own, run when it is unloaded;
// a program hands them to the C runtime, which runs them in exit().
#include <stdlib.h>

#include "startup.h"

extern "C" {
typedef int(__cdecl* lumo_onexit_t)(void);
struct lumo_onexit_table {
  lumo_pvfv* first;
  lumo_pvfv* last;
  lumo_pvfv* end;
};
_ACRTIMP int __cdecl _initialize_onexit_table(lumo_onexit_table* table);
_ACRTIMP int __cdecl _register_onexit_function(lumo_onexit_table* table, lumo_onexit_t function);
_ACRTIMP int __cdecl _execute_onexit_table(lumo_onexit_table* table);
_ACRTIMP int __cdecl _crt_atexit(lumo_pvfv function);

static lumo_onexit_table module_table;
static bool module_table_in_use = false;

void lumo_use_module_exit_table() {
  _initialize_onexit_table(&module_table);
  module_table_in_use = true;
}

void lumo_run_module_exit_table() {
  if (module_table_in_use) {
    _execute_onexit_table(&module_table);
  }
}

lumo_onexit_t __cdecl _onexit(lumo_onexit_t function) {
  if (module_table_in_use) {
    return _register_onexit_function(&module_table, function) == 0 ? function : nullptr;
  }
  return _crt_atexit(reinterpret_cast<lumo_pvfv>(function)) == 0 ? function : nullptr;
}

int __cdecl atexit(lumo_pvfv function) {
  return _onexit(reinterpret_cast<lumo_onexit_t>(function)) != nullptr ? 0 : -1;
}
}

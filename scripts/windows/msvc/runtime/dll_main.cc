// Stands in for Visual C++'s _DllMainCRTStartup: a DLL's entry point runs its initializers when
// it is loaded and its exit table (static destructors, atexit) when it is unloaded, around the
// DLL's own DllMain.
#include <vcruntime_typeinfo.h>
#include <windows.h>

#include "startup.h"

extern "C" {
_VCRTIMP void __cdecl __std_type_info_destroy_list(__type_info_node* root);

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

BOOL WINAPI _DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    lumo_use_module_exit_table();
    if (!lumo_run_initializers()) {
      return FALSE;
    }
    if (!DllMain(instance, reason, reserved)) {
      lumo_run_module_exit_table();
      return FALSE;
    }
    return TRUE;
  }
  const BOOL result = DllMain(instance, reason, reserved);
  if (reason == DLL_PROCESS_DETACH) {
    lumo_run_module_exit_table();
    __std_type_info_destroy_list(&__type_info_root_node);
  }
  return result;
}
}

// Stands in for Visual C++'s initializer sections (the .CRT$XI/.CRT$XC markers of its start-up
// objects): the linker sorts the compiler's entries between these markers by section name.
#include <stdlib.h>
#include <vcruntime.h>

#include "startup.h"

#pragma section(".CRT$XIA", long, read)
#pragma section(".CRT$XIZ", long, read)
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)

extern "C" {
__declspec(allocate(".CRT$XIA")) lumo_pifv __xi_a[] = {nullptr};
__declspec(allocate(".CRT$XIZ")) lumo_pifv __xi_z[] = {nullptr};
__declspec(allocate(".CRT$XCA")) lumo_pvfv __xc_a[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) lumo_pvfv __xc_z[] = {nullptr};

_ACRTIMP int __cdecl _initterm_e(lumo_pifv* first, lumo_pifv* last);
_ACRTIMP void __cdecl _initterm(lumo_pvfv* first, lumo_pvfv* last);

bool lumo_run_initializers() {
  __security_init_cookie();
  if (_initterm_e(__xi_a, __xi_z) != 0) {
    return false;
  }
  _initterm(__xc_a, __xc_z);
  return true;
}
}

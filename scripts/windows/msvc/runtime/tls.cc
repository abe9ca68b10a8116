// Stands in for Visual C++'s thread-local storage support: the TLS directory the loader reads
// (_tls_used, with the module's TLS template between _tls_start and _tls_end and its callbacks
// between __xl_a and __xl_z), the on-demand initialization of dynamic thread_local variables
// (the compiler calls __dyn_tls_on_demand_init while this thread's __tls_guard is false; their
// initializers sit between __xd_a and __xd_z) and the destructors they register
// (__tlregdtor), run when the thread ends.
#include <stdlib.h>
#include <windows.h>

#include "startup.h"

#pragma section(".tls", long, read, write)
#pragma section(".tls$ZZZ", long, read, write)
#pragma section(".CRT$XLA", long, read)
#pragma section(".CRT$XLC", long, read)
#pragma section(".CRT$XLD", long, read)
#pragma section(".CRT$XLZ", long, read)
#pragma section(".CRT$XDA", long, read)
#pragma section(".CRT$XDZ", long, read)
#pragma section(".rdata$T", long, read)

extern "C" {
ULONG _tls_index = 0;
__declspec(allocate(".tls")) char _tls_start = 0;
__declspec(allocate(".tls$ZZZ")) char _tls_end = 0;
__declspec(allocate(".CRT$XLA")) PIMAGE_TLS_CALLBACK __xl_a = nullptr;
__declspec(allocate(".CRT$XLZ")) PIMAGE_TLS_CALLBACK __xl_z = nullptr;
__declspec(allocate(".CRT$XDA")) lumo_pvfv __xd_a = nullptr;
__declspec(allocate(".CRT$XDZ")) lumo_pvfv __xd_z = nullptr;

__declspec(allocate(".rdata$T")) extern const IMAGE_TLS_DIRECTORY64 _tls_used = {
    reinterpret_cast<ULONGLONG>(&_tls_start),
    reinterpret_cast<ULONGLONG>(&_tls_end),
    reinterpret_cast<ULONGLONG>(&_tls_index),
    reinterpret_cast<ULONGLONG>(&__xl_a + 1),
    0,
    0};

__declspec(thread) bool __tls_guard = false;

// Destructors of this thread's thread_local variables, in the order registered.
struct lumo_tls_destructors {
  lumo_pvfv* functions;
  size_t count;
  size_t capacity;
};
static __declspec(thread) lumo_tls_destructors destructors = {nullptr, 0, 0};

static void NTAPI lumo_dyn_tls_init(PVOID, DWORD reason, PVOID) {
  if (reason != DLL_THREAD_ATTACH || __tls_guard) {
    return;
  }
  __tls_guard = true;
  for (lumo_pvfv* initializer = &__xd_a + 1; initializer != &__xd_z; ++initializer) {
    if (*initializer) {
      (*initializer)();
    }
  }
}

static void NTAPI lumo_dyn_tls_dtor(PVOID, DWORD reason, PVOID) {
  if (reason != DLL_THREAD_DETACH && reason != DLL_PROCESS_DETACH) {
    return;
  }
  while (destructors.count > 0) {
    destructors.functions[--destructors.count]();
  }
  free(destructors.functions);
  destructors = {nullptr, 0, 0};
}

__declspec(allocate(".CRT$XLC")) PIMAGE_TLS_CALLBACK lumo_dyn_tls_init_callback = lumo_dyn_tls_init;
__declspec(allocate(".CRT$XLD")) PIMAGE_TLS_CALLBACK lumo_dyn_tls_dtor_callback = lumo_dyn_tls_dtor;

void __cdecl __dyn_tls_on_demand_init() noexcept {
  lumo_dyn_tls_init(nullptr, DLL_THREAD_ATTACH, nullptr);
}

int __cdecl __tlregdtor(lumo_pvfv destructor) {
  if (destructors.count == destructors.capacity) {
    const size_t capacity = destructors.capacity == 0 ? 8 : destructors.capacity * 2;
    void* grown = realloc(destructors.functions, capacity * sizeof(lumo_pvfv));
    if (grown == nullptr) {
      return -1;
    }
    destructors.functions = static_cast<lumo_pvfv*>(grown);
    destructors.capacity = capacity;
  }
  destructors.functions[destructors.count++] = destructor;
  return 0;
}
}

// Kept by the linker whenever this file is linked: the loader finds the callbacks through the
// directory alone.
#pragma comment(linker, "/include:_tls_used")
#pragma comment(linker, "/include:lumo_dyn_tls_init_callback")
#pragma comment(linker, "/include:lumo_dyn_tls_dtor_callback")

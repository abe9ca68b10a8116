// Stands in for Visual C++'s per-module pieces of type_info: the list of undecorated names that
// type_info::name() makes (freed when the module is unloaded), the destructor, and the virtual
// table the compiler's type descriptors point to.
#include <stdlib.h>
#include <windows.h>

#include <typeinfo>

extern "C" {
struct __type_info_node {
  SLIST_HEADER header;
};
__type_info_node __type_info_root_node;

// The scalar deleting destructor: the only entry of the virtual table.
void* __cdecl lumo_type_info_deleting_destructor(type_info* self, unsigned flags) {
  self->~type_info();
  if (flags & 1) {
    operator delete(self);
  }
  return self;
}
}

type_info::~type_info() noexcept {}

// The virtual table, preceded by its (absent) complete object locator.
__asm__(
    ".section .rdata,\"dr\"\n"
    ".p2align 3\n"
    ".quad 0\n"
    ".globl \"??_7type_info@@6B@\"\n"
    "\"??_7type_info@@6B@\":\n"
    ".quad lumo_type_info_deleting_destructor\n"
    ".text\n");

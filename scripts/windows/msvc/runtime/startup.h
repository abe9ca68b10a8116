// What the start-up files share: the initializer tables the compiler fills and the module's
// own exit table.
#pragma once

typedef void(__cdecl* lumo_pvfv)(void);
typedef int(__cdecl* lumo_pifv)(void);

extern "C" {
// Initializers the compiler places between these markers, in the order of their section names:
// C initializers (.CRT$XI*, may fail), C++ constructors of statics (.CRT$XC*), C pre-terminators
// (.CRT$XP*) and terminators (.CRT$XT*).
extern lumo_pifv __xi_a[], __xi_z[];
extern lumo_pvfv __xc_a[], __xc_z[];

// Runs the module's initializers; false when a C initializer failed.
bool lumo_run_initializers();

// The module registers its exit functions (static destructors, atexit) in a table of its own
// when it is a DLL, so that they run when it is unloaded; a program's go to the C runtime's
// process-wide table, which exit() runs.
void lumo_use_module_exit_table();
void lumo_run_module_exit_table();
}

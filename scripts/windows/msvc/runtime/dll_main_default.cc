// Stands in for the DllMain that Visual C++ links into a DLL that has none of its own.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

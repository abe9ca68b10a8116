// Stands in for Visual C++'s <new.h>: the allocation functions and the new handler.
#pragma once
#include <vcruntime.h>
#ifdef __cplusplus
#include <vcruntime_new.h>
#endif

#ifdef __cplusplus
extern "C++" {
typedef int(__cdecl* _PNH)(size_t);
_PNH __cdecl _set_new_handler(_PNH _NewHandler);
_PNH __cdecl _query_new_handler(void);
}
#endif
_CRT_BEGIN_C_HEADER
int __cdecl _set_new_mode(int _NewMode);
int __cdecl _query_new_mode(void);
_CRT_END_C_HEADER

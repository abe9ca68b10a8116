// Stands in for Visual C++'s <vcruntime.h>: the compiler runtime's basic macros and types, which
// the C++ standard library's headers and the C runtime's build on. Wine's C runtime headers
// (corecrt.h) provide the C runtime's share; this adds what Visual C++'s runtime defines itself.
#pragma once
#define _VCRUNTIME_H

#include <corecrt.h>
#include <sal.h>
#include <vadefs.h>

#pragma pack(push, 8)

// Source annotations that the C++ library uses and Wine's <sal.h> lacks; they mean nothing to the
// compiler here.
#ifndef _Analysis_assume_
#define _Analysis_assume_(expr)
#endif
#ifndef _Pre_satisfies_
#define _Pre_satisfies_(cond)
#endif
#ifndef _Guarded_by_
#define _Guarded_by_(lock)
#endif
#ifndef _Check_return_opt_
#define _Check_return_opt_
#endif
#ifndef _Field_z_
#define _Field_z_
#endif

#define _CRT_PACKING 8

#ifndef _VCRTIMP
#define _VCRTIMP __declspec(dllimport)
#endif
#ifndef _CRTIMP
#define _CRTIMP __declspec(dllimport)
#endif

// Calling conventions the C++ library names; managed code is not built here, so all are __cdecl.
#define __CLR_OR_THIS_CALL
#define __CLRCALL_OR_CDECL __cdecl
#define __CLRCALL_PURE_OR_CDECL __cdecl
#define __CRTDECL __CLRCALL_PURE_OR_CDECL

// Functions of the C++ library's DLL are declared without dllimport and reached through the
// import library's thunks, as in Visual C++; its data is imported explicitly (_CRTDATA2_IMPORT).
#ifndef _MRTIMP2
#define _MRTIMP2
#endif
#ifndef _CRTIMP2
#define _CRTIMP2
#endif

// The C++ library's satellite DLLs (msvcp140_1, msvcp140_2).
#ifndef _CRT_SATELLITE_1
#ifdef _DLL
#define _CRT_SATELLITE_1 __declspec(dllimport)
#else
#define _CRT_SATELLITE_1
#endif
#endif
#ifndef _CRT_SATELLITE_2
#ifdef _DLL
#define _CRT_SATELLITE_2 __declspec(dllimport)
#else
#define _CRT_SATELLITE_2
#endif
#endif

// The ids of codecvt<char16_t>/<char32_t> live in a satellite DLL of their own.
#ifndef _CRT_SATELLITE_CODECVT_IDS
#define _CRT_SATELLITE_CODECVT_IDS __declspec(dllimport)
#endif
#ifndef _CRT_SATELLITE_CODECVT_IDS_NOIMPORT
#define _CRT_SATELLITE_CODECVT_IDS_NOIMPORT
#endif
// Per-appdomain globals of managed code; plain globals here.
#ifndef _PGLOBAL
#define _PGLOBAL
#endif

#define _CRT_STRINGIZE_(x) #x
#define _CRT_STRINGIZE(x) _CRT_STRINGIZE_(x)
#define _CRT_WIDE_(s) L##s
#define _CRT_WIDE(s) _CRT_WIDE_(s)
#define _CRT_CONCATENATE_(a, b) a##b
#define _CRT_CONCATENATE(a, b) _CRT_CONCATENATE_(a, b)
#define _CRT_UNPARENTHESIZE_(...) __VA_ARGS__
#define _CRT_UNPARENTHESIZE(...) _CRT_UNPARENTHESIZE_ __VA_ARGS__

#ifdef __cplusplus
#define _CRT_BEGIN_C_HEADER extern "C" {
#define _CRT_END_C_HEADER }
#else
#define _CRT_BEGIN_C_HEADER
#define _CRT_END_C_HEADER
#endif

#define _VCRT_NOALIAS __declspec(noalias)
#define _VCRT_RESTRICT __declspec(restrict)
#define _VCRT_ALLOCATOR __declspec(allocator)
#define _VCRT_JIT_INTRINSIC
#define _VCRT_ALIGN(x) __declspec(align(x))
#define _CRTALLOCATOR __declspec(allocator)
#define _CRTRESTRICT __declspec(restrict)
#define _CRT_JIT_INTRINSIC
#define _CRT_HYBRIDPATCHABLE
#define _CRT_GUARDOVERFLOW
#define _CRT_ALIGN(x) __declspec(align(x))
#define _CRT_DEPRECATE_TEXT(text) __declspec(deprecated(text))
#define _CRT_INSECURE_DEPRECATE(replacement)
#define _CRT_INSECURE_DEPRECATE_MEMORY(replacement)
#define _CRT_OBSOLETE(replacement)
#define _CRT_NONSTDC_DEPRECATE(replacement)
#define _CRT_UNUSED(x) (void)x

// The C++ library's vectorized algorithms live in a source (vector_algorithms.cpp) that clang 19
// does not compile; the plain loops serve. Nothing of the ABI depends on it.
#ifndef _USE_STD_VECTOR_ALGORITHMS
#define _USE_STD_VECTOR_ALGORITHMS 0
#endif

// The language level the C++ library selects its features by.
#ifndef _MSVC_LANG
#define _MSVC_LANG __cplusplus
#endif
#ifndef _HAS_CXX17
#if defined(__cplusplus) && _MSVC_LANG > 201402L
#define _HAS_CXX17 1
#else
#define _HAS_CXX17 0
#endif
#endif
#ifndef _HAS_CXX20
#if defined(__cplusplus) && _HAS_CXX17 && _MSVC_LANG > 201703L
#define _HAS_CXX20 1
#else
#define _HAS_CXX20 0
#endif
#endif
#ifndef _HAS_CXX23
#if defined(__cplusplus) && _HAS_CXX20 && _MSVC_LANG > 202002L
#define _HAS_CXX23 1
#else
#define _HAS_CXX23 0
#endif
#endif

#ifndef _HAS_EXCEPTIONS
#define _HAS_EXCEPTIONS 1
#endif
#ifndef _HAS_NODISCARD
#define _HAS_NODISCARD 1
#endif
#define _NODISCARD [[nodiscard]]

// Microsoft's compiler marks placement new in a constant expression [[msvc::constexpr]]; clang
// evaluates std::construct_at without it.
#ifndef _MSVC_CONSTEXPR
#define _MSVC_CONSTEXPR
#endif

#ifndef _UNALIGNED
#define _UNALIGNED __unaligned
#endif

#ifndef _CRT_USE_BUILTIN_OFFSETOF
#define _CRT_USE_BUILTIN_OFFSETOF
#endif

#ifdef __cplusplus
extern "C++" {
template <typename _CountofType, size_t _SizeOfArray>
char (*__countof_helper(_UNALIGNED _CountofType (&_Array)[_SizeOfArray]))[_SizeOfArray];
}
#ifndef _countof
#define _countof(_Array) (sizeof(*__countof_helper(_Array)) + 0)
#endif
#else
#ifndef _countof
#define _countof(_Array) (sizeof(_Array) / sizeof(_Array[0]))
#endif
#endif

#if defined(__cplusplus)
#define _VCRT_EXPORT_STD
#endif

_CRT_BEGIN_C_HEADER
#ifdef __cplusplus
typedef bool __vcrt_bool;
#else
typedef _Bool __vcrt_bool;
#endif
extern uintptr_t __security_cookie;
void __cdecl __security_init_cookie(void);
void __cdecl __security_check_cookie(uintptr_t _StackCookie);
__declspec(noreturn) void __cdecl __report_gsfailure(uintptr_t _StackCookie);
_CRT_END_C_HEADER

#pragma pack(pop)

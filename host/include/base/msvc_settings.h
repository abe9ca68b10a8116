// Stops a program built with Microsoft's compiler (or clang-cl) whose settings cannot match the
// DLLs' at compile time, with the setting to change, rather than letting it crash at run time.
//
// The interface passes standard-library objects (std::wstring, std::vector, std::shared_ptr,
// std::function) and the library's own structs across the DLL boundary, so both sides must agree
// on their layout and on the heap that frees them. The DLLs are built with the release DLL
// runtime (/MD), iterator debugging off, a native wchar_t and the default packing, as C++17.
// Included by every header of the two libraries that exports something.
#ifndef BASE_MSVC_SETTINGS_H_
#define BASE_MSVC_SETTINGS_H_

#if defined(_MSC_VER) && !defined(__MINGW32__)

#include <cstddef>  // defines _ITERATOR_DEBUG_LEVEL from the settings

#if !defined(_MSVC_LANG) || _MSVC_LANG < 201703L
#error "lumoapi: its headers need C++17 or later: compile with /std:c++17 or /std:c++20"
#endif

#if defined(_DEBUG)
#error \
    "lumoapi: the DLLs use the release runtime; a Debug runtime (/MDd, /MTd) lays out the standard library's types differently: compile with /MD (a Debug configuration can keep /Od and /Zi)"
#endif

#if !defined(_DLL)
#error \
    "lumoapi: the DLLs share the runtime DLL with the program, which frees what they allocate: compile with /MD, not /MT"
#endif

#if _ITERATOR_DEBUG_LEVEL != 0
#error \
    "lumoapi: the DLLs are built with _ITERATOR_DEBUG_LEVEL 0, which sizes every container: remove the _ITERATOR_DEBUG_LEVEL definition (or set it to 0)"
#endif

#if !defined(_NATIVE_WCHAR_T_DEFINED)
#error \
    "lumoapi: the DLLs' names and strings use the native wchar_t: compile without /Zc:wchar_t- (use /Zc:wchar_t, the default)"
#endif

namespace base::msvc_settings {
// Its second member is at 8 under the default packing (and /Zp8), closer under any tighter one.
struct PackingProbe {
  char first;
  double second;
};
static_assert(offsetof(PackingProbe, second) == 8,
              "lumoapi: the DLLs' structs are laid out with the default packing: compile without "
              "/Zp1, /Zp2 or /Zp4, and pop any #pragma pack before including lumoapi's headers");
}  // namespace base::msvc_settings

#endif  // _MSC_VER && !__MINGW32__

#endif  // BASE_MSVC_SETTINGS_H_

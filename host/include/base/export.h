// Export macro of the host layer (liblumohost): symbols are hidden unless marked.
#ifndef BASE_EXPORT_H_
#define BASE_EXPORT_H_

#include "base/msvc_settings.h"

#if defined(_WIN32)
#if defined(LUMOHOST_IMPLEMENTATION)
#define LUMOHOST_EXPORT __declspec(dllexport)
#else
#define LUMOHOST_EXPORT __declspec(dllimport)
#endif
#else
#define LUMOHOST_EXPORT __attribute__((visibility("default")))
#endif

#endif  // BASE_EXPORT_H_

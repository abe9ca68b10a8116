// Export macros of liblumoapi: symbols are hidden unless marked.
//
// LUMOAPI_EXPORT marks the library's interface towards the host. LUMOAPI_EXPORT_PRIVATE marks
// internal pieces that the library's own tests reach; they stay hidden in the shared library
// (the tests link a static build of the same objects instead).
#ifndef LUMOAPI_EXPORT_H_
#define LUMOAPI_EXPORT_H_

#include "base/msvc_settings.h"

#if defined(LUMOAPI_STATIC)
// Linked from the static build of the same objects (the library's own tests).
#define LUMOAPI_EXPORT
#elif defined(_WIN32)
#if defined(LUMOAPI_IMPLEMENTATION)
#define LUMOAPI_EXPORT __declspec(dllexport)
#else
#define LUMOAPI_EXPORT __declspec(dllimport)
#endif
#else
#define LUMOAPI_EXPORT __attribute__((visibility("default")))
#endif

#define LUMOAPI_EXPORT_PRIVATE

#endif  // LUMOAPI_EXPORT_H_

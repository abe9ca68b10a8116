// Export macros of liblumoapi: symbols are hidden unless marked.
//
// LUMOAPI_EXPORT marks the library's interface towards the host. LUMOAPI_EXPORT_PRIVATE marks
// internal pieces that are exported only so that the library's own tests and tools can reach
// them; hosts must not rely on them.
#ifndef LUMOAPI_EXPORT_H_
#define LUMOAPI_EXPORT_H_

#if defined(_WIN32)
#if defined(LUMOAPI_IMPLEMENTATION)
#define LUMOAPI_EXPORT __declspec(dllexport)
#else
#define LUMOAPI_EXPORT __declspec(dllimport)
#endif
#else
#define LUMOAPI_EXPORT __attribute__((visibility("default")))
#endif

#define LUMOAPI_EXPORT_PRIVATE LUMOAPI_EXPORT

#endif  // LUMOAPI_EXPORT_H_

// Ending the host layer's work in the background, before a host unloads the library.
#ifndef BASE_SHUTDOWN_H_
#define BASE_SHUTDOWN_H_

#include "base/export.h"

namespace base {

// Ends the network thread and lets go of what the default transport keeps between calls (on
// Windows, WinHTTP's sessions), then the UI loop (base::thread::UiLoop::Shutdown): queued tasks
// dropped, no UI thread bound, on Windows the message-only window destroyed and its class
// unregistered. Exchanges still in flight are dropped without their callbacks (their requests
// never end; a warning in the log counts them), so call it after deleting every request and
// after ReportPool::Uninit. Whatever is used later starts again.
//
// A Windows host calls it on its UI thread before FreeLibrary of the library or of a DLL of its
// own that uses it; the library calls it itself as its DLL is unloaded, in case the host did not.
// On Windows the network thread holds the host layer's DLL until it has ended, a moment after
// this returns. Any thread but the network thread; safe inside a DLL's detach.
LUMOHOST_EXPORT void Shutdown();

}  // namespace base

#endif  // BASE_SHUTDOWN_H_

// A Windows host's plug-in: a DLL of its own that uses the library, which the host loads, uses and
// unloads again (load_unload_host_dll.cc). Its library DLLs are loaded and unloaded with it.
#include <windows.h>

#include <atomic>
#include <chrono>

#include "base/http/transport.h"
#include "base/shutdown.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/search/search_merge.h"

namespace {

struct Receiver : sigslot::has_slots<> {
  std::atomic<int> completions{0};
  void OnCompleted() { ++completions; }
};

// How the plug-in ends its use of the library before the host unloads it.
enum Ending {
  kShutdown = 0,      // calls base::Shutdown, as the docs ask
  kForget = 1,        // calls nothing
  kLeakInFlight = 2,  // calls nothing, and leaves a request in flight that it never deletes
};

}  // namespace

// Makes one request to the service at `host_port` and waits for its end; 0 when it ended.
extern "C" __declspec(dllexport) int RunOnce(const char* host_port, int ending) {
  base::thread::UiLoop& loop = base::thread::UiLoop::Instance();
  loop.BindToCurrentThread();
  base::http::SetConnectTo(LUMOAPI_SERVICE_HOST ":80", host_port);
  {
    Receiver receiver;
    lumoapi::search::SearchMerge request(L"unload");
    request.completed.connect(&receiver, &Receiver::OnCompleted);
    request.BeginRequest();
    if (!loop.RunUntil([&] { return receiver.completions > 0; }, std::chrono::seconds(15))) {
      return 1;
    }
  }
  if (ending == kLeakInFlight) {
    // The server holds this answer back (its query says "slow"): the library is unloaded while
    // the exchange is in flight and must drop it.
    auto* leaked = new lumoapi::search::SearchMerge(L"slow");
    leaked->BeginRequest();
  }
  if (ending == kShutdown) base::Shutdown();
  return 0;
}

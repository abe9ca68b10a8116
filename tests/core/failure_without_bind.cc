// A host that never binds its UI thread: its first request binds the thread that made it, with a
// warning in the log, so a failure (posted to the UI thread) still arrives there. Exits 0 when the
// failure completed the request within 15 s and the log said why the thread was bound.
#include <atomic>
#include <chrono>
#include <iostream>
#include <string>

#include "base/http/transport.h"
#include "base/logging.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/search/search_merge.h"

int main() {
  static std::atomic<bool> warned{false};
  base::logging::SetLogSink([](const base::logging::LogRecord& record) {
    if (record.message.find(L"no thread was bound as the UI thread") != std::wstring::npos) {
      warned = true;
    }
  });
  // Port 9 (discard) of the loopback address: nothing listens there, so the connection is refused.
  base::http::SetConnectTo(LUMOAPI_SERVICE_HOST ":80", "127.0.0.1:9");

  struct Receiver : sigslot::has_slots<> {
    std::atomic<int> completions{0};
    void OnCompleted() { ++completions; }
  } receiver;
  lumoapi::search::SearchMerge request(L"unbound");
  request.completed.connect(&receiver, &Receiver::OnCompleted);
  request.BeginRequest();
  std::cerr << "started\n";  // where a hang was, should one come
  base::thread::UiLoop& loop = base::thread::UiLoop::Instance();
  if (!loop.IsUiThread()) {
    std::cerr << "the first request did not bind its thread\n";
    return 1;
  }
  // The log's sink runs on the logging thread: the warning may come after the failure.
  loop.RunUntil([&] { return receiver.completions > 0 && warned; }, std::chrono::seconds(15));
  std::cerr << "waited\n";
  if (receiver.completions != 1 || request.succeeded || !warned) {
    std::cerr << "completions=" << receiver.completions << " succeeded=" << request.succeeded
              << " warned=" << warned << "\n";
    return 1;
  }
  return 0;
}

#include "base/shutdown.h"

#include <string>

#include "base/logging.h"
#include "base/thread/ui_loop.h"
#include "transport/transport_internal.h"

namespace base {

void Shutdown() {
  if (const size_t dropped = http::internal::StopDefaultTransport()) {
    logging::LogMessage(L"base::Shutdown", __LINE__, logging::LoggingSeverity::kWarning,
                        std::to_wstring(dropped) +
                            L" exchanges were still in flight and were dropped: their requests "
                            L"never end");
  }
  thread::UiLoop::Instance().Shutdown();
}

}  // namespace base

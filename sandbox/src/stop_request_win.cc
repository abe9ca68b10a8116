#include <windows.h>

#include <atomic>

#include "sandbox/stop_request.h"

namespace lumo::sandbox {
namespace {

// Set by the console's handler thread, waited for by Wait. The event is made once and lives as
// long as the process: the handler may run at any moment until then.
HANDLE stop_event = nullptr;
std::atomic<DWORD> stop_kind{0};

BOOL WINAPI OnConsoleControl(DWORD kind) {
  stop_kind = kind;
  SetEvent(stop_event);
  return TRUE;  // handled: the process is not ended at once
}

std::string KindName(DWORD kind) {
  switch (kind) {
    case CTRL_C_EVENT:
      return "Ctrl-C";
    case CTRL_BREAK_EVENT:
      return "Ctrl-Break";
    case CTRL_CLOSE_EVENT:
      return "console closed";
    default:
      return "console event " + std::to_string(kind);
  }
}

}  // namespace

StopRequest::StopRequest() {
  if (!stop_event) stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

std::string StopRequest::Wait() {
  WaitForSingleObject(stop_event, INFINITE);
  return KindName(stop_kind);
}

}  // namespace lumo::sandbox

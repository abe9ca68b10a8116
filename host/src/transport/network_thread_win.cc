#include <windows.h>

#include <memory>
#include <utility>

#include "base/logging.h"
#include "network_thread.h"

namespace base::http::internal {
namespace {

struct Launch {
  std::function<void()> body;
  HMODULE module = nullptr;  // the reference the thread gives back as it ends
};

DWORD WINAPI ThreadMain(void* parameter) {
  HMODULE module = nullptr;
  {
    std::unique_ptr<Launch> launch(static_cast<Launch*>(parameter));
    module = launch->module;
    launch->body();
  }
  // The last instructions of the DLL this thread runs: the system's function unloads it, if this
  // was its last reference, and ends the thread without returning here.
  FreeLibraryAndExitThread(module, 0);
}

}  // namespace

NetworkThread::~NetworkThread() { Detach(); }

bool NetworkThread::Start(std::function<void()> body) {
  auto launch = std::make_unique<Launch>();
  launch->body = std::move(body);
  // A reference of the thread's own to the DLL this code is in.
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&ThreadMain), &launch->module)) {
    logging::LogMessage(L"base::http::internal::NetworkThread::Start", __LINE__,
                        logging::LoggingSeverity::kError,
                        L"the network thread could not hold its DLL (error " +
                            std::to_wstring(GetLastError()) + L")");
    return false;
  }
  const HMODULE module = launch->module;
  HANDLE thread = CreateThread(nullptr, 0, &ThreadMain, launch.get(), 0, nullptr);
  if (thread == nullptr) {
    logging::LogMessage(L"base::http::internal::NetworkThread::Start", __LINE__,
                        logging::LoggingSeverity::kError,
                        L"the network thread could not be started (error " +
                            std::to_wstring(GetLastError()) + L")");
    FreeLibrary(module);
    return false;
  }
  (void)launch.release();  // the thread's now
  handle_ = thread;
  return true;
}

void NetworkThread::Join() {
  HANDLE thread = std::exchange(handle_, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

void NetworkThread::LetEnd() { Detach(); }

void NetworkThread::Detach() {
  if (HANDLE thread = std::exchange(handle_, nullptr)) CloseHandle(thread);
}

}  // namespace base::http::internal

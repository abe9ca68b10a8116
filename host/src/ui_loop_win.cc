// The UI loop on Windows: tasks reach the UI thread through a message-only window made on it, so
// that a Win32 host's own message loop (GetMessage and DispatchMessage) runs them. A post sends
// the window one wake-up message unless one is on its way already; the window procedure runs a
// batch of tasks and sends itself another message while more are left, so that the host's other
// messages get their turn in between. RunUntil, for hosts and tests without a loop of their own,
// pumps the thread's messages while it waits and runs the tasks itself.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>

#include "base/logging.h"
#include "base/os_utils.h"
#include "base/thread/ui_loop.h"
#include "cross_thread_wait.h"
#include "ui_loop_internal.h"
#include "wake_batch.h"

namespace base::thread {
namespace {

constexpr UINT kWakeMessage = WM_APP + 1;    // tasks are queued
constexpr UINT kRetireMessage = WM_APP + 2;  // the window is no longer the loop's

// Take is dispatching this thread's messages: the window leaves the tasks to Take's caller, which
// checks its condition before each one.
thread_local int pumping = 0;

void LogFailure(unsigned line, const std::wstring& what, DWORD error) {
  logging::LogMessage(L"base::thread::UiWindow::Create", line, logging::LoggingSeverity::kError,
                      what + L" (error " + std::to_wstring(error) + L")");
}

// Dispatches the messages waiting in this thread's queue. WM_QUIT stays there for the host's own
// loop: RunUntil ends by its condition or its time.
void PumpMessages() {
  ++pumping;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, WM_QUIT - 1, PM_REMOVE) ||
         PeekMessageW(&message, nullptr, WM_QUIT + 1, 0xFFFFFFFF, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  --pumping;
}

}  // namespace

void internal::ServeSentMessages() {
  // Any PeekMessage runs the sent messages waiting for this thread before it looks at the queue;
  // asked for sent messages only, it leaves the posted ones (and removes nothing).
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// The message-only window: the loop's half that runs on the host's message loop.
struct UiWindow {
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // A new window owned by the calling thread; null if it cannot be made.
  static HWND Create();
  // Sends `window` a wake-up message; false if it could not be sent.
  static bool PostWake(HWND window) { return PostMessageW(window, kWakeMessage, 0, 0) != FALSE; }
};

namespace {

// The window class, whose windows must all be gone, or have another procedure, before this DLL
// is: their procedure is in it.
class WindowClass {
 public:
  static WindowClass& Instance() {
    static WindowClass* window_class = new WindowClass;  // never destroyed, like the loop
    return *window_class;
  }

  // A new window of the class, registered first if it is not; null (with the reason logged) if
  // either fails.
  HWND NewWindow() {
    MutexLock lock(&mutex_);
    if (!registered_ && !Register()) return nullptr;
    const HWND window = CreateWindowExW(0, name_.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        module_, nullptr);
    if (window == nullptr) {
      const DWORD error = GetLastError();
      LogFailure(__LINE__,
                 L"the UI loop's message-only window could not be made: completions posted to "
                 L"the UI thread will not run",
                 error);
      return nullptr;
    }
    return window;
  }

  // Unregisters the class if no window of it is left (the system refuses it otherwise).
  void UnregisterIfUnused() {
    MutexLock lock(&mutex_);
    if (registered_ && UnregisterClassW(name_.c_str(), module_)) registered_ = false;
  }

  // This DLL is being unloaded while windows of the class live on (their threads never handled
  // the message that destroys them): they get the system's procedure, which outlives it. Their
  // class stays registered under a name that a later load does not use.
  void Orphan() {
    MutexLock lock(&mutex_);
    if (!registered_) return;
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, name_.c_str(), nullptr);
         window != nullptr; window = FindWindowExW(HWND_MESSAGE, window, name_.c_str(), nullptr)) {
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
    }
    if (UnregisterClassW(name_.c_str(), module_)) registered_ = false;
  }

 private:
  WindowClass() = default;

  bool Register() REQUIRES(mutex_) {
    if (module_ == nullptr) {
      // The module this code is in (the host layer's DLL), which owns the window class.
      GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&UiWindow::Procedure), &module_);
    }
    // A name of this load's own: a class left behind by an earlier load of the DLL (whose
    // windows outlived it) keeps that load's procedure.
    LARGE_INTEGER now = {};
    QueryPerformanceCounter(&now);
    name_ = L"lumohost.UiLoop." + std::to_wstring(GetCurrentProcessId()) + L"." +
            std::to_wstring(now.QuadPart);
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &UiWindow::Procedure;
    window_class.hInstance = module_;
    window_class.lpszClassName = name_.c_str();
    if (RegisterClassExW(&window_class) == 0) {
      const DWORD error = GetLastError();
      LogFailure(__LINE__, L"the UI loop's window class could not be registered", error);
      return false;
    }
    registered_ = true;
    return true;
  }

  Mutex mutex_;
  HMODULE module_ GUARDED_BY(mutex_) = nullptr;
  std::wstring name_ GUARDED_BY(mutex_);
  bool registered_ GUARDED_BY(mutex_) = false;
};

// Runs when this DLL is unloaded (FreeLibrary), not when the process exits (the system then
// takes the windows with it).
struct UnloadGuard {
  UnloadGuard() = default;
  UnloadGuard(const UnloadGuard&) = delete;
  UnloadGuard& operator=(const UnloadGuard&) = delete;
  ~UnloadGuard() {
    if (!os_utils::IsProcessExiting()) WindowClass::Instance().Orphan();
  }
} unload_guard;

}  // namespace

HWND UiWindow::Create() { return WindowClass::Instance().NewWindow(); }

LRESULT CALLBACK UiWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRetireMessage) {
    DestroyWindow(window);
    WindowClass::Instance().UnregisterIfUnused();
    return 0;
  }
  if (message != kWakeMessage) return DefWindowProcW(window, message, wparam, lparam);
  UiLoop& loop = UiLoop::Instance();
  {
    MutexLock lock(&loop.mutex_);
    // A message that reached a retired window finds its thread no longer the UI thread.
    if (window != loop.window_) return 0;
    loop.wake_posted_ = false;
  }
  if (pumping > 0) return 0;
  bool more = false;
  {
    internal::WakeBatch wakes;
    more = loop.RunQueued(internal::kTasksPerWakeBatch);
  }
  if (!more) return 0;
  bool post = false;
  {
    MutexLock lock(&loop.mutex_);
    post = window == loop.window_ && !loop.wake_posted_;
    loop.wake_posted_ = post;
  }
  if (post && !PostWake(window)) {
    MutexLock lock(&loop.mutex_);
    loop.wake_posted_ = false;
  }
  return 0;
}

void UiLoop::BindToCurrentThread() {
  {
    MutexLock lock(&mutex_);
    if (ui_thread_ == std::this_thread::get_id() && window_ != nullptr) return;
  }
  const HWND window = UiWindow::Create();
  HWND retired = nullptr;
  bool wake = false;
  {
    MutexLock lock(&mutex_);
    ui_thread_ = std::this_thread::get_id();
    retired = static_cast<HWND>(window_);
    window_ = window;
    // Tasks posted before the thread was bound are waiting for their first wake-up.
    wake = window != nullptr && !tasks_.empty();
    wake_posted_ = wake;
  }
  // Only its own thread can destroy the old window; a thread that has ended took it with it.
  if (retired != nullptr) PostMessageW(retired, kRetireMessage, 0, 0);
  if (wake) Wake(this);
}

void UiLoop::ReleaseWindow(void* window, bool on_its_thread) {
  if (window != nullptr) {
    if (on_its_thread) {
      DestroyWindow(static_cast<HWND>(window));
    } else {
      // Only its own thread can destroy a window: that thread does it when it next handles its
      // messages, or the window goes with the thread.
      PostMessageW(static_cast<HWND>(window), kRetireMessage, 0, 0);
    }
  }
  WindowClass::Instance().UnregisterIfUnused();
}

bool UiLoop::NeedsWakeLocked() {
  // One wake-up message at a time: the window runs everything queued until then.
  if (window_ == nullptr || wake_posted_) return false;
  wake_posted_ = true;
  return true;
}

void UiLoop::Wake(void* loop) {
  auto* self = static_cast<UiLoop*>(loop);
  HWND window = nullptr;
  {
    MutexLock lock(&self->mutex_);
    window = static_cast<HWND>(self->window_);
  }
  if (window == nullptr || UiWindow::PostWake(window)) return;
  // The queue is full or the window gone: the next post tries again. A window goes with the
  // thread that made it: nothing runs the tasks until another thread is bound.
  if (!IsWindow(window)) {
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
      logging::LogMessage(L"base::thread::UiLoop::Wake", __LINE__, logging::LoggingSeverity::kError,
                          L"the UI thread has ended (its window is gone): completions wait until "
                          L"a thread calls UiLoop::BindToCurrentThread");
    }
  }
  MutexLock lock(&self->mutex_);
  if (self->window_ == window) self->wake_posted_ = false;
}

std::function<void()> UiLoop::Take(std::chrono::steady_clock::time_point deadline) {
  if (std::function<void()> task = TakeQueued()) return task;
  // Before sleeping, the wake-ups that the tasks run so far held back go out: the answers this
  // loop waits for may depend on them.
  internal::FlushWakes();
  PumpMessages();
  if (std::function<void()> task = TakeQueued()) return task;
  const auto wait =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (wait.count() > 0) {
    // Returns when a message arrives that the pump above has not seen: a post's wake-up, or the
    // host's own.
    MsgWaitForMultipleObjectsEx(
        0, nullptr, static_cast<DWORD>(std::min<int64_t>(wait.count(), 60'000)), QS_ALLINPUT, 0);
    PumpMessages();
  }
  return TakeQueued();
}

}  // namespace base::thread

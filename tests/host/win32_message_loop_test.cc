// Windows only: what a Win32 host sees. Completions posted to the UI thread run inside the host's
// own GetMessage/DispatchMessage loop (not UiLoop::RunUntil), a receiver may delete its request
// there or inside the request's own signal, and a burst of posts costs the host's queue a few
// messages rather than one each.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/http/win_http_request.h"
#include "base/thread/dispatcher.h"
#include "base/thread/ui_loop.h"
#include "support/loopback_server.h"

namespace {

using base::http::WinHttpRequest;
using base::thread::Dispatcher;
using base::thread::UiLoop;
using lumo::testing::LoopbackServer;

// Runs the thread's message loop the way a Win32 host does, until WM_QUIT; a timer ends it after
// 20 seconds should the quit never come. The quit's code; `dispatched` counts the messages.
int RunHostLoop(int* dispatched = nullptr) {
  const UINT_PTR timer = SetTimer(nullptr, 0, 20'000, [](HWND, UINT, UINT_PTR, DWORD) {
    ADD_FAILURE() << "the host's loop was never asked to end";
    PostQuitMessage(1);
  });
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (dispatched != nullptr) ++*dispatched;
  }
  KillTimer(nullptr, timer);
  return static_cast<int>(message.wParam);
}

// A request that counts its deletions.
class CountedRequest : public WinHttpRequest {
 public:
  explicit CountedRequest(std::atomic<int>* deleted) : deleted_(deleted) {}
  ~CountedRequest() override { ++*deleted_; }

 private:
  std::atomic<int>* deleted_;
};

// Hears a request's signal on the network thread and finishes on the UI thread, deleting the
// request in the signal itself or in the posted completion.
class Receiver : public sigslot::has_slots<> {
 public:
  Receiver(WinHttpRequest* request, bool delete_in_signal)
      : request_(request), delete_in_signal_(delete_in_signal) {
    request->response_completed.connect(this, &Receiver::OnCompleted);
    request->request_failed.connect(this, &Receiver::OnFailed);
  }

  void OnCompleted() { End(request_->GetStatus()); }
  void OnFailed(int code, std::wstring /*text*/) { End(-code); }

  std::atomic<int> signals{0};
  int result = 0;              // the status, or minus the failure's code
  bool ended_on_ui = false;    // the completion ran on the UI thread
  bool request_alive = false;  // ... before it deleted the request

 private:
  void End(int result_value) {
    ++signals;
    if (delete_in_signal_) {
      delete request_;  // inside its own emission, on the network thread
      request_ = nullptr;
    }
    dispatcher_.InvokeOnUIThread([this, result_value] {
      result = result_value;
      ended_on_ui = UiLoop::Instance().IsUiThread();
      request_alive = request_ != nullptr;
      delete request_;
      PostQuitMessage(0);
    });
  }

  WinHttpRequest* request_;
  const bool delete_in_signal_;
  Dispatcher dispatcher_;
};

TEST(Win32MessageLoopTest, CompletionsRunInTheHostsLoopAndMayDeleteTheirRequest) {
  LoopbackServer server;
  std::string closed;
  {
    LoopbackServer gone;
    closed = gone.host_port();
  }
  struct Case {
    const char* name;
    std::string url;
    bool delete_in_signal;
    int result;
  };
  const Case cases[] = {
      {"answered, deleted in the posted completion", server.Url("/a"), false, 200},
      {"answered, deleted inside its own signal", server.Url("/b"), true, 200},
      {"refused, deleted in the posted completion", "http://" + closed + "/", false, -12029},
      {"refused, deleted inside its own signal", "http://" + closed + "/", true, -12029},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::atomic<int> deleted{0};
    auto* request = new CountedRequest(&deleted);
    Receiver receiver(request, c.delete_in_signal);
    request->Open(L"GET", std::wstring(c.url.begin(), c.url.end()), true, false);
    request->Send(0);
    EXPECT_EQ(RunHostLoop(), 0);
    EXPECT_EQ(receiver.signals, 1);
    EXPECT_EQ(receiver.result, c.result);
    EXPECT_TRUE(receiver.ended_on_ui);
    EXPECT_EQ(receiver.request_alive, !c.delete_in_signal);
    EXPECT_EQ(deleted, 1);
  }
}

// A window of the UI thread that another thread reaches with SendMessage.
class SentMessageWindow {
 public:
  static constexpr UINT kMessage = WM_APP + 17;
  static constexpr const wchar_t* kClass = L"lumo.test.SentMessageWindow";

  SentMessageWindow() {
    static const bool registered = [] {
      WNDCLASSEXW description = {};
      description.cbSize = sizeof(description);
      description.lpfnWndProc = [](HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        return message == kMessage ? LRESULT{42} : DefWindowProcW(window, message, wparam, lparam);
      };
      description.hInstance = GetModuleHandleW(nullptr);
      description.lpszClassName = kClass;
      return RegisterClassExW(&description) != 0;
    }();
    if (registered) {
      window_ = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    }
  }
  ~SentMessageWindow() { DestroyWindow(window_); }
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

// A receiver on the network thread sends the UI thread's window a message while the UI thread is
// deleting the request, and so waiting for that very emission to end: the wait serves the sent
// message. The sender gives up after 10 s, so a deadlock fails the test instead of hanging it.
TEST(Win32MessageLoopTest, DeletingARequestServesAMessageItsReceiverSends) {
  LoopbackServer server;
  SentMessageWindow window;
  ASSERT_NE(window.get(), nullptr);
  const HANDLE in_receiver = CreateEventW(nullptr, TRUE, FALSE, nullptr);

  struct SendingReceiver : sigslot::has_slots<> {
    HWND window;
    HANDLE in_receiver;
    std::atomic<bool> answered{false};
    std::atomic<LRESULT> reply{0};
    void OnCompleted() {
      SetEvent(in_receiver);
      // The UI thread is in WaitForSingleObject or already deleting the request by now.
      Sleep(50);
      DWORD_PTR result = 0;
      answered = SendMessageTimeoutW(window, SentMessageWindow::kMessage, 0, 0, SMTO_NORMAL, 10'000,
                                     &result) != 0;
      reply = static_cast<LRESULT>(result);
    }
  } receiver;
  receiver.window = window.get();
  receiver.in_receiver = in_receiver;

  auto* request = new WinHttpRequest;
  request->response_completed.connect(&receiver, &SendingReceiver::OnCompleted);
  const std::string url = server.Url("/sending");
  request->Open(L"GET", std::wstring(url.begin(), url.end()), true, false);
  request->Send(0);
  // Not a message wait: the sent message must wait for the deletion below.
  ASSERT_EQ(WaitForSingleObject(in_receiver, 20'000), WAIT_OBJECT_0);
  delete request;
  EXPECT_TRUE(receiver.answered) << "the receiver's SendMessage timed out: the deletion did not "
                                    "serve it";
  EXPECT_EQ(receiver.reply, 42);
  CloseHandle(in_receiver);
}

TEST(Win32MessageLoopTest, ABurstOfPostsTakesAFewMessagesAndKeepsItsOrder) {
  static constexpr int kPosts = 20'000;  // more than a thread's message queue holds
  Dispatcher dispatcher;
  std::vector<int> order;
  std::thread poster([&] {
    for (int i = 0; i < kPosts; ++i) {
      dispatcher.InvokeOnUIThread([&order, i] {
        order.push_back(i);
        if (i == kPosts - 1) PostQuitMessage(0);
      });
    }
  });
  poster.join();
  int dispatched = 0;
  EXPECT_EQ(RunHostLoop(&dispatched), 0);
  ASSERT_EQ(order.size(), size_t{kPosts});
  for (int i = 0; i < kPosts; ++i) ASSERT_EQ(order[i], i);
  // One message per batch of tasks the window runs, not one per post.
  EXPECT_LT(dispatched, kPosts / 10);
}

TEST(Win32MessageLoopTest, RunUntilPumpsTheThreadsOtherMessagesButLeavesItsQuit) {
  // A message for another window of the thread, posted by the host: RunUntil dispatches it while
  // it waits for its own condition.
  bool seen = false;
  const HWND window =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));
  SetWindowLongPtrW(window, GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(+[](HWND hwnd, UINT message, WPARAM w, LPARAM l) {
                      if (message == WM_APP + 7) {
                        *reinterpret_cast<bool*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)) = true;
                        return LRESULT{0};
                      }
                      return DefWindowProcW(hwnd, message, w, l);
                    }));
  PostMessageW(window, WM_APP + 7, 0, 0);
  EXPECT_TRUE(UiLoop::Instance().RunUntil([&] { return seen; }, std::chrono::seconds(10)));
  DestroyWindow(window);

  // A quit the host posted meanwhile stays for the host's loop, and RunUntil still runs tasks.
  bool ran = false;
  PostQuitMessage(3);
  UiLoop::Instance().Post([&] { ran = true; });
  EXPECT_TRUE(UiLoop::Instance().RunUntil([&] { return ran; }, std::chrono::seconds(10)));
  EXPECT_EQ(RunHostLoop(), 3);
}

}  // namespace

// Windows: a host that returns from main while a report's answer is being emitted on the network
// thread, without ReportPool::Uninit. The system stops the network thread inside that emission
// and then runs the DLLs' static destructors, the pool's among them: the process must end at once
// all the same (ctest's time limit fails a hang). Exits 0 once the emission has begun.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/http/transport.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/user/report_pool.h"
#include "lumoapi/user/user_down.h"
#include "support/loopback_server.h"

namespace {

// Hears the report's answer on the network thread and never returns from it.
struct StuckReceiver : sigslot::has_slots<> {
  HANDLE emitting = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  void OnCompleted() {
    SetEvent(emitting);
    Sleep(INFINITE);
  }
};

}  // namespace

int main() {
  base::thread::UiLoop::Instance().BindToCurrentThread();
  static lumo::testing::LoopbackServer server([](const lumo::testing::RecordedRequest&) {
    lumo::testing::CannedResponse answer;
    answer.body = R"({"error_code":22000})";
    return answer;
  });
  base::http::SetConnectTo(LUMOAPI_SERVICE_HOST ":80", server.host_port());
  // Never destroyed: the network thread is inside its slot when main returns.
  auto* receiver = new StuckReceiver;
  auto report =
      std::make_unique<lumoapi::user::UserDown>(std::vector<std::wstring>{L"100001"}, L"10001");
  report->completed.connect(receiver, &StuckReceiver::OnCompleted);
  lumoapi::user::ReportPool::Instance().AddReport(std::move(report));
  return WaitForSingleObject(receiver->emitting, 20'000) == WAIT_OBJECT_0 ? 0 : 2;
}

// Usage reports: the user-down report, sent directly or handed to the report pool the way the
// host player sends it.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "commands.h"
#include "lumoapi/user/report_pool.h"
#include "lumoapi/user/user_down.h"
#include "report.h"
#include "sandbox/server.h"

namespace lumo::cli {
namespace {

using base::string_utils::ToUtf16;
using lumoapi::user::ReportPool;
using lumoapi::user::UserDown;

// Copies how a pool-owned report ended while it still exists: the pool deletes it soon after.
// Connected before the report starts; UI thread, or the network thread for its completion.
class EndingRecorder : public sigslot::has_slots<sigslot::single_threaded> {
 public:
  explicit EndingRecorder(const lumoapi::RequestBase& report) : report_(report) {}
  void OnCompleted() { ending_ = Session::EndingOf(report_); }
  const Session::Ending& ending() const { return ending_; }

 private:
  const lumoapi::RequestBase& report_;
  Session::Ending ending_;
};

// Hands the report to the pool and waits until it has finished and the pool has removed it.
std::optional<int> SendThroughPool(Session& session, std::unique_ptr<UserDown> report,
                                   Session::Ending* ending) {
  if (!session.route().Connect("report down")) return kExitTransportError;
  EndingRecorder recorder(*report);
  // The recorder goes first, so the ending is copied before the session sees the completion.
  report->completed.connect(&recorder, &EndingRecorder::OnCompleted);
  session.Watch(*report);
  const Session::Mark mark = session.MarkNow();
  ReportPool& pool = ReportPool::Instance();
  pool.Init();
  pool.AddReport(std::move(report));
  const bool completed = session.WaitForCompletion("report down");
  base::thread::UiLoop::Instance().RunUntilIdle();
  // Deletes the report if it is still running, before the recorder goes.
  pool.Uninit();
  if (!completed) return kExitTransportError;
  *ending = recorder.ending();
  return session.Judge("report down", *ending, mark);
}

struct DownArgs {
  std::vector<std::string> song_ids;
  std::string uid;
  bool pool = false;
};

int RunDown(Session& session, const DownArgs& args) {
  std::vector<std::wstring> song_ids;
  for (const std::string& id : args.song_ids) song_ids.push_back(ToUtf16(id));
  auto report = std::make_unique<UserDown>(
      song_ids, session.route().OrSandboxDefault(ToUtf16(args.uid), sandbox::kOrdinaryUserId));
  const std::wstring uid = report->uid;
  Session::Ending ending;
  if (args.pool && !session.options().dry_run) {
    if (auto exit = SendThroughPool(session, std::move(report), &ending)) return *exit;
  } else {
    if (auto exit = session.Call(*report, "report down")) return *exit;
    ending = Session::EndingOf(*report);
  }
  Report out;
  out.Outcome(ending.status, ending.succeeded)
      .List("songid", song_ids)
      .Text("uid", uid)
      .Text("sent_through", std::string(args.pool ? "report pool" : "direct"));
  return session.output().Print(out);
}

}  // namespace

void AddReportCommands(CLI::App& app, Tool& tool) {
  CLI::App* report = AddGroup(app, "report", "Usage reports");
  auto args = std::make_shared<DownArgs>();
  CLI::App* down =
      AddCommand(*report, tool, "down",
                 "Report songs the user downloaded (identifies this computer too)", args, &RunDown);
  down->add_option("SONG_IDS", args->song_ids, "The ids of the songs (none is allowed)")
      ->check(kNumericId);
  down->add_option("--uid", args->uid,
                   "The user's id (default with the built-in sandbox: its ordinary user)")
      ->check(kNumericId);
  down->add_flag("--pool", args->pool,
                 "Hand the report to the report pool, which starts it and deletes it once it "
                 "has finished, instead of sending it directly");
}

}  // namespace lumo::cli

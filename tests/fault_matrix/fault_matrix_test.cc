// Every request class and every task against every way an answer can go wrong, through the real
// transport to the sandbox's fault rules. Each call must end with exactly one completion, on the
// thread the library promises (the network thread for an answer that was judged, the UI thread
// for a failure), with `succeeded` and `status` as the frame decides them; a task must keep what
// its pages gathered before the faulted one and ask for nothing after it.
//
// The rows of one fault run a dozen at a time, so that the transport's timeout is waited out a
// few times per fault and the library's threads meet real concurrency: fewer than the transport's
// 16 connections per host, so that every call reaches the sandbox before the limit.
#include <glog/logging.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/http/transport.h"
#include "base/logging.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "integration/sandbox_environment.h"
#include "lumoapi/diy/add_favorite_song_list_task.h"
#include "lumoapi/diy/cancel_favorite_song_list_task.h"
#include "lumoapi/diy/get_all_playlist_songs.h"
#include "lumoapi/diy/get_all_playlists.h"
#include "lumoapi/diy/sort_song_list_songs_task.h"
#include "lumoapi/favorite/get_all_collect_songs.h"
#include "lumoapi/favorite/get_all_favorite_songs.h"
#include "support/every_request.h"
#include "support/page_answering.h"
#include "support/ui_test_util.h"

namespace lumo::fault_matrix {
namespace {

using base::string_utils::ToUtf16;
using base::string_utils::ToUtf8;
using integration::Logged;
// Declared before the object it watches, so that the object (whose destructor waits out an
// emission) goes first.
using EndWatch = lumo::testing::EndProbe;
using integration::ResetSandbox;
namespace diy = lumoapi::diy;
namespace favorite = lumoapi::favorite;

// A short transport limit for the timeout fault, and a delay well beyond it. Pages that pass
// before the faulted one must still fit in the limit under the sanitizers.
constexpr int64_t kShortTimeoutMs = 1000;
// How long a finished call is watched for a second completion.
constexpr std::chrono::milliseconds kSecondCompletionWatch{30};
constexpr std::chrono::seconds kCallLimit{20};
constexpr size_t kCallsAtOnce = 12;
// A code no class accepts.
constexpr int kUnacceptedCode = 40011;

// What one call ends with.
struct Outcome {
  bool succeeded = false;
  int32_t status = 0;
  bool on_ui_thread = false;
};

enum class Fault { kLate, kUnacceptedCode, kAcceptedCode, kOther };

struct FaultCase {
  Fault fault;
  const char* name;    // as GoogleTest shows it
  const char* id;      // as the test's name shows it
  const char* action;  // the sandbox's action
  std::string rule;    // the rule's further members
  Outcome outcome;     // for the faults whose outcome no class changes
};

// Deeper than the JSON parser goes (it stops at 128 levels).
const std::string kTooDeep = std::string(200, '[') + std::string(200, ']');

// A transport failure leaves the status as it was; an answer that is not JSON keeps its HTTP
// status; one without "error_code" is a success in which the parser finds nothing.
const FaultCase kFaults[] = {
    {Fault::kLate, "late", "Late", "delay", R"(,"delay_ms":5000)", {false, 0, true}},
    {Fault::kOther, "dropped", "Dropped", "close", "", {false, 0, true}},
    {Fault::kOther, "cut short", "CutShort", "truncate", "", {false, 0, true}},
    {Fault::kOther, "html 502", "Html502", "html502", "", {false, 502, true}},
    {Fault::kOther, "not json", "NotJson", "not_json", "", {false, 200, true}},
    {Fault::kUnacceptedCode,
     "code 40011",
     "UnacceptedCode",
     "error_code",
     R"(,"error_code":40011)",
     {}},
    {Fault::kAcceptedCode, "accepted code", "AcceptedCode", "error_code", "", {}},
    {Fault::kOther, "over the cap", "OverTheCap", "oversize", "", {false, 0, true}},
    {Fault::kOther, "{}", "EmptyObject", "verbatim", R"(,"body":"{}")", {true, 22000, false}},
    {Fault::kOther, "null", "Null", "verbatim", R"(,"body":"null")", {true, 22000, false}},
    {Fault::kOther, "[]", "EmptyArray", "verbatim", R"(,"body":"[]")", {true, 22000, false}},
    {Fault::kOther,
     "nested 200 deep",
     "NestedTooDeep",
     "verbatim",
     R"(,"body":"{\"error_code\":22000,\"result\":)" + kTooDeep + R"(}")",
     {false, 200, true}},
};

// What GoogleTest shows of a case.
void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }

// What a class makes of a service code other than 22000: the frame's default (first row) accepts
// 22469 and 24003 and refuses every other code on the network thread; a class that lets every
// code reach its parser fails the codes it does not know by the failure way (the UI thread).
struct CodeRule {
  const char* row;
  int accepted;  // the code the class accepts besides 22000
  Outcome unaccepted_outcome, accepted_outcome;
};
const CodeRule kCodeRules[] = {
    {"", 22469, {false, kUnacceptedCode, false}, {true, 22469, false}},
    // Every code is an answer to the upload check.
    {"upload check", 22469, {true, kUnacceptedCode, false}, {true, 22469, false}},
    {"list edit", 22231, {false, kUnacceptedCode, false}, {true, 22231, false}},
    // "Already a favourite", and "nothing collected": every code reaches these parsers.
    {"favourite added", 22322, {false, kUnacceptedCode, true}, {true, 22322, false}},
    {"collected page", 22001, {false, kUnacceptedCode, true}, {true, 22001, false}},
    // The splash parser fails every code but 22000, the frame's accepted ones included.
    {"splash", 22469, {false, kUnacceptedCode, false}, {false, 22469, true}},
};

const CodeRule& CodeRuleOf(const std::string& row) {
  for (const CodeRule& rule : kCodeRules) {
    if (row == rule.row) return rule;
  }
  return kCodeRules[0];
}

// What the frame makes of `fault` for the class of `row`.
Outcome Expected(const FaultCase& fault, const std::string& row) {
  if (fault.fault == Fault::kUnacceptedCode) return CodeRuleOf(row).unaccepted_outcome;
  if (fault.fault == Fault::kAcceptedCode) return CodeRuleOf(row).accepted_outcome;
  return fault.outcome;
}

void AddRule(const FaultCase& fault, const std::string& method, size_t skip,
             const std::string& row) {
  std::string rule = R"({"method":")" + method + R"(","action":")" + fault.action +
                     R"(","refused":true,"skip":)" + std::to_string(skip) + fault.rule;
  if (fault.fault == Fault::kAcceptedCode) {
    rule += R"(,"error_code":)" + std::to_string(CodeRuleOf(row).accepted);
  }
  rule += "}";
  const auto added =
      integration::ToSandbox("POST", "/_sandbox/rules", {"Content-Type: application/json"}, rule);
  ASSERT_EQ(added.error_code(), 22000) << rule << ": " << added.body;
}

// The service method a request row calls: the first "method=" of its address.
std::string MethodOf(const std::wstring& url) {
  const std::string text = ToUtf8(url);
  const size_t start = text.find("method=");
  if (start == std::string::npos) return "";
  const size_t end = text.find('&', start);
  return text.substr(start + 7, end == std::string::npos ? std::string::npos : end - start - 7);
}

// Runs the UI loop until every watch has ended once (false when time ran out), then a little
// longer, so that a second completion would be seen.
bool RunUntilEnded(const std::vector<const EndWatch*>& watches) {
  const bool ended = lumo::testing::RunUiUntil(
      [&] {
        return std::all_of(watches.begin(), watches.end(),
                           [](const EndWatch* watch) { return watch->count > 0; });
      },
      kCallLimit);
  base::thread::UiLoop::Instance().RunUntil([] { return false; }, kSecondCompletionWatch);
  return ended;
}

// Checks one ended call against `expected`.
void Check(const EndWatch& watch, const Outcome& seen, const Outcome& expected) {
  EXPECT_EQ(watch.count, 1);
  EXPECT_EQ(seen.succeeded, expected.succeeded);
  EXPECT_EQ(seen.status, expected.status);
  EXPECT_EQ(seen.on_ui_thread, expected.on_ui_thread);
}

// Quiet library log (every failure logs a line), the short timeout where the fault needs it, and
// a fresh sandbox.
class FaultMatrixTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override {
    saved_sink_ = base::logging::SetLogSink([](const base::logging::LogRecord&) {});
    // The song-list detail notes an answer without songs through glog.
    saved_min_log_level_ = FLAGS_minloglevel;
    FLAGS_minloglevel = google::GLOG_ERROR;
    base::http::TransportLimits limits;
    if (GetParam().fault == Fault::kLate) limits.total_timeout_ms = kShortTimeoutMs;
    base::http::SetTransportLimits(limits);
    ResetSandbox();
  }
  void TearDown() override {
    base::http::SetTransportLimits(base::http::TransportLimits{});
    base::logging::SetLogSink(saved_sink_);
    FLAGS_minloglevel = saved_min_log_level_;
  }

 private:
  base::logging::LogSink saved_sink_;
  int saved_min_log_level_ = 0;
};

std::string TestName(const ::testing::TestParamInfo<FaultCase>& info) { return info.param.id; }

// --- Single requests ---------------------------------------------------------------------------

using RequestMatrixTest = FaultMatrixTest;

struct RequestCall {
  const testing::RequestRow* row;
  EndWatch watch;
  std::unique_ptr<lumoapi::RequestBase> request;
  std::string method;
};

TEST_P(RequestMatrixTest, EveryRequestEndsOnceAsTheFrameDecides) {
  const FaultCase& fault = GetParam();
  std::vector<std::unique_ptr<RequestCall>> calls;
  std::vector<std::string> methods;  // one rule per method; rows sharing a method share it
  for (const testing::RequestRow& row : testing::EveryRequestRow()) {
    auto& call = *calls.emplace_back(std::make_unique<RequestCall>());
    call.row = &row;
    call.request = row.make();
    call.method = MethodOf(call.request->BuildUrl());
    call.request->completed.connect(&call.watch, &EndWatch::OnCompleted);
    ASSERT_FALSE(call.method.empty()) << row.name;
    if (std::find(methods.begin(), methods.end(), call.method) != methods.end()) continue;
    methods.push_back(call.method);
    AddRule(fault, call.method, 0, row.name);
  }
  for (size_t first = 0; first < calls.size(); first += kCallsAtOnce) {
    std::vector<const EndWatch*> watches;
    for (size_t i = first; i < std::min(calls.size(), first + kCallsAtOnce); ++i) {
      calls[i]->request->BeginRequest();
      watches.push_back(&calls[i]->watch);
    }
    EXPECT_TRUE(RunUntilEnded(watches));
  }

  for (const auto& call : calls) {
    const std::string name = call->row->name;
    SCOPED_TRACE(name + " / " + fault.name + ": " +
                 ToUtf8(call->request->response_text).substr(0, 200));
    const lumoapi::RequestBase& request = *call->request;
    EXPECT_TRUE(request.finished);
    Check(call->watch, {request.succeeded, request.status, call->watch.on_ui_thread},
          Expected(fault, name));
  }
  // The rule met every method: no answer came through unfaulted.
  for (const std::string& method : methods) {
    const auto entries = Logged(method);
    ASSERT_FALSE(entries.empty()) << method;
    for (const auto& entry : entries) EXPECT_EQ(entry.at("fault").as_string(), fault.action);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, RequestMatrixTest, ::testing::ValuesIn(kFaults), TestName);

// --- Tasks -------------------------------------------------------------------------------------

const std::wstring kBigUser = ToUtf16(sandbox::kBigUserToken);

// One task under way, seen through what every task offers: its end, `succeeded` and `status` of
// its last request, and how many results it holds.
class TaskRun {
 public:
  virtual ~TaskRun() = default;
  virtual void Begin() = 0;
  virtual Outcome Seen() const = 0;
  virtual size_t gathered() const = 0;
  virtual bool signals_status() const = 0;  // whether its end signal carries a status

  EndWatch watch;  // outlives the task: a base class member goes after the derived class
};

template <class T, class = void>
struct HasTaskCompleted : std::false_type {};
template <class T>
struct HasTaskCompleted<T, std::void_t<decltype(&T::task_completed)>> : std::true_type {};

// A task whose end is `completed`, or `task_completed` with a status; then its `completed` must
// stay quiet, so it counts as an end as well.
template <class T>
class RunOf : public TaskRun {
 public:
  RunOf(std::unique_ptr<T> task, std::function<size_t(const T&)> gathered)
      : task_(std::move(task)), gathered_(std::move(gathered)) {
    if constexpr (HasTaskCompleted<T>::value) {
      task_->task_completed.connect(&watch, &EndWatch::OnTaskCompleted);
    }
    task_->completed.connect(&watch, &EndWatch::OnCompleted);
  }
  void Begin() override { task_->BeginRequest(); }
  Outcome Seen() const override {
    const auto* request = task_->request.get();
    return {request && request->succeeded, request ? request->status : 0, watch.on_ui_thread};
  }
  size_t gathered() const override { return gathered_ ? gathered_(*task_) : 0; }
  bool signals_status() const override { return HasTaskCompleted<T>::value; }

 private:
  std::unique_ptr<T> task_;
  std::function<size_t(const T&)> gathered_;
};

template <class T>
std::unique_ptr<TaskRun> Run(std::unique_ptr<T> task,
                             std::function<size_t(const T&)> gathered = nullptr) {
  return std::make_unique<RunOf<T>>(std::move(task), std::move(gathered));
}

// What the seed gives the big user, found by running each paging task once without faults.
struct Seeded {
  std::wstring list_id;                  // one of the user's lists with 201 to 300 songs
  std::map<std::string, size_t> totals;  // what each paging task gathers, by its name
};

// One task of the matrix: the class of its page requests (a row of the request table, whose
// outcome the task reports), the method of its pages and the page size; `page_size` 0 for a task
// of one request.
struct TaskCase {
  const char* name;  // as in EveryTaskRow
  const char* page_row;
  const char* method;
  size_t page_size;
  std::function<std::unique_ptr<TaskRun>(const Seeded&)> make;
};

const std::vector<TaskCase>& TaskCases() {
  static const std::vector<TaskCase> cases = {
      {"all lists", "list pages", "norda.lumo.ugcdiy.userList", 50,
       [](const Seeded&) {
         return Run<diy::GetAllPlayLists>(std::make_unique<diy::GetAllPlayLists>(kBigUser, 0),
                                          [](const auto& task) { return task.lists.size(); });
       }},
      {"all songs of a list", "list detail", "norda.lumo.ugcdiy.getBaseInfo", 100,
       [](const Seeded& seeded) {
         return Run<diy::GetAllPlayListSongs>(
             std::make_unique<diy::GetAllPlayListSongs>(kBigUser, seeded.list_id),
             [](const auto& task) { return task.songs.size(); });
       }},
      {"song order task", "song order", "norda.lumo.ugcdiy.sortDiySongs", 0,
       [](const Seeded& seeded) {
         return Run(std::make_unique<diy::SortSongListSongsTask>(kBigUser, seeded.list_id,
                                                                 std::vector<std::wstring>{L"1"}));
       }},
      {"list favourite task", "list favourite", "norda.lumo.ugcdiy.addFavoriteDiy", 0,
       [](const Seeded& seeded) {
         return Run(std::make_unique<diy::AddFavoriteSongListTask>(kBigUser, seeded.list_id, 1));
       }},
      {"list favourite removal task", "list favourite removed",
       "norda.lumo.ugcdiy.deleteFavoriteDiy", 0,
       [](const Seeded& seeded) {
         return Run(std::make_unique<diy::CancelFavoriteSongListTask>(kBigUser, seeded.list_id, 1));
       }},
      {"all collected songs", "collected page", "norda.lumo.favorite.getCollectSong", 50,
       [](const Seeded&) {
         return Run<favorite::GetAllCollectSongs>(
             std::make_unique<favorite::GetAllCollectSongs>(kBigUser),
             [](const auto& task) { return task.songs.size(); });
       }},
      {"all favourite songs", "favourite page", "norda.lumo.favorite.getFavoriteSong", 50,
       [](const Seeded&) {
         return Run<favorite::GetAllFavoriteSongs>(
             std::make_unique<favorite::GetAllFavoriteSongs>(kBigUser),
             [](const auto& task) { return task.songs.size(); });
       }},
  };
  return cases;
}

const Seeded& SeededData() {
  static const Seeded seeded = [] {
    Seeded found;
    ResetSandbox();
    diy::GetAllPlayLists lists(kBigUser, 0);
    EndWatch watch;
    lists.task_completed.connect(&watch, &EndWatch::OnTaskCompleted);
    lists.BeginRequest();
    if (!RunUntilEnded({&watch}) || !lists._GetSucceeded()) return found;
    for (const diy::PlayListItem& list : lists.lists) {
      if (list.song_num > 200 && list.song_num <= 300) found.list_id = list.list_id;
    }
    found.totals["all lists"] = lists.lists.size();
    for (const TaskCase& task_case : TaskCases()) {
      if (task_case.page_size == 0 || found.totals.count(task_case.name)) continue;
      const std::unique_ptr<TaskRun> run = task_case.make(found);
      run->Begin();
      if (RunUntilEnded({&run->watch}) && run->Seen().succeeded) {
        found.totals[task_case.name] = run->gathered();
      }
    }
    return found;
  }();
  return seeded;
}

size_t TotalOf(const TaskCase& task_case, const Seeded& seeded) {
  const auto found = seeded.totals.find(task_case.name);
  return found == seeded.totals.end() ? 0 : found->second;
}

size_t PagesOf(const TaskCase& task_case, const Seeded& seeded) {
  if (task_case.page_size == 0) return 1;
  const size_t total = TotalOf(task_case, seeded);
  return std::max<size_t>(1, (total + task_case.page_size - 1) / task_case.page_size);
}

using TaskMatrixTest = FaultMatrixTest;

// The seed gives every paging task at least three pages; the matrix covers every task class.
TEST(TaskMatrixSetup, EveryTaskHasACaseAndThePagingTasksHaveThreePages) {
  const Seeded& seeded = SeededData();
  ASSERT_FALSE(seeded.list_id.empty());
  std::vector<std::string> names;
  for (const TaskCase& task_case : TaskCases()) {
    names.emplace_back(task_case.name);
    if (task_case.page_size > 0) {
      EXPECT_GE(PagesOf(task_case, seeded), 3u) << task_case.name;
    }
  }
  std::vector<std::string> rows;
  for (const testing::TaskRow& row : testing::EveryTaskRow()) rows.emplace_back(row.name);
  EXPECT_EQ(names, rows);
}

TEST_P(TaskMatrixTest, EveryTaskEndsOnceAndKeepsWhatItGathered) {
  const FaultCase& fault = GetParam();
  const Seeded& seeded = SeededData();
  ASSERT_FALSE(seeded.list_id.empty());
  // The faulted page: the first, one in the middle, the last.
  for (const int position : {0, 1, 2}) {
    ResetSandbox();
    struct Planned {
      const TaskCase* task_case;
      size_t page;  // the faulted page, from 0
      size_t pages;
      std::unique_ptr<TaskRun> run;
    };
    std::vector<Planned> planned;
    std::vector<const EndWatch*> watches;
    for (const TaskCase& task_case : TaskCases()) {
      const size_t pages = PagesOf(task_case, seeded);
      if (task_case.page_size == 0 && position != 0) continue;
      const size_t page = position == 0 ? 0 : position == 1 ? pages / 2 : pages - 1;
      AddRule(fault, task_case.method, page, task_case.page_row);
      planned.push_back({&task_case, page, pages, task_case.make(seeded)});
      watches.push_back(&planned.back().run->watch);
    }
    for (const Planned& plan : planned) plan.run->Begin();
    EXPECT_TRUE(RunUntilEnded(watches));

    for (const Planned& plan : planned) {
      const TaskCase& task_case = *plan.task_case;
      std::string row = task_case.name;
      if (task_case.page_size > 0) {
        row += ", page " + std::to_string(plan.page + 1) + " of " + std::to_string(plan.pages);
      }
      SCOPED_TRACE(row + " / " + fault.name);
      const TaskRun& run = *plan.run;
      const Outcome seen = run.Seen();
      const size_t kept = std::min(plan.page * task_case.page_size, TotalOf(task_case, seeded));
      Check(run.watch, seen, Expected(fault, task_case.page_row));
      if (run.signals_status()) {
        EXPECT_EQ(run.watch.status, seen.status);
      }
      EXPECT_EQ(run.gathered(), kept);

      // The pages before the fault passed, and no page was asked after it. libcurl sends a
      // request again when a kept-alive connection closes without an answer, so a dropped one
      // may be asked a few times, always with the same parameters, and faulted each time.
      const auto entries = Logged(task_case.method);
      ASSERT_GT(entries.size(), plan.page);
      for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].at("fault").as_string(), i < plan.page ? "" : fault.action)
            << "call " << i;
        if (i > plan.page) {
          EXPECT_EQ(entries[i].at("params"), entries[plan.page].at("params")) << "call " << i;
        }
      }
      if (std::string(fault.action) != "close") {
        EXPECT_EQ(entries.size(), plan.page + 1);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, TaskMatrixTest, ::testing::ValuesIn(kFaults), TestName);

}  // namespace
}  // namespace lumo::fault_matrix

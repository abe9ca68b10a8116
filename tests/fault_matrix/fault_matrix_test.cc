// Every request class and every task against every way an answer can go wrong, through the real
// transport to the sandbox's fault rules. Each call must end with exactly one completion, on the
// thread the library promises (the network thread for an answer that was judged, the UI thread
// for a failure), with `succeeded` and `status` as the frame decides them; a task must keep what
// its pages gathered before the faulted one and ask for nothing after it.
//
// The rows of one fault run a dozen at a time, so that the transport's timeout is waited out a
// few times per fault and the library's threads meet real concurrency: fewer than the transport's
// 16 connections per host, so that every call reaches the sandbox before the limit. The outcome
// of every case goes into a table printed at the end of the program.
#include <glog/logging.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
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
#include "support/ui_test_util.h"

namespace lumo::fault_matrix {
namespace {

using base::string_utils::ToUtf16;
using base::string_utils::ToUtf8;
using integration::Logged;
using integration::ResetSandbox;
using integration::ToSandbox;
using testing::EveryRequestRow;
using testing::EveryTaskRow;
using testing::RequestRow;
namespace diy = lumoapi::diy;
namespace favorite = lumoapi::favorite;

// A short transport limit for the timeout fault, and a delay well beyond it. Pages that pass
// before the faulted one must still fit in the limit under the sanitizers.
constexpr int64_t kShortTimeoutMs = 1000;
constexpr int kLateAnswerMs = 5000;
// How long a finished call is watched for a second completion.
constexpr std::chrono::milliseconds kSecondCompletionWatch{30};
constexpr std::chrono::seconds kCallLimit{20};
constexpr size_t kCallsAtOnce = 12;

// A code no class accepts.
constexpr int kUnacceptedCode = 40011;

enum class Fault {
  kLate,
  kClose,
  kTruncate,
  kHtml502,
  kNotJson,
  kUnacceptedCode,
  kAcceptedCode,
  kOversize,
  kEmptyObject,
  kNull,
  kEmptyArray,
  kTooDeep,
};

struct FaultCase {
  Fault fault;
  const char* name;    // as the summary shows it
  const char* id;      // as the test's name shows it
  const char* action;  // the sandbox's action
};

const FaultCase kFaults[] = {
    {Fault::kLate, "late", "Late", "delay"},
    {Fault::kClose, "dropped", "Dropped", "close"},
    {Fault::kTruncate, "cut short", "CutShort", "truncate"},
    {Fault::kHtml502, "html 502", "Html502", "html502"},
    {Fault::kNotJson, "not json", "NotJson", "not_json"},
    {Fault::kUnacceptedCode, "code 40011", "UnacceptedCode", "error_code"},
    {Fault::kAcceptedCode, "accepted code", "AcceptedCode", "error_code"},
    {Fault::kOversize, "over the cap", "OverTheCap", "oversize"},
    {Fault::kEmptyObject, "{}", "EmptyObject", "verbatim"},
    {Fault::kNull, "null", "Null", "verbatim"},
    {Fault::kEmptyArray, "[]", "EmptyArray", "verbatim"},
    {Fault::kTooDeep, "nested 200 deep", "NestedTooDeep", "verbatim"},
};

// Deeper than the JSON parser goes (it stops at 128 levels).
constexpr int kTooDeepLevels = 200;

// What GoogleTest shows of a case.
void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }

// How a class deals with service codes other than 22000, where it differs from the frame's
// default (22469 and 24003 accepted, every other code refused).
enum class OtherCodes {
  kRefused,      // judged as a failure, completed directly
  kAllAccepted,  // every code reaches the parser and counts as success
  kParserRules,  // every code reaches the parser, which fails all but its own (failure way)
};
struct CodeRule {
  const char* row;
  int accepted;  // the code the class accepts besides 22000
  OtherCodes others;
  bool parser_fails_accepted = false;  // the accepted code reaches a parser that fails it
};
const CodeRule kCodeRules[] = {
    {"upload check", 22469, OtherCodes::kAllAccepted},
    {"list edit", 22231, OtherCodes::kRefused},
    {"favourite added", 22322, OtherCodes::kParserRules},  // "already a favourite"
    {"collected page", 22001, OtherCodes::kParserRules},   // "nothing collected"
    // The splash parser fails every code but 22000, the frame's accepted ones included.
    {"splash", 22469, OtherCodes::kRefused, true},
};

CodeRule CodeRuleOf(const std::string& row) {
  for (const CodeRule& rule : kCodeRules) {
    if (row == rule.row) return rule;
  }
  return {"", 22469, OtherCodes::kRefused};
}

// What one call ends with.
struct Outcome {
  bool succeeded = false;
  int32_t status = 0;
  bool on_ui_thread = false;
};

// What the frame makes of `fault` for the class of `row`.
Outcome Expected(Fault fault, const std::string& row) {
  const CodeRule codes = CodeRuleOf(row);
  switch (fault) {
    case Fault::kLate:
    case Fault::kClose:
    case Fault::kTruncate:
    case Fault::kOversize:
      return {false, 0, true};  // transport failure: status as it was
    case Fault::kHtml502:
      return {false, 502, true};  // not JSON: the HTTP status stays
    case Fault::kNotJson:
    case Fault::kTooDeep:
      return {false, 200, true};
    case Fault::kUnacceptedCode:
      switch (codes.others) {
        case OtherCodes::kRefused:
          return {false, kUnacceptedCode, false};
        case OtherCodes::kAllAccepted:
          return {true, kUnacceptedCode, false};
        case OtherCodes::kParserRules:
          return {false, kUnacceptedCode, true};
      }
      break;
    case Fault::kAcceptedCode:
      if (codes.parser_fails_accepted) return {false, codes.accepted, true};
      return {true, codes.accepted, false};
    case Fault::kEmptyObject:
    case Fault::kNull:
    case Fault::kEmptyArray:
      return {true, 22000, false};  // no "error_code": success, the parser finds nothing
  }
  return {};
}

std::string RuleFor(const FaultCase& fault, const std::string& method, int skip,
                    const std::string& row) {
  std::string rule = R"({"method":")" + method + R"(","action":")" + fault.action +
                     R"(","refused":true,"skip":)" + std::to_string(skip);
  switch (fault.fault) {
    case Fault::kLate:
      rule += R"(,"delay_ms":)" + std::to_string(kLateAnswerMs);
      break;
    case Fault::kUnacceptedCode:
      rule += R"(,"error_code":)" + std::to_string(kUnacceptedCode);
      break;
    case Fault::kAcceptedCode:
      rule += R"(,"error_code":)" + std::to_string(CodeRuleOf(row).accepted);
      break;
    case Fault::kEmptyObject:
      rule += R"(,"body":"{}")";
      break;
    case Fault::kNull:
      rule += R"(,"body":"null")";
      break;
    case Fault::kEmptyArray:
      rule += R"(,"body":"[]")";
      break;
    case Fault::kTooDeep:
      rule += R"(,"body":"{\"error_code\":22000,\"result\":)" + std::string(kTooDeepLevels, '[') +
              std::string(kTooDeepLevels, ']') + R"(}")";
      break;
    default:
      break;
  }
  return rule + "}";
}

void AddRule(const std::string& rule) {
  const auto added = ToSandbox("POST", "/_sandbox/rules", {"Content-Type: application/json"}, rule);
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

// Counts the end signals of one call and notes the thread of each. Declared before the object it
// watches, so that the object (whose destructor waits out an emission) goes first.
class EndWatch : public sigslot::has_slots<sigslot::single_threaded> {
 public:
  void OnEnd() {
    on_ui_thread_ = base::thread::UiLoop::Instance().IsUiThread();
    ++count_;
  }
  void OnTaskEnd(int /*kind_or_source*/, int status) {
    end_status_ = status;
    OnEnd();
  }
  int count() const { return count_; }
  bool on_ui_thread() const { return on_ui_thread_; }
  int end_status() const { return end_status_; }

 private:
  std::atomic<int> count_{0};
  std::atomic<bool> on_ui_thread_{false};
  std::atomic<int> end_status_{0};
};

// Runs the UI loop until every watch has ended once (false when time ran out), then a little
// longer, so that a second completion would be seen.
bool RunUntilEnded(const std::vector<const EndWatch*>& watches) {
  const bool ended = lumo::testing::RunUiUntil(
      [&] {
        return std::all_of(watches.begin(), watches.end(),
                           [](const EndWatch* watch) { return watch->count() > 0; });
      },
      kCallLimit);
  base::thread::UiLoop::Instance().RunUntil([] { return false; }, kSecondCompletionWatch);
  return ended;
}

std::string Cell(const Outcome& outcome) {
  return std::string(outcome.succeeded ? "✓ " : "✗ ") + std::to_string(outcome.status) +
         (outcome.on_ui_thread ? " ui" : " net");
}

// The outcome of every case run, for the table at the end.
class Summary {
 public:
  static Summary& Instance() {
    static Summary summary;
    return summary;
  }
  void Note(const std::string& row, const std::string& fault, const std::string& cell) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cells_.find(row) == cells_.end()) rows_.push_back(row);
    cells_[row][fault] = cell;
  }
  void Print() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (rows_.empty()) return;
    std::cout << "\n| call |";
    for (const FaultCase& fault : kFaults) std::cout << ' ' << fault.name << " |";
    std::cout << "\n|---|";
    for (size_t i = 0; i < std::size(kFaults); ++i) std::cout << "---|";
    std::cout << '\n';
    for (const std::string& row : rows_) {
      std::cout << "| " << row << " |";
      const auto& cells = cells_.at(row);
      for (const FaultCase& fault : kFaults) {
        auto found = cells.find(fault.name);
        std::cout << ' ' << (found == cells.end() ? "" : found->second) << " |";
      }
      std::cout << '\n';
    }
    std::cout << "\n✓/✗: succeeded; the number: status; net/ui: the thread of the completion; "
                 "kept: results a task kept of the pages before the fault, of the expected.\n";
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> rows_;                                    // guarded by mutex_
  std::map<std::string, std::map<std::string, std::string>> cells_;  // guarded by mutex_
};

// Prints the table once, after the last test.
class SummaryPrinter : public ::testing::Environment {
 public:
  void TearDown() override { Summary::Instance().Print(); }
};
const auto* const kSummaryPrinter =
    ::testing::AddGlobalTestEnvironment(new SummaryPrinter);  // owned by GoogleTest

// Quiet library log (every failure logs a line), the short timeout where the fault needs it, and
// the table at the end.
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
  const RequestRow* row;
  EndWatch watch;
  std::unique_ptr<lumoapi::RequestBase> request;
  std::string method;
};

TEST_P(RequestMatrixTest, EveryRequestEndsOnceAsTheFrameDecides) {
  const FaultCase& fault = GetParam();
  std::vector<std::unique_ptr<RequestCall>> calls;
  for (const RequestRow& row : EveryRequestRow()) {
    auto call = std::make_unique<RequestCall>();
    call->row = &row;
    call->request = row.make();
    call->method = MethodOf(call->request->BuildUrl());
    calls.push_back(std::move(call));
  }
  // One rule per method; rows sharing a method share it.
  std::vector<std::string> methods;
  for (const auto& call : calls) {
    ASSERT_FALSE(call->method.empty()) << call->row->name;
    if (std::find(methods.begin(), methods.end(), call->method) != methods.end()) continue;
    methods.push_back(call->method);
    AddRule(RuleFor(fault, call->method, 0, call->row->name));
  }
  std::vector<const EndWatch*> watches;
  for (const auto& call : calls) {
    call->request->completed.connect(&call->watch, &EndWatch::OnEnd);
    watches.push_back(&call->watch);
  }
  for (size_t first = 0; first < calls.size(); first += kCallsAtOnce) {
    const size_t end = std::min(calls.size(), first + kCallsAtOnce);
    for (size_t i = first; i < end; ++i) calls[i]->request->BeginRequest();
    EXPECT_TRUE(RunUntilEnded({watches.begin() + first, watches.begin() + end}));
  }

  for (const auto& call : calls) {
    const std::string name = call->row->name;
    SCOPED_TRACE(name + " / " + fault.name);
    const Outcome expected = Expected(fault.fault, name);
    const Outcome seen{call->request->succeeded, call->request->status, call->watch.on_ui_thread()};
    EXPECT_EQ(call->watch.count(), 1);
    EXPECT_EQ(seen.succeeded, expected.succeeded);
    EXPECT_EQ(seen.status, expected.status) << ToUtf8(call->request->response_text).substr(0, 200);
    EXPECT_EQ(seen.on_ui_thread, expected.on_ui_thread);
    EXPECT_TRUE(call->request->finished);
    Summary::Instance().Note(name, fault.name,
                             call->watch.count() == 1
                                 ? Cell(seen)
                                 : std::to_string(call->watch.count()) + " completions");
  }
  // The rule met every method: no answer came through unfaulted.
  for (const std::string& method : methods) {
    const auto entries = Logged(method);
    ASSERT_FALSE(entries.empty()) << method;
    for (const auto& entry : entries) {
      EXPECT_EQ(entry.at("fault").as_string(), fault.action) << method;
    }
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
  virtual bool succeeded() const = 0;
  virtual int32_t status() const = 0;
  virtual size_t gathered() const = 0;
  // The status the end signal carried, for the tasks whose signal carries one.
  virtual std::optional<int32_t> signalled_status() const { return std::nullopt; }

  // Outlives the task: the base part goes after the derived one.
  EndWatch watch;
};

// A task whose end is its inherited `completed` (and the one that has an own `completed`).
template <class T>
class CompletedRun : public TaskRun {
 public:
  explicit CompletedRun(std::unique_ptr<T> task, std::function<size_t(const T&)> gathered)
      : task_(std::move(task)), gathered_(std::move(gathered)) {
    task_->completed.connect(&watch, &EndWatch::OnEnd);
  }
  void Begin() override { task_->BeginRequest(); }
  bool succeeded() const override { return task_->_GetSucceeded(); }
  int32_t status() const override { return static_cast<int32_t>(task_->_GetStatus()); }
  size_t gathered() const override { return gathered_(*task_); }

 private:
  std::unique_ptr<T> task_;
  std::function<size_t(const T&)> gathered_;
};

// A task whose end is `task_completed` with a status; its inherited `completed` must stay quiet,
// so it counts as an end as well.
template <class T>
class SignalledRun : public TaskRun {
 public:
  explicit SignalledRun(std::unique_ptr<T> task, std::function<size_t(const T&)> gathered)
      : task_(std::move(task)), gathered_(std::move(gathered)) {
    task_->task_completed.connect(&watch, &EndWatch::OnTaskEnd);
    task_->completed.connect(&watch, &EndWatch::OnEnd);
  }
  void Begin() override { task_->BeginRequest(); }
  bool succeeded() const override { return task_->request && task_->request->succeeded; }
  int32_t status() const override { return task_->request ? task_->request->status : 0; }
  size_t gathered() const override { return gathered_(*task_); }
  std::optional<int32_t> signalled_status() const override { return watch.end_status(); }

 private:
  std::unique_ptr<T> task_;
  std::function<size_t(const T&)> gathered_;
};

template <class T, class Run>
std::unique_ptr<TaskRun> Make(std::unique_ptr<T> task, size_t (*gathered)(const T&)) {
  return std::make_unique<Run>(std::move(task), gathered);
}

// What the seed gives the big user, found by running each paging task once without faults.
struct Seeded {
  std::wstring list_id;  // one of the user's lists with 201 to 300 songs: three pages
  size_t lists = 0, list_songs = 0, collected = 0, favourites = 0;
};

// One task of the matrix: the class of its page requests (a row of the request table, whose
// outcome the task reports), the method of its pages, the page size and how many results it
// gathers without faults; `page_size` 0 for a task of one request.
struct TaskCase {
  const char* name;  // as in EveryTaskRow
  const char* page_row;
  const char* method;
  size_t page_size;
  std::function<std::unique_ptr<TaskRun>(const Seeded&)> make;
  size_t (*total)(const Seeded&);
};

const std::vector<TaskCase>& TaskCases() {
  static const std::vector<TaskCase> cases = {
      {"all lists", "list pages", "norda.lumo.ugcdiy.userList", 50,
       [](const Seeded&) {
         return Make<diy::GetAllPlayLists, SignalledRun<diy::GetAllPlayLists>>(
             std::make_unique<diy::GetAllPlayLists>(kBigUser, 0),
             [](const diy::GetAllPlayLists& task) { return task.lists.size(); });
       },
       [](const Seeded& seeded) { return seeded.lists; }},
      {"all songs of a list", "list detail", "norda.lumo.ugcdiy.getBaseInfo", 100,
       [](const Seeded& seeded) {
         return Make<diy::GetAllPlayListSongs, CompletedRun<diy::GetAllPlayListSongs>>(
             std::make_unique<diy::GetAllPlayListSongs>(kBigUser, seeded.list_id),
             [](const diy::GetAllPlayListSongs& task) { return task.songs.size(); });
       },
       [](const Seeded& seeded) { return seeded.list_songs; }},
      {"song order task", "song order", "norda.lumo.ugcdiy.sortDiySongs", 0,
       [](const Seeded& seeded) {
         return Make<diy::SortSongListSongsTask, CompletedRun<diy::SortSongListSongsTask>>(
             std::make_unique<diy::SortSongListSongsTask>(kBigUser, seeded.list_id,
                                                          std::vector<std::wstring>{L"1"}),
             [](const diy::SortSongListSongsTask&) { return size_t{0}; });
       },
       [](const Seeded&) { return size_t{0}; }},
      {"list favourite task", "list favourite", "norda.lumo.ugcdiy.addFavoriteDiy", 0,
       [](const Seeded& seeded) {
         return Make<diy::AddFavoriteSongListTask, SignalledRun<diy::AddFavoriteSongListTask>>(
             std::make_unique<diy::AddFavoriteSongListTask>(kBigUser, seeded.list_id, 1),
             [](const diy::AddFavoriteSongListTask&) { return size_t{0}; });
       },
       [](const Seeded&) { return size_t{0}; }},
      {"list favourite removal task", "list favourite removed",
       "norda.lumo.ugcdiy.deleteFavoriteDiy", 0,
       [](const Seeded& seeded) {
         return Make<diy::CancelFavoriteSongListTask,
                     SignalledRun<diy::CancelFavoriteSongListTask>>(
             std::make_unique<diy::CancelFavoriteSongListTask>(kBigUser, seeded.list_id, 1),
             [](const diy::CancelFavoriteSongListTask&) { return size_t{0}; });
       },
       [](const Seeded&) { return size_t{0}; }},
      {"all collected songs", "collected page", "norda.lumo.favorite.getCollectSong", 50,
       [](const Seeded&) {
         return Make<favorite::GetAllCollectSongs, CompletedRun<favorite::GetAllCollectSongs>>(
             std::make_unique<favorite::GetAllCollectSongs>(kBigUser),
             [](const favorite::GetAllCollectSongs& task) { return task.songs.size(); });
       },
       [](const Seeded& seeded) { return seeded.collected; }},
      {"all favourite songs", "favourite page", "norda.lumo.favorite.getFavoriteSong", 50,
       [](const Seeded&) {
         return Make<favorite::GetAllFavoriteSongs, CompletedRun<favorite::GetAllFavoriteSongs>>(
             std::make_unique<favorite::GetAllFavoriteSongs>(kBigUser),
             [](const favorite::GetAllFavoriteSongs& task) { return task.songs.size(); });
       },
       [](const Seeded& seeded) { return seeded.favourites; }},
  };
  return cases;
}

// Runs one task to its end without faults; its results, or nothing when it failed.
std::optional<size_t> RunClean(const TaskCase& task_case, const Seeded& seeded) {
  std::unique_ptr<TaskRun> run = task_case.make(seeded);
  run->Begin();
  if (!RunUntilEnded({&run->watch}) || !run->succeeded()) return std::nullopt;
  return run->gathered();
}

const Seeded& SeededData() {
  static const Seeded seeded = [] {
    Seeded found;
    ResetSandbox();
    diy::GetAllPlayLists lists(kBigUser, 0);
    EndWatch watch;
    lists.task_completed.connect(&watch, &EndWatch::OnTaskEnd);
    lists.BeginRequest();
    if (!RunUntilEnded({&watch}) || !lists._GetSucceeded()) return found;
    for (const diy::PlayListItem& list : lists.lists) {
      if (list.song_num > 200 && list.song_num <= 300) found.list_id = list.list_id;
    }
    found.lists = lists.lists.size();
    for (const TaskCase& task_case : TaskCases()) {
      if (task_case.page_size == 0 || std::string(task_case.name) == "all lists") continue;
      const std::optional<size_t> gathered = RunClean(task_case, found);
      const size_t count = gathered.value_or(0);
      const std::string name = task_case.name;
      if (name == "all songs of a list") found.list_songs = count;
      if (name == "all collected songs") found.collected = count;
      if (name == "all favourite songs") found.favourites = count;
    }
    return found;
  }();
  return seeded;
}

size_t PagesOf(const TaskCase& task_case, const Seeded& seeded) {
  if (task_case.page_size == 0) return 1;
  const size_t total = task_case.total(seeded);
  return std::max<size_t>(1, (total + task_case.page_size - 1) / task_case.page_size);
}

// The page a fault is put on: the first, one in the middle, the last.
enum class Position { kFirst, kMiddle, kLast };
constexpr Position kPositions[] = {Position::kFirst, Position::kMiddle, Position::kLast};

size_t PageAt(Position position, size_t pages) {
  switch (position) {
    case Position::kFirst:
      return 0;
    case Position::kMiddle:
      return pages / 2;
    case Position::kLast:
      return pages - 1;
  }
  return 0;
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
  for (const testing::TaskRow& row : EveryTaskRow()) rows.emplace_back(row.name);
  EXPECT_EQ(names, rows);
}

TEST_P(TaskMatrixTest, EveryTaskEndsOnceAndKeepsWhatItGathered) {
  const FaultCase& fault = GetParam();
  const Seeded& seeded = SeededData();
  ASSERT_FALSE(seeded.list_id.empty());
  for (Position position : kPositions) {
    ResetSandbox();
    struct Planned {
      const TaskCase* task_case;
      size_t page;  // the faulted page, from 0
      size_t pages;
      std::unique_ptr<TaskRun> run;
    };
    std::vector<Planned> planned;
    for (const TaskCase& task_case : TaskCases()) {
      const size_t pages = PagesOf(task_case, seeded);
      if (task_case.page_size == 0 && position != Position::kFirst) continue;
      const size_t page = PageAt(position, pages);
      AddRule(RuleFor(fault, task_case.method, static_cast<int>(page), task_case.page_row));
      planned.push_back({&task_case, page, pages, task_case.make(seeded)});
    }
    std::vector<const EndWatch*> watches;
    watches.reserve(planned.size());
    for (const Planned& plan : planned) watches.push_back(&plan.run->watch);
    for (const Planned& plan : planned) plan.run->Begin();
    EXPECT_TRUE(RunUntilEnded(watches));

    for (const Planned& plan : planned) {
      const TaskCase& task_case = *plan.task_case;
      const std::string row = task_case.page_size == 0 ? std::string(task_case.name)
                                                       : std::string(task_case.name) + ", page " +
                                                             std::to_string(plan.page + 1) +
                                                             " of " + std::to_string(plan.pages);
      SCOPED_TRACE(row + " / " + fault.name);
      const TaskRun& run = *plan.run;
      const Outcome expected = Expected(fault.fault, task_case.page_row);
      const Outcome seen{run.succeeded(), run.status(), run.watch.on_ui_thread()};
      const size_t kept = std::min(plan.page * task_case.page_size, task_case.total(seeded));
      EXPECT_EQ(run.watch.count(), 1);
      EXPECT_EQ(seen.succeeded, expected.succeeded);
      EXPECT_EQ(seen.status, expected.status);
      EXPECT_EQ(seen.on_ui_thread, expected.on_ui_thread);
      if (run.signalled_status()) {
        EXPECT_EQ(*run.signalled_status(), seen.status);
      }
      EXPECT_EQ(run.gathered(), kept);
      std::string cell =
          run.watch.count() == 1 ? Cell(seen) : std::to_string(run.watch.count()) + " completions";
      if (task_case.page_size > 0) {
        cell += ", kept " + std::to_string(run.gathered()) + "/" + std::to_string(kept);
      }
      Summary::Instance().Note(row, fault.name, cell);

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
      if (fault.fault != Fault::kClose) {
        EXPECT_EQ(entries.size(), plan.page + 1);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, TaskMatrixTest, ::testing::ValuesIn(kFaults), TestName);

}  // namespace
}  // namespace lumo::fault_matrix

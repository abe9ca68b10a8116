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
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/http/transport.h"
#include "base/logging.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "integration/sandbox_environment.h"
#include "lumoapi/diy/get_all_playlists.h"
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
using sandbox::testing::At;
using sandbox::testing::Text;
using testing::EveryTaskRow;
using testing::Task;
using testing::TaskRow;
namespace diy = lumoapi::diy;

// A short transport limit for the timeout fault, and a delay well beyond it. Pages that pass
// before the faulted one must still fit in the limit under the sanitizers.
constexpr int64_t kShortTimeoutMs = 1000;
// How long a finished call is watched for a second completion.
constexpr std::chrono::milliseconds kSecondCompletionWatch{30};
constexpr std::chrono::seconds kCallLimit{20};
constexpr size_t kCallsAtOnce = 12;
using Kind = lumoapi::CallFailure::Kind;

// A code no class accepts.
constexpr int kUnacceptedCode = 40011;

// What one call ends with.
struct Outcome {
  bool succeeded = false;
  int32_t status = 0;
  bool on_ui_thread = false;
  Kind failure = Kind::kNone;  // what Failure() says
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
    {Fault::kLate,
     "late",
     "Late",
     "delay",
     R"(,"delay_ms":5000)",
     {false, 0, true, Kind::kTimeout}},
    {Fault::kOther, "dropped", "Dropped", "close", "", {false, 0, true, Kind::kTransport}},
    {Fault::kOther, "cut short", "CutShort", "truncate", "", {false, 0, true, Kind::kTransport}},
    {Fault::kOther, "html 502", "Html502", "html502", "", {false, 502, true, Kind::kHttpStatus}},
    {Fault::kOther, "not json", "NotJson", "not_json", "", {false, 200, true, Kind::kNotJson}},
    {Fault::kUnacceptedCode,
     "code 40011",
     "UnacceptedCode",
     "error_code",
     R"(,"error_code":40011)",
     {}},
    {Fault::kAcceptedCode, "accepted code", "AcceptedCode", "error_code", "", {}},
    {Fault::kOther,
     "over the cap",
     "OverTheCap",
     "oversize",
     "",
     {false, 0, true, Kind::kBodyTooLarge}},
    {Fault::kOther, "{}", "EmptyObject", "verbatim", R"(,"body":"{}")", {true, 22000, false}},
    {Fault::kOther, "null", "Null", "verbatim", R"(,"body":"null")", {true, 22000, false}},
    {Fault::kOther, "[]", "EmptyArray", "verbatim", R"(,"body":"[]")", {true, 22000, false}},
    {Fault::kOther,
     "nested 200 deep",
     "NestedTooDeep",
     "verbatim",
     R"(,"body":"{\"error_code\":22000,\"result\":)" + kTooDeep + R"(}")",
     {false, 200, true, Kind::kNotJson}},
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
  if (fault.fault != Fault::kUnacceptedCode && fault.fault != Fault::kAcceptedCode) {
    return fault.outcome;
  }
  Outcome outcome = fault.fault == Fault::kUnacceptedCode ? CodeRuleOf(row).unaccepted_outcome
                                                          : CodeRuleOf(row).accepted_outcome;
  // Refused by the frame or by the class's parser, a code is the service's reason.
  outcome.failure = outcome.succeeded ? Kind::kNone : Kind::kServiceCode;
  return outcome;
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
  EXPECT_EQ(seen.failure, expected.failure);
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
    Check(call->watch,
          {request.succeeded, request.status, call->watch.on_ui_thread, request.Failure().kind},
          Expected(fault, name));
  }
  // The rule met every method: no answer came through unfaulted.
  for (const std::string& method : methods) {
    const auto entries = Logged(method);
    ASSERT_FALSE(entries.empty()) << method;
    for (const auto& entry : entries) EXPECT_EQ(Text(At(entry, {"fault"})), fault.action);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, RequestMatrixTest, ::testing::ValuesIn(kFaults), TestName);

// --- Tasks -------------------------------------------------------------------------------------

const std::wstring kBigUser = ToUtf16(sandbox::kBigUserToken);

// What the seed gives the big user, found by running each paging task once without faults.
struct Seeded {
  std::wstring list_id;                  // one of the user's lists with 201 to 300 songs
  std::map<std::string, size_t> totals;  // what each paging task gathers, by its name
};

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
    for (const TaskRow& row : EveryTaskRow()) {
      if (row.page_size == 0 || found.totals.count(row.name)) continue;
      const std::unique_ptr<Task> task = row.make(kBigUser, found.list_id);
      task->BeginRequest();
      if (RunUntilEnded({&task->end}) && task->succeeded()) {
        found.totals[row.name] = task->gathered();
      }
    }
    return found;
  }();
  return seeded;
}

size_t TotalOf(const TaskRow& row, const Seeded& seeded) {
  const auto found = seeded.totals.find(row.name);
  return found == seeded.totals.end() ? 0 : found->second;
}

size_t PagesOf(const TaskRow& row, const Seeded& seeded) {
  if (row.page_size == 0) return 1;
  const size_t total = TotalOf(row, seeded);
  return std::max<size_t>(1, (total + row.page_size - 1) / row.page_size);
}

using TaskMatrixTest = FaultMatrixTest;

// The seed gives every paging task at least three pages.
TEST(TaskMatrixSetup, ThePagingTasksHaveThreePages) {
  const Seeded& seeded = SeededData();
  ASSERT_FALSE(seeded.list_id.empty());
  for (const TaskRow& row : EveryTaskRow()) {
    if (row.page_size > 0) {
      EXPECT_GE(PagesOf(row, seeded), 3u) << row.name;
    }
  }
}

TEST_P(TaskMatrixTest, EveryTaskEndsOnceAndKeepsWhatItGathered) {
  const FaultCase& fault = GetParam();
  const Seeded& seeded = SeededData();
  ASSERT_FALSE(seeded.list_id.empty());
  // The faulted page: the first, one in the middle, the last.
  for (const int position : {0, 1, 2}) {
    ResetSandbox();
    struct Planned {
      const TaskRow* row;
      size_t page;  // the faulted page, from 0
      size_t pages;
      std::unique_ptr<Task> task;
    };
    std::vector<Planned> planned;
    std::vector<const EndWatch*> watches;
    for (const TaskRow& row : EveryTaskRow()) {
      const size_t pages = PagesOf(row, seeded);
      if (row.page_size == 0 && position != 0) continue;
      const size_t page = position == 0 ? 0 : position == 1 ? pages / 2 : pages - 1;
      AddRule(fault, row.method, page, row.page_row);
      planned.push_back({&row, page, pages, row.make(kBigUser, seeded.list_id)});
      watches.push_back(&planned.back().task->end);
    }
    for (const Planned& plan : planned) plan.task->BeginRequest();
    EXPECT_TRUE(RunUntilEnded(watches));

    for (const Planned& plan : planned) {
      const TaskRow& task_row = *plan.row;
      std::string row = task_row.name;
      if (task_row.page_size > 0) {
        row += ", page " + std::to_string(plan.page + 1) + " of " + std::to_string(plan.pages);
      }
      SCOPED_TRACE(row + " / " + fault.name);
      const Task& task = *plan.task;
      const Outcome seen{task.succeeded(), task.status(), task.end.on_ui_thread,
                         task.Failure().kind};
      const size_t kept = std::min(plan.page * task_row.page_size, TotalOf(task_row, seeded));
      Check(task.end, seen, Expected(fault, task_row.page_row));
      if (task.signals_status()) {
        EXPECT_EQ(task.end.status, seen.status);
      }
      EXPECT_EQ(task.gathered(), kept);

      // The pages before the fault passed, and no page was asked after it. libcurl sends a
      // request again when a kept-alive connection closes without an answer, so a dropped one
      // may be asked a few times, always with the same parameters, and faulted each time.
      const auto entries = Logged(task_row.method);
      ASSERT_GT(entries.size(), plan.page);
      for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(Text(At(entries[i], {"fault"})), i < plan.page ? "" : fault.action)
            << "call " << i;
        if (i > plan.page) {
          EXPECT_EQ(At(entries[i], {"params"}), At(entries[plan.page], {"params"})) << "call " << i;
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

#include "lumoapi/user/report_pool.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "base/logging.h"
#include "base/os_utils.h"
#include "base/string_utils.h"
#include "delete_in_place.h"

namespace lumoapi::user {
namespace {

void DeleteAll(std::vector<std::unique_ptr<RequestBase>>& reports) {
  for (std::unique_ptr<RequestBase>& report : reports) internal::DeleteInPlace(report);
  reports.clear();
}

}  // namespace

ReportPool& ReportPool::Instance() {
  static ReportPool pool;
  return pool;
}

ReportPool::ReportPool() = default;

// Reports go before the dispatcher: deleting a report waits for an emission of it that may be in
// progress on the network thread, and that emission posts through the dispatcher. When the
// process exits with the pool still holding reports (the host never called Uninit), a Windows
// network thread has been stopped wherever it was, perhaps inside an emission that would never
// end: the reports are left to the system then.
ReportPool::~ReportPool() {
  if (base::os_utils::IsProcessExiting()) {
    for (std::unique_ptr<RequestBase>& report : reports) (void)report.release();
    return;
  }
  DeleteAll(reports);
}

void ReportPool::Init() {}

void ReportPool::Uninit() {
  DeleteAll(reports);
  // Only now: deleting a running report above may still have posted a clean-up.
  dispatcher.CancelPendingInvokes();
}

void ReportPool::AddReport(std::unique_ptr<RequestBase> report) {
  if (!report) return;
  try {
    report->completed.connect(this, &ReportPool::OnReportCompleted);
    report->BeginRequest();
    reports.push_back(std::move(report));
  } catch (const std::exception& e) {
    base::logging::LogMessage(L"lumoapi::user::ReportPool::AddReport", 42,
                              base::logging::LoggingSeverity::kError,
                              base::string_utils::ToUtf16(e.what()));
  }
}

// Runs inside the report's emission, possibly on the network thread, where the report must not be
// deleted and `reports` must not be touched: the clean-up runs later on the UI thread. The
// dispatcher drops it if the pool goes first.
void ReportPool::OnReportCompleted() {
  dispatcher.InvokeOnUIThread([this] { RemoveFinishedReports(); });
}

void ReportPool::RemoveFinishedReports() {
  const auto first_finished = std::stable_partition(
      reports.begin(), reports.end(),
      [](const std::unique_ptr<RequestBase>& report) { return !report->finished.load(); });
  for (auto report = first_finished; report != reports.end(); ++report) {
    internal::DeleteInPlace(*report);
  }
  reports.erase(first_finished, reports.end());
}

}  // namespace lumoapi::user

#include "lumoapi/user/report_pool.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "base/logging.h"
#include "base/string_utils.h"

namespace lumoapi::user {

ReportPool& ReportPool::Instance() {
  static ReportPool pool;
  return pool;
}

ReportPool::ReportPool() = default;

// Reports go before the dispatcher: deleting a report waits for an emission of it that may be in
// progress on the network thread, and that emission posts through the dispatcher.
ReportPool::~ReportPool() { reports.clear(); }

void ReportPool::Init() {}

void ReportPool::Uninit() {
  for (std::unique_ptr<RequestBase>& report : reports) report.reset();
  reports.clear();
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
  reports.erase(std::remove_if(reports.begin(), reports.end(),
                               [](const std::unique_ptr<RequestBase>& report) {
                                 return report->finished.load();
                               }),
                reports.end());
}

}  // namespace lumoapi::user

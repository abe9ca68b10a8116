// ReportPool: owns reports whose answer nobody waits for.
//
// The host hands a request to AddReport and forgets it: the pool starts it, keeps it alive while it
// runs, and deletes it on the UI thread after it has finished, whatever the outcome. It never
// retries and never tells anyone how a report went.
#ifndef LUMOAPI_USER_REPORT_POOL_H_
#define LUMOAPI_USER_REPORT_POOL_H_

#include <memory>
#include <vector>

#include "base/cpp_utils/singleton.h"
#include "base/thread/dispatcher.h"
#include "lumoapi/export.h"
#include "lumoapi/request_base.h"
#include "sigslot/sigslot.h"

namespace lumoapi::user {

// The process's one pool, created by the first Instance() call and destroyed when the library is
// unloaded; the host calls Uninit before that.
//
// UI thread only (the first Instance() call included: it is not guarded against a race). Finished
// reports are deleted by a clean-up that the pool posts to the UI thread when one of them
// completes, so a report's `completed` may fire on the network thread without the report being
// deleted there.
class LUMOAPI_EXPORT ReportPool : public base::cpp_utils::Singleton<ReportPool>,
                                  public sigslot::has_slots<sigslot::single_threaded> {
 public:
  static ReportPool& Instance();  // The process's pool; UI thread.

  // Does nothing; may be called any number of times.
  void Init();
  // Deletes every report still held, running or not, and drops the clean-ups not yet run.
  void Uninit();
  // Takes ownership of `report` and starts it. Its receivers must not delete it: the pool does.
  void AddReport(std::unique_ptr<RequestBase> report);

 private:
  ReportPool();
  ~ReportPool() override;

  // Connected to each report's `completed`; any thread.
  void OnReportCompleted();
  // Deletes every finished report; the others keep their order.
  void RemoveFinishedReports();

  std::vector<std::unique_ptr<RequestBase>> reports;  // started, not yet removed; UI thread
  base::thread::Dispatcher dispatcher;
};

}  // namespace lumoapi::user

#endif  // LUMOAPI_USER_REPORT_POOL_H_

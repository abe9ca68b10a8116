// The page limit of the static testing library's gathering tasks, which a test can lower so that
// a capped run takes a few pages (see MaxPagesPerRun in page_task.h). Not in the shipped library.
#ifndef LUMOAPI_TESTING_PAGE_CAP_H_
#define LUMOAPI_TESTING_PAGE_CAP_H_

#include <cstdint>

namespace lumoapi::testing {

// The pages one run of a gathering task asks for at most from now on; 10,000 unless set. Set it
// while no task runs.
void SetMaxPagesPerRun(uint64_t pages);

}  // namespace lumoapi::testing

#endif  // LUMOAPI_TESTING_PAGE_CAP_H_

#include "page_task.h"

namespace lumoapi::internal {

uint64_t MaxPagesPerRun() { return 10000; }

}  // namespace lumoapi::internal

// The page limit of the static testing library: the shipped one's, unless a test lowered it.
#include "testing/page_cap.h"

#include <atomic>

#include "page_task.h"

namespace lumoapi {
namespace {

std::atomic<uint64_t> max_pages{10000};

}  // namespace

void testing::SetMaxPagesPerRun(uint64_t pages) { max_pages.store(pages); }

uint64_t internal::MaxPagesPerRun() { return max_pages.load(); }

}  // namespace lumoapi

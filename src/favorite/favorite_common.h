// What the favourite requests share: their parameters, the "havemore" rule of their pages, and
// the paging of the two gathering tasks.
#ifndef LUMOAPI_FAVORITE_FAVORITE_COMMON_H_
#define LUMOAPI_FAVORITE_FAVORITE_COMMON_H_

#include <cpprest/json.h>

#include <cstdint>
#include <string>
#include <vector>

#include "page_task.h"

namespace lumoapi::favorite {

// The songs asked for per page by the gathering tasks.
inline constexpr uint32_t kTaskPageSize = 50;

// A page: "kwtok", "pn", "rn".
std::wstring PageParams(const std::wstring& kwtok, uint32_t pn, uint32_t rn);

// An id list: "kwtok", "songId" = the ids joined by ",".
std::wstring SongIdParams(const std::wstring& kwtok, const std::vector<std::wstring>& song_ids);

// Sets `havemore` when the answer's top-level "havemore" is the number 1; anything else (2, the
// text "1", true, nothing) leaves it as it is.
void ReadHaveMore(const web::json::value& answer, bool& havemore);

// The one paging algorithm of GetAllCollectSongs and GetAllFavoriteSongs, run when a page request
// has completed: keep its songs, then post the next page or end the run with `completed`.
template <class Task>
void OnFavoritePageCompleted(Task& task) {
  auto& page = *task.request;
  if (page.succeeded) {
    const bool more = internal::RunGoesOn(page.havemore, task.pn / kTaskPageSize);
    internal::AppendPage(task.songs, page.songs, more);
    if (more) {
      task.pn += kTaskPageSize;
      internal::PostNextPage(&task, task.dispatcher);
      return;
    }
  }
  // A receiver may delete the task: nothing of it is touched after the emission.
  task.completed.emit();
}

}  // namespace lumoapi::favorite

#endif  // LUMOAPI_FAVORITE_FAVORITE_COMMON_H_

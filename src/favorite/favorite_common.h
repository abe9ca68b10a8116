// What the favourite requests share: their parameters, the "havemore" rule of their pages, and
// the paging of the two gathering tasks.
#ifndef LUMOAPI_FAVORITE_FAVORITE_COMMON_H_
#define LUMOAPI_FAVORITE_FAVORITE_COMMON_H_

#include <cpprest/json.h>

#include <cstdint>
#include <memory>
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

// The paging of GetAllCollectSongs and GetAllFavoriteSongs (see PageLoop): 50 songs a page from
// the song position `pn`, for as long as a page says there are more.
template <class T>
struct FavoritePaging {
  using Task = T;
  using Page = typename decltype(T::request)::element_type;
  static std::unique_ptr<Page> MakePage(const Task& task) {
    return std::make_unique<Page>(task.kwtok, task.pn, kTaskPageSize);
  }
  static bool More(const Task&, const Page& page) { return page.havemore; }
  static void Keep(Task& task, Page& page, bool followed) {
    internal::AppendPage(task.songs, page.songs, followed);
  }
  static void Advance(Task& task) { task.pn += kTaskPageSize; }
  static void EmitEnd(Task& task) { task.completed.emit(); }
};

}  // namespace lumoapi::favorite

#endif  // LUMOAPI_FAVORITE_FAVORITE_COMMON_H_

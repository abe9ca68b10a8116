#include "favorite/favorite_common.h"

#include "id_list.h"
#include "json_access.h"
#include "query_builder.h"

namespace lumoapi::favorite {

std::wstring PageParams(const std::wstring& kwtok, uint32_t pn, uint32_t rn) {
  QueryBuilder builder;
  AppendPair(builder, L"kwtok", kwtok);
  AppendPair(builder, L"pn", pn);
  AppendPair(builder, L"rn", rn);
  return QueryText(builder);
}

std::wstring SongIdParams(const std::wstring& kwtok, const std::vector<std::wstring>& song_ids) {
  QueryBuilder builder;
  AppendPair(builder, L"kwtok", kwtok);
  AppendPair(builder, L"songId", JoinIds(song_ids));
  return QueryText(builder);
}

void ReadHaveMore(const web::json::value& answer, bool& havemore) {
  const web::json::value& more = Member(answer, "havemore");
  if (more.is_number() && more.as_number().to_double() == 1) {
    havemore = true;
  }
}

}  // namespace lumoapi::favorite

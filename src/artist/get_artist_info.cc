#include "lumoapi/artist/get_artist_info.h"

#include <utility>

#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::artist {

using utilities::json::ToString;

GetArtistInfo::GetArtistInfo(std::wstring artist_id) : artist_id(std::move(artist_id)) {}

GetArtistInfo::~GetArtistInfo() { StopHttpRequest(); }

std::wstring GetArtistInfo::GetMethodName() { return L"norda.lumo.artist.getInfo"; }

std::wstring GetArtistInfo::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"artistid", artist_id);
  AppendPair(builder, L"all_pic", 1);
  return QueryText(builder);
}

void GetArtistInfo::ParseResult(web::json::value& answer) {
  const web::json::value& pic_list = Member(answer, "pic_list");
  if (IsArray(pic_list) && pic_list.size() > 0) {
    // Entries without an address keep their place, so that positions match the service's list.
    for (const web::json::value& pic : pic_list.as_array()) {
      pics.push_back(ToString(Member(pic, "url")));
    }
    return;
  }
  std::wstring avatar = ToString(Member(answer, "avatar_s1000"));
  if (!avatar.empty()) pics.push_back(std::move(avatar));
}

}  // namespace lumoapi::artist

#include "lumoapi/diy/get_album_info.h"

#include <utility>

#include "diy/diy_common.h"
#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::diy {

GetAlbumInfo::GetAlbumInfo(std::wstring /*unused*/, std::wstring album_id)
    : album_id(std::move(album_id)) {}

GetAlbumInfo::~GetAlbumInfo() { StopHttpRequest(); }

std::wstring GetAlbumInfo::GetMethodName() { return L"norda.lumo.album.getAlbumInfo"; }

std::wstring GetAlbumInfo::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"album_id", album_id);
  return QueryText(builder);
}

// The album and its songs are at the top level of the answer, not under "result".
void GetAlbumInfo::ParseResult(web::json::value& answer) {
  using utilities::json::ToString;
  const web::json::value& album = Member(answer, "albumInfo");
  info.userid = ToString(Member(album, "album_id"));
  info.list_id = ToString(Member(album, "artist_id"));
  info.username = ToString(Member(album, "author"));
  info.userpic = ToString(Member(album, "pic_big"));
  info.list_pic = info.userpic;
  info.list_title = ToString(Member(album, "title"));
  info.list_tag.clear();
  info.list_desc = ToString(Member(album, "info"));
  info.createtime = ToString(Member(album, "publishtime"));
  info.lastmodify.clear();
  info.share_num.clear();
  info.listen_num.clear();
  info.comment_num.clear();
  info.collect_num = ToString(Member(album, "collect_num"));
  info.share_url = ToString(Member(album, "buy_url"));
  AppendPlayListSongs(Member(answer, "songlist"), SongReading::kAlbumSong, songs);
}

}  // namespace lumoapi::diy

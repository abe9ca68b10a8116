#include "lumoapi/diy/get_playlist.h"

#include <glog/logging.h>

#include <utility>

#include "base/string_utils.h"
#include "diy/diy_common.h"
#include "json_access.h"
#include "log_masking.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::diy {
namespace {

using utilities::json::ToInt;
using utilities::json::ToString;

// The page size the service is always asked for.
constexpr int kPageSize = 100;

}  // namespace

GetPlayList::GetPlayList(std::wstring kwtok, std::wstring list_id, unsigned int offset,
                         unsigned int size)
    : offset(offset), size(size), list_id(std::move(list_id)), kwtok(std::move(kwtok)) {
  UseAccountSession(*this, this->kwtok);
}

GetPlayList::~GetPlayList() { StopHttpRequest(); }

std::wstring GetPlayList::GetMethodName() { return L"norda.lumo.ugcdiy.getBaseInfo"; }

std::wstring GetPlayList::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"list_id", list_id);
  AppendPair(builder, L"size", kPageSize);
  AppendPair(builder, L"withsong", 1);
  AppendPair(builder, L"offset", offset);
  AppendPair(builder, L"withcount", 1);
  return QueryText(builder);
}

void GetPlayList::ParseResult(web::json::value& answer) {
  const web::json::value& result = Member(answer, "result");
  const web::json::value& list = Member(result, "info");
  const web::json::value& owner = Member(list, "userinfo");
  song_num = ToInt(Member(result, "song_num"), 0);
  info.share_num = ToString(Member(result, "share_num"));
  info.listen_num = ToString(Member(result, "listen_num"));
  info.comment_num = ToString(Member(result, "comment_num"));
  info.share_url = ToString(Member(result, "share_url"));
  info.collect_num = ToString(Member(result, "collect_num"));
  info.userid = ToString(Member(owner, "userid"));
  info.username = ToString(Member(owner, "username"));
  info.userpic = ToString(Member(owner, "userpic"));
  info.list_id = ToString(Member(list, "list_id"));
  info.list_pic = ToString(Member(list, "list_pic"));
  info.list_title = ToString(Member(list, "list_title"));
  info.list_tag = ToString(Member(list, "list_tag"));
  info.list_desc = ToString(Member(list, "list_desc"));
  info.createtime = ToString(Member(list, "createtime"));
  info.lastmodify = ToString(Member(list, "lastmodify"));
  if (AppendPlayListSongs(Member(result, "songlist"), SongReading::kListSong, songs) &&
      !songs.empty()) {
    return;
  }
  // The host reads this line in GBK, attributed to line 70 of the file named here. The answer
  // may carry an address with the session token in it.
  google::LogMessage("src\\diy\\get_playlist", 70, google::GLOG_INFO).stream()
      << "current song list has no songs! the ret is:"
      << base::string_utils::Utf16ToGBK(MaskSecrets(response_text));
}

}  // namespace lumoapi::diy

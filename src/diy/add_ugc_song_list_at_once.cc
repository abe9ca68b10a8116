#include "lumoapi/diy/add_ugc_song_list_at_once.h"

#include <utility>

#include "diy/diy_common.h"
#include "json_access.h"
#include "query_builder.h"

namespace lumoapi::diy {

AddUgcSongListAtOnce::AddUgcSongListAtOnce(std::wstring kwtok, std::wstring title,
                                           std::wstring /*unused*/,
                                           std::vector<std::wstring> song_ids)
    : kwtok(std::move(kwtok)), title(EncodeDataString(title)), song_ids(std::move(song_ids)) {
  UseAccountSession(*this, this->kwtok);
}

AddUgcSongListAtOnce::~AddUgcSongListAtOnce() { StopHttpRequest(); }

std::wstring AddUgcSongListAtOnce::GetMethodName() { return L"norda.lumo.ugcdiy.addSongListOnce"; }

std::wstring AddUgcSongListAtOnce::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"kwtok", kwtok);
  AppendPair(builder, L"title", title);
  AppendPair(builder, L"process", 1);
  AppendPair(builder, L"song_ids", JoinDigitIds(song_ids));
  return QueryText(builder);
}

void AddUgcSongListAtOnce::ParseResult(web::json::value& answer) {
  ReadNewList(Member(answer, "result"), list_id, title, capacity);
}

}  // namespace lumoapi::diy

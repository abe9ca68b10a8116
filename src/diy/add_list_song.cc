#include "lumoapi/diy/add_list_song.h"

#include <utility>

#include "diy/diy_common.h"
#include "query_builder.h"

namespace lumoapi::diy {

AddListSong::AddListSong(std::wstring kwtok, std::wstring list_id,
                         std::vector<std::wstring> song_ids, std::wstring reserved)
    : kwtok(std::move(kwtok)),
      list_id(std::move(list_id)),
      song_ids(std::move(song_ids)),
      reserved(std::move(reserved)) {
  UseAccountSession(*this, this->kwtok);
}

AddListSong::~AddListSong() { StopHttpRequest(); }

std::wstring AddListSong::GetMethodName() { return L"norda.lumo.ugcdiy.addSongToDiy"; }

std::wstring AddListSong::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"song_ids", JoinIds(song_ids));
  AppendPair(builder, L"list_id", list_id);
  return QueryText(builder);
}

void AddListSong::ParseResult(web::json::value& /*answer*/) {}

}  // namespace lumoapi::diy

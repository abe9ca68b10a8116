#include "lumoapi/radio/get_scene_songs.h"

#include <utility>

#include "json_access.h"
#include "query_builder.h"
#include "radio/song_id_list.h"
#include "settings/user_account_settings.h"

namespace lumoapi::radio {

GetSceneSongs::GetSceneSongs(std::wstring scene_id) : scene_id(std::move(scene_id)) {}

GetSceneSongs::~GetSceneSongs() { StopHttpRequest(); }

std::wstring GetSceneSongs::GetMethodName() { return L"norda.lumo.song.getSmartSongList"; }

std::wstring GetSceneSongs::GetVersion() { return L"2.2.0"; }

std::wstring GetSceneSongs::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"scene_id", scene_id);
  AppendPair(builder, L"item_id", 0);
  AppendPair(builder, L"page_size", L"10");
  AppendPair(builder, L"kwtok", settings::user::UserAccountSettings::Instance()._GetKwtok());
  return QueryText(builder);
}

void GetSceneSongs::ParseResult(web::json::value& result) {
  const web::json::value& body = Member(result, "result");
  if (!IsObject(body)) return;
  AppendSongIds(Member(body, "songlist"), "song_id", kNoLimit, song_ids);
}

}  // namespace lumoapi::radio

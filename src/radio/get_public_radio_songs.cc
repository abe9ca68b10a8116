#include "lumoapi/radio/get_public_radio_songs.h"

#include <utility>

#include "json_access.h"
#include "query_builder.h"
#include "radio/song_id_list.h"
#include "settings/user_account_settings.h"

namespace lumoapi::radio {

GetPublicRadioSongs::GetPublicRadioSongs(std::wstring channelname)
    : channelname(std::move(channelname)) {}

GetPublicRadioSongs::~GetPublicRadioSongs() { StopHttpRequest(); }

std::wstring GetPublicRadioSongs::GetMethodName() { return L"norda.lumo.radio.getChannelSong"; }

std::wstring GetPublicRadioSongs::GetVersion() { return L"2.2.0"; }

std::wstring GetPublicRadioSongs::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"channelname", channelname);
  AppendPair(builder, L"rn", L"10");
  AppendPair(builder, L"kwtok", settings::user::UserAccountSettings::Instance()._GetKwtok());
  return QueryText(builder);
}

void GetPublicRadioSongs::ParseResult(web::json::value& result) {
  const web::json::value& body = Member(result, "result");
  if (!IsObject(body)) return;
  AppendSongIds(Member(body, "songlist"), "songid", kNoLimit, song_ids);
}

}  // namespace lumoapi::radio

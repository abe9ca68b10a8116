#include "lumoapi/radio/get_private_radio_songs.h"

#include <utility>

#include "json_access.h"
#include "query_builder.h"
#include "radio/song_id_list.h"

namespace lumoapi::radio {
namespace {

constexpr size_t kMaxSongIds = 10;

}  // namespace

GetPrivateRadioSongs::GetPrivateRadioSongs(std::wstring usrname, std::wstring kwtok)
    : kwtok(std::move(kwtok)), usrname(std::move(usrname)) {}

GetPrivateRadioSongs::~GetPrivateRadioSongs() { StopHttpRequest(); }

std::wstring GetPrivateRadioSongs::GetMethodName() { return L"norda.lumo.radio.serv"; }

std::wstring GetPrivateRadioSongs::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"usrname", usrname);
  AppendPair(builder, L"needdata", L"true");
  AppendPair(builder, L"kwtok", kwtok);
  return QueryText(builder);
}

// The personal radio puts its songs at the top level of the answer, not under "result".
void GetPrivateRadioSongs::ParseResult(web::json::value& result) {
  AppendSongIds(Member(result, "songinfo"), "song_id", kMaxSongIds, song_ids);
}

}  // namespace lumoapi::radio

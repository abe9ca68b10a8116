#include "lumoapi/favorite/add_song_favorite.h"

#include <stdexcept>
#include <utility>

#include "base/string_utils.h"
#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::favorite {
namespace {

constexpr int32_t kMustBeBought = 22469;
constexpr int32_t kBlocked = 24003;
constexpr int32_t kAlreadyFavorite = 22322;

}  // namespace

AddSongFavorite::AddSongFavorite(std::wstring kwtok, std::wstring song_id, int64_t time)
    : kwtok(std::move(kwtok)), song_id(std::move(song_id)), time(time) {}

AddSongFavorite::~AddSongFavorite() { StopHttpRequest(); }

AddSongFavorite::ResultItem AddSongFavorite::GetSongInfo() const { return item; }

std::wstring AddSongFavorite::GetMethodName() { return L"norda.lumo.favorite.addSongFavorite"; }

std::wstring AddSongFavorite::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"kwtok", kwtok);
  AppendPair(builder, L"songId", song_id);
  AppendPair(builder, L"time", time);
  return QueryText(builder);
}

// Every code reaches ParseResult, which reads the song's data where there is some and fails every
// code but success and "already a favourite".
bool AddSongFavorite::IsErrorCodeAccepted() { return true; }

void AddSongFavorite::ParseResult(web::json::value& answer) {
  using utilities::json::ToInt;
  using utilities::json::ToString;
  const web::json::value& result = Member(answer, "result");
  if (status == kMustBeBought && IsObject(result)) {
    item.song_id = ToString(Member(result, "song_id"));
    item.song_title = ToString(Member(result, "song_title"));
    item.author = ToString(Member(result, "author"));
    item.album_title = ToString(Member(result, "album_title"));
    item.album_pic = ToString(Member(result, "album_pic"));
    item.song_pic = ToString(Member(result, "song_pic"));
    item.publishtime = ToString(Member(result, "publishtime"));
    item.buy_url = ToString(Member(result, "buy_url"));
    item.resource_type_ext = ToInt(Member(result, "resource_type_ext"), 0);
  } else if (status == kBlocked && IsObject(result)) {
    item.tips = ToString(Member(result, "tips"));
  }
  if (status != 22000 && status != kAlreadyFavorite) {
    throw std::runtime_error(
        base::string_utils::ToUtf8(std::to_wstring(static_cast<uint32_t>(status))));
  }
}

}  // namespace lumoapi::favorite

#include "lumoapi/search/lrcpic.h"

#include <cstdint>
#include <sstream>
#include <utility>

#include "base/os_utils.h"
#include "json_access.h"
#include "lumoapi/encryption.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::search {
namespace {

using utilities::json::ToString;

Lrcpic::LrcpicItem ReadSingleSong(const web::json::value& song) {
  Lrcpic::LrcpicItem item;
  item.song_title = ToString(Member(song, "song_title"));
  item.author = ToString(Member(song, "author"));
  item.pic_s180 = ToString(Member(song, "pic_radio"));
  item.lrclink = ToString(Member(song, "lrclink"));
  item.song_id = ToString(Member(song, "song_id"));
  return item;
}

Lrcpic::LrcpicItem ReadListEntry(const web::json::value& song) {
  Lrcpic::LrcpicItem item;
  item.song_id = ToString(Member(song, "song_id"));
  item.song_title = ToString(Member(song, "song_title"));
  item.author = ToString(Member(song, "author"));
  item.artist_id = ToString(Member(song, "artist_id"));
  item.lrclink = ToString(Member(song, "lrclink"));
  item.pic_s500 = ToString(Member(song, "pic_s500"));
  item.pic_s180 = ToString(Member(song, "pic_s180"));
  item.avatar_s500 = ToString(Member(song, "avatar_s500"));
  item.avatar_s180 = ToString(Member(song, "avatar_s180"));
  return item;
}

}  // namespace

Lrcpic::Lrcpic(std::wstring query1, std::wstring query2, LrcpicRequestTypeEnum type,
               bool drop_empty_first)
    : query1(std::move(query1)),
      query2(std::move(query2)),
      type(type),
      drop_empty_first(drop_empty_first) {}

Lrcpic::~Lrcpic() { StopHttpRequest(); }

std::wstring Lrcpic::GetMethodName() { return L"norda.lumo.search.lrcpic"; }

// The service checks "e" against the plain parameters, so they are written here exactly as they
// are sent (each query encoded on its own, "$$" between them) rather than through the pair writer.
std::wstring Lrcpic::BuildParams() {
  const uint32_t ts = base::os_utils::GetTickCount();
  const std::wstring query = drop_empty_first && query1.empty()
                                 ? EncodeDataString(query2)
                                 : EncodeDataString(query1) + L"$$" + EncodeDataString(query2);
  std::wostringstream plain;
  plain << L"query=" << query << L"&ts=" << ts << L"&type=" << static_cast<int>(type);
  const std::wstring text = plain.str();
  return text + L"&e=" + encryption::LumoAPIEncryption::Instance().EncryptText(text);
}

void Lrcpic::ParseResult(web::json::value& answer) {
  const web::json::value& songinfo = Member(answer, "songinfo");
  if (type == kSingleSong) {
    items.push_back(ReadSingleSong(songinfo));
    return;
  }
  if (!IsArray(songinfo)) return;
  for (const web::json::value& song : songinfo.as_array()) items.push_back(ReadListEntry(song));
}

}  // namespace lumoapi::search

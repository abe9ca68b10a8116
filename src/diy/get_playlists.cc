#include "lumoapi/diy/get_playlists.h"

#include <utility>

#include "diy/diy_common.h"
#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::diy {
namespace {

using utilities::json::ToInt;
using utilities::json::ToString;

constexpr int kAlbumKind = 2;
constexpr int kCountOnlyKind = 3;

}  // namespace

GetPlayLists::GetPlayLists(std::wstring kwtok, unsigned int page, unsigned int size, int kind)
    : kwtok(std::move(kwtok)), page(page), size(size), kind(kind) {
  UseAccountSession(*this, this->kwtok);
}

GetPlayLists::~GetPlayLists() { StopHttpRequest(); }

std::wstring GetPlayLists::GetMethodName() { return L"norda.lumo.ugcdiy.userList"; }

std::wstring GetPlayLists::BuildParams() {
  QueryBuilder builder;
  // The service pages by entry position; the page size is its own (50).
  AppendPair(builder, L"offset", static_cast<uint64_t>(page) * size);
  static constexpr struct {
    int source;
    int type;
  } kSelectors[] = {{0, 10}, {0, 0}, {1, 0}, {2, 0}};
  if (kind >= 0 && kind <= kCountOnlyKind) {
    AppendPair(builder, L"source", kSelectors[kind].source);
    AppendPair(builder, L"type", kSelectors[kind].type);
  }
  return QueryText(builder);
}

void GetPlayLists::ParseResult(web::json::value& answer) {
  if (ToInt(Member(answer, "error_code"), 0) != 22000) return;
  const web::json::value& result = Member(answer, "result");
  listnum = ToInt(Member(result, "listnum"), 0);
  if (kind == kCountOnlyKind) return;
  const web::json::value& listinfo = Member(result, "listinfo");
  if (!IsArray(listinfo)) return;
  const bool album = kind == kAlbumKind;
  for (const web::json::value& element : listinfo.as_array()) {
    PlayListItem item;
    item.list_id = ToString(Member(element, album ? "album_id" : "list_id"));
    item.song_num = ToInt(Member(element, album ? "songs_total" : "song_num"), 0);
    item.title = ToString(Member(element, album ? "title" : "list_title"));
    item.pic = ToString(Member(element, album ? "pic_big" : "list_pic"));
    item.capacity = capacity;
    item.kind = kind;
    lists.push_back(std::move(item));
  }
  havemore = ToInt(Member(result, "havemore"), 0) > 0;
}

}  // namespace lumoapi::diy

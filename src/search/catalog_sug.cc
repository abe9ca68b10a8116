#include "lumoapi/search/catalog_sug.h"

#include <utility>

#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::search {
namespace {

using utilities::json::ToString;

// Appends one item per element of `list`, made by `read`; anything but an array adds nothing.
template <class Item, class Read>
void AppendEach(const web::json::value& list, std::vector<Item>& items, Read read) {
  if (!IsArray(list)) return;
  for (const web::json::value& entry : list.as_array()) items.push_back(read(entry));
}

}  // namespace

CatalogSug::CatalogSug(std::wstring query) : query(std::move(query)) {}

CatalogSug::~CatalogSug() { StopHttpRequest(); }

std::wstring CatalogSug::GetMethodName() { return L"norda.lumo.search.catalogSug"; }

std::wstring CatalogSug::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"query", query);
  return QueryText(builder);
}

void CatalogSug::ParseResult(web::json::value& answer) {
  AppendEach(Member(answer, "song"), songs, [](const web::json::value& entry) {
    return SongSugItem{ToString(Member(entry, "songid")), ToString(Member(entry, "songname")),
                       ToString(Member(entry, "artistname"))};
  });
  AppendEach(Member(answer, "artist"), artists, [](const web::json::value& entry) {
    return ArtistSugItem{ToString(Member(entry, "artistid")), ToString(Member(entry, "artistname")),
                         ToString(Member(entry, "artistpic"))};
  });
  AppendEach(Member(answer, "album"), albums, [](const web::json::value& entry) {
    return AlbumSugItem{ToString(Member(entry, "albumid")), ToString(Member(entry, "albumname")),
                        ToString(Member(entry, "artistname")),
                        ToString(Member(entry, "artistpic"))};
  });
}

}  // namespace lumoapi::search

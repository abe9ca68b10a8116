#include "lumoapi/search/search_merge.h"

#include <utility>

#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::search {

SearchMerge::SearchMerge(std::wstring query) : query(std::move(query)) {}

SearchMerge::~SearchMerge() { StopHttpRequest(); }

std::wstring SearchMerge::GetMethodName() { return L"norda.lumo.search.merge"; }

std::wstring SearchMerge::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"query", query);
  AppendPair(builder, L"type", L"1");
  return QueryText(builder);
}

void SearchMerge::ParseResult(web::json::value& answer) {
  const web::json::value& artists =
      Member(Member(Member(answer, "result"), "artist_info"), "artist_list");
  if (!IsArray(artists) || artists.size() == 0) return;
  artist_id = utilities::json::ToString(Member(artists.at(0), "artist_id"));
}

}  // namespace lumoapi::search

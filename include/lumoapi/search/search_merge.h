// The artist a search text names.
//
// Sends "norda.lumo.search.merge" with the text as "query" and "type" 1. After a successful call
// `artist_id` holds the identifier of the first artist the search found, or stays empty when it
// found none (which is still a success).
#ifndef LUMOAPI_SEARCH_SEARCH_MERGE_H_
#define LUMOAPI_SEARCH_SEARCH_MERGE_H_

#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::search {

// Owned by the caller. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT SearchMerge : public RequestBase {
 public:
  explicit SearchMerge(std::wstring query);  // Searches for `query`.
  ~SearchMerge() override;
  SearchMerge(const SearchMerge&) = delete;
  SearchMerge& operator=(const SearchMerge&) = delete;

  std::wstring query;      // the text searched for
  std::wstring artist_id;  // the first artist found; empty when none

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::search

#endif  // LUMOAPI_SEARCH_SEARCH_MERGE_H_

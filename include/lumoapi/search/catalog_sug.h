// Suggestions while the user types a search.
//
// Sends "norda.lumo.search.catalogSug" with the text typed so far as "query". After a successful
// call `songs`, `artists` and `albums` hold the service's suggestions in its order; each list may
// be empty on its own, and entries may have empty fields.
#ifndef LUMOAPI_SEARCH_CATALOG_SUG_H_
#define LUMOAPI_SEARCH_CATALOG_SUG_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::search {

// Owned by the caller. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT CatalogSug : public RequestBase {
 public:
  struct SongSugItem {
    std::wstring songid;
    std::wstring songname;
    std::wstring artistname;
  };
  struct ArtistSugItem {
    std::wstring artistid;
    std::wstring artistname;
    std::wstring artistpic;
  };
  struct AlbumSugItem {
    std::wstring albumid;
    std::wstring albumname;
    std::wstring artistname;
    std::wstring artistpic;
  };

  explicit CatalogSug(std::wstring query);
  ~CatalogSug() override;
  CatalogSug(const CatalogSug&) = delete;
  CatalogSug& operator=(const CatalogSug&) = delete;

  std::wstring query;
  std::vector<SongSugItem> songs;
  std::vector<ArtistSugItem> artists;
  std::vector<AlbumSugItem> albums;

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::search

#endif  // LUMOAPI_SEARCH_CATALOG_SUG_H_

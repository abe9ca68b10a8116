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
  // A suggested song.
  struct SongSugItem {
    std::wstring songid;      // its id
    std::wstring songname;    // its title
    std::wstring artistname;  // the artist's name
  };
  // A suggested artist.
  struct ArtistSugItem {
    std::wstring artistid;    // the artist's id
    std::wstring artistname;  // the artist's name
    std::wstring artistpic;   // the artist's picture
  };
  // A suggested album.
  struct AlbumSugItem {
    std::wstring albumid;     // its id
    std::wstring albumname;   // its title
    std::wstring artistname;  // the artist's name
    std::wstring artistpic;   // the artist's picture
  };

  explicit CatalogSug(std::wstring query);  // Suggestions for what the user has typed so far.
  ~CatalogSug() override;
  CatalogSug(const CatalogSug&) = delete;
  CatalogSug& operator=(const CatalogSug&) = delete;

  std::wstring query;                  // the text typed
  std::vector<SongSugItem> songs;      // suggested songs, in answer order
  std::vector<ArtistSugItem> artists;  // suggested artists, in answer order
  std::vector<AlbumSugItem> albums;    // suggested albums, in answer order

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::search

#endif  // LUMOAPI_SEARCH_CATALOG_SUG_H_

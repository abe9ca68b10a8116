// The pictures of an artist.
//
// Sends "norda.lumo.artist.getInfo" with "artistid" and "all_pic" 1. After a successful call
// `pics` holds the artist's picture addresses in the service's order; an entry may be empty when
// the service listed a picture without an address. When the service has no picture list, `pics`
// holds the artist's avatar alone, or nothing.
#ifndef LUMOAPI_ARTIST_GET_ARTIST_INFO_H_
#define LUMOAPI_ARTIST_GET_ARTIST_INFO_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::artist {

// Owned by the caller. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT GetArtistInfo : public RequestBase {
 public:
  explicit GetArtistInfo(std::wstring artist_id);  // The pictures of the artist `artist_id`.
  ~GetArtistInfo() override;
  GetArtistInfo(const GetArtistInfo&) = delete;
  GetArtistInfo& operator=(const GetArtistInfo&) = delete;

  std::wstring artist_id;          // the artist asked for
  std::vector<std::wstring> pics;  // the pictures' addresses, in answer order

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::artist

#endif  // LUMOAPI_ARTIST_GET_ARTIST_INFO_H_

// The lyrics address and the pictures that belong to a song named by free text.
//
// Sends "norda.lumo.search.lrcpic" with the two search texts joined into "query", a millisecond
// tick count "ts", the answer kind "type", and "e", an encrypted copy of those three parameters.
// After a successful call `items` holds what the service matched: exactly one item for
// kSingleSong (its fields empty when nothing matched), any number for the list kind. Fields the
// service did not send are empty.
#ifndef LUMOAPI_SEARCH_LRCPIC_H_
#define LUMOAPI_SEARCH_LRCPIC_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::search {

// Owned by the caller. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT Lrcpic : public RequestBase {
 public:
  // Sent as a number. kSingleSong asks for the best match only; every other value for a list.
  enum LrcpicRequestTypeEnum : int {
    kSingleSong = 1,
    kSongList = 2,
  };

  // One matching song with its lyrics and pictures.
  struct LrcpicItem {
    std::wstring song_id;      // the song's id
    std::wstring song_title;   // its title
    std::wstring author;       // its artists
    std::wstring artist_id;    // its artist's id
    std::wstring lrclink;      // the lyrics file's address
    std::wstring pic_s500;     // the album picture, 500 pixels
    std::wstring pic_s180;     // the album picture, 180 pixels
    std::wstring avatar_s500;  // artist pictures
    std::wstring avatar_s180;  // the artist picture, 180 pixels
  };

  // The service looks up `query1` and `query2` together (typically title and artist). With
  // `drop_empty_first`, an empty `query1` is left out instead of being sent as an empty part.
  Lrcpic(std::wstring query1, std::wstring query2, LrcpicRequestTypeEnum type,
         bool drop_empty_first);
  ~Lrcpic() override;
  Lrcpic(const Lrcpic&) = delete;
  Lrcpic& operator=(const Lrcpic&) = delete;

  std::wstring query1;            // the first part looked up
  std::wstring query2;            // the second part looked up
  LrcpicRequestTypeEnum type;     // one match or a list
  bool drop_empty_first;          // leave out an empty `query1`
  std::vector<LrcpicItem> items;  // the matches, in answer order

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::search

#endif  // LUMOAPI_SEARCH_LRCPIC_H_

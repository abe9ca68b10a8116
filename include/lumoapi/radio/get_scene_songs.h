// GetSceneSongs: the next batch of songs for a listening scene given by its id.
//
// Sends "norda.lumo.song.getSmartSongList" (API version "2.2.0") with the scene id, "item_id" = 0,
// a page size of 10 and the signed-in account's token as the parameter "kwtok". The token is read
// from settings::user::UserAccountSettings each time the address is built. No account cookie is
// sent.
//
// Result: `song_ids`, the scene's song ids in the order the service gave them. Each handled answer
// appends its batch behind what is already there; the request never clears the list.
#ifndef LUMOAPI_RADIO_GET_SCENE_SONGS_H_
#define LUMOAPI_RADIO_GET_SCENE_SONGS_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::radio {

// Owned by its creator. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT GetSceneSongs : public RequestBase {
 public:
  explicit GetSceneSongs(std::wstring scene_id);  // The songs of the scene `scene_id`.
  ~GetSceneSongs() override;
  GetSceneSongs(const GetSceneSongs&) = delete;
  GetSceneSongs& operator=(const GetSceneSongs&) = delete;

  std::wstring scene_id;               // the scene's id
  std::vector<std::wstring> song_ids;  // appended by each answer

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
  std::wstring GetVersion() override;
};

}  // namespace lumoapi::radio

#endif  // LUMOAPI_RADIO_GET_SCENE_SONGS_H_

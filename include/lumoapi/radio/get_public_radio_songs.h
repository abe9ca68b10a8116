// GetPublicRadioSongs: the next batch of songs of a named public radio channel.
//
// Sends "norda.lumo.radio.getChannelSong" (API version "2.2.0") with the channel name, a batch
// size of 10 and the signed-in account's token as the parameter "kwtok". The token is read from
// settings::user::UserAccountSettings each time the address is built, so a request started again
// after a sign-in sends the new token. No account cookie is sent.
//
// Result: `song_ids`, the channel's song ids in the order the service gave them. Each handled
// answer appends its batch behind what is already there; the request never clears the list.
#ifndef LUMOAPI_RADIO_GET_PUBLIC_RADIO_SONGS_H_
#define LUMOAPI_RADIO_GET_PUBLIC_RADIO_SONGS_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::radio {

// Owned by its creator. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT GetPublicRadioSongs : public RequestBase {
 public:
  // The next songs of the public channel `channelname`.
  explicit GetPublicRadioSongs(std::wstring channelname);
  ~GetPublicRadioSongs() override;
  GetPublicRadioSongs(const GetPublicRadioSongs&) = delete;
  GetPublicRadioSongs& operator=(const GetPublicRadioSongs&) = delete;

  std::wstring channelname;            // the channel's name
  std::vector<std::wstring> song_ids;  // appended by each answer

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
  std::wstring GetVersion() override;
};

}  // namespace lumoapi::radio

#endif  // LUMOAPI_RADIO_GET_PUBLIC_RADIO_SONGS_H_

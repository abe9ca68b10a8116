// GetPrivateRadioSongs: the next batch of songs of the user's personal radio.
//
// Sends "norda.lumo.radio.serv" with the user name, "needdata" = "true" and the session token the
// caller passed, as the parameter "kwtok". No account cookie is sent.
//
// Result: `song_ids`, at most 10 song ids in the order the service gave them. Each handled answer
// appends behind what is already there, and the limit counts the ids already held: once 10 are
// held, further calls add nothing. The request never clears the list.
#ifndef LUMOAPI_RADIO_GET_PRIVATE_RADIO_SONGS_H_
#define LUMOAPI_RADIO_GET_PRIVATE_RADIO_SONGS_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::radio {

// Owned by its creator. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT GetPrivateRadioSongs : public RequestBase {
 public:
  // Note the order: the user name first, the session token second.
  GetPrivateRadioSongs(std::wstring usrname, std::wstring kwtok);
  ~GetPrivateRadioSongs() override;
  GetPrivateRadioSongs(const GetPrivateRadioSongs&) = delete;
  GetPrivateRadioSongs& operator=(const GetPrivateRadioSongs&) = delete;

  std::wstring kwtok;                  // the session token, sent as a parameter
  std::wstring usrname;                // the user's name
  std::vector<std::wstring> song_ids;  // at most 10 ids, appended by each answer

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::radio

#endif  // LUMOAPI_RADIO_GET_PRIVATE_RADIO_SONGS_H_

// RadioPlayAction: tells the service what the listener did with an item of a radio channel, and
// gets back song ids for the channel to continue with.
//
// Sends "norda.lumo.radio.playAction" with this computer's machine id ("nordaid"), the channel
// name, the item id, the action code and, only when the token is not empty, "kwtok". No account
// cookie is sent. The meaning of the action codes is the service's; the code is passed through.
//
// Result: `song_ids`, at most 10 song ids in the order the service gave them. Each handled answer
// appends behind what is already there, and the limit counts the ids already held. The request
// never clears the list.
#ifndef LUMOAPI_RADIO_RADIO_PLAY_ACTION_H_
#define LUMOAPI_RADIO_RADIO_PLAY_ACTION_H_

#include <cstdint>
#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::radio {

// The caller writes `ch_name`, `item_id` and `action_no` before BeginRequest.
//
// Owned by its creator. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT RadioPlayAction : public RequestBase {
 public:
  // `kwtok` may be empty: the parameter is then left out.
  explicit RadioPlayAction(std::wstring kwtok);
  ~RadioPlayAction() override;
  RadioPlayAction(const RadioPlayAction&) = delete;
  RadioPlayAction& operator=(const RadioPlayAction&) = delete;

  std::wstring kwtok;                  // the session token, sent as a parameter unless empty
  std::wstring ch_name;                // the channel's name
  std::wstring item_id;                // the item acted on
  int32_t action_no = 0;               // the action code, passed through
  std::vector<std::wstring> song_ids;  // at most 10 ids to continue with, appended

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::radio

#endif  // LUMOAPI_RADIO_RADIO_PLAY_ACTION_H_

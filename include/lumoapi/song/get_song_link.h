// Resolving a song of the player into the addresses it can be played or downloaded from.
//
// Sends "norda.lumo.song.getSongLink" with the song's identifier (or, without one, its title and
// artist), the caller's flags and the account token as the parameter "kwtok". After a successful
// call GetSongInfo() holds one of three kinds of result, told apart by `status`:
// - 22000: the file's links (`file_link`, `show_link`), its format, size, bit rate, duration, hash
//   and replay gain, the song's data and pictures, and `best_rate`, the best quality on offer
//   (2 lossless, 1 at least 320 kbit/s, 0 neither);
// - 22469: the song must be bought: `buy_url` with the song's data and pictures, no links;
// - 24003: the song cannot be had: only `tips`, a message to show the user.
#ifndef LUMOAPI_SONG_GET_SONG_LINK_H_
#define LUMOAPI_SONG_GET_SONG_LINK_H_

#include <cstdint>
#include <memory>
#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"
#include "utilities/song_info.h"

namespace lumoapi::song {

// Owned by the caller. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT GetSongLink : public RequestBase {
 public:
  // What the service says about the song (see the file comment).
  struct SongUrlItem {
    int32_t file_duration = 0;      // seconds
    std::wstring song_id;           // the song's id
    std::wstring song_file_id;      // empty when the service sends "0"
    std::wstring title;             // its title
    std::wstring author;            // its artists
    std::wstring artist_id;         // its artist's id
    std::wstring album_title;       // its album's title
    std::wstring album_id;          // its album's id
    bool relate_status = false;     // the service's relation flag
    std::wstring file_link;         // the address to fetch the file from
    std::wstring show_link;         // the address to show
    std::wstring lrclink;           // the lyrics file's address
    std::wstring file_extension;    // the file's format, such as "mp3"
    std::wstring pic_big;           // large picture
    std::wstring pic_small;         // small picture
    int32_t file_bitrate = 0;       // kbit/s
    int32_t file_size = 0;          // bytes
    std::wstring hash;              // the file's hash
    int32_t xcode_expire = 0;       // when the link expires
    int32_t best_rate = 0;          // 2 lossless, 1 at least 320 kbit/s, 0 neither
    std::wstring song_source;       // a localized label: the service's own catalogue or the net
    double replay_gain = 0.0;       // dB
    int32_t play_type = 0;          // the service's kind of playing
    bool free = false;              // a full answer without the flag counts as free
    int32_t resource_type_ext = 0;  // the service's kind of resource
    std::wstring buy_url;           // where to buy it (22469)
    std::wstring song_pic;          // its picture
    std::wstring publishtime;       // when it was published
    std::wstring tips;              // a message for the user
  };

  // `bit` is sent as it is, also when empty; `alt_type` asks for link type 2 instead of 1.
  // `song` must not be null: a request without one fails without sending anything.
  GetSongLink(std::shared_ptr<utilities::SongInfo> song, bool down, std::wstring bit, bool alt_type,
              std::wstring kwtok);
  ~GetSongLink() override;
  GetSongLink(const GetSongLink&) = delete;
  GetSongLink& operator=(const GetSongLink&) = delete;

  // A copy of the result; meaningful once `completed` has fired with `succeeded` true.
  SongUrlItem GetSongInfo() const;

  std::shared_ptr<utilities::SongInfo> song;  // the song asked for
  bool down;                                  // asks for a download link instead of a play link
  std::wstring bit;                           // the bit rate asked for, sent as it is
  bool alt_type;                              // link type 2 instead of 1
  std::wstring kwtok;                         // sent as a parameter, never as the cookie
  SongUrlItem item;                           // the result

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::song

#endif  // LUMOAPI_SONG_GET_SONG_LINK_H_

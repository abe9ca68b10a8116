// GetPlayList: one song list's texts and one page of its songs; also the records that song-list
// and album answers share.
//
// Sends "norda.lumo.ugcdiy.getBaseInfo" in the encrypted form with the session token as the
// account cookie: "list_id", "size" = 100 (always; the constructor's `size` is only stored),
// "withsong" = 1, "offset" and "withcount" = 1.
//
// Result: `song_num` (the list's total), `info` (owner, title, picture, counters and times, as
// texts) and `songs`, this page's songs in answer order; a song without an id is dropped, and a
// song's `artist_id` is the first of the ids the service lists. A page without songs is not an
// error; it is recorded in the log.
#ifndef LUMOAPI_DIY_GET_PLAYLIST_H_
#define LUMOAPI_DIY_GET_PLAYLIST_H_

#include <cstdint>
#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// A song list's texts, each named after the answer key it is read from. Counters and times are
// kept as the text the service sent.
struct PlayListInfo {
  std::wstring userid;       // the owner's id
  std::wstring username;     // the owner's name
  std::wstring userpic;      // the owner's picture
  std::wstring list_id;      // the list's id
  std::wstring list_pic;     // the list's picture
  std::wstring list_title;   // the list's title
  std::wstring list_tag;     // the list's tags
  std::wstring list_desc;    // the list's description
  std::wstring createtime;   // when the list was made
  std::wstring lastmodify;   // when the list last changed
  std::wstring share_num;    // how often it was shared
  std::wstring listen_num;   // how often it was played
  std::wstring comment_num;  // how many comments it has
  std::wstring share_url;    // the address to share it by
  std::wstring collect_num;  // how many users marked it
};

// One song of a list or an album. The pictures are filled for album songs only.
struct PlayListSong {
  std::wstring song_id;      // the song's id, never empty
  std::wstring title;        // the song's title
  std::wstring author;       // the artists' names
  std::wstring artist_id;    // the first artist's id (albums: the whole list)
  std::wstring album_title;  // the album's title
  std::wstring album_id;     // the album's id
  std::wstring pic_big;      // large picture (album songs)
  std::wstring pic_small;    // small picture (album songs)
  bool has_mv = false;       // the song has a music video
};

// The first piece of `text` split at commas with any white space around them ("1 , 2" gives
// "1"); empty for an empty text. White space at the very start stays. Any thread.
LUMOAPI_EXPORT std::wstring FirstOfCommaList(std::wstring text);

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT GetPlayList : public RequestBase {
 public:
  // The page of the list `list_id` that starts at `offset`.
  GetPlayList(std::wstring kwtok, std::wstring list_id, unsigned int offset, unsigned int size);
  ~GetPlayList() override;
  GetPlayList(const GetPlayList&) = delete;
  GetPlayList& operator=(const GetPlayList&) = delete;

  int32_t song_num = 0;             // the list's total number of songs
  int32_t capacity = 500;           // the most songs a list holds
  std::vector<PlayListSong> songs;  // this page's songs, in answer order
  PlayListInfo info;                // the list's texts
  uint32_t offset;                  // the position of the page's first song
  uint32_t size;                    // stored; 100 is sent
  std::wstring list_id;             // the list's id
  std::wstring kwtok;               // the session token, sent as the account cookie

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_GET_PLAYLIST_H_

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
  std::wstring userid;
  std::wstring username;
  std::wstring userpic;
  std::wstring list_id;
  std::wstring list_pic;
  std::wstring list_title;
  std::wstring list_tag;
  std::wstring list_desc;
  std::wstring createtime;
  std::wstring lastmodify;
  std::wstring share_num;
  std::wstring listen_num;
  std::wstring comment_num;
  std::wstring share_url;
  std::wstring collect_num;
};

// One song of a list or an album. The pictures are filled for album songs only.
struct PlayListSong {
  std::wstring song_id;
  std::wstring title;
  std::wstring author;
  std::wstring artist_id;
  std::wstring album_title;
  std::wstring album_id;
  std::wstring pic_big;
  std::wstring pic_small;
  bool has_mv = false;
};

// The first piece of `text` split at commas with any white space around them ("1 , 2" gives
// "1"); empty for an empty text. White space at the very start stays. Any thread.
LUMOAPI_EXPORT std::wstring FirstOfCommaList(std::wstring text);

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT GetPlayList : public RequestBase {
 public:
  GetPlayList(std::wstring kwtok, std::wstring list_id, unsigned int offset, unsigned int size);
  ~GetPlayList() override;
  GetPlayList(const GetPlayList&) = delete;
  GetPlayList& operator=(const GetPlayList&) = delete;

  int32_t song_num = 0;
  int32_t capacity = 500;
  std::vector<PlayListSong> songs;
  PlayListInfo info;
  uint32_t offset;
  uint32_t size;
  std::wstring list_id;
  std::wstring kwtok;

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_GET_PLAYLIST_H_

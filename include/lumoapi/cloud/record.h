// Record: registers a song whose file is now in the user's cloud storage.
//
// Sends "norda.lumo.cloud.record" with the session token as the parameter "kwtok" (no account
// cookie), the stored file's link and MD5, the song's id, title, album and artist, the base name
// and extension of the song's local file, its bit rate, duration in whole seconds and size, this
// computer's machine id ("id") and "isXos" = 1. The fields "compose", "songwriting",
// "publish_time" and "style" are always sent empty.
//
// The song record is read once, by the constructor, and not kept: later changes to it do not reach
// the request. Only the first of the song's files is used. A song without files, or whose first
// file's name has no extension, cannot be registered: BeginRequest then sends nothing and the call
// completes later on the UI thread with `succeeded` false.
//
// Result: `song_id`, the id under which the service filed the song (empty when the service answers
// "0"). A failed call keeps the id that was sent.
#ifndef LUMOAPI_CLOUD_RECORD_H_
#define LUMOAPI_CLOUD_RECORD_H_

#include <cstdint>
#include <memory>
#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"
#include "utilities/song_info.h"

namespace lumoapi::cloud {

// Owned by its creator. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT Record : public RequestBase {
 public:
  // REQUIRES: `song` is not null. (A null song is taken as a song without files.)
  Record(std::wstring kwtok, std::wstring md5, std::wstring file_link,
         std::shared_ptr<utilities::SongInfo> song);
  ~Record() override;
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;

  std::wstring kwtok;          // the session token, sent as "kwtok"
  std::wstring md5;            // MD5 of the uploaded file, hex
  std::wstring file_link;      // the stored file's link
  std::wstring song_id;        // the id sent; after success, the one the service filed it under
  std::wstring song_title;     // its title
  std::wstring artist_name;    // its artist
  std::wstring album_title;    // its album
  std::wstring file_path;      // the file's path on this computer
  int32_t file_bitrate = 0;    // kbit/s
  uint64_t file_duration = 0;  // whole seconds
  uint64_t file_size = 0;      // bytes

 protected:
  std::wstring GetMethodName() override;
  // Throws std::out_of_range when the file's name has no extension.
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::cloud

#endif  // LUMOAPI_CLOUD_RECORD_H_

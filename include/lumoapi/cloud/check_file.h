// CheckFile: asks the service, before an upload into the user's cloud storage, whether it already
// holds a file and where in the object storage the file is to go.
//
// Sends "norda.lumo.cloud.checkFile" with the file's MD5, the MD5 of a slice of it, its extension,
// its length and its CRC-32, exactly as the caller passed them (the caller computes them and
// chooses the slice), then this computer's machine id ("id") and "isXos" = 1. No session token and
// no account cookie are sent.
//
// Every service error code is accepted: an answer carrying one is always read, and `succeeded` is
// true for it. An answer without a code is read when its HTTP status is 2xx; any other answer
// (not JSON, or a non-2xx page without a code) fails as RequestBase says. The caller tells a
// stored file, an unknown file and a refusal apart by `status` and the result fields: `song_id`
// (empty when the service holds no such song; the service's "0" is never passed on), `host`,
// `bucket`, `object` and `file_link` of the storage place, and the service's `time` and
// `file_size` (0 when absent).
#ifndef LUMOAPI_CLOUD_CHECK_FILE_H_
#define LUMOAPI_CLOUD_CHECK_FILE_H_

#include <cstdint>
#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::cloud {

// Owned by its creator. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT CheckFile : public RequestBase {
 public:
  // Asks whether the file with these digests and this size is in the cloud already.
  CheckFile(std::wstring content_md5, std::wstring slice_md5, std::wstring ext,
            uint64_t content_length, uint32_t content_crc32);
  ~CheckFile() override;
  CheckFile(const CheckFile&) = delete;
  CheckFile& operator=(const CheckFile&) = delete;

  std::wstring content_md5;     // MD5 of the whole file, hex
  std::wstring slice_md5;       // MD5 of a slice the caller chose
  std::wstring ext;             // the file's extension
  uint64_t content_length = 0;  // the file's size, bytes
  uint32_t content_crc32 = 0;   // CRC-32 of the whole file
  std::wstring song_id;         // empty when the service holds no such song
  std::wstring host;            // the storage place's host
  std::wstring file_link;       // the storage place's file link
  std::wstring object;          // the storage place's object key
  uint64_t time = 0;            // the service's time, 0 when absent
  uint64_t file_size = 0;       // the service's file size, 0 when absent
  std::wstring bucket;          // the storage place's bucket

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
  bool IsErrorCodeAccepted() override;
};

}  // namespace lumoapi::cloud

#endif  // LUMOAPI_CLOUD_CHECK_FILE_H_

// Signature: asks the service to sign an upload of one object into the user's cloud storage.
//
// Sends "norda.lumo.cloud.signature2" with "input_method" = "PUT", the object key, the length, the
// file's MD5 and "content_type" = "application/octet-stream". No session token and no account
// cookie are sent. The library performs no upload and computes no storage signature itself.
//
// Result: the values of the HTTP headers the upload must carry, each named after its header:
// `host` ("Host"), `content_length` ("Content-Length"; replaces the length passed in, 0 when the
// answer lacks it), `content_type` ("Content-Type"), `date` ("x-qcs-date") and `authorization`
// ("Authorization"). On a refused call they keep their constructed values.
#ifndef LUMOAPI_CLOUD_SIGNATURE_H_
#define LUMOAPI_CLOUD_SIGNATURE_H_

#include <cstdint>
#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::cloud {

// Owned by its creator. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT Signature : public RequestBase {
 public:
  // Asks for the headers of an upload of `object` (the object key).
  Signature(std::wstring object, uint64_t content_length, std::wstring content_md5);
  ~Signature() override;
  Signature(const Signature&) = delete;
  Signature& operator=(const Signature&) = delete;

  std::wstring object;          // the object key
  std::wstring host;            // the upload's Host header
  uint64_t content_length = 0;  // the upload's Content-Length header
  std::wstring content_md5;     // the file's MD5, as passed
  std::wstring content_type;    // the upload's Content-Type
  std::wstring date;            // the upload's x-qcs-date header
  std::wstring authorization;   // the upload's Authorization header

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::cloud

#endif  // LUMOAPI_CLOUD_SIGNATURE_H_

// The encrypted address form's parameter: one object per encrypted address. It fixes the
// address's timestamp, encrypts the inner parameter text with a key derived from that timestamp,
// and signs the result. Thread-compatible; lives for one address.
#ifndef LUMOAPI_ENCRYPT_LUMOAPI_PARAM_H_
#define LUMOAPI_ENCRYPT_LUMOAPI_PARAM_H_

#include <cstdint>
#include <string>

#include "lumoapi/export.h"

namespace lumoapi {

class LUMOAPI_EXPORT_PRIVATE LumoAPIParamEncryption {
 public:
  // The timestamp is the current time in whole seconds since the epoch.
  LumoAPIParamEncryption();
  explicit LumoAPIParamEncryption(uint64_t seconds_since_epoch);

  // Returns the Base64 text of the encrypted UTF-8 bytes of `text` and keeps it in `param`. On
  // failure writes an error line to glog and returns an empty text, leaving `param` as it was.
  std::wstring Encrypt(std::wstring text);

  // The lower-case MD5 digest of the signing salt, `param` and `timestamp`.
  std::wstring Sign() const;

  std::wstring param;
  std::wstring timestamp;
};

}  // namespace lumoapi

#endif  // LUMOAPI_ENCRYPT_LUMOAPI_PARAM_H_

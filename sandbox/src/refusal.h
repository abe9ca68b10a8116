// The codes the sandbox answers with, and the exception that carries a refusal from deep inside
// a check or a handler to the one place that turns it into an answer.
#ifndef SANDBOX_SRC_REFUSAL_H_
#define SANDBOX_SRC_REFUSAL_H_

#include <stdexcept>
#include <string>

namespace lumo::sandbox {

// Service codes with a meaning to the client.
namespace code {
inline constexpr int kOk = 22000;
inline constexpr int kNoCollectedSongs = 22001;   // a collected-songs page past the end
inline constexpr int kEditedWithWarning = 22231;  // list edit stored, description shortened
inline constexpr int kAlreadyFavorite = 22322;    // favourite song existed already
inline constexpr int kPaidSong = 22469;           // answer carries the purchase data
inline constexpr int kBlockedSong = 24003;        // answer carries "tips"

// Protocol refusals: the request is not one the service accepts.
inline constexpr int kBadMethod = 40001;           // "method" missing or unknown
inline constexpr int kBadCommonParameter = 40002;  // format, from, version or version_d wrong
inline constexpr int kBadSignature = 40003;        // "sign" missing or does not match
inline constexpr int kStaleTimestamp = 40004;      // "timestamp" missing, not a number, > 300 s
inline constexpr int kBadParam = 40005;            // "param" missing or cannot be decrypted
inline constexpr int kMissingToken = 40006;        // no KWTOK cookie / empty "kwtok"
inline constexpr int kBadUserAgent = 40007;
inline constexpr int kMissingParameter = 40008;
inline constexpr int kUnexpectedParameter = 40009;  // unknown or repeated parameter
inline constexpr int kInvalidValue = 40010;
inline constexpr int kUnknownToken = 40011;
inline constexpr int kMissingCuid = 40012;       // user.down without the CUID header
inline constexpr int kMalformedQuery = 40013;    // bad percent-encoding, raw '=', empty pair
inline constexpr int kWrongAddressForm = 40014;  // plain form for an encrypted method or back
inline constexpr int kUnexpectedCookie = 40015;  // KWTOK cookie on a method that never sends it
inline constexpr int kBadLyricsCipher = 40016;   // lrcpic "e" undecryptable or not the plain part
inline constexpr int kTokenMismatch = 40017;     // "kwtok" parameter differs from the cookie
inline constexpr int kBadRequest = 40400;        // not a readable HTTP request (HTTP 400)
inline constexpr int kNotLoopback = 40403;       // inspection from a peer that is not loopback
inline constexpr int kNotFound = 40404;          // unknown path
inline constexpr int kVerbNotAllowed = 40405;    // known path, other verb
inline constexpr int kLengthRequired = 40411;    // an upload without Content-Length (HTTP 411)
inline constexpr int kBodyTooLarge = 40413;      // body over the limit (HTTP 413)
inline constexpr int kHeaderTooLarge = 40431;    // header or one field over the limit (HTTP 431)

// State refusals: a well-formed request the data does not allow.
inline constexpr int kNoSuchSong = 41001;
inline constexpr int kNoSuchList = 41002;
inline constexpr int kNotListOwner = 41003;
inline constexpr int kListFull = 41004;
inline constexpr int kNoSuchArtist = 41005;
inline constexpr int kNoSuchAlbum = 41006;
inline constexpr int kNoSuchChannel = 41007;
inline constexpr int kNoSuchScene = 41008;
inline constexpr int kOrderMismatch = 41009;  // sort order is not the list's songs
inline constexpr int kNotListFavorite = 41010;
inline constexpr int kObjectNotStored = 41011;  // cloud record before the upload
inline constexpr int kObjectMd5Mismatch = 41012;
inline constexpr int kCloudFull = 41013;

// Object store refusals (answered with an HTTP error status as well).
inline constexpr int kNoUploadGrant = 42001;  // Authorization matches no grant of the object
inline constexpr int kGrantUsed = 42002;
inline constexpr int kGrantExpired = 42003;
inline constexpr int kUploadHeaderMismatch = 42004;  // Content-Type or x-qcs-date differs
inline constexpr int kUploadLengthMismatch = 42005;
inline constexpr int kUploadMd5Mismatch = 42006;
inline constexpr int kNoSuchObject = 42007;

// Inspection endpoint refusals.
inline constexpr int kBadRule = 43001;  // rule body not JSON or not a valid rule
inline constexpr int kNoSuchRule = 43002;
inline constexpr int kTooManyFollowers = 43003;  // the event stream's clients are at their cap
inline constexpr int kForeignHost =
    43004;  // Host names another server (DNS rebinding) or is absent
inline constexpr int kForeignPage = 43005;  // Origin or Sec-Fetch-Site says another page sent it
inline constexpr int kUnmarkedPost =
    43006;  // a POST any page could send (no JSON type, no own header)
inline constexpr int kTooManyRules = 43007;    // the fault rules are at their cap (HTTP 429)
inline constexpr int kRequestNotKept = 43008;  // replay of an exchange whose request went (410)

inline constexpr int kInternal = 50001;  // storage failure
}  // namespace code

// The HTTP status a refusal is answered with by everything but the service's endpoint, which
// answers its refusals with 200 as the service does: the object store, the inspection endpoints
// and the server itself.
constexpr int RefusalStatus(int error_code) {
  switch (error_code) {
    case code::kNotLoopback:
    case code::kNoUploadGrant:
    case code::kGrantUsed:
    case code::kGrantExpired:
    case code::kForeignHost:
    case code::kForeignPage:
    case code::kUnmarkedPost:
      return 403;
    case code::kNotFound:
    case code::kNoSuchObject:
    case code::kNoSuchRule:
      return 404;
    case code::kVerbNotAllowed:
      return 405;
    case code::kRequestNotKept:
      return 410;
    case code::kLengthRequired:
      return 411;
    case code::kBodyTooLarge:
      return 413;
    case code::kTooManyRules:
      return 429;
    case code::kHeaderTooLarge:
      return 431;
    case code::kInternal:
      return 500;
    case code::kTooManyFollowers:
      return 503;
    default:
      return 400;
  }
}

// Thrown by checks and handlers; the service turns it into {"error_code", "error_msg"}.
class Refusal : public std::runtime_error {
 public:
  Refusal(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_REFUSAL_H_

// The codes the sandbox answers with, one LUMO_SERVICE_CODE(name, number, http_status, meaning) a
// line: the code's name in the sandbox's code (code::k<name>), its number in "error_code", the
// HTTP status an answer with it carries outside the service's endpoint (the endpoint answers every
// call with 200, as the service does, and a failure of its own, 50001, with 500), and its meaning
// in a few words, as the tool and the viewer show it.
//
// No include guard on purpose: sandbox/service_codes.h includes this list twice, with
// LUMO_SERVICE_CODE defined to make the named constants and then the table's rows. Include that
// header, not this list.

// Answers of a call the service carried out; the first group is the real service's as well.
LUMO_SERVICE_CODE(Ok, 22000, 200, "success")
LUMO_SERVICE_CODE(NoCollectedSongs, 22001, 200, "no collected songs on this page")
LUMO_SERVICE_CODE(EditedWithWarning, 22231, 200, "stored, the description was shortened")
LUMO_SERVICE_CODE(AlreadyFavorite, 22322, 200, "already a favourite")
LUMO_SERVICE_CODE(PaidSong, 22469, 200, "the song must be bought")       // with the purchase data
LUMO_SERVICE_CODE(BlockedSong, 24003, 200, "the song is not available")  // with "tips"

// Protocol refusals: the request is not one the service accepts.
LUMO_SERVICE_CODE(BadMethod, 40001, 400, "missing or unknown method")
LUMO_SERVICE_CODE(BadCommonParameter, 40002, 400, "wrong common parameter")
LUMO_SERVICE_CODE(BadSignature, 40003, 400, "signature does not match")
LUMO_SERVICE_CODE(StaleTimestamp, 40004, 400, "timestamp missing or out of the accepted window")
LUMO_SERVICE_CODE(BadParam, 40005, 400, "encrypted parameters missing or undecryptable")
LUMO_SERVICE_CODE(MissingToken, 40006, 400, "no session token")
LUMO_SERVICE_CODE(BadUserAgent, 40007, 400, "wrong user agent")
LUMO_SERVICE_CODE(MissingParameter, 40008, 400, "missing parameter")
LUMO_SERVICE_CODE(UnexpectedParameter, 40009, 400, "unexpected or repeated parameter")
LUMO_SERVICE_CODE(InvalidValue, 40010, 400, "invalid parameter value")
LUMO_SERVICE_CODE(UnknownToken, 40011, 400, "unknown session token")
LUMO_SERVICE_CODE(MissingCuid, 40012, 400, "missing CUID header")
// Bad percent-encoding, a raw '=' in a value, an empty pair, an unescaped character.
LUMO_SERVICE_CODE(MalformedQuery, 40013, 400, "malformed query")
// The plain form for an encrypted method, or the other way round.
LUMO_SERVICE_CODE(WrongAddressForm, 40014, 400, "wrong address form for this method")
LUMO_SERVICE_CODE(UnexpectedCookie, 40015, 400, "session cookie not expected here")
LUMO_SERVICE_CODE(BadLyricsCipher, 40016, 400, "encrypted copy of the lookup does not match")
LUMO_SERVICE_CODE(TokenMismatch, 40017, 400, "token parameter differs from the session cookie")

// Refusals of the HTTP exchange itself.
LUMO_SERVICE_CODE(BadRequest, 40400, 400, "not a readable HTTP request")
LUMO_SERVICE_CODE(NotLoopback, 40403, 403, "inspection asked by a peer not on loopback")
LUMO_SERVICE_CODE(NotFound, 40404, 404, "unknown path")
LUMO_SERVICE_CODE(VerbNotAllowed, 40405, 405, "verb not allowed on this path")
LUMO_SERVICE_CODE(LengthRequired, 40411, 411, "upload without a Content-Length")
LUMO_SERVICE_CODE(BodyTooLarge, 40413, 413, "body over the limit")
LUMO_SERVICE_CODE(HeaderTooLarge, 40431, 431, "header or one of its fields over the limit")

// State refusals: a well-formed request the data does not allow.
LUMO_SERVICE_CODE(NoSuchSong, 41001, 400, "no such song")
LUMO_SERVICE_CODE(NoSuchList, 41002, 400, "no such song list")
LUMO_SERVICE_CODE(NotListOwner, 41003, 400, "the song list belongs to another user")
LUMO_SERVICE_CODE(ListFull, 41004, 400, "the song list would exceed 500 songs")
LUMO_SERVICE_CODE(NoSuchArtist, 41005, 400, "no such artist")
LUMO_SERVICE_CODE(NoSuchAlbum, 41006, 400, "no such album")
LUMO_SERVICE_CODE(NoSuchChannel, 41007, 400, "no such radio channel")
LUMO_SERVICE_CODE(NoSuchScene, 41008, 400, "no such scene")
LUMO_SERVICE_CODE(OrderMismatch, 41009, 400, "the new order is not exactly the list's songs")
LUMO_SERVICE_CODE(NotListFavorite, 41010, 400, "the list is not among the user's favourites")
LUMO_SERVICE_CODE(ObjectNotStored, 41011, 400, "the file is not in the object store yet")
LUMO_SERVICE_CODE(ObjectMd5Mismatch, 41012, 400, "MD5 differs from the stored file")
LUMO_SERVICE_CODE(CloudFull, 41013, 400, "the cloud is full")

// Object store refusals.
LUMO_SERVICE_CODE(NoUploadGrant, 42001, 403, "no upload grant for this object")
LUMO_SERVICE_CODE(GrantUsed, 42002, 403, "upload grant already used")
LUMO_SERVICE_CODE(GrantExpired, 42003, 403, "upload grant expired")
// Content-Type or x-qcs-date differs from the grant.
LUMO_SERVICE_CODE(UploadHeaderMismatch, 42004, 400, "upload header differs from the grant")
LUMO_SERVICE_CODE(UploadLengthMismatch, 42005, 400, "upload length differs from the grant")
LUMO_SERVICE_CODE(UploadMd5Mismatch, 42006, 400, "upload MD5 differs from the grant")
LUMO_SERVICE_CODE(NoSuchObject, 42007, 404, "no such object")

// Refusals of the inspection API under /_sandbox/.
LUMO_SERVICE_CODE(BadRule, 43001, 400, "fault rule not valid")
LUMO_SERVICE_CODE(NoSuchRule, 43002, 404, "no such fault rule")
LUMO_SERVICE_CODE(TooManyFollowers, 43003, 503, "the event stream has all the clients it takes")
// A Host that names another server (a page whose host name was rebound) or none.
LUMO_SERVICE_CODE(ForeignHost, 43004, 403, "Host does not name the sandbox")
// Origin or Sec-Fetch-Site says another page sent it.
LUMO_SERVICE_CODE(ForeignPage, 43005, 403, "sent by another page")
// A POST any page could send: no JSON type and no X-Sandbox-Viewer header.
LUMO_SERVICE_CODE(UnmarkedPost, 43006, 403, "POST without a JSON type or the viewer's header")
LUMO_SERVICE_CODE(TooManyRules, 43007, 429, "as many fault rules in force as are taken")
LUMO_SERVICE_CODE(RequestNotKept, 43008, 410, "the request is no longer kept for a replay")

LUMO_SERVICE_CODE(Internal, 50001, 500, "storage failure or another fault of the service")

// What a client of the sandbox knows of its seed without the server itself: the seed users and
// the object store's host. Header-only, so that tests that reach a sandbox running elsewhere (the
// Windows tests reach one on the build machine) need none of the service's code.
#ifndef SANDBOX_SEED_USERS_H_
#define SANDBOX_SEED_USERS_H_

namespace lumo::sandbox {

// The seed users. Their tokens are accepted as the KWTOK cookie and as the "kwtok" parameter.
// The ordinary user has a handful of lists and songs; the big user has enough lists, list songs,
// favourites and collected songs to need many pages; the curator owns the public lists that the
// others mark as favourites (useful for "not your list" refusals).
inline constexpr const char* kOrdinaryUserToken = "sbx-ordinary-7f3a9c21";
inline constexpr const char* kOrdinaryUserId = "10001";
inline constexpr const char* kOrdinaryUserName = "lin.mei";
inline constexpr const char* kBigUserToken = "sbx-big-2c81e4d0";
inline constexpr const char* kBigUserId = "10002";
inline constexpr const char* kBigUserName = "big.collector";
inline constexpr const char* kCuratorToken = "sbx-curator-95be0f17";
inline constexpr const char* kCuratorId = "10003";
inline constexpr const char* kCuratorName = "curator";
// The three tokens above: the only ones the sandbox accepts, and the only ones it shows.
inline constexpr const char* kSeedUserTokens[] = {kOrdinaryUserToken, kBigUserToken, kCuratorToken};

// Host of the object store as the signature answer names it; uploads go to
// http://<host>/<object> and reach the sandbox by routing "<host>:80" to its port.
inline constexpr const char* kObjectStoreHost = "store.lumo.example";

}  // namespace lumo::sandbox

#endif  // SANDBOX_SEED_USERS_H_

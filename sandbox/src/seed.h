// The schema and the deterministic seed data: the catalogue (artists, albums, songs and their
// files), radio channels and scenes, list tags, the splash picture, and the seed users with
// their lists, favourites and collected songs.
#ifndef SANDBOX_SRC_SEED_H_
#define SANDBOX_SRC_SEED_H_

#include <cstdint>

#include "store.h"

namespace lumo::sandbox {

// Sizes of the seed, for handlers and tests that reason about paging.
inline constexpr int kSeedSongs = 3000;
inline constexpr int64_t kFirstSongId = 100001;
inline constexpr int kSeedArtists = 300;
inline constexpr int64_t kFirstArtistId = 2001;
inline constexpr int kSeedAlbums = 600;
inline constexpr int64_t kFirstAlbumId = 5001;
inline constexpr int64_t kFirstListId = 300001;

// Access of a song.
inline constexpr int kSongFree = 0;
inline constexpr int kSongPaid = 1;     // answered with the purchase data
inline constexpr int kSongBlocked = 2;  // answered with "tips"

// Songs per list; the service refuses to add beyond it.
inline constexpr int kListCapacity = 500;
// Songs a user may keep in the cloud.
inline constexpr int kCloudLimit = 2000;

void CreateSchema(Db& db);
bool IsSeeded(Db& db);
void Seed(Db& db);
// Deletes every row of every table (the schema stays).
void ClearAll(Db& db);

// The above, for the store.
inline constexpr Seeding kSandboxSeeding = {CreateSchema, IsSeeded, Seed, ClearAll};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_SEED_H_

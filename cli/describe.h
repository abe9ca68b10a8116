// One printer per kind of record the service answers with, shared by every command that shows
// one: songs and their files, suggestions, lyrics matches, picture sets, radio songs, song lists
// and their songs, albums, favourite and collected songs, and the cloud's records. Text shows units
// (KB/MB, m:ss, dates); JSON keeps the service's values and names.
#ifndef LUMO_CLI_DESCRIBE_H_
#define LUMO_CLI_DESCRIBE_H_

#include <cpprest/json.h>

#include <memory>
#include <string>
#include <vector>

#include "lumoapi/diy/get_channels.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/diy/get_playlists.h"
#include "lumoapi/favorite/add_song_favorite.h"
#include "lumoapi/favorite/get_collect_song.h"
#include "lumoapi/favorite/get_favorite_song.h"
#include "lumoapi/search/catalog_sug.h"
#include "lumoapi/search/lrcpic.h"
#include "lumoapi/song/get_song_link.h"
#include "report.h"

namespace utilities {
class SongInfo;
}

namespace lumoapi::cloud {
class CheckFile;
class Expand;
class Record;
class Signature;
}  // namespace lumoapi::cloud

namespace lumo::cli {

struct FileDigest;

// A resolved song with its file, added to `report`; `status` is the answer's code (purchase and
// refusal answers fill only some fields, and the text form then shows only those).
void AddSongLink(Report& report, const lumoapi::song::GetSongLink::SongUrlItem& item,
                 int32_t status);

// Catalogue songs as table rows, and the columns the text form shows.
web::json::value SongRows(const std::vector<std::shared_ptr<utilities::SongInfo>>& songs);
extern const std::vector<std::string> kSongColumns;

// What a suggestion answer holds, as tables added to `report`.
void AddSuggestions(Report& report, const lumoapi::search::CatalogSug& suggestions);

// Lyrics matches with their pictures, as a table added to `report`.
void AddLyricsMatches(Report& report,
                      const std::vector<lumoapi::search::Lrcpic::LrcpicItem>& items);

// A set of picture addresses.
void AddPictureSet(Report& report, const std::string& key, const std::vector<std::wstring>& pics);

// Radio songs: the ids the request kept, and beside them the titles and artists that the answer
// (`response_text`) carried, where it carried them. JSON keeps "song_ids" as the request has it.
void AddRadioSongs(Report& report, const std::vector<std::wstring>& song_ids,
                   const std::wstring& response_text);

// Entries of a page of song lists (or of collected albums), as a table under `key`.
void AddPlayLists(Report& report, const std::string& key,
                  const std::vector<lumoapi::diy::PlayListItem>& lists);

// Songs of a song list or an album, as a table under "songs".
void AddPlayListSongs(Report& report, const std::vector<lumoapi::diy::PlayListSong>& songs);

// A song list's texts and counters.
Report DescribeListInfo(const lumoapi::diy::PlayListInfo& info);
// An album's texts, which the library keeps in the fields of a song list's (see GetAlbumInfo),
// under the album's own names.
Report DescribeAlbumInfo(const lumoapi::diy::PlayListInfo& info);

// The song-list channels: the hot tags and the tag groups, each group's first level with its
// second-level tags.
void AddChannels(Report& report, const lumoapi::diy::GetChannels& channels);

// Favourite and collected songs, as a table under "songs".
void AddFavoriteSongs(Report& report,
                      const std::vector<lumoapi::favorite::FavoriteSongItem>& songs);
void AddCollectSongs(Report& report, const std::vector<lumoapi::favorite::CollectSongItem>& songs);

// What the service says about a song it would not make a favourite: the purchase data of a song
// that must be bought, or the hint (tips) of a blocked one. Only the fields it filled show in
// the text form.
Report DescribeFavoriteRefusal(const lumoapi::favorite::AddSongFavorite::ResultItem& item);

// The cloud's records.
Report DescribeLocalFile(const std::string& path, const FileDigest& digest);
Report DescribeCheck(const lumoapi::cloud::CheckFile& check);
Report DescribeSignature(const lumoapi::cloud::Signature& signature);
Report DescribeRecord(const lumoapi::cloud::Record& record);
Report DescribeQuota(const lumoapi::cloud::Expand& expand);

}  // namespace lumo::cli

#endif  // LUMO_CLI_DESCRIBE_H_

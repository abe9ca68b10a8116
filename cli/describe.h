// One printer per kind of record the service answers with, shared by every command that shows
// one: songs and their files, suggestions, lyrics matches, picture sets, radio songs and the
// cloud's records. Text shows units (KB/MB, m:ss, dates); JSON keeps the service's values and
// names.
#ifndef LUMO_CLI_DESCRIBE_H_
#define LUMO_CLI_DESCRIBE_H_

#include <cpprest/json.h>

#include <memory>
#include <string>
#include <vector>

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

// The cloud's records.
Report DescribeLocalFile(const std::string& path, const FileDigest& digest);
Report DescribeCheck(const lumoapi::cloud::CheckFile& check);
Report DescribeSignature(const lumoapi::cloud::Signature& signature);
Report DescribeRecord(const lumoapi::cloud::Record& record);
Report DescribeQuota(const lumoapi::cloud::Expand& expand);

}  // namespace lumo::cli

#endif  // LUMO_CLI_DESCRIBE_H_

#include "lumoapi/cloud/record.h"

#include <stdexcept>
#include <utility>

#include "base/os_utils.h"
#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::cloud {
namespace {

struct FileName {
  std::wstring base;
  std::wstring extension;  // without the dot
};

// Splits the last component of `path` ("\" and "/" both separate) at its last dot.
FileName SplitFileName(const std::wstring& path) {
  const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  const size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos) throw std::out_of_range("the song's file name has no extension");
  return {name.substr(0, dot), name.substr(dot + 1)};
}

}  // namespace

Record::Record(std::wstring kwtok, std::wstring md5, std::wstring file_link,
               std::shared_ptr<utilities::SongInfo> song)
    : kwtok(std::move(kwtok)), md5(std::move(md5)), file_link(std::move(file_link)) {
  if (!song) return;
  song_id = song->song_id;
  song_title = song->title;
  artist_name = song->author;
  album_title = song->album_title;
  if (song->files.empty() || !song->files.front()) return;
  const utilities::SongFile& file = *song->files.front();
  file_path = file.path;
  file_bitrate = file.bitrate;
  file_duration = file.duration_ms / 1000;
  file_size = file.file_size;
}

Record::~Record() { StopHttpRequest(); }

std::wstring Record::GetMethodName() { return L"norda.lumo.cloud.record"; }

std::wstring Record::BuildParams() {
  const FileName name = SplitFileName(file_path);
  const std::wstring empty;
  QueryBuilder builder;
  AppendPair(builder, L"kwtok", kwtok);
  AppendPair(builder, L"song_id", song_id);
  AppendPair(builder, L"file_link", file_link);
  AppendPair(builder, L"md5", md5);
  AppendPair(builder, L"song_title", song_title);
  AppendPair(builder, L"album_title", album_title);
  AppendPair(builder, L"artist_name", artist_name);
  AppendPair(builder, L"file_name", name.base);
  AppendPair(builder, L"compose", empty);
  AppendPair(builder, L"songwriting", empty);
  AppendPair(builder, L"publish_time", empty);
  AppendPair(builder, L"style", empty);
  // The service takes the bit rate as an unsigned number.
  AppendPair(builder, L"file_bitrate", static_cast<uint32_t>(file_bitrate));
  AppendPair(builder, L"file_duartion", file_duration);  // the service's spelling
  AppendPair(builder, L"file_size", file_size);
  AppendPair(builder, L"ext", name.extension);
  AppendPair(builder, L"id", base::os_utils::GetMachineID());
  AppendPair(builder, L"isXos", 1);
  return QueryText(builder);
}

void Record::ParseResult(web::json::value& result) {
  song_id = utilities::json::ToString(Member(Member(result, "result"), "song_id"));
  // "0" is how the service says it filed the song under no id.
  if (song_id == L"0") song_id.clear();
}

}  // namespace lumoapi::cloud

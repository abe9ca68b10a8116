#include "describe.h"

#include <map>
#include <utility>

#include "base/string_utils.h"
#include "file_digest.h"
#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/expand.h"
#include "lumoapi/cloud/record.h"
#include "lumoapi/cloud/signature.h"
#include "service_codes.h"
#include "utilities/song_info.h"

namespace lumo::cli {
namespace {

using web::json::value;

// The title and artist of every song object in `answer`, by id, wherever it sits.
void CollectTitles(const value& answer, std::map<std::string, std::pair<value, value>>& titles) {
  if (answer.is_array()) {
    for (const value& element : answer.as_array()) CollectTitles(element, titles);
    return;
  }
  if (!answer.is_object()) return;
  const char* id_name = answer.has_field(U("songid")) ? "songid" : "song_id";
  if (answer.has_field(JsonString(id_name)) && answer.has_field(U("title"))) {
    const value& id = answer.at(JsonString(id_name));
    const std::string key = id.is_string() ? Utf8(id.as_string()) : Serialized(id);
    titles[key] = {answer.at(U("title")),
                   answer.has_field(U("artist")) ? answer.at(U("artist")) : JsonText("")};
  }
  for (const auto& member : answer.as_object()) CollectTitles(member.second, titles);
}

}  // namespace

const std::vector<std::string> kSongColumns = {"song_id", "title", "author", "album_title",
                                               "has_mv"};

void AddSongLink(Report& report, const lumoapi::song::GetSongLink::SongUrlItem& item,
                 int32_t status) {
  report.Text("song_id", item.song_id)
      .Text("title", item.title)
      .Text("author", item.author)
      .Text("artist_id", item.artist_id)
      .Text("album_title", item.album_title)
      .Text("album_id", item.album_id)
      .Text("tips", item.tips)
      .Text("buy_url", item.buy_url)
      .Int("resource_type_ext", item.resource_type_ext)
      .Text("publishtime", item.publishtime)
      .Text("song_pic", item.song_pic)
      .Text("file_link", item.file_link)
      .Text("show_link", item.show_link)
      .Text("file_extension", item.file_extension)
      .Kbps("file_bitrate", item.file_bitrate)
      .Bytes("file_size", static_cast<uint64_t>(std::max(item.file_size, 0)))
      .Seconds("file_duration", item.file_duration)
      .Text("song_file_id", item.song_file_id)
      .Text("hash", item.hash)
      .Time("xcode_expire", item.xcode_expire)
      .Real("replay_gain", item.replay_gain)
      .Flag("free", item.free)
      .Int("best_rate", item.best_rate)
      .Text("song_source", item.song_source)
      .Int("play_type", item.play_type)
      .Flag("relate_status", item.relate_status)
      .Text("lrclink", item.lrclink)
      .Text("pic_big", item.pic_big)
      .Text("pic_small", item.pic_small);
  if (status != kSuccessCode) report.OmitDefaultsInText();
}

value SongRows(const std::vector<std::shared_ptr<utilities::SongInfo>>& songs) {
  value rows = value::array(songs.size());
  for (size_t i = 0; i < songs.size(); ++i) {
    const utilities::SongInfo& song = *songs[i];
    value row = OrderedObject();
    row[U("song_id")] = JsonText(song.song_id);
    row[U("title")] = JsonText(song.title);
    row[U("author")] = JsonText(song.author);
    row[U("artist_id")] = JsonText(song.artist_id);
    row[U("album_title")] = JsonText(song.album_title);
    row[U("album_id")] = JsonText(song.album_id);
    row[U("pic_big")] = JsonText(song.pic_big);
    row[U("pic_small")] = JsonText(song.pic_small);
    row[U("item_kind")] = value::number(song.item_kind);
    row[U("has_mv")] = value::boolean(song.has_mv);
    rows[i] = std::move(row);
  }
  return rows;
}

void AddSuggestions(Report& report, const lumoapi::search::CatalogSug& suggestions) {
  using Sug = lumoapi::search::CatalogSug;
  report
      .Table("songs",
             TextRows(suggestions.songs, {{"songid", &Sug::SongSugItem::songid},
                                          {"songname", &Sug::SongSugItem::songname},
                                          {"artistname", &Sug::SongSugItem::artistname}}),
             {"songid", "songname", "artistname"})
      .Table("artists",
             TextRows(suggestions.artists, {{"artistid", &Sug::ArtistSugItem::artistid},
                                            {"artistname", &Sug::ArtistSugItem::artistname},
                                            {"artistpic", &Sug::ArtistSugItem::artistpic}}),
             {"artistid", "artistname"})
      .Table("albums",
             TextRows(suggestions.albums, {{"albumid", &Sug::AlbumSugItem::albumid},
                                           {"albumname", &Sug::AlbumSugItem::albumname},
                                           {"artistname", &Sug::AlbumSugItem::artistname},
                                           {"artistpic", &Sug::AlbumSugItem::artistpic}}),
             {"albumid", "albumname", "artistname"});
}

void AddLyricsMatches(Report& report,
                      const std::vector<lumoapi::search::Lrcpic::LrcpicItem>& items) {
  using Item = lumoapi::search::Lrcpic::LrcpicItem;
  report.Table("items",
               TextRows(items, {{"song_id", &Item::song_id},
                                {"song_title", &Item::song_title},
                                {"author", &Item::author},
                                {"artist_id", &Item::artist_id},
                                {"lrclink", &Item::lrclink},
                                {"pic_s500", &Item::pic_s500},
                                {"pic_s180", &Item::pic_s180},
                                {"avatar_s500", &Item::avatar_s500},
                                {"avatar_s180", &Item::avatar_s180}}),
               {"song_id", "song_title", "author", "lrclink"});
}

void AddPictureSet(Report& report, const std::string& key, const std::vector<std::wstring>& pics) {
  report.List(key, pics);
}

void AddRadioSongs(Report& report, const std::vector<std::wstring>& song_ids,
                   const std::wstring& response_text) {
  std::map<std::string, std::pair<value, value>> titles;
  try {
    CollectTitles(value::parse(base::string_utils::ToUtf8(response_text)), titles);
  } catch (const std::exception&) {
    // The ids are all there is.
  }
  if (titles.empty()) {
    report.List("song_ids", song_ids);
    return;
  }
  value ids = value::array(song_ids.size());
  for (size_t i = 0; i < song_ids.size(); ++i) ids[i] = JsonText(song_ids[i]);
  report.JsonOnly("song_ids", std::move(ids));
  value rows = value::array(song_ids.size());
  for (size_t i = 0; i < song_ids.size(); ++i) {
    const std::string id = base::string_utils::ToUtf8(song_ids[i]);
    value row = OrderedObject();
    row[U("song_id")] = JsonText(id);
    auto found = titles.find(id);
    row[U("title")] = found == titles.end() ? JsonText("") : found->second.first;
    row[U("artist")] = found == titles.end() ? JsonText("") : found->second.second;
    rows[i] = std::move(row);
  }
  report.Table("songs", std::move(rows), {"song_id", "title", "artist"});
}

void AddPlayLists(Report& report, const std::string& key,
                  const std::vector<lumoapi::diy::PlayListItem>& lists) {
  value rows = value::array(lists.size());
  for (size_t i = 0; i < lists.size(); ++i) {
    const lumoapi::diy::PlayListItem& list = lists[i];
    value row = OrderedObject();
    row[U("list_id")] = JsonText(list.list_id);
    row[U("title")] = JsonText(list.title);
    row[U("pic")] = JsonText(list.pic);
    row[U("song_num")] = value::number(list.song_num);
    row[U("capacity")] = value::number(list.capacity);
    row[U("kind")] = value::number(list.kind);
    rows[i] = std::move(row);
  }
  report.Table(key, std::move(rows), {"list_id", "song_num", "title"});
}

void AddPlayListSongs(Report& report, const std::vector<lumoapi::diy::PlayListSong>& songs) {
  value rows = value::array(songs.size());
  for (size_t i = 0; i < songs.size(); ++i) {
    const lumoapi::diy::PlayListSong& song = songs[i];
    value row = OrderedObject();
    row[U("song_id")] = JsonText(song.song_id);
    row[U("title")] = JsonText(song.title);
    row[U("author")] = JsonText(song.author);
    row[U("artist_id")] = JsonText(song.artist_id);
    row[U("album_title")] = JsonText(song.album_title);
    row[U("album_id")] = JsonText(song.album_id);
    row[U("pic_big")] = JsonText(song.pic_big);
    row[U("pic_small")] = JsonText(song.pic_small);
    row[U("has_mv")] = value::boolean(song.has_mv);
    rows[i] = std::move(row);
  }
  report.Table("songs", std::move(rows), kSongColumns);
}

Report DescribeListInfo(const lumoapi::diy::PlayListInfo& info) {
  Report report;
  report.Text("list_id", info.list_id)
      .Text("list_title", info.list_title)
      .Text("list_desc", info.list_desc)
      .Text("list_tag", info.list_tag)
      .Text("list_pic", info.list_pic)
      .Text("userid", info.userid)
      .Text("username", info.username)
      .Text("userpic", info.userpic)
      .TimeText("createtime", info.createtime)
      .TimeText("lastmodify", info.lastmodify)
      .Text("share_num", info.share_num)
      .Text("listen_num", info.listen_num)
      .Text("comment_num", info.comment_num)
      .Text("collect_num", info.collect_num)
      .Text("share_url", info.share_url);
  return report;
}

Report DescribeAlbumInfo(const lumoapi::diy::PlayListInfo& info) {
  Report report;
  report.Text("album_id", info.userid)
      .Text("title", info.list_title)
      .Text("author", info.username)
      .Text("artist_id", info.list_id)
      .Text("publishtime", info.createtime)
      .Text("collect_num", info.collect_num)
      .Text("info", info.list_desc)
      .Text("pic_big", info.list_pic)
      .Text("buy_url", info.share_url);
  return report;
}

void AddChannels(Report& report, const lumoapi::diy::GetChannels& channels) {
  report.List("hot", channels.hot);
  value rows = value::array();
  size_t n = 0;
  for (const auto& group : channels.channels) {
    for (const auto& [first, second] : group) {
      value row = OrderedObject();
      row[U("first")] = JsonText(first);
      value tags = value::array(second.size());
      for (size_t i = 0; i < second.size(); ++i) tags[i] = JsonText(second[i]);
      row[U("second")] = std::move(tags);
      rows[n++] = std::move(row);
    }
  }
  report.Table("tags", std::move(rows), {"first", "second"});
}

void AddFavoriteSongs(Report& report,
                      const std::vector<lumoapi::favorite::FavoriteSongItem>& songs) {
  using Item = lumoapi::favorite::FavoriteSongItem;
  value rows = TextRows(songs, {{"song_id", &Item::song_id},
                                {"title", &Item::title},
                                {"artist", &Item::artist},
                                {"album_id", &Item::album_id},
                                {"album", &Item::album}});
  for (size_t i = 0; i < songs.size(); ++i) {
    rows[i][U("del_status")] = value::number(songs[i].del_status);
    rows[i][U("resource_type")] = value::number(songs[i].resource_type);
  }
  report.Table("songs", std::move(rows), {"song_id", "title", "artist", "album"});
}

void AddCollectSongs(Report& report, const std::vector<lumoapi::favorite::CollectSongItem>& songs) {
  using Item = lumoapi::favorite::CollectSongItem;
  value rows = TextRows(songs, {{"song_id", &Item::song_id},
                                {"title", &Item::title},
                                {"artist", &Item::artist},
                                {"artist_id", &Item::artist_id},
                                {"album", &Item::album},
                                {"album_id", &Item::album_id}});
  for (size_t i = 0; i < songs.size(); ++i) rows[i][U("has_mv")] = value::boolean(songs[i].has_mv);
  report.Table("songs", std::move(rows), {"song_id", "title", "artist", "album", "has_mv"});
}

Report DescribeFavoriteRefusal(const lumoapi::favorite::AddSongFavorite::ResultItem& item) {
  Report report;
  report.Text("song_id", item.song_id)
      .Text("song_title", item.song_title)
      .Text("author", item.author)
      .Text("album_title", item.album_title)
      .Text("album_pic", item.album_pic)
      .Text("song_pic", item.song_pic)
      .Text("publishtime", item.publishtime)
      .Int("resource_type_ext", item.resource_type_ext)
      .Text("buy_url", item.buy_url)
      .Text("tips", item.tips)
      .OmitDefaultsInText();
  return report;
}

Report DescribeLocalFile(const std::string& path, const FileDigest& digest) {
  Report report;
  report.Text("path", path)
      .Bytes("size", digest.size)
      .Text("md5", digest.md5)
      .Text("slice_md5", digest.slice_md5)
      .UInt("crc32", digest.crc32)
      .Text("ext", digest.ext);
  return report;
}

Report DescribeCheck(const lumoapi::cloud::CheckFile& check) {
  Report report;
  report.Outcome(check)
      .Text("song_id", check.song_id)
      .Text("host", check.host)
      .Text("bucket", check.bucket)
      .Text("object", check.object)
      .Text("file_link", check.file_link)
      .Bytes("file_size", check.file_size)
      .Time("time", static_cast<int64_t>(check.time));
  return report;
}

Report DescribeSignature(const lumoapi::cloud::Signature& signature) {
  Report report;
  report.Outcome(signature)
      .Text("object", signature.object)
      .Text("host", signature.host)
      .Bytes("content_length", signature.content_length)
      .Text("content_type", signature.content_type)
      .Text("date", signature.date)
      .Text("authorization", signature.authorization);
  return report;
}

Report DescribeRecord(const lumoapi::cloud::Record& record) {
  Report report;
  report.Outcome(record)
      .Text("song_id", record.song_id)
      .Text("song_title", record.song_title)
      .Text("artist_name", record.artist_name)
      .Text("album_title", record.album_title)
      .Text("file_link", record.file_link)
      .Kbps("file_bitrate", record.file_bitrate)
      .Seconds("file_duration", static_cast<int64_t>(record.file_duration))
      .Bytes("file_size", record.file_size);
  return report;
}

Report DescribeQuota(const lumoapi::cloud::Expand& expand) {
  Report report;
  report.Outcome(expand)
      .Int("used", expand.used)
      .Int("cloud_limit", expand.cloud_limit)
      .Int("expand", expand.expand);
  return report;
}

}  // namespace lumo::cli

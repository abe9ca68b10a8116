// The cloud storage requests: every field of their records from its own key, unsigned numbers,
// the file description a record sends, and the answers' edge cases (the upload runs end to end
// in the integration tests).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/expand.h"
#include "lumoapi/cloud/record.h"
#include "lumoapi/cloud/signature.h"
#include "support/answered.h"
#include "support/record_fields.h"
#include "utilities/song_info.h"

namespace lumo::testing {

LUMO_FIELDS_OF(lumoapi::cloud::CheckFile, LUMO_FIELD(content_md5), LUMO_FIELD(slice_md5),
               LUMO_FIELD(ext), LUMO_FIELD(content_length), LUMO_FIELD(content_crc32),
               LUMO_FIELD(song_id), LUMO_FIELD(host), LUMO_FIELD(file_link), LUMO_FIELD(object),
               LUMO_FIELD(time), LUMO_FIELD(file_size), LUMO_FIELD(bucket))
LUMO_FIELDS_OF(lumoapi::cloud::Signature, LUMO_FIELD(object), LUMO_FIELD(host),
               LUMO_FIELD(content_length), LUMO_FIELD(content_md5), LUMO_FIELD(content_type),
               LUMO_FIELD(date), LUMO_FIELD(authorization))
LUMO_FIELDS_OF(lumoapi::cloud::Record, LUMO_FIELD(kwtok), LUMO_FIELD(md5), LUMO_FIELD(file_link),
               LUMO_FIELD(song_id), LUMO_FIELD(song_title), LUMO_FIELD(artist_name),
               LUMO_FIELD(album_title), LUMO_FIELD(file_path), LUMO_FIELD(file_bitrate),
               LUMO_FIELD(file_duration), LUMO_FIELD(file_size))
LUMO_FIELDS_OF(lumoapi::cloud::Expand, LUMO_FIELD(kwtok), LUMO_FIELD(expand),
               LUMO_FIELD(cloud_limit), LUMO_FIELD(used))

}  // namespace lumo::testing

namespace lumoapi {
namespace {

namespace lt = lumo::testing;
using lt::Answered;
using lt::Describe;
using lt::ExpectRecord;
using lt::Is;
using lt::RecordRow;
using lt::TheOne;

std::shared_ptr<utilities::SongInfo> SongToRecord() {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = L"id-4";
  song->title = L"title-5";
  song->author = L"author-6";
  song->album_title = L"album-7";
  song->files.push_back(std::make_shared<utilities::SongFile>(
      utilities::SongFile{L"C:\\music\\file-8.mp3", 109, 110999, 111}));
  return song;
}

TEST(RecordReadersTest, CloudFieldsFromTheirOwnKeys) {
  // Where one reader's answer could carry another reader's keys, it does ("x"), so that a reader
  // that takes one of them shows.
  const std::string upload_check =
      R"({"result":{"song_id":"id-1","file_link":"link-2","object":"object-3",
          "host":"host-4","time":1700000005,"file_size":5242886,"bucket":"bucket-7"}})";
  const std::string storage_signature =
      R"({"result":{"Host":"host-4","Content-Length":105,"Content-Type":"type-6",
          "x-qcs-date":"date-7","Authorization":"auth-8"}})";

  const RecordRow rows[] = {
      {"upload check",
       Describe(
           *Answered<cloud::CheckFile>(upload_check, L"md5-11", L"slice-12", L"ext-13", 114, 115)),
       {Is("content_md5", L"md5-11"), Is("slice_md5", L"slice-12"), Is("ext", L"ext-13"),
        Is("content_length", 114), Is("content_crc32", 115), Is("song_id", L"id-1"),
        Is("host", L"host-4"), Is("file_link", L"link-2"), Is("object", L"object-3"),
        Is("time", 1700000005), Is("file_size", 5242886), Is("bucket", L"bucket-7")}},
      {"storage signature",
       Describe(*Answered<cloud::Signature>(storage_signature, L"object-1", 102, L"md5-3")),
       {Is("object", L"object-1"), Is("host", L"host-4"), Is("content_length", 105),
        Is("content_md5", L"md5-3"), Is("content_type", L"type-6"), Is("date", L"date-7"),
        Is("authorization", L"auth-8")}},
      {"cloud record",
       Describe(*Answered<cloud::Record>(R"({"result":{"song_id":"id-12"}})", L"token-1", L"md5-2",
                                         L"link-3", SongToRecord())),
       {Is("kwtok", L"token-1"), Is("md5", L"md5-2"), Is("file_link", L"link-3"),
        Is("song_id", L"id-12"), Is("song_title", L"title-5"), Is("artist_name", L"author-6"),
        Is("album_title", L"album-7"), Is("file_path", L"C:\\music\\file-8.mp3"),
        Is("file_bitrate", 111), Is("file_duration", 110), Is("file_size", 109)}},
      {"cloud quota",
       Describe(*Answered<cloud::Expand>(
           R"({"result":{"expand":102,"cloud_limit":103,"used":104}})", L"token-1")),
       {Is("kwtok", L"token-1"), Is("expand", 102), Is("cloud_limit", 103), Is("used", 104)}},
  };
  for (const RecordRow& row : rows) ExpectRecord(row);
}

using cloud::CheckFile;
using cloud::Record;
using cloud::Signature;

TEST(CloudTest, CheckFileReadsEveryAnswerAndDropsSongIdZero) {
  struct Case {
    std::string body;
    int32_t status;
    std::wstring song_id;
  };
  const Case cases[] = {
      {R"({"result":{"song_id":"0"}})", 22000, L""},
      {R"({"error_code":22001,"result":{"song_id":"5"}})", 22001, L"5"},
  };
  for (const Case& c : cases) {
    const auto request = Answered<CheckFile>(c.body, L"cmd5", L"smd5", L"mp3", 1, 2);
    EXPECT_TRUE(request->succeeded) << c.body;
    EXPECT_EQ(std::tie(request->status, request->song_id), std::tie(c.status, c.song_id));
  }
}

TEST(CloudTest, SignatureReadsWhatTheAnswerHas) {
  struct Case {
    std::string body;
    bool succeeded;
    std::wstring host;
    uint64_t content_length;
  };
  const Case cases[] = {
      {R"({"result":{"Host":"h"}})", true, L"h", 0},
      {R"({"error_code":22001,"result":{"Host":"h"}})", false, L"", 1234},
  };
  for (const Case& c : cases) {
    const auto request = Answered<Signature>(c.body, L"o", 1234, L"cmd5");
    EXPECT_EQ(request->succeeded, c.succeeded) << c.body;
    EXPECT_EQ(std::tie(request->host, request->content_length, request->authorization),
              std::tie(c.host, c.content_length, L""));
  }
}

struct File {
  std::wstring path;
  uint32_t duration_ms;
  int32_t bitrate;
  uint64_t size;
};

std::shared_ptr<utilities::SongInfo> MakeSong(const std::vector<File>& files) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = L"s1";
  song->title = L"Title";
  for (const File& f : files) {
    song->files.push_back(std::make_shared<utilities::SongFile>(
        utilities::SongFile{f.path, f.size, f.duration_ms, f.bitrate}));
  }
  return song;
}

// The file's name from a path with both separators and dotted folders, whole seconds rounded
// down, and a negative bit rate as unsigned; the song is read once, when the request is made.
// (The parameters test has the plain case.)
TEST(CloudTest, RecordDescribesTheSongsFirstFile) {
  auto song = MakeSong({{L"C:/dir.v2\\My Song.ogg", 1999, -1, 7}, {L"D:\\x.wav", 60000, 9, 99}});
  Record request(L"t", L"m", L"l", song);
  song->title = L"Changed";
  song->files.front()->path = L"D:\\other.wav";
  const lt::Pairs sent = lt::OwnPairs(request.BuildUrl());
  std::string described;
  for (const char* name :
       {"song_title", "file_name", "file_bitrate", "file_duartion", "file_size", "ext"}) {
    described += lt::ValueOf(sent, name) + "|";
  }
  EXPECT_EQ(described, "Title|My Song|4294967295|1|7|ogg|");
}

TEST(CloudTest, RecordWithoutAnExtensionSendsNothingAndFails) {
  const std::vector<File> cases[] = {
      {},
      {{L"D:\\Music.d\\noext", 1000, 320, 1}, {L"D:\\b.mp3", 1000, 320, 1}},
  };
  for (const auto& files : cases) {
    lt::ScopedFakeTransport transport;
    Record request(L"tok", L"md5x", L"link", MakeSong(files));
    EXPECT_EQ(lt::RunWithAnswer(request, *transport, 200, "{}"), 1);
    EXPECT_TRUE(transport->Started().empty());
    EXPECT_EQ(std::make_tuple(request.finished.load(), request.succeeded, request.status),
              std::make_tuple(true, false, 0));
  }
}

TEST(CloudTest, RecordDropsSongIdZero) {
  const auto request = Answered<Record>(R"({"result":{"song_id":"0"}})", L"tok", L"md5x", L"link",
                                        MakeSong({{L"a.mp3", 1000, 320, 1}}));
  EXPECT_TRUE(request->succeeded);
  EXPECT_EQ(request->song_id, L"");
}

}  // namespace
}  // namespace lumoapi

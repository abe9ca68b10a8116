#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/os_utils.h"
#include "base/string_utils.h"
#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/expand.h"
#include "lumoapi/cloud/record.h"
#include "lumoapi/cloud/signature.h"
#include "support/fake_transport.h"
#include "support/request_harness.h"
#include "utilities/song_info.h"

namespace lumoapi::cloud {
namespace {

using lumo::testing::OwnPairs;
using lumo::testing::Pairs;
using lumo::testing::RunWithAnswer;
using lumo::testing::ScopedFakeTransport;

std::string MachineId() { return base::string_utils::ToUtf8(base::os_utils::GetMachineID()); }

TEST(CloudTest, CheckFileSendsUnsignedNumbers) {
  CheckFile request(L"cmd5", L"smd5", L"mp3", 5 * 1024 * 1024, 0x80000001u);
  EXPECT_EQ(OwnPairs(request.BuildUrl()), (Pairs{{"content_md5", "cmd5"},
                                                 {"slice_md5", "smd5"},
                                                 {"ext", "mp3"},
                                                 {"content_length", "5242880"},
                                                 {"content_crc32", "2147483649"},
                                                 {"id", MachineId()},
                                                 {"isXos", "1"}}));
}

TEST(CloudTest, CheckFileReadsEveryAnswerAndDropsSongIdZero) {
  ScopedFakeTransport transport;
  CheckFile full(L"cmd5", L"smd5", L"mp3", 1, 2);
  EXPECT_EQ(RunWithAnswer(full, *transport, 200,
                          R"({"result":{"song_id":"123","file_link":"http://l/f","object":"o/k",)"
                          R"("host":"h","time":1700000000,"file_size":5242880,"bucket":"b"}})"),
            1);
  EXPECT_EQ(std::tie(full.song_id, full.file_link, full.object, full.host, full.time,
                     full.file_size, full.bucket),
            std::make_tuple(L"123", L"http://l/f", L"o/k", L"h", 1700000000u, 5242880u, L"b"));

  struct Case {
    std::string body;
    int32_t status;
    std::wstring song_id;
  };
  const Case cases[] = {
      {R"({"result":{"song_id":"0"}})", 22000, L""},
      {R"({"result":{"song_id":"00"}})", 22000, L"00"},
      {R"({"error_code":22001,"result":{"song_id":"5"}})", 22001, L"5"},
  };
  for (const Case& c : cases) {
    CheckFile request(L"cmd5", L"smd5", L"mp3", 1, 2);
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_TRUE(request.succeeded) << c.body;
    EXPECT_EQ(std::tie(request.status, request.song_id), std::tie(c.status, c.song_id));
  }
}

TEST(CloudTest, SignatureAsksForAPutAndReadsTheHeaderValues) {
  EXPECT_EQ(OwnPairs(Signature(L"music/a b.mp3", 1234, L"cmd5").BuildUrl()),
            (Pairs{{"input_method", "PUT"},
                   {"object", "music/a b.mp3"},
                   {"content_length", "1234"},
                   {"content_md5", "cmd5"},
                   {"content_type", "application/octet-stream"}}));
  struct Case {
    std::string body;
    bool succeeded;
    std::wstring host;
    uint64_t content_length;
    std::wstring content_type, date, authorization;
  };
  const Case cases[] = {
      {R"({"result":{"Host":"h","Content-Length":99,"Content-Type":"application/octet-stream",)"
       R"("x-qcs-date":"d","Authorization":"a"}})",
       true, L"h", 99, L"application/octet-stream", L"d", L"a"},
      {R"({"result":{"Host":"h"}})", true, L"h", 0, L"", L"", L""},
      {R"({"error_code":22001,"result":{"Host":"h"}})", false, L"", 1234, L"", L"", L""},
  };
  for (const Case& c : cases) {
    ScopedFakeTransport transport;
    Signature request(L"o", 1234, L"cmd5");
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_EQ(request.succeeded, c.succeeded) << c.body;
    EXPECT_EQ(std::tie(request.host, request.content_length, request.content_type, request.date,
                       request.authorization),
              std::tie(c.host, c.content_length, c.content_type, c.date, c.authorization));
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
  song->author = L"Artist";
  song->album_title = L"Album";
  for (const File& f : files) {
    song->files.push_back(std::make_shared<utilities::SongFile>(
        utilities::SongFile{f.path, f.size, f.duration_ms, f.bitrate}));
  }
  return song;
}

TEST(CloudTest, RecordSendsTheSongAndItsFirstFile) {
  auto song = MakeSong({{L"D:\\Music\\a.b.mp3", 245999, 320, 5242880}});
  Record request(L"tok", L"md5x", L"http://l/f", song);
  // Read once: later changes to the song do not reach the request.
  song->title = L"Changed";
  song->files.front()->path = L"D:\\other.wav";
  EXPECT_EQ(song.use_count(), 1);
  EXPECT_EQ(OwnPairs(request.BuildUrl()), (Pairs{{"kwtok", "tok"},
                                                 {"song_id", "s1"},
                                                 {"file_link", "http://l/f"},
                                                 {"md5", "md5x"},
                                                 {"song_title", "Title"},
                                                 {"album_title", "Album"},
                                                 {"artist_name", "Artist"},
                                                 {"file_name", "a.b"},
                                                 {"compose", ""},
                                                 {"songwriting", ""},
                                                 {"publish_time", ""},
                                                 {"style", ""},
                                                 {"file_bitrate", "320"},
                                                 {"file_duartion", "245"},
                                                 {"file_size", "5242880"},
                                                 {"ext", "mp3"},
                                                 {"id", MachineId()},
                                                 {"isXos", "1"}}));

  Record other(L"t", L"m", L"l",
               MakeSong({{L"C:/dir.v2\\My Song.ogg", 1999, -1, 7}, {L"D:\\x.wav", 60000, 9, 99}}));
  const Pairs own = OwnPairs(other.BuildUrl());
  EXPECT_EQ(Pairs(own.begin() + 7, own.begin() + 8), (Pairs{{"file_name", "My Song"}}));
  EXPECT_EQ(Pairs(own.begin() + 12, own.begin() + 16), (Pairs{{"file_bitrate", "4294967295"},
                                                              {"file_duartion", "1"},
                                                              {"file_size", "7"},
                                                              {"ext", "ogg"}}));
}

TEST(CloudTest, RecordWithoutAnExtensionSendsNothingAndFails) {
  const std::vector<File> cases[] = {
      {},
      {{L"D:\\Music.d\\noext", 1000, 320, 1}, {L"D:\\b.mp3", 1000, 320, 1}},
  };
  for (const auto& files : cases) {
    ScopedFakeTransport transport;
    Record request(L"tok", L"md5x", L"link", MakeSong(files));
    EXPECT_THROW(request.BuildUrl(), std::out_of_range);
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, "{}"), 1);
    EXPECT_TRUE(transport->Started().empty());
    EXPECT_EQ(std::make_tuple(request.finished.load(), request.succeeded, request.status),
              std::make_tuple(true, false, 0));
  }
}

TEST(CloudTest, RecordAndExpandReadTheirAnswers) {
  ScopedFakeTransport transport;
  const std::pair<std::string, std::wstring> records[] = {
      {R"({"result":{"song_id":"555"}})", L"555"}, {R"({"result":{"song_id":"0"}})", L""}};
  for (const auto& [body, song_id] : records) {
    Record request(L"tok", L"md5x", L"link", MakeSong({{L"a.mp3", 1000, 320, 1}}));
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, body), 1);
    EXPECT_TRUE(request.succeeded);
    EXPECT_EQ(request.song_id, song_id);
  }

  Expand expand(L"tok");
  EXPECT_EQ(OwnPairs(expand.BuildUrl()), (Pairs{{"kwtok", "tok"}}));
  EXPECT_EQ(
      RunWithAnswer(expand, *transport, 200, R"({"result":{"expand":1,"cloud_limit":10000}})"), 1);
  EXPECT_EQ(std::tie(expand.succeeded, expand.expand, expand.cloud_limit, expand.used),
            std::make_tuple(true, 1, 10000, 0));
}

}  // namespace
}  // namespace lumoapi::cloud

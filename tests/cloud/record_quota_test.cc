#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "cloud/cloud_test_util.h"
#include "lumoapi/cloud/expand.h"
#include "lumoapi/cloud/record.h"
#include "support/fake_transport.h"
#include "support/request_harness.h"
#include "utilities/song_info.h"

namespace {

using lumo::testing::LastExchangeSentCookie;
using lumo::testing::MachineId;
using lumo::testing::OwnPairs;
using lumo::testing::Pairs;
using lumo::testing::RunWithAnswer;
using lumo::testing::ScopedFakeTransport;
using lumo::testing::ValueOf;
using lumoapi::cloud::Expand;
using lumoapi::cloud::Record;

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
    auto file = std::make_shared<utilities::SongFile>();
    file->path = f.path;
    file->duration_ms = f.duration_ms;
    file->bitrate = f.bitrate;
    file->file_size = f.size;
    song->files.push_back(file);
  }
  return song;
}

TEST(RecordTest, SendsTheSongAndItsFirstFile) {
  auto song = MakeSong({{L"D:\\Music\\a.b.mp3", 245999, 320, 5242880}});
  Record request(L"tok", L"md5x", L"http://l/f", song);
  // Taken once: later changes to the song do not reach the request.
  song->title = L"Changed";
  song->files.front()->path = L"D:\\other.wav";
  EXPECT_EQ(song.use_count(), 1);
  const Pairs expected = {{"kwtok", "tok"},
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
                          {"isXos", "1"}};
  EXPECT_EQ(OwnPairs(request.BuildUrl()), expected);
}

TEST(RecordTest, DerivesNameAndFiguresFromTheFirstFile) {
  struct Case {
    std::vector<File> files;
    std::string file_name, ext, bitrate, duration, size;
  };
  const Case cases[] = {
      {{{L"/home/u/My Song.flac", 1999, 900, 7}}, "My Song", "flac", "900", "1", "7"},
      {{{L"C:\\dir.v2\\track.ogg", 999, -1, 0}, {L"D:\\x.wav", 60000, 1411, 99}},
       "track",
       "ogg",
       "4294967295",
       "0",
       "0"},
      {{{L"C:/mixed\\sep/.hidden", 0, 0, 0}}, "", "hidden", "0", "0", "0"},
  };
  for (const Case& c : cases) {
    Record request(L"tok", L"md5x", L"link", MakeSong(c.files));
    const Pairs own = OwnPairs(request.BuildUrl());
    EXPECT_EQ(std::make_tuple(ValueOf(own, "file_name"), ValueOf(own, "ext"),
                              ValueOf(own, "file_bitrate"), ValueOf(own, "file_duartion"),
                              ValueOf(own, "file_size")),
              std::make_tuple(c.file_name, c.ext, c.bitrate, c.duration, c.size));
  }
}

TEST(RecordTest, WithoutAnExtensionSendsNothingAndFails) {
  const std::vector<File> cases[] = {
      {},
      {{L"D:\\Music\\noext", 1000, 320, 1}},
      {{L"D:\\Music.d\\noext", 1000, 320, 1}, {L"D:\\b.mp3", 1000, 320, 1}},
  };
  for (const auto& files : cases) {
    ScopedFakeTransport transport;
    Record request(L"tok", L"md5x", L"link", MakeSong(files));
    EXPECT_THROW(request.BuildUrl(), std::out_of_range);
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, "{}"), 1);
    EXPECT_TRUE(transport->Started().empty());
    EXPECT_TRUE(request.finished);
    EXPECT_FALSE(request.succeeded);
    EXPECT_EQ(request.status, 0);
    EXPECT_EQ(request.song_id, L"s1");
  }
}

TEST(RecordTest, TakesTheSongIdOfTheAnswer) {
  struct Case {
    std::string body;
    bool succeeded;
    std::wstring song_id;
  };
  const Case cases[] = {
      {R"({"result":{"song_id":"555"}})", true, L"555"},
      {R"({"result":{"song_id":"0"}})", true, L""},
      {R"({"result":{"song_id":0}})", true, L""},
      {R"({"error_code":22001,"result":{"song_id":"555"}})", false, L"s1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    ScopedFakeTransport transport;
    Record request(L"tok", L"md5x", L"link", MakeSong({{L"a.mp3", 1000, 320, 1}}));
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_EQ(request.succeeded, c.succeeded);
    EXPECT_EQ(request.song_id, c.song_id);
    EXPECT_FALSE(LastExchangeSentCookie(*transport));
  }
}

TEST(ExpandTest, SendsTheTokenAndReadsTheQuota) {
  EXPECT_EQ(OwnPairs(Expand(L"tok").BuildUrl()), (Pairs{{"kwtok", "tok"}}));
  struct Case {
    std::string body;
    bool succeeded;
    int32_t expand, cloud_limit, used;
  };
  const Case cases[] = {
      {R"({"result":{"expand":1,"cloud_limit":10000,"used":42}})", true, 1, 10000, 42},
      {R"({"result":{"expand":1,"cloud_limit":10000}})", true, 1, 10000, 0},
      {R"({"error_code":22001,"result":{"expand":1,"cloud_limit":10000,"used":42}})", false, 0, 0,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    ScopedFakeTransport transport;
    Expand request(L"tok");
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_EQ(request.succeeded, c.succeeded);
    EXPECT_EQ(std::tie(request.expand, request.cloud_limit, request.used),
              std::tie(c.expand, c.cloud_limit, c.used));
    EXPECT_FALSE(LastExchangeSentCookie(*transport));
  }
}

}  // namespace

// The cloud requests' own parts: unsigned numbers, the file description a record sends, and the
// answers' edge cases. The upload runs end to end in the integration tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/record.h"
#include "lumoapi/cloud/signature.h"
#include "support/answered.h"
#include "support/fake_transport.h"
#include "utilities/song_info.h"

namespace lumoapi::cloud {
namespace {

using lumo::testing::Answered;
using lumo::testing::OwnPairs;
using lumo::testing::Pairs;
using lumo::testing::RunWithAnswer;
using lumo::testing::ScopedFakeTransport;
using lumo::testing::ValueOf;

TEST(CloudTest, CheckFileReadsEveryAnswerAndDropsSongIdZero) {
  const auto full =
      Answered<CheckFile>(R"({"result":{"song_id":"123","file_link":"http://l/f","object":"o/k",)"
                          R"("host":"h","time":1700000000,"file_size":5242880,"bucket":"b"}})",
                          L"cmd5", L"smd5", L"mp3", 1, 2);
  EXPECT_EQ(std::tie(full->song_id, full->file_link, full->object, full->host, full->time,
                     full->file_size, full->bucket),
            std::make_tuple(L"123", L"http://l/f", L"o/k", L"h", 1700000000u, 5242880u, L"b"));
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
  const Pairs sent = OwnPairs(request.BuildUrl());
  std::string described;
  for (const char* name :
       {"song_title", "file_name", "file_bitrate", "file_duartion", "file_size", "ext"}) {
    described += ValueOf(sent, name) + "|";
  }
  EXPECT_EQ(described, "Title|My Song|4294967295|1|7|ogg|");
}

TEST(CloudTest, RecordWithoutAnExtensionSendsNothingAndFails) {
  const std::vector<File> cases[] = {
      {},
      {{L"D:\\Music.d\\noext", 1000, 320, 1}, {L"D:\\b.mp3", 1000, 320, 1}},
  };
  for (const auto& files : cases) {
    ScopedFakeTransport transport;
    Record request(L"tok", L"md5x", L"link", MakeSong(files));
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, "{}"), 1);
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
}  // namespace lumoapi::cloud

// The favourite requests and the two gathering tasks over the fake transport: what the parsers
// keep, AddSongFavorite's outcome for each code, the pages the tasks ask for and how they end.
// The fault matrix has a failing page at every position.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/favorite/add_song_favorite.h"
#include "lumoapi/favorite/add_song_favorites.h"
#include "lumoapi/favorite/get_all_collect_songs.h"
#include "lumoapi/favorite/get_all_favorite_songs.h"
#include "lumoapi/favorite/get_collect_song.h"
#include "lumoapi/favorite/get_favorite_song.h"
#include "support/page_answering.h"
#include "support/request_harness.h"

namespace lumoapi::favorite {
namespace {

using lumo::testing::AnswerPages;
using lumo::testing::EndProbe;
using lumo::testing::OwnPairs;
using lumo::testing::ValueOf;

// Answers `request` once with `body` (HTTP 200); true when `completed` came on the UI thread,
// that is by the failure way.
bool AnswerAndTellThread(RequestBase& request, const std::string& body) {
  lumo::testing::ScopedFakeTransport transport;
  EndProbe probe;
  request.completed.connect(&probe, &EndProbe::OnCompleted);
  EXPECT_EQ(lumo::testing::RunWithAnswer(request, *transport, 200, body), 1) << body;
  return probe.on_ui_thread;
}

// Both page classes read "havemore" with the one shared reader (ReadHaveMore).
TEST(FavoritePagesTest, OnlyTheNumberOneMeansMore) {
  const std::pair<const char*, bool> cases[] = {
      {R"({"havemore":1,"result":[]})", true},
      {R"({"havemore":1.0,"result":"not a list"})", true},
      {R"({"havemore":2,"result":[]})", false},
      {R"({"havemore":"1","result":[]})", false},
      {R"({"havemore":true,"result":[]})", false},
      {R"({"result":{"havemore":1}})", false},
  };
  for (const auto& [body, more] : cases) {
    GetFavoriteSong favorites(L"t", 0, 50);
    AnswerAndTellThread(favorites, body);
    EXPECT_EQ(favorites.havemore, more) << body;
  }
}

// (The fields of both kinds of song are pinned in favorite_records_test.cc.)
TEST(FavoritePagesTest, FavouritesKeepEveryEntryCollectedSongsNeedAnId) {
  const std::string body = R"({"result":[{"song_id":"1"},{"title":"no id"},{"song_id":"2"}]})";
  GetFavoriteSong favorites(L"t", 0, 50);
  AnswerAndTellThread(favorites, body);
  ASSERT_EQ(favorites.songs.size(), 3u);
  EXPECT_EQ(favorites.songs[1].song_id, L"");

  GetCollectSong collected(L"t", 0, 50);
  AnswerAndTellThread(collected, body);
  ASSERT_EQ(collected.songs.size(), 2u);
  EXPECT_EQ(collected.songs[1].song_id, L"2");
}

TEST(FavoritePagesTest, CollectedSongsAcceptOnlySuccessAndPastTheEnd) {
  struct Case {
    int code;
    bool succeeded;
  };
  for (const Case& c : {Case{22000, true}, Case{22001, true}, Case{22469, false},
                        Case{24003, false}, Case{40011, false}}) {
    GetCollectSong collected(L"t", 0, 50);
    const bool deferred =
        AnswerAndTellThread(collected, R"({"error_code":)" + std::to_string(c.code) +
                                           R"(,"result":[{"song_id":"1"}]})");
    EXPECT_EQ(collected.succeeded, c.succeeded) << c.code;
    EXPECT_EQ(collected.status, c.code);
    EXPECT_EQ(deferred, !c.succeeded) << c.code;
    EXPECT_EQ(collected.songs.size(), c.succeeded ? 1u : 0u) << c.code;
  }
}

TEST(AddSongFavoriteTest, OutcomeByCode) {
  const char* song = R"({"song_id":"7","song_title":"T","author":"A","album_title":"Al",)"
                     R"("album_pic":"a.jpg","song_pic":"s.jpg","publishtime":"2020",)"
                     R"("buy_url":"http://127.0.0.1/buy","resource_type_ext":3,"tips":"x"})";
  struct Case {
    const char* name;
    int code;
    std::string result;
    bool succeeded;
    const wchar_t* buy_url;
    const wchar_t* tips;
  };
  const Case cases[] = {
      {"added", 22000, song, true, L"", L""},
      {"a favourite already", 22322, song, true, L"", L""},
      {"must be bought", 22469, song, false, L"http://127.0.0.1/buy", L""},
      {"must be bought, no object", 22469, "[1]", false, L"", L""},
      {"blocked", 24003, R"({"tips":"not here","buy_url":"u"})", false, L"", L"not here"},
      {"refused", 40010, song, false, L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AddSongFavorite add(L"t", L"7", 0);
    const bool deferred = AnswerAndTellThread(
        add, R"({"error_code":)" + std::to_string(c.code) + R"(,"result":)" + c.result + "}");
    EXPECT_EQ(add.succeeded, c.succeeded);
    EXPECT_EQ(add.status, c.code);
    EXPECT_EQ(deferred, !c.succeeded);
    const AddSongFavorite::ResultItem item = add.GetSongInfo();
    EXPECT_EQ(item.buy_url, c.buy_url);
    EXPECT_EQ(item.tips, c.tips);
  }
}

TEST(AddSongFavoritesTest, KeepsTheTextsOfTheResult) {
  AddSongFavorites add(L"t", {L"12", L"13", L"14"});
  AnswerAndTellThread(add, R"({"result":["12",13,"14",null]})");
  EXPECT_EQ(add.added_ids, (std::vector<std::wstring>{L"12", L"14"}));
}

std::string Page(int havemore, int first_id, int count) {
  std::string songs;
  for (int i = 0; i < count; ++i) {
    songs +=
        (i ? "," : "") + std::string(R"({"song_id":")") + std::to_string(first_id + i) + R"("})";
  }
  return R"({"havemore":)" + std::to_string(havemore) + R"(,"result":[)" + songs + "]}";
}

// Runs a gathering task against `answer`; every page asks for 50. Both tasks run the one paging
// loop (PageLoop), so the favourites' task stands for both.
template <class Task>
void ExpectGathering(const std::function<std::string(size_t)>& answer,
                     const std::vector<std::string>& positions, size_t songs) {
  lumo::testing::ScopedFakeTransport transport;
  Task task(L"t");
  EndProbe probe;
  task.completed.connect(&probe, &EndProbe::OnCompleted);
  task.BeginRequest();
  EXPECT_EQ(AnswerPages(*transport, probe, answer, "pn"), positions);
  EXPECT_EQ(task.songs.size(), songs);
  EXPECT_EQ(probe.count, 1);
  EXPECT_TRUE(task._GetSucceeded());
  for (const auto& exchange : transport->Started()) {
    EXPECT_EQ(ValueOf(OwnPairs(base::string_utils::ToUtf16(exchange.request.url)), "rn"), "50");
  }
}

TEST(FavoriteTasksTest, GatherPageByPage) {
  const auto pages_of_120 = [](size_t page) {
    return Page(page < 2, static_cast<int>(page) * 50, page < 2 ? 50 : 20);
  };
  const auto a_full_page_that_says_no_more = [](size_t) { return Page(0, 1, 50); };
  ExpectGathering<GetAllFavoriteSongs>(pages_of_120, {"0", "50", "100"}, 120);
  ExpectGathering<GetAllFavoriteSongs>(a_full_page_that_says_no_more, {"0"}, 50);
  // Only the collected songs take 22001 for an empty last page.
  ExpectGathering<GetAllCollectSongs>(
      [](size_t) { return std::string(R"({"error_code":22001,"result":[]})"); }, {"0"}, 0);
}

// The one task that is no RequestRoot is as safe to delete as the others.
TEST(FavoriteTasksTest, DeletionInEveryState) {
  enum class When { kPageInFlight, kNextPagePosted, kInsideItsSignal, kInsideAFailedPage };
  for (When when : {When::kPageInFlight, When::kNextPagePosted, When::kInsideItsSignal,
                    When::kInsideAFailedPage}) {
    SCOPED_TRACE(static_cast<int>(when));
    lumo::testing::ScopedFakeTransport transport;
    auto* task = new GetAllFavoriteSongs(L"t");
    EndProbe probe;
    probe.during = [&] { delete task; };
    task->completed.connect(&probe, &EndProbe::OnCompleted);
    task->BeginRequest();
    const auto first = transport->Pending().front().id;
    switch (when) {
      case When::kPageInFlight:
        delete task;
        EXPECT_TRUE(transport->IsCancelled(first));
        break;
      case When::kNextPagePosted:
        std::thread([&] { transport->Answer(first, 200, Page(1, 1, 50)); }).join();
        delete task;
        break;
      case When::kInsideItsSignal:
        AnswerPages(
            *transport, probe, [](size_t) { return Page(0, 1, 5); }, "pn");
        break;
      case When::kInsideAFailedPage:
        AnswerPages(
            *transport, probe, [](size_t) { return std::string(); }, "pn");
        break;
    }
    base::thread::UiLoop::Instance().RunUntilIdle();
    EXPECT_EQ(transport->Started().size(), 1u);
    const bool ended_inside = when == When::kInsideItsSignal || when == When::kInsideAFailedPage;
    EXPECT_EQ(probe.count, ended_inside ? 1 : 0);
  }
}

}  // namespace
}  // namespace lumoapi::favorite

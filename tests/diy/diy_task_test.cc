// The song-list tasks over the fake transport: the pages they ask for, how and how often they end,
// and deleting them in every state of a run. The fault matrix has a failing page at every
// position.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/diy/add_favorite_song_list_task.h"
#include "lumoapi/diy/cancel_favorite_song_list_task.h"
#include "lumoapi/diy/get_all_playlist_songs.h"
#include "lumoapi/diy/get_all_playlists.h"
#include "lumoapi/diy/sort_song_list_songs_task.h"
#include "lumoapi/request_base.h"
#include "support/every_request.h"
#include "support/fake_transport.h"
#include "support/page_answering.h"
#include "testing/page_cap.h"

namespace lumoapi::diy {
namespace {

using lumo::testing::AnswerPages;
using lumo::testing::EndProbe;

std::string SongPage(int song_num, int first_id, int count) {
  std::string songs;
  for (int i = 0; i < count; ++i) {
    songs +=
        (i ? "," : "") + std::string(R"({"song_id":")") + std::to_string(first_id + i) + R"("})";
  }
  return R"({"result":{"song_num":)" + std::to_string(song_num) +
         R"(,"info":{"list_title":"L"},"songlist":[)" + songs + "]}}";
}

std::string ListPage(int havemore, const std::string& id) {
  return R"({"error_code":22000,"result":{"listnum":120,"havemore":)" + std::to_string(havemore) +
         R"(,"listinfo":[{"list_id":")" + id + R"("}]}})";
}

TEST(GetAllPlayListSongsTest, PagesUntilTheOffsetReachesTheCountOrAPageFails) {
  struct Case {
    const char* name;
    std::string first_answer;
    std::vector<std::string> offsets;
    size_t failing_page = 99;  // answered with a transport failure
    size_t songs = 0;
  };
  const Case cases[] = {
      {"250 songs", SongPage(250, 1, 100), {"0", "100", "200"}, 99, 100},
      {"200 songs", SongPage(200, 1, 100), {"0", "100"}, 99, 100},
      {"no songs", SongPage(0, 1, 0), {"0"}},
      {"no count", R"({"result":{"songlist":[{"song_id":"1"}]}})", {"0"}, 99, 1},
      {"a negative count", SongPage(-5, 1, 3), {"0"}, 99, 3},
      // The first page's songs stay; nothing is asked after the failed page.
      {"a failing middle page", SongPage(250, 1, 100), {"0", "100"}, 1, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lumo::testing::ScopedFakeTransport transport;
    GetAllPlayListSongs task(L"t", L"5");
    EndProbe probe;
    task.completed.connect(&probe, &EndProbe::OnCompleted);
    task.BeginRequest();
    // Later pages report the same count and carry no songs: only the count decides.
    const auto offsets = AnswerPages(*transport, probe, [&](size_t page) {
      if (page == c.failing_page) return std::string();
      return page == 0 ? c.first_answer
                       : R"({"result":{"song_num":)" + std::to_string(task.song_num) + "}}";
    });
    EXPECT_EQ(offsets, c.offsets);
    EXPECT_EQ(probe.count, 1);
    EXPECT_EQ(task.songs.size(), c.songs);
    const bool failed = c.failing_page < c.offsets.size();
    EXPECT_EQ(task._GetSucceeded(), !failed);
    EXPECT_EQ(task._GetStatus(), failed ? 0u : 22000u);
    EXPECT_EQ(task.Failure().kind,
              failed ? CallFailure::Kind::kConnectionRefused : CallFailure::Kind::kNone);
  }
}

TEST(GetAllPlayListsTest, PagesWhileThereIsMore) {
  lumo::testing::ScopedFakeTransport transport;
  GetAllPlayLists task(L"t", 0);
  EndProbe probe;
  task.task_completed.connect(&probe, &EndProbe::OnTaskCompleted);
  EXPECT_EQ(task._GetCapacity(), 0u);
  task.BeginRequest();
  const auto offsets = AnswerPages(*transport, probe, [](size_t page) {
    return ListPage(page < 2 ? 1 : 0, "L" + std::to_string(page));
  });
  EXPECT_EQ(offsets, (std::vector<std::string>{"0", "50", "100"}));
  EXPECT_EQ(probe.count, 1);
  EXPECT_EQ(probe.selector, 0);
  EXPECT_EQ(probe.status, 22000);
  ASSERT_EQ(task.lists.size(), 3u);
  EXPECT_EQ(task.lists[2].list_id, L"L2");
  EXPECT_EQ(task.listnum, 120);
  EXPECT_EQ(task.page, 2u);
  EXPECT_EQ(task._GetCapacity(), 500u);

  // A second run goes on from the last page asked for and appends to what the first gathered.
  task.BeginRequest();
  EXPECT_EQ(AnswerPages(*transport, probe, [](size_t) { return ListPage(0, "again"); }),
            (std::vector<std::string>{"100"}));
  EXPECT_EQ(probe.count, 2);
  ASSERT_EQ(task.lists.size(), 4u);
  EXPECT_EQ(task.lists[3].list_id, L"again");
}

TEST(GetAllPlayListsTest, EndsAfterOnePage) {
  struct Case {
    const char* name;
    int kind;
    std::string answer;
    int status;
    size_t lists;
    int listnum;
  };
  const Case cases[] = {
      {"the count-only kind", 3, ListPage(1, "x"), 22000, 0, 120},
      {"the last page", 1, ListPage(0, "x"), 22000, 1, 120},
      {"a refused first page", 0, R"({"error_code":40011,"result":{"listnum":7}})", 40011, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lumo::testing::ScopedFakeTransport transport;
    GetAllPlayLists task(L"t", c.kind);
    EndProbe probe;
    task.task_completed.connect(&probe, &EndProbe::OnTaskCompleted);
    task.BeginRequest();
    EXPECT_EQ(AnswerPages(*transport, probe, [&](size_t) { return c.answer; }).size(), 1u);
    EXPECT_EQ(probe.count, 1);
    EXPECT_EQ(probe.selector, c.kind);
    EXPECT_EQ(probe.status, c.status);
    EXPECT_EQ(task.lists.size(), c.lists);
    EXPECT_EQ(task.listnum, c.listnum);
  }
}

// A service that says "more" forever: the run stops after 10,000 pages, and says so.
TEST(GetAllPlayListsTest, StopsAfterTenThousandPages) {
  lumo::testing::ScopedFakeTransport transport;
  GetAllPlayLists task(L"t", 1);
  EndProbe probe;
  task.task_completed.connect(&probe, &EndProbe::OnTaskCompleted);
  task.BeginRequest();
  // Answered on this thread: the page completes here and posts the next one to the UI loop.
  const size_t pages = lumo::testing::AnswerEachHere(*transport, ListPage(1, "x"), 10000);
  EXPECT_EQ(pages, 10000u);
  EXPECT_EQ(probe.count, 1);
  EXPECT_EQ(probe.status, 22000);
  EXPECT_EQ(task.lists.size(), 10000u);
  EXPECT_FALSE(task._GetSucceeded());
  EXPECT_EQ(task.Failure().kind, CallFailure::Kind::kPageCap);
  EXPECT_EQ(task.Failure().text, L"stopped after 10000 pages");
}

// The limit counts the pages of one run (here lowered to 3): a run that ends on its third page
// succeeded, one that would go on is capped, and the host's next BeginRequest runs as many pages
// again.
class PageCapTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::SetMaxPagesPerRun(3); }
  void TearDown() override { testing::SetMaxPagesPerRun(10000); }
};

TEST_F(PageCapTest, CountsThePagesOfEachRun) {
  // A page of each gathering task that says there is more, or (on the third page) that there is
  // not.
  const auto answer = [](const std::string& task, size_t page, bool endless) {
    const bool more = endless || page < 2;
    if (task == "all lists") return ListPage(more ? 1 : 0, "x");
    if (task == "all songs of a list") return SongPage(more ? 1000000 : 300, 1, 1);
    return std::string(R"({"havemore":)") + (more ? "1" : "0") + R"(,"result":[{"song_id":"1"}]})";
  };
  for (const lumo::testing::TaskRow& row : lumo::testing::EveryTaskRow()) {
    if (row.page_size == 0) continue;
    for (const bool endless : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (endless ? ", endless" : ", three pages"));
      lumo::testing::ScopedFakeTransport transport;
      const auto task = row.make(L"t", L"5");
      const auto run = [&] {
        task->BeginRequest();
        return AnswerPages(*transport, task->end,
                           [&](size_t page) { return answer(row.name, page, endless); })
            .size();
      };
      EXPECT_EQ(run(), 3u);
      EXPECT_EQ(task->end.count, 1);
      EXPECT_EQ(task->succeeded(), !endless);
      EXPECT_EQ(task->Failure().kind,
                endless ? CallFailure::Kind::kPageCap : CallFailure::Kind::kNone);
      EXPECT_EQ(task->Failure().text, endless ? L"stopped after 3 pages" : L"");
      EXPECT_EQ(task->Failure().service_code, 22000);
      if (!endless) continue;
      EXPECT_EQ(run(), 3u);
      EXPECT_EQ(task->gathered(), 6u);
      EXPECT_EQ(task->Failure().kind, CallFailure::Kind::kPageCap);
    }
  }
}

// Deleting a task with a page in flight, or with the next page posted: it never emits afterwards,
// and the posted page never starts. (The lifetime tests delete every task while an answer is
// handled.)
TEST(PageTaskLifetimeTest, DeletionInEveryState) {
  for (const bool in_flight : {true, false}) {
    SCOPED_TRACE(in_flight ? "page in flight" : "next page posted");
    lumo::testing::ScopedFakeTransport transport;
    auto task = std::make_unique<GetAllPlayListSongs>(L"t", L"5");
    EndProbe probe;
    task->completed.connect(&probe, &EndProbe::OnCompleted);
    task->BeginRequest();
    const auto first = transport->Pending().front().id;
    if (!in_flight) {
      std::thread([&] { transport->Answer(first, 200, SongPage(250, 1, 100)); }).join();
    }
    task.reset();  // the posted start of the second page is still in the UI loop
    EXPECT_EQ(transport->IsCancelled(first), in_flight);
    base::thread::UiLoop::Instance().RunUntilIdle();
    EXPECT_EQ(transport->Started().size(), 1u);
    EXPECT_EQ(probe.count, 0);
  }
}

TEST(PageTaskLifetimeTest, AReceiverMayDeleteTheTaskOnEitherThread) {
  // A last page ends the run on the network thread; a failed one on the UI thread.
  for (const char* answer : {R"({"result":{"song_num":1}})", ""}) {
    SCOPED_TRACE(answer);
    lumo::testing::ScopedFakeTransport transport;
    auto* task = new GetAllPlayListSongs(L"t", L"5");
    EndProbe probe;
    probe.during = [&] { delete task; };
    task->completed.connect(&probe, &EndProbe::OnCompleted);
    task->BeginRequest();
    AnswerPages(*transport, probe, [&](size_t) { return std::string(answer); });
    EXPECT_EQ(probe.count, 1);
  }
}

TEST(ListEditTasksTest, EndWithTheSourceAndTheStatus) {
  lumo::testing::ScopedFakeTransport transport;
  AddFavoriteSongListTask add(L"t", L"5", 1);
  CancelFavoriteSongListTask cancel(L"t", L"5", 2);
  EndProbe probe;
  add.task_completed.connect(&probe, &EndProbe::OnTaskCompleted);
  cancel.task_completed.connect(&probe, &EndProbe::OnTaskCompleted);
  for (const auto& [task, source] : {std::pair<RequestRoot*, int>{&add, 1}, {&cancel, 2}}) {
    task->BeginRequest();
    AnswerPages(*transport, probe, [](size_t) { return std::string("{}"); });
    EXPECT_EQ(probe.selector, source);
    EXPECT_EQ(probe.status, 22000);
  }
  EXPECT_EQ(probe.count, 2);
}

TEST(ListEditTasksTest, SortingAgainReplacesTheRequest) {
  lumo::testing::ScopedFakeTransport transport;
  SortSongListSongsTask task(L"t", L"5", {L"2", L"1"});
  EXPECT_EQ(task._GetStatus(), 0u);
  EXPECT_FALSE(task._GetSucceeded());
  EndProbe probe;
  task.completed.connect(&probe, &EndProbe::OnCompleted);
  task.BeginRequest();
  AnswerPages(*transport, probe, [](size_t) { return std::string(R"({"error_code":41009})"); });
  EXPECT_EQ(task._GetStatus(), 41009u);
  task.BeginRequest();
  AnswerPages(*transport, probe, [](size_t) { return std::string("{}"); });
  EXPECT_EQ(probe.count, 2);
  EXPECT_EQ(task._GetStatus(), 22000u);
  EXPECT_TRUE(task._GetSucceeded());
  EXPECT_EQ(transport->Started().size(), 2u);
}

}  // namespace
}  // namespace lumoapi::diy

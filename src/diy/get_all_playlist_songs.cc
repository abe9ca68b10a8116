#include "lumoapi/diy/get_all_playlist_songs.h"

#include <utility>

#include "page_task.h"

namespace lumoapi::diy {
namespace {

constexpr unsigned int kPageSize = 100;

struct SongPaging {
  using Task = GetAllPlayListSongs;
  static std::unique_ptr<GetPlayList> MakePage(const Task& task) {
    return std::make_unique<GetPlayList>(task.kwtok, task.list_id, task.offset, kPageSize);
  }
  // Compared as signed 64-bit numbers: a negative count ends the run instead of wrapping.
  static bool More(const Task& task, const GetPlayList& page) {
    return int64_t{task.offset} + kPageSize < int64_t{page.song_num};
  }
  static void Keep(Task& task, GetPlayList& page, bool followed) {
    task.info = page.info;
    task.song_num = page.song_num;
    internal::AppendPage(task.songs, page.songs, followed);
  }
  static void Advance(Task& task) { task.offset += kPageSize; }
  static void EmitEnd(Task& task) { task.completed.emit(); }
};

using Loop = internal::PageLoop<SongPaging>;

}  // namespace

GetAllPlayListSongs::GetAllPlayListSongs(std::wstring kwtok, std::wstring list_id)
    : kwtok(std::move(kwtok)), list_id(std::move(list_id)) {}

GetAllPlayListSongs::~GetAllPlayListSongs() { internal::DeleteInPlace(request); }

void GetAllPlayListSongs::BeginRequest() { Loop::Begin(*this); }

unsigned int GetAllPlayListSongs::_GetStatus() const { return internal::StatusOf(*this); }

bool GetAllPlayListSongs::_GetSucceeded() const { return internal::SucceededOf(*this); }

void GetAllPlayListSongs::OnPageCompleted() { Loop::OnPageCompleted(*this); }

}  // namespace lumoapi::diy

#include "lumoapi/diy/get_all_playlists.h"

#include <utility>

#include "page_task.h"

namespace lumoapi::diy {
namespace {

constexpr unsigned int kPageSize = 50;

struct ListPaging {
  using Task = GetAllPlayLists;
  static std::unique_ptr<GetPlayLists> MakePage(const Task& task) {
    return std::make_unique<GetPlayLists>(task.kwtok, task.page, kPageSize, task.kind);
  }
  static bool More(const Task&, const GetPlayLists& page) { return page.havemore; }
  static void Keep(Task& task, GetPlayLists& page, bool followed) {
    task.listnum = page.listnum;
    internal::AppendPage(task.lists, page.lists, followed);
  }
  static void Advance(Task& task) { ++task.page; }
  static void EmitEnd(Task& task) { task.task_completed.emit(task.kind, task.request->status); }
};

using Loop = internal::PageLoop<ListPaging>;

}  // namespace

GetAllPlayLists::GetAllPlayLists(std::wstring kwtok, int kind)
    : kwtok(std::move(kwtok)), kind(kind) {}

GetAllPlayLists::~GetAllPlayLists() { internal::DeleteInPlace(request); }

void GetAllPlayLists::BeginRequest() { Loop::Begin(*this); }

unsigned int GetAllPlayLists::_GetStatus() const { return internal::StatusOf(*this); }

bool GetAllPlayLists::_GetSucceeded() const { return internal::SucceededOf(*this); }

unsigned int GetAllPlayLists::_GetCapacity() const {
  return request ? static_cast<unsigned int>(request->capacity) : 0;
}

void GetAllPlayLists::OnPageCompleted() { Loop::OnPageCompleted(*this); }

}  // namespace lumoapi::diy

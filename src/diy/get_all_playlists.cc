#include "lumoapi/diy/get_all_playlists.h"

#include <utility>

#include "page_task.h"

namespace lumoapi::diy {
namespace {

constexpr unsigned int kPageSize = 50;

}  // namespace

GetAllPlayLists::GetAllPlayLists(std::wstring kwtok, int kind)
    : kwtok(std::move(kwtok)), kind(kind) {}

// The page request goes before the dispatcher: its answer may be handled on the network thread
// right now, and that handling may post through the dispatcher.
GetAllPlayLists::~GetAllPlayLists() { internal::DeleteInPlace(request); }

void GetAllPlayLists::BeginRequest() {
  internal::StartRequest(this, &GetAllPlayLists::OnPageCompleted, request,
                         std::make_unique<GetPlayLists>(kwtok, page, kPageSize, kind));
}

unsigned int GetAllPlayLists::_GetStatus() const {
  return request ? static_cast<unsigned int>(request->status) : 0;
}

bool GetAllPlayLists::_GetSucceeded() const { return request && request->succeeded; }

unsigned int GetAllPlayLists::_GetCapacity() const {
  return request ? static_cast<unsigned int>(request->capacity) : 0;
}

void GetAllPlayLists::OnPageCompleted() {
  if (request->succeeded) {
    listnum = request->listnum;
    const bool more = internal::RunGoesOn(request->havemore, page);
    internal::AppendPage(lists, request->lists, more);
    if (more) {
      ++page;
      internal::PostNextPage(this, dispatcher);
      return;
    }
  }
  // A receiver may delete this task: nothing of it is touched after the emission.
  task_completed.emit(kind, request->status);
}

}  // namespace lumoapi::diy

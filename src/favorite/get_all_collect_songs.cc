#include "lumoapi/favorite/get_all_collect_songs.h"

#include <utility>

#include "favorite/favorite_common.h"

namespace lumoapi::favorite {
namespace {

using Loop = internal::PageLoop<FavoritePaging<GetAllCollectSongs>>;

}  // namespace

GetAllCollectSongs::GetAllCollectSongs(std::wstring kwtok) : kwtok(std::move(kwtok)) {}

GetAllCollectSongs::~GetAllCollectSongs() { internal::DeleteInPlace(request); }

void GetAllCollectSongs::BeginRequest() { Loop::Begin(*this); }

unsigned int GetAllCollectSongs::_GetStatus() const { return internal::StatusOf(*this); }

bool GetAllCollectSongs::_GetSucceeded() const { return internal::SucceededOf(*this); }

void GetAllCollectSongs::OnPageCompleted() { Loop::OnPageCompleted(*this); }

}  // namespace lumoapi::favorite

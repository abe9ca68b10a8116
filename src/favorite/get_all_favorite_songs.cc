#include "lumoapi/favorite/get_all_favorite_songs.h"

#include <utility>

#include "favorite/favorite_common.h"

namespace lumoapi::favorite {
namespace {

using Loop = internal::PageLoop<FavoritePaging<GetAllFavoriteSongs>>;

}  // namespace

GetAllFavoriteSongs::GetAllFavoriteSongs(std::wstring kwtok) : kwtok(std::move(kwtok)) {}

GetAllFavoriteSongs::~GetAllFavoriteSongs() { internal::DeleteInPlace(request); }

void GetAllFavoriteSongs::BeginRequest() { Loop::Begin(*this); }

unsigned int GetAllFavoriteSongs::_GetStatus() const { return internal::StatusOf(*this); }

bool GetAllFavoriteSongs::_GetSucceeded() const { return internal::SucceededOf(*this); }

CallFailure GetAllFavoriteSongs::Failure() const { return failure_; }

void GetAllFavoriteSongs::OnPageCompleted() { Loop::OnPageCompleted(*this); }

}  // namespace lumoapi::favorite

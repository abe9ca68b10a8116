#include "lumoapi/radio/radio_play_action.h"

#include <utility>

#include "base/os_utils.h"
#include "json_access.h"
#include "query_builder.h"
#include "radio/song_id_list.h"

namespace lumoapi::radio {
namespace {

constexpr size_t kMaxSongIds = 10;

}  // namespace

RadioPlayAction::RadioPlayAction(std::wstring kwtok) : kwtok(std::move(kwtok)) {}

RadioPlayAction::~RadioPlayAction() { StopHttpRequest(); }

std::wstring RadioPlayAction::GetMethodName() { return L"norda.lumo.radio.playAction"; }

std::wstring RadioPlayAction::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"nordaid", base::os_utils::GetMachineID());
  AppendPair(builder, L"ch_name", ch_name);
  AppendPair(builder, L"item_id", item_id);
  AppendPair(builder, L"action_no", action_no);
  if (!kwtok.empty()) AppendPair(builder, L"kwtok", kwtok);
  return QueryText(builder);
}

void RadioPlayAction::ParseResult(web::json::value& result) {
  const web::json::value& body = Member(result, "result");
  if (!IsObject(body)) return;
  AppendSongIds(Member(body, "list"), "songid", kMaxSongIds, song_ids);
}

}  // namespace lumoapi::radio

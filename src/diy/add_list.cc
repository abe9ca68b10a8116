#include "lumoapi/diy/add_list.h"

#include <utility>

#include "diy/diy_common.h"
#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::diy {

AddList::AddList(std::wstring kwtok, std::wstring title, int process)
    : kwtok(std::move(kwtok)), title(EncodeDataString(title)), process(process) {
  UseAccountSession(*this, this->kwtok);
}

AddList::~AddList() { StopHttpRequest(); }

std::wstring AddList::GetMethodName() { return L"norda.lumo.ugcdiy.addSongList"; }

std::wstring AddList::BuildParams() {
  QueryBuilder builder;
  if (process == 0 || process == 1) {
    AppendPair(builder, L"title", title);
    AppendPair(builder, L"process", 1);
  }
  return QueryText(builder);
}

void AddList::ParseResult(web::json::value& answer) {
  ReadNewList(Member(answer, "result"), list_id, title, capacity);
}

}  // namespace lumoapi::diy

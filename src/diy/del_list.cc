#include "lumoapi/diy/del_list.h"

#include <utility>

#include "diy/diy_common.h"
#include "query_builder.h"

namespace lumoapi::diy {

DelList::DelList(std::wstring kwtok, std::wstring list_id)
    : kwtok(std::move(kwtok)), list_id(std::move(list_id)) {
  UseAccountSession(*this, this->kwtok);
}

DelList::~DelList() { StopHttpRequest(); }

std::wstring DelList::GetMethodName() { return L"norda.lumo.ugcdiy.delList"; }

std::wstring DelList::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"list_id", list_id);
  return QueryText(builder);
}

void DelList::ParseResult(web::json::value& /*answer*/) {}

}  // namespace lumoapi::diy

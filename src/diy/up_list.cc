#include "lumoapi/diy/up_list.h"

#include <utility>

#include "diy/diy_common.h"
#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::diy {

UpList::UpList(std::wstring kwtok, std::wstring list_id, std::wstring title, std::wstring desc,
               std::wstring tag, std::wstring diypic, int process)
    : list_id(std::move(list_id)),
      tag(std::move(tag)),
      desc(EncodeDataString(desc)),
      diypic(std::move(diypic)),
      kwtok(std::move(kwtok)),
      title(EncodeDataString(title)),
      process(process) {
  UseAccountSession(*this, this->kwtok);
}

UpList::~UpList() { StopHttpRequest(); }

std::wstring UpList::GetMethodName() { return L"norda.lumo.ugcdiy.editDiy"; }

std::wstring UpList::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"list_id", list_id);
  AppendPair(builder, L"desc", desc);
  AppendPair(builder, L"tag", tag);
  AppendPair(builder, L"diypic", diypic);
  AppendPair(builder, L"title", title);
  AppendPair(builder, L"process", 1);
  return QueryText(builder);
}

void UpList::ParseResult(web::json::value& answer) {
  const web::json::value& result = Member(answer, "result");
  title = utilities::json::ToString(Member(result, "title"));
  desc = utilities::json::ToString(Member(result, "desc"));
}

bool UpList::IsErrorCodeAccepted() { return status == 22231 || RequestBase::IsErrorCodeAccepted(); }

}  // namespace lumoapi::diy

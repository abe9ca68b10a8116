#include "lumoapi/diy/get_comment_list.h"

#include <utility>

#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::diy {

GetCommentList::GetCommentList(std::wstring type_id, unsigned int type, unsigned int size,
                               unsigned int offset)
    : type_id(std::move(type_id)), type(type), size(size), offset(offset) {
  encrypt_params = true;
}

GetCommentList::~GetCommentList() { StopHttpRequest(); }

std::wstring GetCommentList::GetMethodName() { return L"norda.lumo.ugcmsg.getCommentListByType"; }

std::wstring GetCommentList::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"type_id", type_id);
  AppendPair(builder, L"type", type);
  AppendPair(builder, L"size", size);
  AppendPair(builder, L"offset", offset);
  return QueryText(builder);
}

void GetCommentList::ParseResult(web::json::value& answer) {
  commentlist_last_nums =
      utilities::json::ToInt(Member(Member(answer, "result"), "commentlist_last_nums"), 0);
}

}  // namespace lumoapi::diy

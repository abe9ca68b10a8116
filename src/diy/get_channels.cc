#include "lumoapi/diy/get_channels.h"

#include <utility>

#include "json_access.h"
#include "utilities/json.h"

namespace lumoapi::diy {
namespace {

using utilities::json::ToString;

// The texts of the elements of `list`; none when it is not an array.
std::vector<std::wstring> Texts(const web::json::value& list) {
  std::vector<std::wstring> texts;
  if (!IsArray(list)) return texts;
  for (const web::json::value& element : list.as_array()) texts.push_back(ToString(element));
  return texts;
}

}  // namespace

GetChannels::GetChannels() { encrypt_params = true; }

GetChannels::~GetChannels() { StopHttpRequest(); }

std::wstring GetChannels::GetMethodName() { return L"norda.lumo.ugcdiy.getChannels"; }

std::wstring GetChannels::BuildParams() { return std::wstring(); }

void GetChannels::ParseResult(web::json::value& answer) {
  const web::json::value& result = Member(answer, "result");
  result_text = ToString(result);
  const web::json::value& tags = Member(result, "tags");
  const web::json::value& hot_tags = Member(result, "hot");
  if (!IsArray(tags) || !IsArray(hot_tags)) return;
  std::vector<std::wstring> hot_texts = Texts(hot_tags);
  hot.insert(hot.end(), hot_texts.begin(), hot_texts.end());
  for (const web::json::value& group : tags.as_array()) {
    channels.push_back({{ToString(Member(group, "first")), Texts(Member(group, "second"))}});
  }
}

}  // namespace lumoapi::diy

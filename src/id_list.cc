#include "id_list.h"

#include <algorithm>
#include <cwctype>
#include <iterator>

namespace lumoapi {
namespace {

bool AllDigits(const std::wstring& id) {
  return std::all_of(id.begin(), id.end(), [](wchar_t c) { return std::iswdigit(c) != 0; });
}

}  // namespace

std::wstring JoinIds(const std::vector<std::wstring>& ids) {
  std::wstring joined;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) joined += L',';
    joined += ids[i];
  }
  return joined;
}

std::wstring JoinDigitIds(const std::vector<std::wstring>& ids) {
  std::vector<std::wstring> digits;
  std::copy_if(ids.begin(), ids.end(), std::back_inserter(digits), AllDigits);
  return JoinIds(digits);
}

}  // namespace lumoapi

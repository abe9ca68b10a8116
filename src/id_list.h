// Joining id lists into one parameter value, as the service reads them.
#ifndef LUMOAPI_ID_LIST_H_
#define LUMOAPI_ID_LIST_H_

#include <string>
#include <vector>

namespace lumoapi {

// The ids as passed, in order, joined by "," (no spaces, nothing before or after); empty for no
// ids.
std::wstring JoinIds(const std::vector<std::wstring>& ids);

// The same for only the ids made of digits alone (an empty id counts as one).
std::wstring JoinDigitIds(const std::vector<std::wstring>& ids);

}  // namespace lumoapi

#endif  // LUMOAPI_ID_LIST_H_

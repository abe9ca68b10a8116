#include "json_access.h"

#include "utilities/json.h"

namespace lumoapi {

const web::json::value& NullValue() {
  static const web::json::value kNull;
  return kNull;
}

// A scan rather than the object's own search: that takes the name in the library's form, which
// would be a conversion (and, for a wide name, an allocation) per call. The first of a name given
// twice is the one the library's search finds as well.
const web::json::value& Member(const web::json::value& object, const char* key) {
  if (object.type() != web::json::value::Object) return NullValue();
  const std::string_view wanted(key);
  for (const auto& [name, value] : object.as_object()) {
    if (NameIs(name, wanted)) return value;
  }
  return NullValue();
}

namespace {

// The text of the first of `keys` in `object` that is not empty, or an empty text.
std::wstring FirstPicture(const web::json::value& object, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    std::wstring text = utilities::json::ToString(Member(object, key));
    if (!text.empty()) return text;
  }
  return std::wstring();
}

}  // namespace

std::wstring LargePicture(const web::json::value& object) {
  return FirstPicture(object, {"pic_huge", "pic_premium", "pic_big", "pic_small"});
}

std::wstring SmallPicture(const web::json::value& object) {
  return FirstPicture(object, {"pic_small", "pic_big", "pic_premium", "pic_huge"});
}

}  // namespace lumoapi

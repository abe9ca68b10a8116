#include "json_access.h"

#include "utilities/json.h"

namespace lumoapi {

const web::json::value& NullValue() {
  static const web::json::value kNull;
  return kNull;
}

const web::json::value& Member(const web::json::value& object, const char* key) {
  if (object.type() != web::json::value::Object) return NullValue();
  const web::json::object& members = object.as_object();
  auto it = members.find(key);
  return it == members.end() ? NullValue() : it->second;
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

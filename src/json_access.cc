#include "json_access.h"

namespace lumoapi {

const web::json::value& Member(const web::json::value& object, const char* key) {
  static const web::json::value kNull;
  if (object.type() != web::json::value::Object) return kNull;
  const web::json::object& members = object.as_object();
  auto it = members.find(key);
  return it == members.end() ? kNull : it->second;
}

}  // namespace lumoapi

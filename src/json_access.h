// Reading members of a parsed answer without throwing: a missing member, or any member of a value
// that is not an object, reads as null (which every utilities::json reader turns into its
// default). Also the reading rules that several answers share.
#ifndef LUMOAPI_JSON_ACCESS_H_
#define LUMOAPI_JSON_ACCESS_H_

#include <cpprest/json.h>

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "lumoapi/export.h"

namespace lumoapi {

// Whether the member name `name`, in either of the JSON library's forms, is `key`, compared unit
// by unit without converting either. REQUIRES: `key` is ASCII (the service's keys are).
inline bool NameIs(const std::string& name, std::string_view key) { return name == key; }
inline bool NameIs(const std::wstring& name, std::string_view key) {
  if (name.size() != key.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    if (name[i] != static_cast<wchar_t>(static_cast<unsigned char>(key[i]))) return false;
  }
  return true;
}

// REQUIRES: `key` is ASCII.
LUMOAPI_EXPORT_PRIVATE const web::json::value& Member(const web::json::value& object,
                                                      const char* key);

LUMOAPI_EXPORT_PRIVATE const web::json::value& NullValue();

// The members of `object` called `keys`, each as Member would find it, in one pass over the
// object instead of a search per key: for readers of many small objects (the songs of a page).
// Of a name given twice in the answer the first counts, as with Member. REQUIRES: `keys` are ASCII.
template <size_t N>
std::array<const web::json::value*, N> Members(const web::json::value& object,
                                               const std::array<std::string_view, N>& keys) {
  std::array<const web::json::value*, N> found;
  found.fill(&NullValue());
  if (object.type() != web::json::value::Object) return found;
  std::array<bool, N> seen{};
  size_t left = N;
  for (const auto& [name, value] : object.as_object()) {
    for (size_t i = 0; i < N; ++i) {
      if (seen[i] || !NameIs(name, keys[i])) continue;
      seen[i] = true;
      found[i] = &value;
      --left;
      break;
    }
    if (left == 0) break;
  }
  return found;
}

// Picture addresses: the service sends up to four sizes of a picture and often leaves some empty;
// a caller asking for a large (or a small) picture gets the nearest size that is there, or an
// empty text when none is.
LUMOAPI_EXPORT_PRIVATE std::wstring LargePicture(const web::json::value& object);
LUMOAPI_EXPORT_PRIVATE std::wstring SmallPicture(const web::json::value& object);

inline bool IsObject(const web::json::value& v) { return v.type() == web::json::value::Object; }
inline bool IsArray(const web::json::value& v) { return v.type() == web::json::value::Array; }

}  // namespace lumoapi

#endif  // LUMOAPI_JSON_ACCESS_H_

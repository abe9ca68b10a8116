#include "store_put.h"

#include <cstdio>
#include <sstream>
#include <utility>

namespace lumo::cli {
namespace {

bool HasControlCharacter(const std::string& value) {
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

// Host names compare without regard to ASCII letter case.
bool SameHost(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

}  // namespace

std::string ObjectPath(const std::string& object) {
  std::string path;
  std::istringstream segments(object);
  bool first = true;
  for (std::string segment; std::getline(segments, segment, '/');) {
    if (segment.empty() || segment == "." || segment == "..") return std::string();
    if (!first) path += '/';
    first = false;
    for (const char c : segment) {
      const auto byte = static_cast<unsigned char>(c);
      if (IsUnreserved(byte)) {
        path += c;
      } else {
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
        path += escaped;
      }
    }
  }
  // getline drops a trailing empty segment ("cloud/").
  if (path.empty() || object.back() == '/') return std::string();
  return path;
}

std::variant<DirectRequest, std::string> MakeStorePut(const SignedPut& signed_put,
                                                      std::string bytes,
                                                      const std::string& store_host,
                                                      const std::string& route) {
  const std::pair<const char*, const std::string*> headers[] = {
      {"Host", &signed_put.host},
      {"Content-Type", &signed_put.content_type},
      {"x-qcs-date", &signed_put.date},
      {"Authorization", &signed_put.authorization},
  };
  for (const auto& [name, value] : headers) {
    if (HasControlCharacter(*value)) {
      return std::string("the signature's ") + name + " holds a control character";
    }
  }
  if (!SameHost(signed_put.host, store_host)) {
    return "the signature names the host \"" + signed_put.host + "\", not the object store " +
           store_host;
  }
  if (route.empty()) return "no route to the object store " + store_host;
  if (signed_put.content_length != bytes.size()) {
    return "the signature is for " + std::to_string(signed_put.content_length) +
           " bytes; the file has " + std::to_string(bytes.size());
  }
  const std::string path = ObjectPath(signed_put.object);
  if (path.empty()) return "the object name \"" + signed_put.object + "\" is not a path";

  DirectRequest put;
  put.method = "PUT";
  put.url = "http://" + store_host + "/" + path;
  // libcurl writes Host and Content-Length from the address and the body, which are checked above
  // to be the signed ones.
  put.headers = {{"Content-Type", signed_put.content_type},
                 {"x-qcs-date", signed_put.date},
                 {"Authorization", signed_put.authorization}};
  put.body = std::move(bytes);
  put.connect_to = route;
  put.max_answer_bytes = kStoreAnswerLimit;
  return put;
}

}  // namespace lumo::cli

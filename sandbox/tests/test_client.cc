#include "test_client.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <exception>

namespace lumo::sandbox::testing {
namespace {

std::string Join(const Params& pairs) {
  std::string text;
  for (const auto& [name, value] : pairs) {
    if (!text.empty()) text += '&';
    text += Encode(name) + "=" + Encode(value);
  }
  return text;
}

Params Common(const std::string& version) {
  return {{"format", "json"}, {"from", "qxpc"}, {"version", version}, {"version_d", "10.1.1.1"}};
}

}  // namespace

int Response::error_code() const {
  const web::json::value code = At(json, {"error_code"});
  return code.is_integer() ? code.as_integer() : -1;
}

web::json::value At(const web::json::value& value, std::initializer_list<std::string_view> path) {
  web::json::value at = value;
  for (const std::string_view name : path) {
    const utility::string_t key = utility::conversions::to_string_t(std::string(name));
    if (!at.is_object() || !at.has_field(key)) return web::json::value::null();
    at = at.at(key);
  }
  return at;
}

std::string Text(const web::json::value& value) {
  return value.is_string() ? utility::conversions::to_utf8string(value.as_string()) : std::string();
}

std::string Encode(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof(escape), "%%%02X", c);
      out += escape;
    }
  }
  return out;
}

int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string PlainTarget(const std::string& method, const Params& own, const std::string& version) {
  Params all = {{"method", method}};
  for (const auto& pair : Common(version)) all.push_back(pair);
  for (const auto& pair : own) all.push_back(pair);
  return "/v1/restserver/lumo?" + Join(all);
}

std::string EncryptedTarget(const std::string& method, const Params& own, int64_t timestamp,
                            const std::string& version) {
  Params inner = Common(version);
  for (const auto& pair : own) inner.push_back(pair);
  std::string ts = std::to_string(timestamp);
  std::string param = EncryptParam(Join(inner), ts);
  std::string sign = ParamSignature(param, ts);
  return "/v1/restserver/lumo?" +
         Join({{"method", method}, {"timestamp", ts}, {"param", param}, {"sign", sign}});
}

Params LyricsParams(const std::string& query, int64_t ts, int type) {
  std::string plain =
      "query=" + Encode(query) + "&ts=" + std::to_string(ts) + "&type=" + std::to_string(type);
  std::string e = EncryptLyricsValue(plain);
  return {{"query", query}, {"ts", std::to_string(ts)}, {"type", std::to_string(type)}, {"e", e}};
}

Response Client::Get(const std::string& target, const std::string& token,
                     const std::vector<std::string>& headers) {
  std::vector<std::string> all = {"User-Agent: qxpc_1.0.0", "Referer: http://www.lumo.example"};
  if (!token.empty()) all.push_back("Cookie: KWTOK=" + token);
  for (const std::string& header : headers) all.push_back(header);
  return Send("GET", target, all);
}

Response Client::Send(const std::string& verb, const std::string& target,
                      const std::vector<std::string>& headers, const std::string& body) {
  std::vector<std::string> all = headers;
  bool typed = false;
  for (const std::string& header : headers) typed = typed || header.rfind("Content-Type:", 0) == 0;
  // The sandbox takes a POST to its inspection endpoints only with a type no form can send.
  if (verb == "POST" && !typed) all.push_back("Content-Type: application/json");
  Response response = Exchange(verb, target, all, body);
  try {
    web::json::value parsed =
        web::json::value::parse(utility::conversions::to_string_t(response.body));
    if (parsed.is_object()) response.json = parsed;
  } catch (const std::exception&) {
    // Not JSON, or on Windows not even UTF-8: no JSON then.
  }
  return response;
}

}  // namespace lumo::sandbox::testing

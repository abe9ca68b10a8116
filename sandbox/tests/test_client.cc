// libcurl before the client's header: cpprestsdk's headers define `dllimport` as a macro, which
// breaks curl.h's attribute checks under clang.
#include <curl/curl.h>

#include "test_client.h"

#include <cctype>
#include <chrono>
#include <cstdio>

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

size_t Collect(char* data, size_t size, size_t count, void* sink) {
  static_cast<std::string*>(sink)->append(data, size * count);
  return size * count;
}

}  // namespace

int Response::error_code() const {
  return json.is_object() && json.has_field("error_code") ? json.at("error_code").as_integer() : -1;
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

Client::Client(uint16_t port) : port_(port), curl_(curl_easy_init()) {}

Client::~Client() { curl_easy_cleanup(static_cast<CURL*>(curl_)); }

Response Client::Get(const std::string& target, const std::string& token,
                     const std::vector<std::string>& headers) {
  std::vector<std::string> all = {"User-Agent: qxpc_1.0.0", "Referer: http://www.lumo.example"};
  if (!token.empty()) all.push_back("Cookie: KWTOK=" + token);
  for (const std::string& header : headers) all.push_back(header);
  return Send("GET", target, all);
}

Response Client::Send(const std::string& verb, const std::string& target,
                      const std::vector<std::string>& headers, const std::string& body) {
  CURL* curl = static_cast<CURL*>(curl_);
  curl_easy_reset(curl);
  Response response;
  std::string url = "http://127.0.0.1:" + std::to_string(port_) + target;
  curl_slist* list = nullptr;
  bool typed = false;
  for (const std::string& header : headers) {
    list = curl_slist_append(list, header.c_str());
    typed = typed || header.rfind("Content-Type:", 0) == 0;
  }
  // The sandbox takes a POST to its inspection endpoints only with a type no form can send.
  if (verb == "POST" && !typed) list = curl_slist_append(list, "Content-Type: application/json");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, verb.c_str());
  if (verb == "PUT" || verb == "POST") {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  // Longer than the whole exchange may take: a server that never sends "100 Continue" fails.
  curl_easy_setopt(curl, CURLOPT_EXPECT_100_TIMEOUT_MS, 30000L);
  response.curl_code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
  curl_slist_free_all(list);
  try {
    web::json::value parsed = web::json::value::parse(response.body);
    if (parsed.is_object()) response.json = parsed;
  } catch (const web::json::json_exception&) {
  }
  return response;
}

}  // namespace lumo::sandbox::testing

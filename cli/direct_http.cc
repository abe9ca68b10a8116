#include "direct_http.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace lumo::cli {
namespace {

size_t AppendBody(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// The connect limit of the service's transport.
constexpr long kConnectTimeoutMs = 10'000;

}  // namespace

DirectResult SendDirect(const DirectRequest& request) {
  DirectResult result;
  std::unique_ptr<FILE, decltype(&std::fclose)> file(
      request.path.empty() ? nullptr : std::fopen(request.path.c_str(), "rb"), std::fclose);
  if (!request.path.empty() && !file) {
    result.error = "cannot read " + request.path;
    return result;
  }
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), curl_easy_cleanup);
  curl_slist* header_list = nullptr;
  for (const auto& [name, value] : request.headers) {
    header_list = curl_slist_append(header_list, (name + ": " + value).c_str());
  }
  // The store answers at once; waiting for "100 Continue" would only add a delay.
  header_list = curl_slist_append(header_list, "Expect:");
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(header_list,
                                                                      curl_slist_free_all);
  curl_slist* route = nullptr;
  if (!request.connect_to.empty()) route = curl_slist_append(route, request.connect_to.c_str());
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> routes(route, curl_slist_free_all);

  char error[CURL_ERROR_SIZE] = "";
  CURL* handle = easy.get();
  curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
  if (file) {
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READDATA, file.get());
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(request.size));
  } else if (!request.body.empty() || request.method == "POST") {
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.c_str());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
  }
  curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  if (routes) {
    curl_easy_setopt(handle, CURLOPT_CONNECT_TO, routes.get());
    curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
  }
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                   static_cast<long>(std::chrono::milliseconds(request.timeout).count()));
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &result.body);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);

  if (request.verbose) {
    TraceRequest(request.method, request.url, request.headers, request.show_token);
  }
  const auto start = std::chrono::steady_clock::now();
  const CURLcode code = curl_easy_perform(handle);
  const auto took = std::chrono::steady_clock::now() - start;
  if (code != CURLE_OK) {
    result.error_code = code;
    result.error = *error ? error : curl_easy_strerror(code);
    if (request.verbose) TraceFailure(result.error, took);
    return result;
  }
  result.answered = true;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &result.http_status);
  if (request.verbose) {
    TraceAnswer(static_cast<int>(result.http_status), result.body.size(), took);
  }
  return result;
}

}  // namespace lumo::cli

#include "direct_http.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace lumo::cli {
namespace {

struct Answer {
  std::string* body;
  uint64_t limit;
  bool over_limit = false;
};

size_t AppendBody(char* data, size_t size, size_t count, void* answer_pointer) {
  auto* answer = static_cast<Answer*>(answer_pointer);
  if (answer->body->size() + size * count > answer->limit) {
    answer->over_limit = true;
    return 0;  // libcurl ends the exchange with a write error
  }
  answer->body->append(data, size * count);
  return size * count;
}

struct Upload {
  const std::string* body;
  size_t sent = 0;
};

size_t ReadBody(char* buffer, size_t size, size_t count, void* upload_pointer) {
  auto* upload = static_cast<Upload*>(upload_pointer);
  const size_t length = std::min(size * count, upload->body->size() - upload->sent);
  upload->body->copy(buffer, length, upload->sent);
  upload->sent += length;
  return length;
}

// The connect limit of the service's transport.
constexpr long kConnectTimeoutMs = 10'000;

}  // namespace

DirectResult SendDirect(const DirectRequest& request) {
  DirectResult result;
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
  const auto timeout_ms = std::chrono::milliseconds(request.timeout).count();
  CURL* handle = easy.get();
  curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
  Upload upload{&request.body};
  if (request.method == "PUT") {
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, &ReadBody);
    curl_easy_setopt(handle, CURLOPT_READDATA, &upload);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
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
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                   std::min<long>(kConnectTimeoutMs, static_cast<long>(timeout_ms)));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout_ms));
  Answer answer{&result.body, request.max_answer_bytes};
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);

  if (request.verbose) {
    TraceRequest(request.method, request.url, request.headers, request.show_token);
  }
  const auto start = std::chrono::steady_clock::now();
  const CURLcode code = curl_easy_perform(handle);
  const auto took = std::chrono::steady_clock::now() - start;
  if (code != CURLE_OK) {
    result.error_code = code;
    if (answer.over_limit) {
      result.error = "the answer is over " + std::to_string(request.max_answer_bytes) + " bytes";
    } else {
      result.error = *error ? error : curl_easy_strerror(code);
    }
    result.body.clear();
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

FailureKind FailureKindOf(int error_code) {
  switch (error_code) {
    case CURLE_COULDNT_CONNECT:
      return FailureKind::kRefused;
    case CURLE_OPERATION_TIMEDOUT:
      return FailureKind::kTimedOut;
    case CURLE_GOT_NOTHING:
      return FailureKind::kNothingAnswered;
    case CURLE_PARTIAL_FILE:
      return FailureKind::kCutShort;
    default:
      return FailureKind::kOther;
  }
}

}  // namespace lumo::cli

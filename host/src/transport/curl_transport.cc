// The default transport on Linux: the neutral core (transport_core.h) over libcurl's multi
// interface. Every easy handle, and the multi handle apart from curl_multi_wakeup, belongs to the
// core's network thread, so libcurl itself is only ever used from that thread.
#include <curl/curl.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "transport_driver.h"

namespace base::http::internal {
namespace {

// Finished easy handles kept for later transfers. Making a handle (a zeroed allocation of several
// kilobytes and all its defaults) costs more than resetting a used one.
constexpr size_t kMaxIdleHandles = 64;

// Network thread only, apart from Wake (see TransportDriver).
class CurlDriver final : public TransportDriver {
 public:
  CurlDriver();
  ~CurlDriver() override;
  CurlDriver(const CurlDriver&) = delete;
  CurlDriver& operator=(const CurlDriver&) = delete;

  DriverErrors Errors() const override;
  bool Attach(const Attachment& attachment, TransportResult& failure) override;
  void Detach(ExchangeId id) override;
  void Perform(DriverEvents& events) override;
  void Wait(int timeout_ms) override;
  void Wake() override;

 private:
  // One transfer in libcurl; its handle's options point into it, so it stays where it was made.
  struct Transfer {
    Transfer() = default;
    ~Transfer() {
      if (easy != nullptr) curl_easy_cleanup(easy);
      curl_slist_free_all(headers);
      curl_slist_free_all(connect_to);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    ExchangeId id = 0;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    curl_slist* connect_to = nullptr;
    BodySink* body = nullptr;
    char error[CURL_ERROR_SIZE] = {};
  };

  static size_t OnBody(char* data, size_t size, size_t count, void* body);
  // A reset handle from the idle ones, or a new one (null if that fails).
  CURL* TakeHandle();
  // Resets the transfer's handle and keeps it for later, unless enough are kept already (the
  // transfer's destructor then cleans it up). REQUIRES: the handle is not in `multi_`.
  void RecycleHandle(Transfer& transfer);

  CURLM* multi_ = nullptr;
  std::unordered_map<ExchangeId, Transfer> transfers_;
  std::vector<CURL*> idle_handles_;  // reset, in no multi handle
  std::string line_;                 // a header or --connect-to line being written
};

CurlDriver::CurlDriver() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  multi_ = curl_multi_init();
  curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxHostConnections);
}

CurlDriver::~CurlDriver() {
  transfers_.clear();
  for (CURL* easy : idle_handles_) curl_easy_cleanup(easy);
  curl_multi_cleanup(multi_);
}

DriverErrors CurlDriver::Errors() const {
  DriverErrors errors;
  errors.timed_out = CURLE_OPERATION_TIMEDOUT;
  errors.timed_out_text = curl_easy_strerror(CURLE_OPERATION_TIMEDOUT);
  errors.body_too_large = CURLE_FILESIZE_EXCEEDED;
  return errors;
}

void CurlDriver::Wait(int timeout_ms) { curl_multi_poll(multi_, nullptr, 0, timeout_ms, nullptr); }

void CurlDriver::Wake() { curl_multi_wakeup(multi_); }

size_t CurlDriver::OnBody(char* data, size_t size, size_t count, void* body) {
  const size_t length = size * count;
  // Returning less than `length` makes libcurl abort the transfer.
  return static_cast<BodySink*>(body)->Append(data, length) ? length : 0;
}

bool CurlDriver::Attach(const Attachment& attachment, TransportResult& failure) {
  CURL* easy = TakeHandle();
  if (easy == nullptr) {
    failure.error_code = CURLE_OUT_OF_MEMORY;
    failure.error_text = curl_easy_strerror(CURLE_OUT_OF_MEMORY);
    return false;
  }
  Transfer& transfer = transfers_.try_emplace(attachment.id).first->second;
  transfer.id = attachment.id;
  transfer.easy = easy;
  transfer.body = attachment.body;

  const TransportRequest& request = *attachment.request;
  curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  // A new or reset handle sends a GET already.
  if (!request.method.empty() && request.method != "GET") {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }
  for (const auto& [name, value] : request.headers) {
    // "Name;" is libcurl's way of sending a header with an empty value ("Name:" would remove it).
    line_.assign(name);
    line_ += value.empty() ? ";" : ": ";
    line_ += value;
    transfer.headers = curl_slist_append(transfer.headers, line_.c_str());
  }
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers);
  if (const Route* route = attachment.route) {
    line_.assign(route->from);
    line_ += ':';
    line_ += route->to;
    transfer.connect_to = curl_slist_append(nullptr, line_.c_str());
    curl_easy_setopt(easy, CURLOPT_CONNECT_TO, transfer.connect_to);
  }
  // Unset (empty), libcurl reads the proxy and the hosts that bypass it from the environment.
  const ProxyChoice& proxy = *attachment.proxy;
  if (proxy.direct) {
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
  } else {
    if (!proxy.url.empty()) curl_easy_setopt(easy, CURLOPT_PROXY, proxy.url.c_str());
    if (!proxy.no_proxy.empty()) curl_easy_setopt(easy, CURLOPT_NOPROXY, proxy.no_proxy.c_str());
  }
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // libcurl's connect timeout covers the name lookup and the connect; the core keeps the total.
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(attachment.connect_timeout_ms));
  // An announced length over the cap fails before any of the body is read.
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                   static_cast<curl_off_t>(attachment.body->max_bytes()));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlDriver::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, attachment.body);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.error);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);

  const CURLMcode added = curl_multi_add_handle(multi_, easy);
  if (added != CURLM_OK) {
    failure.error_code = CURLE_FAILED_INIT;
    failure.error_text = curl_multi_strerror(added);
    transfers_.erase(attachment.id);
    return false;
  }
  return true;
}

void CurlDriver::Detach(ExchangeId id) {
  auto it = transfers_.find(id);
  if (it == transfers_.end()) return;
  curl_multi_remove_handle(multi_, it->second.easy);
  RecycleHandle(it->second);
  transfers_.erase(it);
}

void CurlDriver::Perform(DriverEvents& events) {
  int running = 0;
  curl_multi_perform(multi_, &running);
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    CURL* easy = message->easy_handle;
    const CURLcode code = message->data.result;  // `message` dies with the handle's removal
    Transfer* transfer = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &transfer);
    curl_multi_remove_handle(multi_, easy);

    TransportResult result;
    if (code == CURLE_OK) {
      long status = 0;
      curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
      result.ok = true;
      result.status = static_cast<int32_t>(status);
    } else {
      if (code == CURLE_FILESIZE_EXCEEDED) transfer->body->MarkTooLarge();
      result.error_code = code;
      result.error_text = curl_easy_strerror(code);
      if (transfer->error[0] != '\0') result.error_text += std::string(": ") + transfer->error;
    }
    const ExchangeId id = transfer->id;
    RecycleHandle(*transfer);
    transfers_.erase(id);
    events.Finished(id, std::move(result));
  }
}

CURL* CurlDriver::TakeHandle() {
  if (idle_handles_.empty()) return curl_easy_init();
  CURL* easy = idle_handles_.back();
  idle_handles_.pop_back();
  return easy;
}

void CurlDriver::RecycleHandle(Transfer& transfer) {
  if (transfer.easy == nullptr || idle_handles_.size() >= kMaxIdleHandles) return;
  // Reset at once: the handle's options still point into the transfer (headers, error buffer).
  curl_easy_reset(transfer.easy);
  idle_handles_.push_back(std::exchange(transfer.easy, nullptr));
}

}  // namespace

std::unique_ptr<TransportDriver> NewPlatformDriver() { return std::make_unique<CurlDriver>(); }

bool StopsNetworkThreadAtExit() { return true; }

}  // namespace base::http::internal

// The default transport on Windows: the neutral core (transport_core.h) over WinHTTP's
// asynchronous interface.
//
// Every WinHTTP call is made on the core's network thread. The status callback, which WinHTTP
// calls on threads of its own (or inside a call of ours), only posts what it was told to a mailbox
// that Perform empties; Perform then takes each exchange a step further (receive the answer, read
// the next piece of the body, or report the end). So the body is written on the network thread
// alone, and once Detach has closed a request nothing of its exchange is looked at again.
//
// What a request's callbacks need outlives the request: its context (the exchange's id, the
// mailbox and the buffer WinHTTP reads the body into) is the request handle's context value, and
// the callback deletes it at WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING, the last callback WinHTTP
// makes for a handle, which may come after WinHttpCloseHandle has returned. The mailbox is shared
// with the driver, so a callback that comes after the driver is gone still has somewhere to post.
//
// Proxies: a routed exchange never uses one; SetProxy's proxy is used for every host but those of
// SetNoProxy; otherwise the user's static proxy setting (WinHttpGetIEProxyConfigForCurrentUser)
// with its bypass list, read once, or else WinHTTP's own default configuration. Automatic
// detection and configuration scripts are not followed: they would have the transport fetch a
// script and look up names of its own accord. Each proxy setting in use has a session of its own,
// opened with it when an exchange first needs it: a session's proxy is the setting every WinHTTP
// honours (a request's own, WINHTTP_OPTION_PROXY on the request handle, is not, under Wine), and
// the settings change seldom, so there are one or two.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/logging.h"
#include "base/string_utils.h"
#include "base/thread/mutex.h"
#include "transport_driver.h"

namespace base::http::internal {
namespace {

// The body is read in pieces of this size; each exchange has one such buffer.
constexpr DWORD kReadBytes = 16 * 1024;

// How long Release waits for WinHTTP to report its handles closed.
constexpr std::chrono::milliseconds kReleaseWait{5000};

// What a status callback tells the network thread about one exchange.
struct Report {
  ExchangeId id = 0;
  DWORD status = 0;  // the WINHTTP_CALLBACK_STATUS_ value
  DWORD bytes = 0;   // read, for a read that completed
  DWORD error = 0;   // for a request error
};

// Where the callbacks post their reports; shared by the driver and every request's context.
struct Mailbox {
  base::thread::Mutex mutex;
  std::condition_variable arrived;
  std::vector<Report> reports GUARDED_BY(mutex);
  bool woken GUARDED_BY(mutex) = false;  // Wake was called since Wait last returned
};

// The context value of one request handle, deleted by the handle's closing callback.
struct HandleContext {
  HandleContext(ExchangeId exchange, std::shared_ptr<Mailbox> box)
      : id(exchange), mailbox(std::move(box)) {}

  const ExchangeId id;
  const std::shared_ptr<Mailbox> mailbox;
  // WinHTTP writes a piece of the body here; the network thread reads it once the read is
  // reported complete and before it asks for the next piece.
  char buffer[kReadBytes];
};

// The handles of every driver that WinHTTP has yet to call back as closing: the DLL that holds
// the callback must stay until none is left.
class OpenHandles {
 public:
  static OpenHandles& Instance() {
    // Never destroyed: a callback may come while the process exits.
    static OpenHandles* handles = new OpenHandles;
    return *handles;
  }
  void Opened() {
    base::thread::MutexLock lock(&mutex_);
    ++count_;
  }
  void Closed() {
    base::thread::MutexLock lock(&mutex_);
    if (--count_ == 0) none_.notify_all();
  }
  // False if some are still open after `timeout`.
  bool WaitForNone(std::chrono::milliseconds timeout) {
    base::thread::MutexLock lock(&mutex_);
    return none_.wait_for(lock.native(), timeout, [this] {
      mutex_.AssertHeld();
      return count_ == 0;
    });
  }

 private:
  base::thread::Mutex mutex_;
  std::condition_variable none_;
  size_t count_ GUARDED_BY(mutex_) = 0;
};

void CALLBACK OnStatus(HINTERNET /*handle*/, DWORD_PTR context_value, DWORD status, LPVOID info,
                       DWORD info_length) {
  auto* context = reinterpret_cast<HandleContext*>(context_value);
  if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
    delete context;
    OpenHandles::Instance().Closed();  // the last thing this callback does with the handle
    return;
  }
  if (context == nullptr) return;  // the session and connection handles carry no context
  Report report;
  report.id = context->id;
  report.status = status;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      report.bytes = info_length;
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      report.error = static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError;
      break;
    default:
      return;
  }
  Mailbox& mailbox = *context->mailbox;
  {
    base::thread::MutexLock lock(&mailbox.mutex);
    mailbox.reports.push_back(report);
  }
  mailbox.arrived.notify_one();
}

// A short English text for a WinHTTP (or system) error code.
std::string ErrorText(DWORD code) {
  switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
      return "The operation timed out";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return "The server name could not be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return "Could not connect to the server";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "The connection with the server was reset or terminated";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return "The server returned an invalid or unrecognized response";
    case ERROR_WINHTTP_INVALID_URL:
      return "The URL is invalid";
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      return "The URL scheme is not supported";
    case ERROR_WINHTTP_OPERATION_CANCELLED:
      return "The operation was cancelled";
    case ERROR_WINHTTP_SECURE_FAILURE:
      return "The server's certificate or the secure channel failed";
    case ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW:
      return "The response is larger than allowed";
    case ERROR_WINHTTP_HEADER_SIZE_OVERFLOW:
      return "The response headers are too large";
    case ERROR_WINHTTP_SHUTDOWN:
      return "WinHTTP is shutting down";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return "Not enough memory";
    default:
      return code >= WINHTTP_ERROR_BASE && code <= WINHTTP_ERROR_LAST ? "WinHTTP error"
                                                                      : "System error";
  }
}

TransportResult Failure(DWORD code) {
  TransportResult result;
  result.error_code = static_cast<int>(code);
  result.error_text = ErrorText(code);
  return result;
}

std::wstring Wide(const std::string& utf8) { return string_utils::ToUtf16(utf8); }

// A "host:port" split; the host keeps no brackets. Nothing if the port is missing or bad.
std::optional<std::pair<std::wstring, INTERNET_PORT>> SplitHostPort(const std::string& host_port) {
  const size_t colon = host_port.rfind(':');
  if (colon == std::string::npos || colon + 1 == host_port.size()) return std::nullopt;
  unsigned long port = 0;
  for (size_t i = colon + 1; i < host_port.size(); ++i) {
    const char c = host_port[i];
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + static_cast<unsigned long>(c - '0');
    if (port > 65535) return std::nullopt;
  }
  std::string host = host_port.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  if (host.empty()) return std::nullopt;
  return std::make_pair(Wide(host), static_cast<INTERNET_PORT>(port));
}

// SetNoProxy's list ("a.example,.b.example,127.0.0.1") as WinHTTP's bypass list, where a bare name
// is that host alone: a domain covers its subdomains, so it is written both ways. Nothing when an
// entry is "*" (every host is reached directly).
std::optional<std::wstring> BypassList(const std::string& no_proxy) {
  std::wstring list;
  size_t start = 0;
  while (start <= no_proxy.size()) {
    size_t end = no_proxy.find(',', start);
    if (end == std::string::npos) end = no_proxy.size();
    std::string entry = no_proxy.substr(start, end - start);
    start = end + 1;
    entry.erase(0, entry.find_first_not_of(" \t"));
    entry.erase(entry.find_last_not_of(" \t") + 1);
    if (entry == "*") return std::nullopt;
    if (!entry.empty() && entry.front() == '.') entry.erase(0, 1);
    if (entry.empty()) continue;
    const bool address = entry.find_first_not_of("0123456789.") == std::string::npos ||
                         entry.find(':') != std::string::npos;
    if (!list.empty()) list += L';';
    list += Wide(entry);
    if (!address) list += L";*." + Wide(entry);
  }
  return list;
}

// SetProxy's address as WinHTTP names a proxy server: "host:port". Its own "http://" form is
// not read alike everywhere (Wine takes "http" for the host). Nothing for another scheme
// ("socks5://", "https://"): WinHTTP reaches http proxies only.
std::optional<std::wstring> ProxyServer(const std::string& url) {
  std::string server = url;
  const size_t scheme_end = server.find("://");
  if (scheme_end != std::string::npos) {
    if (scheme_end != 4 || _strnicmp(server.c_str(), "http", 4) != 0) return std::nullopt;
    server.erase(0, scheme_end + 3);
  }
  server.erase(std::min(server.find('/'), server.size()));
  return Wide(server);
}

// What the transport needs of an address.
struct UrlParts {
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring target;  // in origin form: the path and the query, without a fragment
};

bool CrackUrl(const std::string& address, UrlParts& url, TransportResult& failure) {
  const std::wstring wide = Wide(address);
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) {
    failure = Failure(GetLastError());
    return false;
  }
  url.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  url.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  url.port = parts.nPort;
  url.target.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  std::wstring query(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  query.erase(std::min(query.find(L'#'), query.size()));
  if (url.target.empty()) url.target = L"/";
  url.target += query;
  return true;
}

// A proxy and the hosts that bypass it, as WinHttpOpen takes them.
struct ProxySetting {
  DWORD access = WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
  std::wstring proxy;   // for a named proxy
  std::wstring bypass;  // for a named proxy; may be empty

  bool operator<(const ProxySetting& other) const {
    return std::tie(access, proxy, bypass) < std::tie(other.access, other.proxy, other.bypass);
  }
};

// Network thread only, apart from Wake (see TransportDriver).
class WinHttpDriver final : public TransportDriver {
 public:
  WinHttpDriver();
  ~WinHttpDriver() override;
  WinHttpDriver(const WinHttpDriver&) = delete;
  WinHttpDriver& operator=(const WinHttpDriver&) = delete;

  DriverErrors Errors() const override;
  bool Attach(const Attachment& attachment, TransportResult& failure) override;
  void Detach(ExchangeId id) override;
  void Perform(DriverEvents& events) override;
  void Wait(int timeout_ms) override;
  void Wake() override;
  void Release() override;

 private:
  struct Transfer {
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    HandleContext* context = nullptr;  // valid while `request` is open
    BodySink* body = nullptr;
    DWORD status = 0;
    uint64_t announced = UINT64_MAX;  // the Content-Length of the answer, if it gave one
    uint64_t received = 0;            // bytes of the body so far
    bool connected = false;           // reported to the core
  };

  // Opens the exchange's handles and sends its request; false with `failure` filled in. Each
  // step below the same, filling in `transfer` as it goes.
  bool Open(const Attachment& attachment, Transfer& transfer, TransportResult& failure);
  // The connection handle: to the route's address if there is one (`host_header` then names
  // the address's own host), through the session of the exchange's proxy setting.
  bool Connect(const Attachment& attachment, const UrlParts& url, Transfer& transfer,
               std::wstring& host_header, TransportResult& failure);
  // The request handle with its context and options.
  bool OpenRequest(const Attachment& attachment, const UrlParts& url, Transfer& transfer,
                   TransportResult& failure);
  // The request's headers, each as given: empty values and repeated names included.
  static bool AddHeaders(const TransportRequest& request, const std::wstring& host_header,
                         Transfer& transfer, TransportResult& failure);
  // What the exchange's choice comes to: no proxy, SetProxy's, the user's, or WinHTTP's default;
  // nothing, with `failure` set, for a proxy WinHTTP cannot use.
  std::optional<ProxySetting> SettingFor(const ProxyChoice& choice, TransportResult& failure) const;
  // The session for `setting`, opened now if it is the first exchange with it; null with
  // `error` set if WinHTTP refuses it.
  HINTERNET SessionFor(const ProxySetting& setting, DWORD& error);
  // Takes the exchange one step further after `report`; false when it ended (`result` set).
  bool Advance(Transfer& transfer, const Report& report, TransportResult& result);
  // Asks for the next piece of the body; false with `result` set if WinHTTP refuses.
  static bool ReadNext(Transfer& transfer, TransportResult& result);
  void Finish(ExchangeId id, TransportResult result, DriverEvents& events);
  // Closes the exchange's handles; its context goes with the request handle's last callback.
  static void Close(Transfer& transfer);

  const std::shared_ptr<Mailbox> mailbox_ = std::make_shared<Mailbox>();
  std::map<ProxySetting, HINTERNET> sessions_;
  std::optional<ProxySetting> user_proxy_;  // the user's static proxy setting, if any
  std::unordered_map<ExchangeId, Transfer> transfers_;
  std::vector<Report> reports_;  // being handled by Perform
};

WinHttpDriver::WinHttpDriver() {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
  if (WinHttpGetIEProxyConfigForCurrentUser(&config)) {
    if (config.lpszProxy != nullptr && config.lpszProxy[0] != L'\0') {
      user_proxy_ = ProxySetting{WINHTTP_ACCESS_TYPE_NAMED_PROXY, config.lpszProxy,
                                 config.lpszProxyBypass ? config.lpszProxyBypass : L""};
    }
    for (LPWSTR text : {config.lpszAutoConfigUrl, config.lpszProxy, config.lpszProxyBypass}) {
      if (text != nullptr) GlobalFree(text);
    }
  }
}

WinHttpDriver::~WinHttpDriver() {
  for (auto& [id, transfer] : transfers_) Close(transfer);
  // Late callbacks of closed requests still find their contexts and the mailbox.
  for (const auto& [setting, session] : sessions_) WinHttpCloseHandle(session);
}

void WinHttpDriver::Release() {
  for (const auto& [setting, session] : sessions_) WinHttpCloseHandle(session);
  sessions_.clear();
  // WinHTTP reports a handle closed from a thread of its own, perhaps after the close returned.
  if (!OpenHandles::Instance().WaitForNone(kReleaseWait)) {
    logging::LogMessage(L"base::http::internal::WinHttpDriver::Release", __LINE__,
                        logging::LoggingSeverity::kWarning,
                        L"WinHTTP has not reported every handle closed after " +
                            std::to_wstring(kReleaseWait.count()) + L" ms");
  }
}

HINTERNET WinHttpDriver::SessionFor(const ProxySetting& setting, DWORD& error) {
  auto it = sessions_.find(setting);
  if (it != sessions_.end()) return it->second;
  const bool named = setting.access == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  const HINTERNET session = WinHttpOpen(
      nullptr, setting.access, named ? setting.proxy.c_str() : WINHTTP_NO_PROXY_NAME,
      named && !setting.bypass.empty() ? setting.bypass.c_str() : WINHTTP_NO_PROXY_BYPASS,
      WINHTTP_FLAG_ASYNC);
  if (session == nullptr) {
    error = GetLastError();
    return nullptr;
  }
  // Set before any handle is made from the session: handles take their callback from it.
  constexpr DWORD kCallbacks = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS |
                               WINHTTP_CALLBACK_FLAG_HANDLES |
                               WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER;
  if (WinHttpSetStatusCallback(session, &OnStatus, kCallbacks, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK) {
    error = GetLastError();
    WinHttpCloseHandle(session);
    return nullptr;
  }
  OpenHandles::Instance().Opened();
  DWORD connections = kMaxHostConnections;
  if (!WinHttpSetOption(session, WINHTTP_OPTION_MAX_CONNS_PER_SERVER, &connections,
                        sizeof(connections)) ||
      !WinHttpSetOption(session, WINHTTP_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections,
                        sizeof(connections))) {
    error = GetLastError();
    WinHttpCloseHandle(session);  // its closing callback counts it out
    return nullptr;
  }
  sessions_.emplace(setting, session);
  return session;
}

DriverErrors WinHttpDriver::Errors() const {
  DriverErrors errors;
  errors.timed_out = ERROR_WINHTTP_TIMEOUT;
  errors.timed_out_text = ErrorText(ERROR_WINHTTP_TIMEOUT);
  errors.body_too_large = ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW;
  // WinHTTP times the name lookup and the connect each on its own.
  errors.reports_connects = true;
  return errors;
}

void WinHttpDriver::Wait(int timeout_ms) {
  base::thread::MutexLock lock(&mailbox_->mutex);
  mailbox_->arrived.wait_for(lock.native(), std::chrono::milliseconds(timeout_ms), [this] {
    mailbox_->mutex.AssertHeld();
    return mailbox_->woken || !mailbox_->reports.empty();
  });
  mailbox_->woken = false;
}

void WinHttpDriver::Wake() {
  {
    base::thread::MutexLock lock(&mailbox_->mutex);
    mailbox_->woken = true;
  }
  mailbox_->arrived.notify_one();
}

bool WinHttpDriver::Attach(const Attachment& attachment, TransportResult& failure) {
  Transfer transfer;
  transfer.body = attachment.body;
  if (!Open(attachment, transfer, failure)) {
    Close(transfer);
    return false;
  }
  transfers_.emplace(attachment.id, transfer);
  return true;
}

bool WinHttpDriver::Open(const Attachment& attachment, Transfer& transfer,
                         TransportResult& failure) {
  UrlParts url;
  std::wstring host_header;
  if (!CrackUrl(attachment.request->url, url, failure) ||
      !Connect(attachment, url, transfer, host_header, failure) ||
      !OpenRequest(attachment, url, transfer, failure) ||
      !AddHeaders(*attachment.request, host_header, transfer, failure)) {
    return false;
  }
  if (!WinHttpSendRequest(transfer.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                          WINHTTP_NO_REQUEST_DATA, 0, 0,
                          reinterpret_cast<DWORD_PTR>(transfer.context))) {
    failure = Failure(GetLastError());
    return false;
  }
  return true;
}

bool WinHttpDriver::Connect(const Attachment& attachment, const UrlParts& url, Transfer& transfer,
                            std::wstring& host_header, TransportResult& failure) {
  std::wstring host = url.host;
  INTERNET_PORT port = url.port;
  // A routed exchange connects to the route's address; the Host header stays the address's own.
  if (const Route* route = attachment.route) {
    const auto to = SplitHostPort(route->to);
    if (!to) {
      failure = Failure(ERROR_WINHTTP_INVALID_URL);
      return false;
    }
    const INTERNET_PORT scheme_port =
        url.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    host_header = host + (port == scheme_port ? L"" : L":" + std::to_wstring(port));
    std::tie(host, port) = *to;
  }
  std::optional<ProxySetting> setting = SettingFor(*attachment.proxy, failure);
  if (!setting) return false;
  DWORD error = 0;
  const HINTERNET session = SessionFor(*setting, error);
  if (session == nullptr) {
    failure = Failure(error);
    return false;
  }
  transfer.connection = WinHttpConnect(session, host.c_str(), port, 0);
  if (transfer.connection == nullptr) {
    failure = Failure(GetLastError());
    return false;
  }
  OpenHandles::Instance().Opened();
  return true;
}

bool WinHttpDriver::OpenRequest(const Attachment& attachment, const UrlParts& url,
                                Transfer& transfer, TransportResult& failure) {
  const TransportRequest& request = *attachment.request;
  const std::wstring method = request.method.empty() ? L"GET" : Wide(request.method);
  // The address arrives encoded already: WinHTTP sends it as it is.
  const DWORD flags = (url.secure ? WINHTTP_FLAG_SECURE : 0) | WINHTTP_FLAG_ESCAPE_DISABLE |
                      WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
  transfer.request =
      WinHttpOpenRequest(transfer.connection, method.c_str(), url.target.c_str(), nullptr,
                         WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
  if (transfer.request == nullptr) {
    failure = Failure(GetLastError());
    return false;
  }
  OpenHandles::Instance().Opened();
  auto context = std::make_unique<HandleContext>(attachment.id, mailbox_);
  DWORD_PTR context_value = reinterpret_cast<DWORD_PTR>(context.get());
  if (!WinHttpSetOption(transfer.request, WINHTTP_OPTION_CONTEXT_VALUE, &context_value,
                        sizeof(context_value))) {
    failure = Failure(GetLastError());
    return false;
  }
  // From here on the handle's closing callback deletes the context.
  transfer.context = context.release();

  // Like the libcurl transport: no redirects followed, no cookie store of its own.
  DWORD disabled = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
  // The core keeps the connect budget (name lookup and connect together) and the total; each of
  // WinHTTP's own limits is set so that it ends no sooner.
  const auto clamp = [](int64_t ms) {
    return static_cast<int>(std::clamp<int64_t>(ms, 0, INT_MAX));
  };
  const int connect = clamp(attachment.connect_timeout_ms);
  const int total = clamp(attachment.total_timeout_ms);
  if (!WinHttpSetOption(transfer.request, WINHTTP_OPTION_DISABLE_FEATURE, &disabled,
                        sizeof(disabled)) ||
      !WinHttpSetTimeouts(transfer.request, connect, connect, total, total)) {
    failure = Failure(GetLastError());
    failure.error_text += " (setting up the request)";
    return false;
  }
  return true;
}

bool WinHttpDriver::AddHeaders(const TransportRequest& request, const std::wstring& host_header,
                               Transfer& transfer, TransportResult& failure) {
  // One call per header, without WINHTTP_ADDREQ_FLAG_REPLACE, which would drop an empty value
  // and merge a repeated name into one line.
  const auto add = [&](const std::string& name, const std::wstring& value) {
    const std::wstring line = Wide(name) + L": " + value;
    if (WinHttpAddRequestHeaders(transfer.request, line.c_str(), static_cast<DWORD>(line.size()),
                                 WINHTTP_ADDREQ_FLAG_ADD)) {
      return true;
    }
    failure = Failure(GetLastError());
    failure.error_text += " (adding the header " + name + ")";  // its value may be a secret
    return false;
  };
  if (!host_header.empty() && !add("Host", host_header)) return false;
  for (const auto& [name, value] : request.headers) {
    if (!add(name, Wide(value))) return false;
  }
  return true;
}

std::optional<ProxySetting> WinHttpDriver::SettingFor(const ProxyChoice& choice,
                                                      TransportResult& failure) const {
  std::optional<std::wstring> listed;
  if (!choice.no_proxy.empty()) listed = BypassList(choice.no_proxy);
  if (choice.direct || (!choice.no_proxy.empty() && !listed)) {
    return ProxySetting{WINHTTP_ACCESS_TYPE_NO_PROXY, L"", L""};
  }
  if (!choice.url.empty()) {
    const std::optional<std::wstring> server = ProxyServer(choice.url);
    if (!server) {
      failure = Failure(ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
      failure.error_text +=
          ": the proxy " + choice.url + " is not an http proxy, the only kind " + "WinHTTP reaches";
      return std::nullopt;
    }
    ProxySetting setting{WINHTTP_ACCESS_TYPE_NAMED_PROXY, *server, L""};
    setting.bypass = listed ? *listed : (user_proxy_ ? user_proxy_->bypass : L"");
    // A proxy named by the host is used for every host not listed, loopback addresses included
    // (which Windows may otherwise reach directly), as on Linux.
    setting.bypass += setting.bypass.empty() ? L"<-loopback>" : L";<-loopback>";
    return setting;
  }
  if (user_proxy_) {
    ProxySetting setting = *user_proxy_;
    if (listed) setting.bypass = *listed;
    return setting;
  }
  return ProxySetting{};  // WinHTTP's own default configuration
}

void WinHttpDriver::Detach(ExchangeId id) {
  auto it = transfers_.find(id);
  if (it == transfers_.end()) return;
  Close(it->second);
  transfers_.erase(it);
}

void WinHttpDriver::Close(Transfer& transfer) {
  transfer.context = nullptr;
  if (transfer.request != nullptr) WinHttpCloseHandle(std::exchange(transfer.request, nullptr));
  if (transfer.connection != nullptr) {
    WinHttpCloseHandle(std::exchange(transfer.connection, nullptr));
  }
}

void WinHttpDriver::Perform(DriverEvents& events) {
  {
    base::thread::MutexLock lock(&mailbox_->mutex);
    reports_.swap(mailbox_->reports);
  }
  for (const Report& report : reports_) {
    auto it = transfers_.find(report.id);
    if (it == transfers_.end()) continue;  // detached or finished: a late report
    Transfer& transfer = it->second;
    // Connected, or sent (a connection kept from an earlier exchange is not announced).
    if (!transfer.connected && report.status != WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) {
      transfer.connected = true;
      events.Connected(report.id);
    }
    TransportResult result;
    if (!Advance(transfer, report, result)) Finish(report.id, std::move(result), events);
  }
  reports_.clear();
}

bool WinHttpDriver::Advance(Transfer& transfer, const Report& report, TransportResult& result) {
  switch (report.status) {
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
      return true;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
      if (WinHttpReceiveResponse(transfer.request, nullptr)) return true;
      result = Failure(GetLastError());
      return false;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE: {
      DWORD size = sizeof(transfer.status);
      WinHttpQueryHeaders(transfer.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &transfer.status, &size,
                          WINHTTP_NO_HEADER_INDEX);
      wchar_t length[32] = {};
      size = sizeof(length);
      // An announced length over the cap fails before any of the body is read.
      if (WinHttpQueryHeaders(transfer.request, WINHTTP_QUERY_CONTENT_LENGTH,
                              WINHTTP_HEADER_NAME_BY_INDEX, length, &size,
                              WINHTTP_NO_HEADER_INDEX)) {
        transfer.announced = _wcstoui64(length, nullptr, 10);
        if (transfer.announced > transfer.body->max_bytes()) {
          transfer.body->MarkTooLarge();
          result = Failure(ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW);
          return false;
        }
      }
      return ReadNext(transfer, result);
    }
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      if (report.bytes == 0) {
        // WinHTTP ends the body quietly when the server closes the connection early; an answer
        // shorter than it announced is a broken exchange, as libcurl reports it.
        if (transfer.announced != UINT64_MAX && transfer.received < transfer.announced) {
          result = Failure(ERROR_WINHTTP_CONNECTION_ERROR);
          result.error_text = "The connection closed after " + std::to_string(transfer.received) +
                              " of " + std::to_string(transfer.announced) + " bytes";
          return false;
        }
        result.ok = true;
        result.status = static_cast<int32_t>(transfer.status);
        return false;
      }
      transfer.received += report.bytes;
      if (!transfer.body->Append(transfer.context->buffer, report.bytes)) {
        result = Failure(ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW);
        return false;
      }
      return ReadNext(transfer, result);
    default:  // WINHTTP_CALLBACK_STATUS_REQUEST_ERROR
      result = Failure(report.error);
      return false;
  }
}

bool WinHttpDriver::ReadNext(Transfer& transfer, TransportResult& result) {
  // In asynchronous mode the bytes read arrive with the completion, never through the call.
  if (WinHttpReadData(transfer.request, transfer.context->buffer, kReadBytes, nullptr)) return true;
  result = Failure(GetLastError());
  return false;
}

void WinHttpDriver::Finish(ExchangeId id, TransportResult result, DriverEvents& events) {
  auto it = transfers_.find(id);
  Close(it->second);
  transfers_.erase(it);
  events.Finished(id, std::move(result));
}

}  // namespace

std::unique_ptr<TransportDriver> NewPlatformDriver() { return std::make_unique<WinHttpDriver>(); }

bool StopsNetworkThreadAtExit() { return false; }

}  // namespace base::http::internal

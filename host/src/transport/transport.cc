// Process-wide transport settings: which transport new requests use, routes, limits and proxy.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <utility>

#include "base/thread/mutex.h"
#include "transport_internal.h"

namespace base::http {
namespace {

std::string ToLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

struct Settings {
  base::thread::Mutex mutex;
  std::shared_ptr<Transport> transport GUARDED_BY(mutex);       // null: the default one
  std::map<std::string, std::string> routes GUARDED_BY(mutex);  // "host:port" -> target
  TransportLimits limits GUARDED_BY(mutex);
  internal::ProxySettings proxy GUARDED_BY(mutex);
  std::atomic<uint64_t> routes_version{0};  // bumped after every change of `routes`
};

// Never destroyed: exchanges may start while the process exits.
Settings& GetSettings() {
  static Settings* settings = new Settings;
  return *settings;
}

}  // namespace

void SetTransport(std::shared_ptr<Transport> transport) {
  Settings& settings = GetSettings();
  std::shared_ptr<Transport> previous;
  {
    base::thread::MutexLock lock(&settings.mutex);
    previous = std::exchange(settings.transport, std::move(transport));
  }
  // `previous` may be the last reference; it goes outside the lock.
}

std::shared_ptr<Transport> GetTransport() {
  Settings& settings = GetSettings();
  {
    base::thread::MutexLock lock(&settings.mutex);
    if (settings.transport) return settings.transport;
  }
  return internal::DefaultTransport();
}

void SetConnectTo(const std::string& host_port, const std::string& to_host_port) {
  Settings& settings = GetSettings();
  base::thread::MutexLock lock(&settings.mutex);
  if (to_host_port.empty()) {
    settings.routes.erase(ToLower(host_port));
  } else {
    settings.routes[ToLower(host_port)] = to_host_port;
  }
  ++settings.routes_version;
}

void SetTransportLimits(const TransportLimits& limits) {
  Settings& settings = GetSettings();
  base::thread::MutexLock lock(&settings.mutex);
  settings.limits = limits;
}

void SetProxy(const std::string& proxy_url) {
  Settings& settings = GetSettings();
  base::thread::MutexLock lock(&settings.mutex);
  settings.proxy.url = proxy_url;
}

void SetNoProxy(const std::string& hosts) {
  Settings& settings = GetSettings();
  base::thread::MutexLock lock(&settings.mutex);
  settings.proxy.no_proxy = hosts;
}

namespace internal {

std::optional<std::string> RouteFor(const std::string& host_port) {
  Settings& settings = GetSettings();
  base::thread::MutexLock lock(&settings.mutex);
  auto it = settings.routes.find(ToLower(host_port));
  if (it == settings.routes.end()) return std::nullopt;
  return it->second;
}

uint64_t RoutesVersion() { return GetSettings().routes_version.load(); }

TransportLimits CurrentLimits() {
  Settings& settings = GetSettings();
  base::thread::MutexLock lock(&settings.mutex);
  return settings.limits;
}

ProxySettings CurrentProxy() {
  Settings& settings = GetSettings();
  base::thread::MutexLock lock(&settings.mutex);
  return settings.proxy;
}

}  // namespace internal
}  // namespace base::http

// What the transport settings look like from inside the host layer: the default transport and the
// routes, limits and proxy that apply to an exchange at the moment it starts.
#ifndef HOST_SRC_TRANSPORT_TRANSPORT_INTERNAL_H_
#define HOST_SRC_TRANSPORT_TRANSPORT_INTERNAL_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/http/transport.h"

namespace base::http::internal {

// The platform's transport shared by the whole process (transport_core.cc).
std::shared_ptr<Transport> DefaultTransport();

// Ends the default transport's network thread for now, if it was ever made (TransportCore::Stop);
// how many exchanges it dropped.
size_t StopDefaultTransport();

// The address that `host_port` ("host:port", host in lower case) is routed to, if any.
std::optional<std::string> RouteFor(const std::string& host_port);

// Changes whenever a route is set or removed.
uint64_t RoutesVersion();

TransportLimits CurrentLimits();

// SetProxy and SetNoProxy's values; empty ones are left to the environment.
struct ProxySettings {
  std::string url;
  std::string no_proxy;
};
ProxySettings CurrentProxy();

}  // namespace base::http::internal

#endif  // HOST_SRC_TRANSPORT_TRANSPORT_INTERNAL_H_

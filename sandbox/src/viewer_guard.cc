#include "viewer_guard.h"

#include <boost/beast/core/string.hpp>

#include <vector>

#include "refusal.h"

namespace lumo::sandbox {
namespace {

using boost::beast::iequals;

// The Host values that name this server: its loopback names and the listening address, each
// with the port (a browser always writes a port other than 80).
std::vector<std::string> OwnHosts(std::string_view listen_address, uint16_t port) {
  std::vector<std::string> hosts;
  for (std::string_view name : {std::string_view("127.0.0.1"), std::string_view("localhost"),
                                std::string_view("[::1]"), listen_address}) {
    std::string host(name);
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    if (port == 80) hosts.push_back(host);
    hosts.push_back(host + ":" + std::to_string(port));
  }
  return hosts;
}

// The viewer's header as the request keeps header names (in lower case).
constexpr std::string_view kViewerHeaderLookup = "x-sandbox-viewer";

// The media type of a Content-Type value, without its parameters and blanks.
boost::beast::string_view MediaType(boost::beast::string_view value) {
  value = value.substr(0, value.find(';'));
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  return value;
}

}  // namespace

std::optional<GuardRefusal> GuardApi(const HttpRequest& request, std::string_view what,
                                     std::string_view listen_address) {
  size_t host_fields = 0;
  for (const auto& field : request.headers) host_fields += field.first == "host" ? 1 : 0;
  const std::string* host = request.Header("host");
  bool own_host = false;
  if (host && host_fields == 1) {
    for (const std::string& name : OwnHosts(listen_address, request.local_port)) {
      own_host = own_host || iequals(*host, name);
    }
  }
  if (!own_host) {
    return GuardRefusal{code::kForeignHost,
                        "the sandbox's inspection endpoints answer requests for 127.0.0.1:" +
                            std::to_string(request.local_port) +
                            ", localhost:" + std::to_string(request.local_port) + " or [::1]:" +
                            std::to_string(request.local_port) + " only, not for Host " +
                            (host ? "\"" + *host + "\"" : std::string("(none)"))};
  }
  const std::string* origin = request.Header("origin");
  if (origin && !iequals(*origin, "http://" + *host)) {
    return GuardRefusal{code::kForeignPage, "a page of another origin (" + *origin +
                                                ") may not use the sandbox's inspection endpoints"};
  }
  // Where the request was started from: the user's own opening of the viewer (typed in, or a link
  // followed from another page) is the one thing another site may start.
  const std::string* site = request.Header("sec-fetch-site");
  const std::string* mode = request.Header("sec-fetch-mode");
  bool navigation = request.verb == "GET" && what.empty() && mode && iequals(*mode, "navigate");
  if (site && !iequals(*site, "same-origin") && !iequals(*site, "none") && !navigation) {
    return GuardRefusal{code::kForeignPage,
                        "a request from another site (Sec-Fetch-Site: " + *site +
                            ") may not use the sandbox's inspection endpoints"};
  }
  // Any page can POST here with a form or a script, but only as form data or plain text and
  // without headers of its own.
  if (request.verb == "POST") {
    const std::string* type = request.Header("content-type");
    bool json = type && iequals(MediaType(*type), "application/json");
    if (!json && !request.Header(kViewerHeaderLookup)) {
      return GuardRefusal{code::kUnmarkedPost,
                          "a POST to the sandbox's inspection endpoints needs Content-Type: "
                          "application/json or the " +
                              std::string(kViewerHeader) +
                              " header, which a page of another origin cannot send"};
    }
  }
  return std::nullopt;
}

}  // namespace lumo::sandbox

// One HTTP exchange as the service sees it, independent of the HTTP library, and the record of
// it that the request log keeps.
#ifndef SANDBOX_SRC_EXCHANGE_H_
#define SANDBOX_SRC_EXCHANGE_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumo::sandbox {

struct HttpRequest {
  std::string verb;                                          // "GET", "PUT", ...
  std::string target;                                        // path and query as received
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::optional<uint64_t> content_length;                    // as declared; none when absent
  std::string body;
  bool from_loopback = true;  // the peer's address is a loopback one
  uint16_t local_port = 0;    // the port the connection arrived on
  uint64_t replay_of = 0;     // the exchange this request is a replay of; 0 for one received

  // The first header of that (lower-case) name, or nullptr.
  const std::string* Header(std::string_view lower_name) const {
    for (const auto& [name, value] : headers) {
      if (name == lower_name) return &value;
    }
    return nullptr;
  }
};

// The body of Delivery::kOversize: beyond the 32 MiB that the library's transport accepts, with
// some slack so that a client with a slightly larger cap is caught as well.
inline constexpr uint64_t kOversizeBodyBytes = uint64_t{32} * 1024 * 1024 + uint64_t{64} * 1024;

// How the answer leaves the server.
enum class Delivery {
  kNormal,
  kClose,     // close the connection without answering
  kTruncate,  // send the headers and half the body, then close
  kOversize,  // send a generated JSON body of kOversizeBodyBytes, then close
  kEvents,    // an event stream: the body first, then what `events` receives, until either side
              // ends it
};

class EventFeed;

struct HttpReply {
  int status = 200;
  std::string content_type = "application/json; charset=utf-8";
  std::string body;
  Delivery delivery = Delivery::kNormal;
  std::chrono::milliseconds delay{0};
  std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Type
  std::shared_ptr<EventFeed> events;                         // Delivery::kEvents only
};

// What the request log keeps of one exchange.
struct LogRecord {
  uint64_t seq = 0;
  int64_t time_ms = 0;  // since the epoch
  std::string verb;
  std::string target;
  std::string method;                                       // service method; empty for other paths
  std::string form;                                         // "plain", "encrypted" or empty
  std::vector<std::pair<std::string, std::string>> params;  // decoded, after decryption
  std::string inner_text;  // the decrypted "param" text of the encrypted form
  std::string user_id;     // the user the token resolved to
  std::vector<std::pair<std::string, std::string>> headers;
  size_t body_size = 0;
  int http_status = 0;
  int error_code = 0;
  std::string fault;        // the fault rule applied, if any
  std::string answer;       // the body answered, cut to the log's cap
  std::string answer_type;  // its Content-Type as sent; empty when nothing was answered
  size_t answer_size = 0;   // the body's whole size
  int64_t took_us = 0;      // handling, plus the delay a fault rule adds
  bool cut = false;         // the log cut a text or dropped parameters or headers to fit its caps
  uint64_t replay_of = 0;   // the exchange whose request this one sent again; 0 for none
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_EXCHANGE_H_

// Reading one HTTP request off the wire into the service's form, and the answer owed to a
// request that could not be read.
#ifndef SANDBOX_SRC_REQUEST_READER_H_
#define SANDBOX_SRC_REQUEST_READER_H_

#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/basic_parser.hpp>
#include <boost/optional.hpp>

#include <cstddef>
#include <cstdint>

#include "exchange.h"

namespace lumo::sandbox {

// Long enough for an encrypted address that carries a full list of song ids.
inline constexpr uint32_t kHeaderLimit = 1024 * 1024;
// One field's name or value; beyond it the header counts as too large.
inline constexpr size_t kFieldLimit = size_t{64} * 1024;
// What may wait unread for the reader at most: a line of a chunked body (its size and
// extensions) longer than this is refused.
inline constexpr size_t kPendingLimit = kHeaderLimit;

// Reads one request straight into the service's form. Unlike Beast's own message parser it
// stores no fields of its own, so an oversized field is refused as the header's limit instead
// of throwing from inside the read. The body's limit is for the caller to set once the header
// has been seen (until then nothing may fail on the declared length); a declared length beyond
// it is refused before anything is kept for the body.
//
// The bytes are handed over through Take rather than Beast's stream reads: Beast's chunk parser
// expects at least the five bytes of a last chunk once it has seen the start of one, and a
// client that sends the last chunk in pieces would trip that expectation (an assertion in
// checked builds).
class RequestReader : public boost::beast::http::basic_parser<true> {
 public:
  enum class Progress { kWantsMore, kHeaderRead, kDone, kFailed };

  RequestReader();

  // Hands the reader what `received` holds, consuming what it takes. Stops when it wants more
  // bytes, once when the header is read (so that the body's limit can be set), when the request
  // is whole, and at a fault, which `error` then names.
  Progress Take(boost::beast::flat_buffer& received, boost::beast::error_code& error);
  // The client closed its side: the request is whole (no error) or cut short.
  void End(boost::beast::error_code& error);
  // The most the body may take, declared or sent; set once the header has been read.
  void SetBodyLimit(uint64_t limit);

  HttpRequest& request() { return request_; }
  unsigned version() const { return version_; }

 private:
  using string_view = boost::beast::string_view;
  using error_code = boost::beast::error_code;

  void on_request_impl(boost::beast::http::verb, string_view method, string_view target,
                       int version, error_code&) override;
  void on_response_impl(int, string_view, int, error_code&) override {}
  void on_field_impl(boost::beast::http::field, string_view name, string_view value,
                     error_code& error) override;
  void on_header_impl(error_code&) override;
  void on_body_init_impl(const boost::optional<uint64_t>& length, error_code&) override;
  size_t on_body_impl(string_view data, error_code&) override { return Append(data); }
  void on_chunk_header_impl(uint64_t, string_view, error_code&) override {}
  size_t on_chunk_body_impl(uint64_t, string_view data, error_code&) override {
    return Append(data);
  }
  void on_finish_impl(error_code&) override {}

  size_t Append(string_view data);

  HttpRequest request_;
  unsigned version_ = 11;
  uint64_t body_limit_ = UINT64_MAX;
};

// The answer to a request that could not be read, or 0 when there is no one to answer: the
// client went away, fell silent or stopped in the middle of its message.
int StatusForReadError(const boost::beast::error_code& error);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_REQUEST_READER_H_

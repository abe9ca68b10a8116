#include "request_reader.h"

#include <boost/beast/http/error.hpp>

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>
#include <utility>

namespace lumo::sandbox {

namespace http = boost::beast::http;

RequestReader::RequestReader() {
  header_limit(kHeaderLimit);
  body_limit(body_limit_);
}

void RequestReader::on_request_impl(http::verb, string_view method, string_view target, int version,
                                    error_code&) {
  request_.verb = std::string(method);
  request_.target = std::string(target);
  version_ = static_cast<unsigned>(version);
}

void RequestReader::on_field_impl(http::field, string_view name, string_view value,
                                  error_code& error) {
  if (name.size() > kFieldLimit || value.size() > kFieldLimit) {
    error = http::error::header_limit;
    return;
  }
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  request_.headers.emplace_back(std::move(lower), std::string(value));
}

void RequestReader::on_header_impl(error_code&) {
  if (content_length()) request_.content_length = *content_length();
}

void RequestReader::SetBodyLimit(uint64_t limit) {
  body_limit_ = limit;
  body_limit(limit);
}

void RequestReader::on_body_init_impl(const boost::optional<uint64_t>& length, error_code& error) {
  if (!length) return;
  if (*length > body_limit_) {
    error = http::error::body_limit;
    return;
  }
  request_.body.reserve(static_cast<size_t>(*length));
}

RequestReader::Progress RequestReader::Take(boost::beast::flat_buffer& received,
                                            error_code& error) {
  constexpr size_t kLastChunkSize = 5;  // "0\r\n\r\n"
  error = {};
  const bool header_was_read = is_header_done();
  while (!is_done()) {
    const bool chunks = is_header_done() && chunked();
    if (received.size() == 0 || (chunks && received.size() < kLastChunkSize)) {
      return Progress::kWantsMore;
    }
    const size_t used = put(received.data(), error);
    received.consume(used);
    if (error == http::error::need_more) {
      error = {};
      if (received.size() < kPendingLimit) return Progress::kWantsMore;
      error = is_header_done() ? http::error::bad_chunk : http::error::header_limit;
      return Progress::kFailed;
    }
    if (error) return Progress::kFailed;
    if (!header_was_read && is_header_done()) return Progress::kHeaderRead;
    if (used == 0) return Progress::kWantsMore;
  }
  return Progress::kDone;
}

void RequestReader::End(error_code& error) {
  error = {};
  if (!got_some()) {
    error = http::error::end_of_stream;
    return;
  }
  put_eof(error);
}

size_t RequestReader::Append(string_view data) {
  request_.body.append(data.data(), data.size());
  return data.size();
}

int StatusForReadError(const boost::beast::error_code& error) {
  if (error.category() != http::make_error_code(http::error::end_of_stream).category()) return 0;
  switch (static_cast<http::error>(error.value())) {
    case http::error::end_of_stream:
    case http::error::partial_message:
      return 0;
    case http::error::header_limit:
      return 431;
    case http::error::body_limit:
      return 413;
    default:
      return 400;
  }
}

}  // namespace lumo::sandbox

// The sandbox's reading of a request off the wire: the bytes arrive in pieces of a size taken
// from the first input byte, the body's limit is set once the header is read (as the server
// does after asking the service), and a request that reads whole has its target's query read
// both strictly and leniently. Beast's own checks are on in this build, so a piece the parser
// does not expect stops the run.
#include <boost/asio/buffer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/error.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "query.h"
#include "refusal.h"
#include "request_reader.h"
#include "sandbox/address_form.h"

namespace sandbox = lumo::sandbox;
namespace http = boost::beast::http;

namespace {

// Small enough that the fuzzer reaches it, so the 413 path is taken too.
constexpr uint64_t kBodyLimit = 512;

void ReadWholeRequest(const sandbox::HttpRequest& request) {
  const std::string_view query = sandbox::QueryOf(request.target);
  (void)sandbox::ReadQuery(query);
  try {
    (void)sandbox::ParseQuery(query);
  } catch (const sandbox::Refusal&) {
  }
  (void)request.Header("cookie");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = size_t{1} + data[0] % 64;
  const std::string_view wire(reinterpret_cast<const char*>(data) + 1, size - 1);

  sandbox::RequestReader reader;
  boost::beast::flat_buffer received;
  size_t offset = 0;
  boost::beast::error_code error;
  using Progress = sandbox::RequestReader::Progress;
  // What the server does with a connection: take in a piece, hand it over, set the body's limit
  // when the header has been read, and end when the input does.
  Progress progress = reader.Take(received, error);
  while (progress == Progress::kWantsMore || progress == Progress::kHeaderRead) {
    if (progress == Progress::kHeaderRead) {
      reader.SetBodyLimit(kBodyLimit);
      progress = reader.Take(received, error);
      continue;
    }
    if (offset == wire.size()) {
      reader.End(error);
      break;
    }
    const size_t take = std::min(piece, wire.size() - offset);
    received.commit(boost::asio::buffer_copy(received.prepare(take),
                                             boost::asio::buffer(wire.data() + offset, take)));
    offset += take;
    progress = reader.Take(received, error);
  }
  (void)sandbox::StatusForReadError(error);
  if (reader.is_done() && !error) ReadWholeRequest(reader.request());
  return 0;
}

#include "http_server.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>
#include <sstream>

#include "event_feed.h"
#include "exchange.h"
#include "refusal.h"
#include "reply.h"
#include "request_reader.h"
#include "service.h"

namespace lumo::sandbox {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

constexpr std::chrono::seconds kIdleTimeout{60};
// What one read from a connection takes in at most.
constexpr size_t kReadSize = size_t{16} * 1024;
// How long a refused client may go on sending what will not be read before the connection
// closes; closing at once would reset the connection and could destroy the answer in flight.
constexpr std::chrono::seconds kLingerTimeout{2};
// Wait after an accept failed for want of descriptors or memory, before the next try.
constexpr std::chrono::milliseconds kAcceptBackoff{50};
// An event stream sends a comment this often when there is nothing else, and ends when its
// client has taken none of what is waiting for kEventStall: a follower that does not read would
// otherwise keep its place among the few the hub admits. The kernel's buffer for a stream is kept
// small so that a client that does not read is seen as such after little data.
constexpr std::chrono::seconds kEventHeartbeat{15};
constexpr std::chrono::seconds kEventStall{5};
constexpr std::chrono::seconds kEventTick{1};
constexpr int kEventSendBuffer = 64 * 1024;

int CodeForStatus(int status) {
  switch (status) {
    case 431:
      return code::kHeaderTooLarge;
    case 413:
      return code::kBodyTooLarge;
    default:
      return code::kBadRequest;
  }
}

// Runs the service's part of one exchange; whatever it throws becomes a 500 answer, so one
// exchange cannot take the worker thread down with it.
template <typename Work>
auto Guarded(Work&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const std::exception& error) {
    return decltype(work()){RefusalReply(code::kInternal, error.what())};
  } catch (...) {
    return decltype(work()){RefusalReply(code::kInternal, "unexpected failure")};
  }
}

// One connection: read a request's header, let the service decide whether its body is wanted,
// read the body, let the service answer, write the reply (late, cut short or not at all when a
// fault rule says so), and read the next while the client keeps it alive.
// Lives on its own strand; owned by the pending asynchronous operations.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket&& socket, Service& service)
      : stream_(std::move(socket)), timer_(stream_.get_executor()), service_(service) {
    beast::error_code error;
    tcp::endpoint peer = stream_.socket().remote_endpoint(error);
    from_loopback_ = !error && peer.address().is_loopback();
    tcp::endpoint local = stream_.socket().local_endpoint(error);
    if (!error) local_port_ = local.port();
  }

  void Start() {
    asio::dispatch(stream_.get_executor(),
                   beast::bind_front_handler(&Session::Read, shared_from_this()));
  }

 private:
  void Read() {
    reader_.emplace();
    stream_.expires_after(kIdleTimeout);
    Take();
  }

  // Gives the reader what has arrived and goes on as far as that takes the request.
  void Take() {
    beast::error_code error;
    switch (reader_->Take(buffer_, error)) {
      case RequestReader::Progress::kWantsMore:
        return ReadSome();
      case RequestReader::Progress::kHeaderRead:
        return OnHeader();
      case RequestReader::Progress::kDone:
        return OnRead();
      case RequestReader::Progress::kFailed:
        return OnReadError(error);
    }
  }

  void ReadSome() {
    stream_.async_read_some(buffer_.prepare(kReadSize),
                            [self = shared_from_this()](beast::error_code error, size_t got) {
                              self->buffer_.commit(got);
                              if (error == asio::error::eof) {
                                self->reader_->End(error);
                                if (!error) return self->OnRead();
                              }
                              if (error) return self->OnReadError(error);
                              self->Take();
                            });
  }

  void OnHeader() {
    keep_alive_ = reader_->keep_alive();
    version_ = reader_->version();
    BodyAdmission admission = Guarded([&] { return service_.AdmitBody(reader_->request()); });
    if (admission.refusal) {
      reply_ = std::move(*admission.refusal);
      body_unread_ = !reader_->is_done();
      return Deliver();
    }
    reader_->SetBodyLimit(admission.body_limit);
    if (reader_->is_done()) return OnRead();
    // A client that sends "Expect: 100-continue" (libcurl does for large uploads) waits for the
    // interim answer before it sends the body.
    const std::string* expect = reader_->request().Header("expect");
    if (!expect || !beast::iequals(*expect, "100-continue")) return Take();
    auto interim =
        std::make_shared<http::response<http::empty_body>>(http::status::continue_, version_);
    http::async_write(stream_, *interim,
                      [self = shared_from_this(), interim](beast::error_code error, size_t) {
                        if (error) return self->Close();
                        self->Take();
                      });
  }

  void OnRead() {
    HttpRequest request = std::move(reader_->request());
    request.from_loopback = from_loopback_;
    request.local_port = local_port_;
    reply_ = Guarded([&] { return service_.Handle(request); });
    if (reply_.delay.count() > 0) {
      stream_.expires_never();
      timer_.expires_after(reply_.delay);
      timer_.async_wait(beast::bind_front_handler(&Session::OnDelay, shared_from_this()));
      return;
    }
    Deliver();
  }

  // A request that cannot be read is answered when there is someone to answer, and the
  // connection ends either way: where the next request would begin is unknown.
  void OnReadError(const beast::error_code& error) {
    int status = StatusForReadError(error);
    if (status == 0) return Close();
    reply_ = RefusalReply(CodeForStatus(status), error.message(), status);
    body_unread_ = true;
    Deliver();
  }

  void OnDelay(beast::error_code error) {
    if (error) return Close();
    Deliver();
  }

  void Deliver() {
    if (reply_.delivery == Delivery::kClose) return Close();
    if (reply_.delivery == Delivery::kEvents) return StartEvents();
    auto response = std::make_shared<http::response<http::string_body>>(
        static_cast<http::status>(reply_.status), version_);
    response->set(http::field::server, "lumo-sandbox");
    response->set(http::field::content_type, reply_.content_type);
    for (const auto& [name, value] : reply_.headers) response->set(name, value);
    response->body() = std::move(reply_.body);
    response->keep_alive(keep_alive_ && !body_unread_ && reply_.delivery == Delivery::kNormal);
    response->prepare_payload();
    stream_.expires_after(kIdleTimeout);
    if (reply_.delivery == Delivery::kOversize) return SendOversize(*response);
    if (reply_.delivery == Delivery::kTruncate) {
      // Serialize the whole message, then send the headers and only half of the body.
      auto wire = std::make_shared<std::string>();
      std::ostringstream out;
      out << *response;
      *wire = out.str();
      size_t body_size = response->body().size();
      wire->resize(wire->size() - body_size + body_size / 2);
      asio::async_write(
          stream_, asio::buffer(*wire),
          [self = shared_from_this(), wire](beast::error_code, size_t) { self->Close(); });
      return;
    }
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response](beast::error_code error, size_t) {
                        if (!error && response->keep_alive()) return self->Read();
                        if (!error && self->body_unread_) return self->Linger();
                        self->Close();
                      });
  }

  // The header, then a JSON object whose one text member fills the body to kOversizeBodyBytes,
  // written a block at a time so that the sandbox never holds the body. The client is expected
  // to give up on the way; a failed write ends the connection.
  void SendOversize(http::response<http::string_body>& response) {
    static constexpr std::string_view kHead = R"({"error_code":22000,"padding":")";
    static constexpr std::string_view kTail = R"("})";
    response.content_length(kOversizeBodyBytes);
    response.keep_alive(false);
    std::ostringstream out;
    out << response.base() << kHead;
    auto head = std::make_shared<std::string>(out.str());
    oversize_left_ = kOversizeBodyBytes - kHead.size() - kTail.size();
    asio::async_write(stream_, asio::buffer(*head),
                      [self = shared_from_this(), head](beast::error_code error, size_t) {
                        if (error) return self->Close();
                        self->SendPadding();
                      });
  }

  void SendPadding() {
    static const std::string kBlock(size_t{64} * 1024, 'x');
    static constexpr std::string_view kTail = R"("})";
    if (oversize_left_ == 0) {
      asio::async_write(stream_, asio::buffer(kTail.data(), kTail.size()),
                        [self = shared_from_this()](beast::error_code, size_t) { self->Close(); });
      return;
    }
    size_t block = static_cast<size_t>(std::min<uint64_t>(oversize_left_, kBlock.size()));
    oversize_left_ -= block;
    asio::async_write(stream_, asio::buffer(kBlock.data(), block),
                      [self = shared_from_this()](beast::error_code error, size_t) {
                        if (error) return self->Close();
                        self->SendPadding();
                      });
  }

  // An event stream: the header and the reply's body, then whatever the feed receives, written
  // on this session's strand one write at a time, so that the stream never holds a worker
  // thread. It ends when the client closes, a write stalls, or the feed overflows (the client
  // then reconnects and asks for what it missed).
  void StartEvents() {
    events_ = std::move(reply_.events);
    stream_.expires_never();
    beast::error_code ignored;
    stream_.socket().set_option(asio::socket_base::send_buffer_size(kEventSendBuffer), ignored);
    std::string head =
        "HTTP/1.1 200 OK\r\nServer: lumo-sandbox\r\nContent-Type: " + reply_.content_type + "\r\n";
    for (const auto& [name, value] : reply_.headers) head += name + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\n";
    std::weak_ptr<Session> weak = shared_from_this();
    auto executor = stream_.get_executor();
    events_->SetWake([weak, executor] {
      asio::post(executor, [weak] {
        if (auto self = weak.lock()) self->PumpEvents();
      });
    });
    WatchEventClient();
    EventHeartbeat();
    WriteEvents(head + reply_.body);
    reply_.body.clear();
  }

  void PumpEvents() {
    if (writing_ || !events_) return;
    EventFeed::Batch batch = events_->Take();
    if (batch.overflowed) return EndEvents();
    if (!batch.text.empty()) WriteEvents(std::move(batch.text));
  }

  void WriteEvents(std::string text) {
    writing_ = true;
    outgoing_ = std::move(text);
    outgoing_sent_ = 0;
    last_progress_ = std::chrono::steady_clock::now();
    WriteSomeEvents();
  }

  // A piece at a time, so that the stall watch sees whether the client takes anything.
  void WriteSomeEvents() {
    stream_.async_write_some(
        asio::buffer(outgoing_.data() + outgoing_sent_, outgoing_.size() - outgoing_sent_),
        [self = shared_from_this()](beast::error_code error, size_t sent) {
          if (error) return self->EndEvents();
          self->last_progress_ = std::chrono::steady_clock::now();
          self->outgoing_sent_ += sent;
          if (self->outgoing_sent_ < self->outgoing_.size()) return self->WriteSomeEvents();
          self->writing_ = false;
          self->outgoing_.clear();
          self->outgoing_.shrink_to_fit();
          self->PumpEvents();
        });
  }

  // The client sends nothing more; a read ends only when it closes.
  void WatchEventClient() {
    stream_.async_read_some(asio::buffer(drain_),
                            [self = shared_from_this()](beast::error_code error, size_t) {
                              if (error) return self->EndEvents();
                              self->WatchEventClient();
                            });
  }

  void EventHeartbeat() {
    timer_.expires_after(kEventTick);
    timer_.async_wait([self = shared_from_this()](beast::error_code error) {
      if (error || !self->events_) return;
      auto quiet = std::chrono::steady_clock::now() - self->last_progress_;
      if (self->writing_ && quiet > kEventStall) return self->EndEvents();
      if (!self->writing_ && quiet > kEventHeartbeat) self->WriteEvents(":\n\n");
      self->EventHeartbeat();
    });
  }

  void EndEvents() {
    if (!events_) return;
    events_.reset();
    timer_.cancel();
    Close();
  }

  // Stops sending, then reads and drops what the client still sends until it closes or the
  // linger time is up, so that the answer reaches it before the connection ends.
  void Linger() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kLingerTimeout);
    Drain();
  }

  void Drain() {
    stream_.async_read_some(asio::buffer(drain_),
                            [self = shared_from_this()](beast::error_code error, size_t) {
                              if (error) return self->Close();
                              self->Drain();
                            });
  }

  void Close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.socket().close(ignored);
  }

  beast::tcp_stream stream_;
  asio::steady_timer timer_;
  beast::flat_buffer buffer_;
  std::optional<RequestReader> reader_;
  Service& service_;
  HttpReply reply_;
  bool keep_alive_ = true;
  bool body_unread_ = false;  // the request's body (or the rest of it) is still on the wire
  unsigned version_ = 11;
  uint64_t oversize_left_ = 0;  // padding of the oversize body still to send
  bool from_loopback_ = false;
  uint16_t local_port_ = 0;
  std::shared_ptr<EventFeed> events_;                    // while the session is an event stream
  bool writing_ = false;                                 // an event write is under way
  std::string outgoing_;                                 // what it writes
  size_t outgoing_sent_ = 0;                             // how much of that the client has taken
  std::chrono::steady_clock::time_point last_progress_;  // when the client last took any
  std::array<char, 4096> drain_{};
};

}  // namespace

class HttpServer::Impl {
 public:
  explicit Impl(Service& service) : service_(service) {}

  bool Listen(const std::string& address, uint16_t port, std::string* error, uint16_t* bound_port) {
    context_ = std::make_unique<asio::io_context>();
    acceptor_.emplace(asio::make_strand(*context_));
    backoff_.emplace(acceptor_->get_executor());
    beast::error_code code;
    tcp::endpoint endpoint(asio::ip::make_address(address, code), port);
    if (!code) acceptor_->open(endpoint.protocol(), code);
    if (!code) acceptor_->set_option(asio::socket_base::reuse_address(true), code);
    if (!code) acceptor_->bind(endpoint, code);
    if (!code) acceptor_->listen(asio::socket_base::max_listen_connections, code);
    if (code) {
      if (error) {
        *error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + code.message();
      }
      backoff_.reset();
      acceptor_.reset();
      context_.reset();
      return false;
    }
    *bound_port = acceptor_->local_endpoint().port();
    Accept();
    return true;
  }

  void Run(int threads) {
    for (int i = 0; i < std::max(1, threads); ++i) {
      workers_.emplace_back([this] { Work(); });
    }
  }

  // Stops the workers, then destroys the listener and the context, which destroys every
  // session and so closes every connection.
  void Stop() {
    if (!context_) return;
    context_->stop();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
    backoff_.reset();
    acceptor_.reset();
    context_.reset();
  }

 private:
  // A handler that throws loses its own session (its operation's memory and with it the last
  // hold on the session are released as the exception passes); every other connection and the
  // listener go on.
  void Work() {
    for (;;) {
      try {
        context_->run();
        return;
      } catch (const std::exception& error) {
        std::fprintf(stderr, "lumo-sandbox: a connection failed: %s\n", error.what());
      } catch (...) {
        std::fprintf(stderr, "lumo-sandbox: a connection failed\n");
      }
    }
  }

  void Accept() {
    acceptor_->async_accept(asio::make_strand(*context_),
                            [this](beast::error_code error, tcp::socket socket) {
                              OnAccept(error, std::move(socket));
                            });
  }

  // Runs on the listener's strand.
  void OnAccept(beast::error_code error, tcp::socket socket) {
    if (error == asio::error::operation_aborted) return;  // the server is stopping
    if (error) {
      // Out of descriptors (EMFILE, ENFILE) or memory (ENOBUFS, ENOMEM), or a client that gave
      // up while queued: none of it lasts, so wait a little and accept again. Trying at once
      // would spin while the queued connection still finds no descriptor.
      backoff_->expires_after(kAcceptBackoff);
      backoff_->async_wait([this](beast::error_code wait_error) {
        if (!wait_error) Accept();
      });
      return;
    }
    socket.set_option(tcp::no_delay(true), error);
    std::make_shared<Session>(std::move(socket), service_)->Start();
    Accept();
  }

  Service& service_;
  std::unique_ptr<asio::io_context> context_;
  std::optional<tcp::acceptor> acceptor_;
  std::optional<asio::steady_timer> backoff_;  // on the listener's strand
  std::vector<std::thread> workers_;
};

HttpServer::HttpServer(Service& service) : impl_(std::make_unique<Impl>(service)) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start(const std::string& address, uint16_t port, int threads, std::string* error) {
  if (!impl_->Listen(address, port, error, &port_)) return false;
  impl_->Run(threads);
  return true;
}

void HttpServer::Stop() { impl_->Stop(); }

}  // namespace lumo::sandbox

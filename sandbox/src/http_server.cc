#include "http_server.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <sstream>

#include "exchange.h"
#include "object_store.h"
#include "service.h"

namespace lumo::sandbox {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

constexpr std::chrono::seconds kIdleTimeout{60};
// Long enough for an encrypted address that carries a full list of song ids.
constexpr uint32_t kHeaderLimit = 1024 * 1024;

HttpRequest ToExchange(http::request<http::string_body>&& message) {
  HttpRequest request;
  request.verb = std::string(message.method_string());
  request.target = std::string(message.target());
  for (const auto& field : message) {
    std::string name(field.name_string());
    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
      return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    request.headers.emplace_back(std::move(name), std::string(field.value()));
  }
  request.body = std::move(message.body());
  return request;
}

// One connection: read a request, let the service answer, write the reply (late, cut short or
// not at all when a fault rule says so), and read the next while the client keeps it alive.
// Lives on its own strand; owned by the pending asynchronous operations.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket&& socket, Service& service)
      : stream_(std::move(socket)), timer_(stream_.get_executor()), service_(service) {}

  void Start() {
    asio::dispatch(stream_.get_executor(),
                   beast::bind_front_handler(&Session::Read, shared_from_this()));
  }

 private:
  void Read() {
    parser_.emplace();
    parser_->header_limit(kHeaderLimit);
    parser_->body_limit(static_cast<uint64_t>(kMaxObjectSize));
    stream_.expires_after(kIdleTimeout);
    http::async_read_header(stream_, buffer_, *parser_,
                            beast::bind_front_handler(&Session::OnHeader, shared_from_this()));
  }

  // A client that sends "Expect: 100-continue" (libcurl does for large uploads) waits for the
  // interim answer before it sends the body.
  void OnHeader(beast::error_code error, size_t) {
    if (error) return Close();
    if (!beast::iequals(parser_->get()[http::field::expect], "100-continue")) return ReadBody();
    auto interim = std::make_shared<http::response<http::empty_body>>(http::status::continue_,
                                                                      parser_->get().version());
    http::async_write(stream_, *interim,
                      [self = shared_from_this(), interim](beast::error_code error, size_t) {
                        if (error) return self->Close();
                        self->ReadBody();
                      });
  }

  void ReadBody() {
    http::async_read(stream_, buffer_, *parser_,
                     beast::bind_front_handler(&Session::OnRead, shared_from_this()));
  }

  void OnRead(beast::error_code error, size_t) {
    if (error) return Close();
    http::request<http::string_body> message = parser_->release();
    keep_alive_ = message.keep_alive();
    version_ = message.version();
    reply_ = service_.Handle(ToExchange(std::move(message)));
    if (reply_.delay.count() > 0) {
      stream_.expires_never();
      timer_.expires_after(reply_.delay);
      timer_.async_wait(beast::bind_front_handler(&Session::OnDelay, shared_from_this()));
      return;
    }
    Deliver();
  }

  void OnDelay(beast::error_code error) {
    if (error) return Close();
    Deliver();
  }

  void Deliver() {
    if (reply_.delivery == Delivery::kClose) return Close();
    auto response = std::make_shared<http::response<http::string_body>>(
        static_cast<http::status>(reply_.status), version_);
    response->set(http::field::server, "lumo-sandbox");
    response->set(http::field::content_type, reply_.content_type);
    response->body() = std::move(reply_.body);
    response->keep_alive(keep_alive_ && reply_.delivery == Delivery::kNormal);
    response->prepare_payload();
    stream_.expires_after(kIdleTimeout);
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
                        if (error || !response->keep_alive()) return self->Close();
                        self->Read();
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
  std::optional<http::request_parser<http::string_body>> parser_;
  Service& service_;
  HttpReply reply_;
  bool keep_alive_ = true;
  unsigned version_ = 11;
};

}  // namespace

class HttpServer::Impl {
 public:
  explicit Impl(Service& service) : service_(service) {}

  bool Listen(const std::string& address, uint16_t port, std::string* error, uint16_t* bound_port) {
    context_ = std::make_unique<asio::io_context>();
    acceptor_.emplace(asio::make_strand(*context_));
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
      workers_.emplace_back([this] { context_->run(); });
    }
  }

  // Stops the workers, then destroys the listener and the context, which destroys every
  // session and so closes every connection.
  void Stop() {
    if (!context_) return;
    context_->stop();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
    acceptor_.reset();
    context_.reset();
  }

 private:
  void Accept() {
    acceptor_->async_accept(asio::make_strand(*context_),
                            [this](beast::error_code error, tcp::socket socket) {
                              if (error) return;  // closed
                              socket.set_option(tcp::no_delay(true), error);
                              std::make_shared<Session>(std::move(socket), service_)->Start();
                              Accept();
                            });
  }

  Service& service_;
  std::unique_ptr<asio::io_context> context_;
  std::optional<tcp::acceptor> acceptor_;
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

// The HTTP/1.1 front of the sandbox: a listener on one address and a keep-alive session per
// connection, on a pool of worker threads, handing each request to the Service.
#ifndef SANDBOX_SRC_HTTP_SERVER_H_
#define SANDBOX_SRC_HTTP_SERVER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace lumo::sandbox {

class Service;

// Owned by Server. Start and Stop from the owner's thread; sessions run on the workers.
class HttpServer {
 public:
  // `service` must outlive the server.
  explicit HttpServer(Service& service);
  ~HttpServer();  // stops
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  bool Start(const std::string& address, uint16_t port, int threads, std::string* error);
  uint16_t port() const { return port_; }
  void Stop();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
  uint16_t port_ = 0;
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_HTTP_SERVER_H_

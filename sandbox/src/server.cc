#include "sandbox/server.h"

#include <cassert>

#include "http_server.h"
#include "service.h"
#include "store.h"

namespace lumo::sandbox {

class Server::Impl {
 public:
  explicit Impl(Options options) : options_(std::move(options)) {}

  bool Start(std::string* error) {
    assert(!service_);
    try {
      service_ = std::make_unique<Service>(options_.db_path, options_.bind_address);
    } catch (const StoreError& store_error) {
      if (error) *error = store_error.what();
      return false;
    }
    http_ = std::make_unique<HttpServer>(*service_);
    if (!http_->Start(options_.bind_address, options_.port, options_.threads, error)) {
      http_.reset();
      service_.reset();
      return false;
    }
    return true;
  }

  uint16_t port() const { return http_ ? http_->port() : 0; }

  void Stop() {
    if (http_) http_->Stop();
  }

 private:
  Options options_;
  std::unique_ptr<Service> service_;
  std::unique_ptr<HttpServer> http_;  // uses service_; declared after it, destroyed first
};

Server::Server(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Server::~Server() { Stop(); }

bool Server::Start(std::string* error) { return impl_->Start(error); }

uint16_t Server::port() const { return impl_->port(); }

void Server::Stop() { impl_->Stop(); }

}  // namespace lumo::sandbox

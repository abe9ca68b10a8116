// The sandbox service: a stand-in for the music service that listens on loopback.
//
// It answers the service's REST endpoint with the checks the real service makes (common
// parameters, the encrypted and signed address form, session tokens, the user agent), keeps the
// users' state in SQLite, accepts the object-store uploads that its signature answers authorise,
// and offers inspection and fault injection under /_sandbox/. docs/sandbox.md describes the
// protocol, the seed data, the error codes and the endpoints.
#ifndef SANDBOX_SERVER_H_
#define SANDBOX_SERVER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "sandbox/seed_users.h"

namespace lumo::sandbox {

struct Options {
  std::string bind_address = "127.0.0.1";
  uint16_t port = 0;  // 0 picks a free port
  std::string db_path = ":memory:";
  int threads = 2;
};

// One sandbox server. Start binds the port, opens (and on first use seeds) the database and
// starts the worker threads; the server then answers until Stop or destruction.
// Thread-compatible: construct, Start, Stop and destroy from one thread; the server's own
// worker threads never call back into the owner.
class Server {
 public:
  explicit Server(Options options);
  ~Server();  // stops and joins

  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Returns false and fills *error (when given) if the database cannot be opened or the address
  // cannot be bound. REQUIRES: not started yet.
  bool Start(std::string* error);
  // The bound port, valid after a successful Start.
  uint16_t port() const;
  // Closes the listener and every connection and joins the worker threads. Idempotent.
  void Stop();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SERVER_H_

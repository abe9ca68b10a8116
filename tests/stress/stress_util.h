// What the stress tests share: the servers they run against, the service's address routed to one
// of them for a test's lifetime, the seed they print and the sizes a run may be given.
#ifndef TESTS_STRESS_STRESS_UTIL_H_
#define TESTS_STRESS_STRESS_UTIL_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "base/logging.h"

namespace lumo::stress {

// A server on 127.0.0.1 that the library's requests are sent to. UI thread only.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::string host_port() const = 0;
  // Changes how the next answers go wrong, for servers that can; between batches of requests.
  virtual void Stir(std::mt19937& /*random*/) {}
  // The body this server answers `target` (path and query) with, for servers whose answer
  // follows from the address alone; empty for the others.
  virtual std::string BodyFor(const std::string& /*target*/) const { return {}; }
};

// The sandbox service (state in memory) with fault rules of random kinds and lengths added by
// Stir: late answers, dropped connections, bodies cut short, error pages, non-JSON, error codes.
std::unique_ptr<Backend> StartSandbox();

// A plain loopback server whose answer to each request is picked from the request's address:
// success, a service error, an HTTP error page, non-JSON, a late answer or a dropped connection.
std::unique_ptr<Backend> StartMixedAnswers();

// Runs `run` against the sandbox, then against the mixed answers, each under a trace of its name.
void ForEachBackend(const std::function<void(Backend&)>& run);

// Sends every request for the service's host to `backend` until destroyed.
class ScopedRoute {
 public:
  explicit ScopedRoute(const Backend& backend);
  ~ScopedRoute();
  ScopedRoute(const ScopedRoute&) = delete;
  ScopedRoute& operator=(const ScopedRoute&) = delete;
};

// Drops the host log's lines instead of writing them out, until destroyed: thousands of failed
// exchanges would bury the test's own output. The suite's log check still sees every line.
class QuietHostLog {
 public:
  QuietHostLog();
  ~QuietHostLog();
  QuietHostLog(const QuietHostLog&) = delete;
  QuietHostLog& operator=(const QuietHostLog&) = delete;

 private:
  base::logging::LogSink previous_;
};

// Printed and recorded, so that a failing run can be repeated with the same choices.
uint32_t AnnouncedSeed(uint32_t seed);

// The value of the environment variable `name` when it is a number from 1 to `most`, else
// `fallback`. Lets a long run be asked for by hand; the defaults suit CI.
int SizeFromEnvironment(const char* name, int fallback, int most);

}  // namespace lumo::stress

#endif  // TESTS_STRESS_STRESS_UTIL_H_

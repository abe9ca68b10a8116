#include <pthread.h>

#include <csignal>

#include "sandbox/stop_request.h"

namespace lumo::sandbox {
namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

StopRequest::StopRequest() {
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

std::string StopRequest::Wait() {
  const sigset_t signals = StopSignals();
  int received = 0;
  sigwait(&signals, &received);
  return "signal " + std::to_string(received);
}

}  // namespace lumo::sandbox

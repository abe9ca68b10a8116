#include <system_error>
#include <thread>
#include <utility>

#include "network_thread.h"

namespace base::http::internal {

NetworkThread::~NetworkThread() { Detach(); }

bool NetworkThread::Start(std::function<void()> body) {
  try {
    handle_ = new std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void NetworkThread::Join() {
  auto* thread = static_cast<std::thread*>(std::exchange(handle_, nullptr));
  thread->join();
  delete thread;
}

void NetworkThread::LetEnd() {
  if (started()) Join();
}

void NetworkThread::Detach() {
  auto* thread = static_cast<std::thread*>(std::exchange(handle_, nullptr));
  if (thread == nullptr) return;
  thread->detach();
  delete thread;
}

}  // namespace base::http::internal

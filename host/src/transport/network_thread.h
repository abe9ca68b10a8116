// The transport's network thread, made by the platform.
//
// On Windows the thread holds a reference to the host layer's DLL from its first instruction to
// its last (FreeLibraryAndExitThread), so that a host's FreeLibrary never unloads the code it is
// running: the DLL goes with the thread. The end of a thread takes the loader lock there, so a
// DLL's attach or detach must not wait for one: LetEnd does not.
#ifndef HOST_SRC_TRANSPORT_NETWORK_THREAD_H_
#define HOST_SRC_TRANSPORT_NETWORK_THREAD_H_

#include <functional>

namespace base::http::internal {

// One thread at a time; its owner's thread only.
class NetworkThread {
 public:
  NetworkThread() = default;
  // REQUIRES: not running, or joined or detached.
  ~NetworkThread();
  NetworkThread(const NetworkThread&) = delete;
  NetworkThread& operator=(const NetworkThread&) = delete;

  // Runs `body` on a new thread. False (and nothing runs) if the system refuses one.
  // REQUIRES: !started().
  bool Start(std::function<void()> body);
  // Whether a thread was started and is neither joined nor detached.
  bool started() const { return handle_ != nullptr; }
  // Waits until the thread has ended. REQUIRES: started(); not called on the thread itself.
  void Join();
  // For a thread whose body is returning and touches nothing of its owner's any more: on Linux
  // joins it (a moment), on Windows lets it end by itself. REQUIRES: not called on the thread.
  void LetEnd();
  // Lets the thread end by itself.
  void Detach();

 private:
  void* handle_ = nullptr;  // the platform's thread
};

}  // namespace base::http::internal

#endif  // HOST_SRC_TRANSPORT_NETWORK_THREAD_H_

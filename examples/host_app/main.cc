// A minimal host: it subclasses RequestBase, routes the service host to a loopback server of its
// own, runs the UI loop and reads the parsed answer. With --print-encrypted-url it prints the
// address of an encrypted request instead, for checking with tools outside the library.
#if defined(_WIN32)
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "base/http/transport.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/request_base.h"
#include "utilities/json.h"

namespace {

// The few socket calls the server below makes, on both systems.
#if defined(_WIN32)
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
void CloseSocket(Socket s) { closesocket(s); }
constexpr int kStopBoth = SD_BOTH;
constexpr int kSendFlags = 0;
using AddressLength = int;
struct SocketLibrary {
  SocketLibrary() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~SocketLibrary() { WSACleanup(); }
};
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
void CloseSocket(Socket s) { close(s); }
constexpr int kStopBoth = SHUT_RDWR;
constexpr int kSendFlags = MSG_NOSIGNAL;
using AddressLength = socklen_t;
struct SocketLibrary {};
#endif

// Answers every connection with one JSON body, then closes it.
class TinyServer {
 public:
  TinyServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    listen(listener_, 8);
    AddressLength length = sizeof(address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~TinyServer() {
    shutdown(listener_, kStopBoth);
    CloseSocket(listener_);
    thread_.join();
  }
  int port() const { return port_; }
  std::string last_request() const { return last_request_; }

 private:
  void Serve() {
    for (;;) {
      const Socket client = accept(listener_, nullptr, nullptr);
      if (client == kNoSocket) return;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const auto n = recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      last_request_ = request;
      const std::string body =
          R"({"error_code":22000,"result":{"greeting":"hello from loopback"}})";
      const std::string answer =
          "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
          "Connection: close\r\nContent-Length: " +
          std::to_string(body.size()) + "\r\n\r\n" + body;
      send(client, answer.data(), static_cast<int>(answer.size()), kSendFlags);
      CloseSocket(client);
    }
  }

  SocketLibrary library_;  // first in, last out
  Socket listener_ = kNoSocket;
  int port_ = 0;
  std::string last_request_;
  std::thread thread_;
};

class GreetingRequest : public lumoapi::RequestBase {
 public:
  ~GreetingRequest() override { StopHttpRequest(); }

  std::wstring greeting;

 protected:
  std::wstring GetMethodName() override { return L"norda.lumo.user.down"; }
  std::wstring BuildParams() override { return L"songid=1,2&uid=7"; }
  void ParseResult(web::json::value& answer) override {
    using utilities::json::StringTOf;  // the JSON library's text: UTF-8, or UTF-16 on Windows
    if (answer.has_field(StringTOf("result"))) {
      greeting =
          utilities::json::ToString(answer.at(StringTOf("result")).at(StringTOf("greeting")));
    }
  }
};

class Receiver : public sigslot::has_slots<> {
 public:
  void OnCompleted() { done = true; }
  std::atomic<bool> done{false};
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--print-encrypted-url") == 0) {
    GreetingRequest request;
    request.encrypt_params = true;
    std::cout << base::string_utils::ToUtf8(request.BuildUrl()) << "\n";
    return 0;
  }

  base::thread::UiLoop::Instance().BindToCurrentThread();
  TinyServer server;
  base::http::SetConnectTo("api.lumo.example:80", "127.0.0.1:" + std::to_string(server.port()));

  GreetingRequest request;
  Receiver receiver;
  request.completed.connect(&receiver, &Receiver::OnCompleted);
  request.BeginRequest();
  if (!base::thread::UiLoop::Instance().RunUntil([&] { return receiver.done.load(); },
                                                 std::chrono::seconds(20))) {
    std::cerr << "no completion\n";
    return 1;
  }
  std::cout << "status=" << request.status << " succeeded=" << request.succeeded
            << " greeting=" << base::string_utils::ToUtf8(request.greeting) << "\n";
  return request.succeeded && request.greeting == L"hello from loopback" ? 0 : 1;
}

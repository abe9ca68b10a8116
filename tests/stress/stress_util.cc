#include "stress/stress_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <utility>

#include "base/http/transport.h"
#include "sandbox/server.h"
#include "support/loopback_server.h"
#include "test_client.h"

namespace lumo::stress {
namespace {

using namespace std::chrono_literals;
constexpr char kServiceHostPort[] = LUMOAPI_SERVICE_HOST ":80";

class SandboxBackend : public Backend {
 public:
  SandboxBackend() : server_(sandbox::Options{}) {
    std::string error;
    started_ = server_.Start(&error);
    EXPECT_TRUE(started_) << error;
  }

  std::string host_port() const override {
    return "127.0.0.1:" + std::to_string(started_ ? server_.port() : 1);
  }

  void Stir(std::mt19937& random) override {
    static const char* const kActions[] = {"delay",   "close",    "truncate",
                                           "html502", "not_json", "error_code"};
    const std::string action = kActions[random() % std::size(kActions)];
    const std::string rule =
        R"({"method":"*","action":")" + action + R"(","error_code":40011,"delay_ms":)" +
        std::to_string(1 + random() % 3) + R"(,"count":)" + std::to_string(5 + random() % 30) + "}";
    sandbox::testing::Client client(server_.port());
    const sandbox::testing::Response added =
        client.Send("POST", "/_sandbox/rules", {"Content-Type: application/json"}, rule);
    EXPECT_EQ(added.error_code(), 22000) << rule << " " << added.body;
  }

 private:
  sandbox::Server server_;
  bool started_ = false;
};

testing::CannedResponse MixedAnswer(const testing::RecordedRequest& request) {
  const size_t pick = std::hash<std::string>{}(request.target) % 20;
  testing::CannedResponse answer;
  if (pick < 8) {
    answer.body = R"({"error_code":22000,"result":{}})";
  } else if (pick < 11) {
    answer.body = R"({"error_code":40011})";
  } else if (pick < 13) {
    answer.status = 502;
    answer.body = "<html>bad gateway</html>";
  } else if (pick < 15) {
    answer.body = "not json";
  } else if (pick < 19) {
    answer.body = R"({"error_code":22000})";
    answer.delay = std::chrono::milliseconds(1 + pick % 3);
  } else {
    answer.close_without_answer = true;
  }
  return answer;
}

class MixedAnswersBackend : public Backend {
 public:
  MixedAnswersBackend() : server_(MixedAnswer) {}
  std::string host_port() const override { return server_.host_port(); }
  std::string BodyFor(const std::string& target) const override {
    testing::RecordedRequest request;
    request.target = target;
    return MixedAnswer(request).body;
  }

 private:
  testing::LoopbackServer server_;
};

}  // namespace

std::unique_ptr<Backend> StartSandbox() { return std::make_unique<SandboxBackend>(); }

std::unique_ptr<Backend> StartMixedAnswers() { return std::make_unique<MixedAnswersBackend>(); }

void ForEachBackend(const std::function<void(Backend&)>& run) {
  for (const auto& [name, start] :
       {std::pair{"the sandbox", &StartSandbox}, std::pair{"mixed answers", &StartMixedAnswers}}) {
    SCOPED_TRACE(name);
    run(*start());
  }
}

ScopedRoute::ScopedRoute(const Backend& backend) {
  base::http::SetConnectTo(kServiceHostPort, backend.host_port());
}

ScopedRoute::~ScopedRoute() { base::http::SetConnectTo(kServiceHostPort, ""); }

QuietHostLog::QuietHostLog()
    : previous_(base::logging::SetLogSink([](const base::logging::LogRecord&) {})) {}

QuietHostLog::~QuietHostLog() { base::logging::SetLogSink(std::move(previous_)); }

uint32_t AnnouncedSeed(uint32_t seed) {
  std::cout << "stress seed: " << seed << std::endl;
  ::testing::Test::RecordProperty("seed", std::to_string(seed));
  return seed;
}

int SizeFromEnvironment(const char* name, int fallback, int most) {
  const char* text = std::getenv(name);
  if (text == nullptr) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > most) return fallback;
  return static_cast<int>(value);
}

}  // namespace lumo::stress

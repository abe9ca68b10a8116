// One sandbox for the whole test program, started in-process on a free port before the first
// test and stopped after the last, and a fresh client per test.
#ifndef SANDBOX_TESTS_SANDBOX_FIXTURE_H_
#define SANDBOX_TESTS_SANDBOX_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>

#include "sandbox/server.h"
#include "test_client.h"

namespace lumo::sandbox::testing {

class SandboxEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    Options options;
    options.threads = 4;
    server() = std::make_unique<Server>(options);
    std::string error;
    ASSERT_TRUE(server()->Start(&error)) << error;
  }
  void TearDown() override { server().reset(); }
  static uint16_t port() { return server()->port(); }

 private:
  static std::unique_ptr<Server>& server() {
    static std::unique_ptr<Server> shared;
    return shared;
  }
};

inline ::testing::Environment* const kSandboxEnvironment =
    ::testing::AddGlobalTestEnvironment(new SandboxEnvironment);

class SandboxTest : public ::testing::Test {
 protected:
  // Every test starts from the seed, without rules and with an empty log.
  void SetUp() override {
    client_ = std::make_unique<Client>(SandboxEnvironment::port());
    ASSERT_EQ(client().Send("POST", "/_sandbox/reset", {}).error_code(), 22000);
  }
  Client& client() { return *client_; }

 private:
  std::unique_ptr<Client> client_;
};

}  // namespace lumo::sandbox::testing

#endif  // SANDBOX_TESTS_SANDBOX_FIXTURE_H_

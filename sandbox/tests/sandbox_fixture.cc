#include "sandbox_fixture.h"

namespace lumo::sandbox::testing {
namespace {

std::unique_ptr<Server>& SharedServer() {
  static std::unique_ptr<Server> server;
  return server;
}

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SandboxEnvironment);

}  // namespace

void SandboxEnvironment::SetUp() {
  Options options;
  options.threads = 4;
  SharedServer() = std::make_unique<Server>(options);
  std::string error;
  ASSERT_TRUE(SharedServer()->Start(&error)) << error;
}

void SandboxEnvironment::TearDown() { SharedServer().reset(); }

uint16_t SandboxEnvironment::port() { return SharedServer()->port(); }

}  // namespace lumo::sandbox::testing

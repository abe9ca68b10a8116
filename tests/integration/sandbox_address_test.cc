// What LUMO_TEST_SANDBOX may name: a loopback IPv4 literal and a port, nothing that would need a
// name looked up or send the tests' traffic off the machine.
#include <gtest/gtest.h>

#include "integration/sandbox_environment.h"

namespace lumo::integration {
namespace {

TEST(SandboxAddressTest, OnlyALoopbackLiteralAndAPort) {
  struct Case {
    const char* text;
    const char* ip;  // nullptr: refused
    uint16_t port;
  };
  const Case cases[] = {
      {"127.0.0.1:40123", "127.0.0.1", 40123},
      {"127.1.2.3:1", "127.1.2.3", 1},
      {"127.0.0.1:65535", "127.0.0.1", 65535},
      {"127.0.0.1:0", nullptr, 0},
      {"127.0.0.1:65536", nullptr, 0},
      {"127.0.0.1:", nullptr, 0},
      {"127.0.0.1", nullptr, 0},
      {"127.0.0.1:+80", nullptr, 0},
      {"127.0.0.1:080", nullptr, 0},
      {" 127.0.0.1:80", nullptr, 0},
      {"127.0.0.01:80", nullptr, 0},
      {"127.0.0.256:80", nullptr, 0},
      {"127.0.0:80", nullptr, 0},
      {"127.0.0.1.1:80", nullptr, 0},
      {"10.0.0.1:80", nullptr, 0},
      {"192.168.1.1:80", nullptr, 0},
      {"localhost:80", nullptr, 0},
      {"[::1]:80", nullptr, 0},
      {"", nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<SandboxAddress> address = ParseSandboxAddress(c.text);
    ASSERT_EQ(address.has_value(), c.ip != nullptr);
    if (address) {
      EXPECT_EQ(address->ip, c.ip);
      EXPECT_EQ(address->port, c.port);
    }
  }
}

}  // namespace
}  // namespace lumo::integration

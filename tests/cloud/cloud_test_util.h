// Shared by the cloud request tests.
#ifndef TESTS_CLOUD_CLOUD_TEST_UTIL_H_
#define TESTS_CLOUD_CLOUD_TEST_UTIL_H_

#include <strings.h>

#include <string>

#include "base/os_utils.h"
#include "base/string_utils.h"
#include "support/fake_transport.h"

namespace lumo::testing {

inline std::string MachineId() {
  return base::string_utils::ToUtf8(base::os_utils::GetMachineID());
}

// Whether the last exchange started on `transport` carried a cookie.
inline bool LastExchangeSentCookie(FakeTransport& transport) {
  const auto started = transport.Started();
  if (started.empty()) return false;
  for (const auto& [name, value] : started.back().request.headers) {
    if (strcasecmp(name.c_str(), "Cookie") == 0) return true;
  }
  return false;
}

}  // namespace lumo::testing

#endif  // TESTS_CLOUD_CLOUD_TEST_UTIL_H_

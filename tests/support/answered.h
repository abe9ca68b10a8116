// Answering one request in a test with a body of the test's choosing.
#ifndef LUMO_TESTS_SUPPORT_ANSWERED_H_
#define LUMO_TESTS_SUPPORT_ANSWERED_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "support/request_harness.h"

namespace lumo::testing {

// A T made of `args`, answered once with `body` (HTTP 200) over a fake transport of its own, with
// one completion expected.
template <class T, class... Args>
std::unique_ptr<T> Answered(const std::string& body, Args&&... args) {
  ScopedFakeTransport transport;
  auto request = std::make_unique<T>(std::forward<Args>(args)...);
  EXPECT_EQ(RunWithAnswer(*request, *transport, 200, body), 1) << body;
  return request;
}

}  // namespace lumo::testing

#endif  // LUMO_TESTS_SUPPORT_ANSWERED_H_

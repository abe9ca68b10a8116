// The codes the sandbox answers with, as one table (sandbox/service_code_list.h) that every part
// reads: the sandbox's code by name (code::kNotFound), the lumo tool for the meaning of a code,
// and the viewer through GET /_sandbox/protocol. Header-only, so that the tool needs none of the
// service's code for it.
#ifndef SANDBOX_SERVICE_CODES_H_
#define SANDBOX_SERVICE_CODES_H_

#include <cstddef>

namespace lumo::sandbox {

namespace code {
#define LUMO_SERVICE_CODE(name, number, http_status, meaning) inline constexpr int k##name = number;
#include "sandbox/service_code_list.h"
#undef LUMO_SERVICE_CODE
}  // namespace code

struct ServiceCode {
  int number;
  const char* name;  // as in code::k<name>
  int http_status;   // outside the service's endpoint
  const char* meaning;
};

inline constexpr ServiceCode kServiceCodes[] = {
#define LUMO_SERVICE_CODE(name, number, http_status, meaning) {number, #name, http_status, meaning},
#include "sandbox/service_code_list.h"
#undef LUMO_SERVICE_CODE
};

// The row of code `number`, or nullptr for a code the table does not hold.
constexpr const ServiceCode* FindServiceCode(int number) {
  for (const ServiceCode& row : kServiceCodes) {
    if (row.number == number) return &row;
  }
  return nullptr;
}

namespace internal {
constexpr bool NumbersAreUnique() {
  constexpr size_t kRows = sizeof(kServiceCodes) / sizeof(kServiceCodes[0]);
  for (size_t i = 0; i < kRows; ++i) {
    for (size_t j = i + 1; j < kRows; ++j) {
      if (kServiceCodes[i].number == kServiceCodes[j].number) return false;
    }
  }
  return true;
}
}  // namespace internal
static_assert(internal::NumbersAreUnique(), "two rows of service_code_list.h share a number");

}  // namespace lumo::sandbox

#endif  // SANDBOX_SERVICE_CODES_H_

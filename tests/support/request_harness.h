// Running request objects in tests: answering them through the fake transport and reading back the
// addresses they built. The reading is the sandbox's, which shares nothing with the library's own
// address builder and cipher, so that an error in one is not hidden by the same error in the
// other.
#ifndef LUMO_TESTS_SUPPORT_REQUEST_HARNESS_H_
#define LUMO_TESTS_SUPPORT_REQUEST_HARNESS_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lumoapi/request_base.h"
#include "sandbox/address_form.h"
#include "support/fake_transport.h"

namespace lumo::testing {

using sandbox::Pairs;

// Connects to request.completed, calls BeginRequest, answers the exchange it started with
// (http_status, body) from another thread, then runs the UI loop until `completed` has fired and
// the loop is idle. Returns the number of emissions of `completed` (1 when all is well). When
// BeginRequest sends nothing, nothing is answered.
int RunWithAnswer(lumoapi::RequestBase& request, FakeTransport& transport, int32_t http_status,
                  const std::string& body);

// The same, failing the exchange at the transport level.
int RunWithFailure(lumoapi::RequestBase& request, FakeTransport& transport, int error_code,
                   const std::string& error_text = "simulated transport failure");

// The query of `url` after "?" as UTF-8, undecoded.
std::string RawQuery(const std::wstring& url);

// The pairs of the address's query in order, percent-decoded ("+" is a literal plus).
Pairs QueryPairs(const std::wstring& url);

// Only the request's own pairs: the plain form's pairs after method, format, from, version and
// version_d; for an encrypted address, the decrypted inner pairs after format, from, version and
// version_d.
Pairs OwnPairs(const std::wstring& url);

// The decrypted inner text of an encrypted address (empty when it cannot be decrypted).
std::string DecryptedInnerText(const std::wstring& url);

// Splits a query text into percent-decoded pairs.
Pairs SplitQuery(const std::string& query);

// The value of the first pair named `name`, or empty.
std::string ValueOf(const Pairs& pairs, const std::string& name);

}  // namespace lumo::testing

#endif  // LUMO_TESTS_SUPPORT_REQUEST_HARNESS_H_

// A request whose method, parameters and parser a test sets.
#ifndef LUMO_TESTS_CORE_PROBE_REQUEST_H_
#define LUMO_TESTS_CORE_PROBE_REQUEST_H_

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>

#include "lumoapi/request_base.h"

namespace lumo::testing {

class ProbeRequest : public lumoapi::RequestBase {
 public:
  std::wstring method = L"norda.lumo.test.probe";
  std::wstring params;
  std::wstring version;  // empty: the default
  bool throw_in_build = false;
  std::function<void(web::json::value&)> parse;  // may throw
  std::atomic<int> parse_calls{0};

  ~ProbeRequest() override { StopHttpRequest(); }

  using lumoapi::RequestBase::BuildParams;

 protected:
  std::wstring GetMethodName() override { return method; }
  std::wstring BuildParams() override {
    if (throw_in_build) throw std::runtime_error("cannot build the parameters");
    return params;
  }
  void ParseResult(web::json::value& answer) override {
    ++parse_calls;
    if (parse) parse(answer);
  }
  std::wstring GetVersion() override {
    return version.empty() ? lumoapi::RequestBase::GetVersion() : version;
  }
};

}  // namespace lumo::testing

#endif  // LUMO_TESTS_CORE_PROBE_REQUEST_H_

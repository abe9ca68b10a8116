#include "support/request_harness.h"

#include <memory>
#include <thread>

#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "support/page_answering.h"
#include "support/ui_test_util.h"

namespace lumo::testing {
namespace {

template <class Finish>
int Run(lumoapi::RequestBase& request, FakeTransport& transport, Finish finish) {
  EndProbe counter;
  request.completed.connect(&counter, &EndProbe::OnCompleted);
  const size_t before = transport.Started().size();
  request.BeginRequest();
  const auto started = transport.Started();
  if (started.size() > before) {
    const auto id = started.back().id;
    std::thread network([&] { finish(id); });
    network.join();
  }
  RunUiUntil([&] { return counter.count > 0; });
  base::thread::UiLoop::Instance().RunUntilIdle();
  return counter.count;
}

constexpr const char* kCommonNames[] = {"method", "format", "from", "version", "version_d"};

}  // namespace

int RunWithAnswer(lumoapi::RequestBase& request, FakeTransport& transport, int32_t http_status,
                  const std::string& body) {
  return Run(request, transport, [&](auto id) { transport.Answer(id, http_status, body); });
}

int RunWithFailure(lumoapi::RequestBase& request, FakeTransport& transport, int error_code,
                   const std::string& error_text) {
  return Run(request, transport, [&](auto id) { transport.Fail(id, error_code, error_text); });
}

std::string RawQuery(const std::wstring& url) {
  const std::string text = base::string_utils::ToUtf8(url);
  const size_t q = text.find('?');
  return q == std::string::npos ? std::string() : text.substr(q + 1);
}

Pairs SplitQuery(const std::string& query) { return sandbox::ReadQuery(query); }

Pairs QueryPairs(const std::wstring& url) { return SplitQuery(RawQuery(url)); }

std::string ValueOf(const Pairs& pairs, const std::string& name) {
  for (const auto& [key, value] : pairs) {
    if (key == name) return value;
  }
  return std::string();
}

std::string DecryptedInnerText(const std::wstring& url) {
  const Pairs outer = QueryPairs(url);
  return sandbox::DecryptParam(ValueOf(outer, "param"), ValueOf(outer, "timestamp"))
      .value_or(std::string());
}

Pairs OwnPairs(const std::wstring& url) {
  const Pairs outer = QueryPairs(url);
  const bool encrypted = !ValueOf(outer, "param").empty() && !ValueOf(outer, "sign").empty();
  Pairs pairs = encrypted ? SplitQuery(DecryptedInnerText(url)) : outer;
  size_t skip = 0;
  for (const char* name : kCommonNames) {
    if (skip < pairs.size() && pairs[skip].first == name) ++skip;
  }
  return Pairs(pairs.begin() + static_cast<std::ptrdiff_t>(skip), pairs.end());
}

}  // namespace lumo::testing

// Not written yet: the default transport drops every exchange.
#include "transport_internal.h"

namespace base::http::internal {
namespace {
class NullTransport : public Transport {
 public:
  ExchangeId Start(TransportRequest, TransportCallback) override { return 0; }
  void Cancel(ExchangeId) override {}
};
}  // namespace

std::shared_ptr<Transport> DefaultTransport() {
  static std::shared_ptr<Transport> transport = std::make_shared<NullTransport>();
  return transport;
}
}  // namespace base::http::internal

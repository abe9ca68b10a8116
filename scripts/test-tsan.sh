#!/usr/bin/env bash
# The tests that exercise threads (signals, the request lifecycle, every request class deleted
# while its answer is parsed, the HTTP transport, the dispatcher, the report pool), under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset tsan
cmake --build --preset tsan -j "$(nproc)" --target lumo_core_test every_request_lifetime_test lumohost_thread_test lumohost_http_test report_pool_test
ctest --preset tsan -j "$(nproc)" -R '^(RequestLifecycle|EveryRequestLifetime|Signal|WinHttpRequest|Dispatcher|CurlTransport|ReportPool)Test\.'

#!/usr/bin/env bash
# The tests that exercise threads (signals, the request lifecycle, every request and task class
# deleted while its answer is parsed, the paging tasks, the HTTP transport, the dispatcher, the
# report pool), under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset tsan
cmake --build --preset tsan -j "$(nproc)" --target lumo_core_test every_request_lifetime_test diy_test favorite_test lumohost_thread_test lumohost_http_test report_pool_test
ctest --preset tsan -j "$(nproc)" -R '^(RequestLifecycle|EveryRequestLifetime|PageTaskLifetime|GetAllPlayLists|GetAllPlayListSongs|ListEditTasks|FavoriteTasks|Signal|WinHttpRequest|Dispatcher|CurlTransport|ReportPool)Test\.'

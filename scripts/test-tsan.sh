#!/usr/bin/env bash
# The tests that exercise threads (signals, the request lifecycle, every request and task class
# deleted while its answer is parsed, the paging tasks, the HTTP transport's core over a fake
# driver and over libcurl, the dispatcher, the report pool), and the stress runs (requests deleted
# at random under load, the report pool pulled down under its answers, the sandbox under 64
# clients), under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset tsan
cmake --build --preset tsan -j "$(nproc)" --target lumo_core_test every_request_lifetime_test diy_test favorite_test lumohost_thread_test lumohost_http_test report_pool_test lumo_stress_test lumo_sandbox_stress_test log_secret_check_test
ctest --preset tsan -j "$(nproc)" -R '^(RequestLifecycle|EveryRequestLifetime|PageTaskLifetime|GetAllPlayLists|GetAllPlayListSongs|PageCap|ListEditTasks|FavoriteTasks|Signal|WinHttpRequest|Dispatcher|TransportCore|CurlTransport|Proxy|ReportPool|RequestStress|ReportPoolStress|LogSecretCheck|sandbox\.SandboxStress)Test\.'

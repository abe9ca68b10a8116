#!/usr/bin/env bash
# Builds the libraries and their tests for 64-bit Windows (MinGW-w64) and runs the tests under
# Wine, headless, like scripts/test.sh does for Linux. Those that need the service talk to a
# sandbox running natively on 127.0.0.1 (built from the Linux tree, build/default). Then makes the
# Windows zip and checks it (scripts/check-windows-zip.sh).
#
# The dependencies come from Debian's source packages, built once into a cache outside the clone
# (scripts/windows-deps.sh). ctest's summary line is the last thing printed; the exit status is
# non-zero when a test fails.
#
# Usage: scripts/test-windows.sh [--no-setup] [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--no-setup" ]; then
  shift
else
  scripts/setup.sh
fi
jobs="$(nproc)"

LUMO_WINDOWS_DEPS="$(scripts/windows-deps.sh | tail -n 1)"
export LUMO_WINDOWS_DEPS

# The native sandbox the Windows tests reach over loopback.
[ -f build/default/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs" --target lumo-sandbox

cmake --preset windows
cmake --build --preset windows -j "$jobs"
(cd build/windows && cpack -G ZIP >/dev/null)
scripts/check-windows-zip.sh build/windows

scripts/with-sandbox.sh ctest --preset windows -j "$jobs" "$@"

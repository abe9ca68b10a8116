#!/usr/bin/env bash
# Installs the packages, builds, and runs every test. With a preset name (asan, tsan) it builds and
# tests that configuration instead of the default one.
set -euo pipefail
cd "$(dirname "$0")/.."

preset="${1:-default}"
jobs="$(nproc)"

scripts/setup.sh
cmake --preset "$preset"
scripts/npm-ci.sh "build/$preset"
cmake --build --preset "$preset" -j "$jobs"
ctest --preset "$preset" -j "$jobs"

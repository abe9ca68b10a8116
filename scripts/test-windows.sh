#!/usr/bin/env bash
# Builds the libraries and their tests for 64-bit Windows and runs the tests under Wine, headless,
# like scripts/test.sh does for Linux, in two flavours:
#   msvc   Visual Studio's ABI: clang-cl, lld-link and Microsoft's C++ library, with the sysroot
#          scripts/msvc-toolchain.sh prepares (the windows-msvc preset);
#   mingw  MinGW-w64 GCC (the windows preset).
# Those that need the service talk to a sandbox running natively on 127.0.0.1 (built from the
# Linux tree, build/default). Then each flavour's zip is made and checked
# (scripts/check-windows-zip.sh).
#
# The dependencies come from Debian's source packages, built once per flavour into a cache outside
# the clone (scripts/windows-deps.sh). Each flavour prints ctest's summary line, and both again at
# the end; both run even when the first fails, and the exit status is non-zero when a test or a
# check failed.
#
# Usage: scripts/test-windows.sh [--no-setup] [--flavour msvc|mingw] [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

setup=1
flavours=(msvc mingw)
while [ $# -gt 0 ]; do
  case "$1" in
    --no-setup) setup=0 ;;
    --flavour)
      case "${2:-}" in
        msvc | mingw) flavours=("$2") ;;
        *) echo "test-windows.sh: --flavour takes msvc or mingw" >&2 && exit 2 ;;
      esac
      shift
      ;;
    *) break ;;
  esac
  shift
done
[ "$setup" -eq 0 ] || scripts/setup.sh
jobs="$(nproc)"

# The native sandbox the Windows tests reach over loopback, and the Linux build that the zip check
# compares results with.
[ -f build/default/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"

# The preset, and the build folder, of a flavour.
preset_of() { if [ "$1" = msvc ]; then echo windows-msvc; else echo windows; fi; }

# Builds, packs and checks one flavour, then runs its tests; the summary line comes last. It runs
# where a failure is tested for (`|| ...`), which turns `set -e` off: each step says so itself.
run_flavour() {
  local flavour="$1" preset deps
  shift
  preset="$(preset_of "$flavour")"
  if [ "$flavour" = msvc ]; then
    LUMO_MSVC_SYSROOT="$(scripts/msvc-toolchain.sh | tail -n 1)" || return 1
    LUMO_WINDOWS_DEPS_MSVC="$(scripts/windows-deps.sh --flavour msvc | tail -n 1)" || return 1
    export LUMO_MSVC_SYSROOT LUMO_WINDOWS_DEPS_MSVC
    deps="$LUMO_WINDOWS_DEPS_MSVC"
  else
    LUMO_WINDOWS_DEPS="$(scripts/windows-deps.sh --flavour mingw | tail -n 1)" || return 1
    export LUMO_WINDOWS_DEPS
    deps="$LUMO_WINDOWS_DEPS"
  fi
  echo "test-windows: $flavour ($preset)"
  rm -f "build/$preset/ctest.log"
  # A tree configured with other prepared folders keeps their flags and package paths in its
  # cache: it is configured afresh.
  local cache="build/$preset/CMakeCache.txt" fresh=()
  if [ -f "$cache" ]; then
    grep -qxF "LUMO_WINDOWS_DEPS:PATH=$deps" "$cache" || fresh=(--fresh)
    if [ "$flavour" = msvc ]; then
      grep -qxF "LUMO_MSVC_SYSROOT:PATH=$LUMO_MSVC_SYSROOT" "$cache" || fresh=(--fresh)
    fi
  fi
  cmake --preset "$preset" "${fresh[@]}" >/dev/null || return 1
  cmake --build --preset "$preset" -j "$jobs" || return 1
  (cd "build/$preset" && cpack -G ZIP >/dev/null) || return 1
  scripts/check-windows-zip.sh "build/$preset" || return 1
  scripts/with-sandbox.sh ctest --preset "$preset" -j "$jobs" "$@" | tee "build/$preset/ctest.log" ||
    return 1
}

failed=()
for flavour in "${flavours[@]}"; do
  run_flavour "$flavour" "$@" || failed+=("$flavour")
done
# Each flavour's summary again, together at the end.
for flavour in "${flavours[@]}"; do
  log="build/$(preset_of "$flavour")/ctest.log"
  summary="$(grep -E 'tests passed|tests failed' "$log" 2>/dev/null | tail -n 1 || true)"
  echo "test-windows: $flavour: ${summary:-no tests ran}"
done
if [ "${#failed[@]}" -gt 0 ]; then
  echo "test-windows: failed: ${failed[*]}" >&2
  exit 1
fi

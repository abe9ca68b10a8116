#!/usr/bin/env bash
# Builds the libraries and their tests for 64-bit Windows and runs the tests under Wine, headless,
# like scripts/test.sh does for Linux, in two flavours:
#   msvc   Visual Studio's ABI: clang-cl, lld-link and Microsoft's C++ library, with the sysroot
#          scripts/msvc-toolchain.sh prepares (the windows-msvc preset);
#   mingw  MinGW-w64 GCC (the windows preset), which also builds lumo-sandbox.exe and lumo.exe.
# Those that need the service talk to a sandbox running natively on 127.0.0.1 (built from the
# Linux tree, build/default). Then each flavour's zip is made and checked
# (scripts/check-windows-zip.sh), and for mingw the tools zip too
# (scripts/check-windows-tools-zip.sh).
#
# --windows-sandbox: the mingw flavour's tests talk to its own lumo-sandbox.exe under Wine instead
# of the native one, and the viewer that sandbox serves then passes the browser test
# (sandbox/tests/browser/viewer_test.py, Linux Chromium over 127.0.0.1). The msvc flavour builds
# no sandbox and keeps the native one.
#
# The dependencies come from Debian's source packages, built once per flavour into a cache outside
# the clone (scripts/windows-deps.sh). Each flavour prints ctest's summary line, and both again at
# the end; both run even when the first fails, and the exit status is non-zero when a test or a
# check failed.
#
# Usage: scripts/test-windows.sh [--no-setup] [--flavour msvc|mingw] [--windows-sandbox]
#                               [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

setup=1
flavours=(msvc mingw)
windows_sandbox=0
while [ $# -gt 0 ]; do
  case "$1" in
    --no-setup) setup=0 ;;
    --windows-sandbox) windows_sandbox=1 ;;
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
  local sandbox=()
  if [ "$flavour" = mingw ]; then
    cmake --build --preset "$preset" --target lumo_tools_zip >/dev/null || return 1
    scripts/check-windows-tools-zip.sh "build/$preset" || return 1
    [ "$windows_sandbox" -eq 0 ] ||
      sandbox=(env "LUMO_SANDBOX_PROGRAM=$PWD/build/$preset/bin/lumo-sandbox.exe")
  fi
  "${sandbox[@]}" scripts/with-sandbox.sh ctest --preset "$preset" -j "$jobs" "$@" |
    tee "build/$preset/ctest.log" || return 1
  [ "${#sandbox[@]}" -eq 0 ] || viewer_on_windows_sandbox "$preset" || return 1
}

# The browser test against the viewer of the Windows sandbox (fresh, its state in memory), driven
# by the Linux tool and Chromium.
viewer_on_windows_sandbox() {
  local preset="$1"
  scripts/npm-ci.sh build/default >/dev/null || return 1
  echo "test-windows: the viewer of lumo-sandbox.exe in Chromium"
  LUMO_SANDBOX_PROGRAM="$PWD/build/$preset/bin/lumo-sandbox.exe" scripts/with-sandbox.sh \
    sh -c 'exec /usr/bin/python3 sandbox/tests/browser/viewer_test.py --connect-to "$LUMO_TEST_SANDBOX" \
      --lumo build/default/cli/lumo --out "$1/viewer" \
      --har-schema build/default/npm/node_modules/har-schema/lib' sh "build/$preset"
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

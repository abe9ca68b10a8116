#!/usr/bin/env bash
# Checks the Windows zip as a developer on Windows would use it: unpacked into a scratch folder,
# examples/host_app and the README's host program (examples/readme_snippet) cross-built against
# it with nothing but CMAKE_PREFIX_PATH pointing there, then run under Wine with only the zip's
# bin folder to load DLLs from: the host app against its own loopback server, the README's
# program getting a song link from a lumo-sandbox running natively on 127.0.0.1.
# Usage: scripts/check-windows-zip.sh WINDOWS_BUILD_DIR (the sandbox comes from build/default)
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
check_name=check-windows-zip
# shellcheck source=scripts/check-lib.sh
. "$src/scripts/check-lib.sh"

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
zip="$build/lumoapi-$version-win64-mingw.zip"
[ -f "$zip" ] || fail "no $zip (cpack -G ZIP in $build makes it)"
(cd "$work" && cmake -E tar xf "$zip")
root="$work/lumoapi-$version-win64-mingw"
for f in bin/liblumoapi.dll bin/liblumohost.dll lib/liblumoapi.dll.a lib/cmake/lumoapi/lumoapiConfig.cmake \
         include/lumoapi/request_base.h include/cpprest/json.h README-windows.md; do
  [ -e "$root/$f" ] || fail "the zip lacks $f"
done

# Runs a Windows program with the zip's bin folder beside it and no other place to find DLLs.
run_windows() {
  local exe="$1"
  shift
  cp "$exe" "$root/bin/"
  env -u LUMO_WINDOWS_DEPS -u WINEPATH WINEPREFIX="$build/wineprefix" WINEDEBUG=-all \
    wine "$root/bin/${exe##*/}" "$@"
}

for example in host_app readme_snippet; do
  # The zip is the dependencies' prefix too: nothing is found outside it (and MinGW-w64's root).
  env -u LUMO_WINDOWS_DEPS cmake -S "$src/examples/$example" -B "$work/$example" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchains/mingw-w64-x86_64.cmake" \
    -DLUMO_WINDOWS_DEPS="$root" -DCMAKE_PREFIX_PATH="$root" -DCMAKE_BUILD_TYPE=Release >"$work/$example.log" 2>&1 ||
    { cat "$work/$example.log" >&2; fail "examples/$example does not configure against the zip"; }
  cmake --build "$work/$example" >>"$work/$example.log" 2>&1 ||
    { cat "$work/$example.log" >&2; fail "examples/$example does not build against the zip"; }
  # Windows has no run paths, and link.exe and lld-link refuse -rpath: the package gives none.
  if grep -q -- -rpath "$work/$example/build.ninja"; then
    fail "the zip's CMake package gives examples/$example a run path (-rpath)"
  fi
done

run_windows "$work/host_app/host_app.exe" >"$work/host_app.out" 2>&1 ||
  { cat "$work/host_app.out" >&2; fail "host_app.exe failed"; }
grep -q "greeting=hello from loopback" "$work/host_app.out" || fail "host_app.exe: no greeting"

start_sandbox "$src/build/default/sandbox/lumo-sandbox" "$work/sandbox.out"
run_windows "$work/readme_snippet/player.exe" "$address" >"$work/player.out" 2>&1 ||
  { cat "$work/player.out" >&2; fail "player.exe got no song link from $address"; }
grep -q "kbit/s" "$work/player.out" || fail "player.exe printed no link"
echo "$check_name: the zip builds and runs examples/host_app and the README's program"

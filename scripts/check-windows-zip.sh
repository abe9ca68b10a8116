#!/usr/bin/env bash
# Checks a Windows zip as a developer on Windows would use it, for the flavour the build folder
# was made with (Visual Studio's ABI with clang-cl, or MinGW-w64): unpacked into a scratch folder,
# the examples cross-built against it by the same kind of compiler with nothing but
# CMAKE_PREFIX_PATH pointing there, then run under Wine with only the zip's bin folder to load
# DLLs from:
#   - examples/host_app, against its own loopback server;
#   - the README's host program (examples/readme_snippet), a song link from a lumo-sandbox running
#     natively on 127.0.0.1;
#   - examples/message_loop, a program with its own message loop that gets a song link, a merged
#     search, a song-list page and every favourite from that sandbox: it must print what the same
#     program built for Linux prints.
# For Visual Studio's ABI also: the DLLs' import and export tables (tests/core/msvc_dll_tables.sh),
# and that a program whose settings cannot match the DLLs' stops at compile time, saying why.
# Usage: scripts/check-windows-zip.sh WINDOWS_BUILD_DIR (the sandbox and the Linux build come from
# build/default)
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
check_name=check-windows-zip
# shellcheck source=scripts/check-lib.sh
. "$src/scripts/check-lib.sh"

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
toolchain="$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:FILEPATH=//p' "$build/CMakeCache.txt")"
case "$toolchain" in
  */clang-cl-x86_64.cmake) flavour=msvc ;;
  */mingw-w64-x86_64.cmake) flavour=mingw ;;
  *) fail "$build is not a Windows build (toolchain file '${toolchain:-none}')" ;;
esac
check_name="check-windows-zip ($flavour)"
zip="$build/lumoapi-$version-win64-$flavour.zip"
[ -f "$zip" ] || fail "no $zip (cpack -G ZIP in $build makes it)"
(cd "$work" && cmake -E tar xf "$zip")
root="$work/lumoapi-$version-win64-$flavour"
if [ "$flavour" = msvc ]; then
  files=(bin/lumoapi.dll bin/lumohost.dll bin/lumoapi.pdb bin/lumohost.pdb lib/lumoapi.lib
    lib/lumohost.lib)
else
  files=(bin/liblumoapi.dll bin/liblumohost.dll lib/liblumoapi.dll.a bin/libstdc++-6.dll)
fi
for f in "${files[@]}" lib/cmake/lumoapi/lumoapiConfig.cmake include/lumoapi/request_base.h \
         include/lumoapi/call_failure.h \
         include/cpprest/json.h README-windows.md; do
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

# clang-cl's sysroot stands in for Visual Studio's own headers and libraries.
toolchain_args=()
if [ "$flavour" = msvc ]; then
  sysroot="$(sed -n 's/^LUMO_MSVC_SYSROOT:PATH=//p' "$build/CMakeCache.txt")"
  toolchain_args=(-DLUMO_MSVC_SYSROOT="$sysroot")
fi
examples=(host_app readme_snippet message_loop)
for example in "${examples[@]}"; do
  # The zip is the dependencies' prefix too: nothing is found outside it (and the compiler's own
  # root).
  env -u LUMO_WINDOWS_DEPS -u LUMO_WINDOWS_DEPS_MSVC cmake -S "$src/examples/$example" \
    -B "$work/$example" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${toolchain_args[@]}" -DLUMO_WINDOWS_DEPS="$root" \
    -DCMAKE_PREFIX_PATH="$root" -DCMAKE_BUILD_TYPE=Release >"$work/$example.log" 2>&1 ||
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

# The message-loop program for Linux, against the Linux build installed into a scratch prefix.
cmake --install "$src/build/default" --prefix "$work/linux" >/dev/null
cmake -S "$src/examples/message_loop" -B "$work/message_loop_linux" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/linux" -DCMAKE_BUILD_TYPE=Release >"$work/message_loop_linux.log" 2>&1 &&
  cmake --build "$work/message_loop_linux" >>"$work/message_loop_linux.log" 2>&1 ||
  { cat "$work/message_loop_linux.log" >&2; fail "examples/message_loop does not build for Linux"; }
"$work/message_loop_linux/message_loop" "$address" >"$work/message_loop_linux.out" ||
  fail "examples/message_loop failed on Linux"
run_windows "$work/message_loop/message_loop.exe" "$address" >"$work/message_loop.out" ||
  fail "message_loop.exe failed"
grep -q "^favourites: [1-9]" "$work/message_loop.out" || fail "message_loop.exe gathered no favourite"
diff -u "$work/message_loop_linux.out" <(tr -d '\r' <"$work/message_loop.out") >&2 ||
  fail "message_loop.exe printed other results than the Linux build"
echo "$check_name: the zip builds and runs ${examples[*]}; message_loop's results are Linux's"

[ "$flavour" = msvc ] || exit 0
"$src/tests/core/msvc_dll_tables.sh" "$root"/bin/*.dll

# A program whose settings the DLLs cannot match stops at compile time, saying what to change.
# Each row: the compiler's options|a line before the include|what the message must say ("" for a
# program that compiles).
compile=(clang-cl-19 --target=x86_64-pc-windows-msvc -fms-compatibility-version=19.44 /nologo /c
  /EHsc /DUNICODE /D_UNICODE /DNOMINMAX /DCPPREST_FORCE_PPLX=1 "-I$root/include"
  "-I$root/include/lumohost")
for dir in stl vcrt crt sdk; do compile+=(-imsvc "$sysroot/include/$dir"); done
rows=(
  "/MD /std:c++17||"
  "/MD /std:c++20||"
  "/MDd /std:c++17||use the release runtime"
  "/MT /std:c++17||compile with /MD, not /MT"
  "/MD /std:c++17 /D_ITERATOR_DEBUG_LEVEL=1||_ITERATOR_DEBUG_LEVEL 0"
  "/MD /std:c++17 /Zc:wchar_t-||native wchar_t"
  "/MD /std:c++17 /Zp4||default packing"
  "/MD /std:c++17|#pragma pack(push, 2)|default packing"
  "/MD /std:c++14||C++17 or later"
)
for row in "${rows[@]}"; do
  IFS='|' read -r options prelude expected <<<"$row"
  printf '%s\n#include "lumoapi/song/get_song_link.h"\nint main() { return 0; }\n' "$prelude" \
    >"$work/settings.cc"
  # shellcheck disable=SC2086  # the row's options are meant to be split
  if "${compile[@]}" $options "/Fo$work/settings.obj" -- "$work/settings.cc" >"$work/settings.log" 2>&1; then
    [ -z "$expected" ] || fail "a program built with $options ${prelude:+after $prelude }compiles"
  else
    [ -n "$expected" ] || { cat "$work/settings.log" >&2; fail "a program built with $options does not compile"; }
    grep -qF -- "$expected" "$work/settings.log" ||
      { cat "$work/settings.log" >&2; fail "$options ${prelude:+after $prelude }: no message saying \"$expected\""; }
  fi
done
echo "$check_name: the DLLs' tables are Visual Studio's; ${#rows[@]} rows of compiler settings checked"

#!/usr/bin/env bash
# Checks the Windows tools zip (lumo-tools-<version>-win64.zip) as a Windows user would use it:
# unpacked into a scratch folder and run under Wine from there alone, in a Wine prefix of its own
# (a fresh %LOCALAPPDATA%) with no other folder to load DLLs from:
#   - the tour (scripts/tour.sh --program) with lumo.exe, which must print what the Linux build
#     prints for it, apart from times, signatures and scratch paths;
#   - lumo-sandbox.exe on 127.0.0.1, which lumo.exe reaches with --connect-to, and which stops on
#     Ctrl-C (SIGINT, which Wine turns into the console's Ctrl-C);
#   - the manual pages, as text.
# Usage: scripts/check-windows-tools-zip.sh WINDOWS_BUILD_DIR (the Linux build is build/default)
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
check_name=check-windows-tools-zip
# shellcheck source=scripts/check-lib.sh
. "$src/scripts/check-lib.sh"

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
name="lumo-tools-$version-win64"
zip="$build/$name.zip"
[ -f "$zip" ] || fail "no $zip (cmake --build $build --target lumo_tools_zip makes it)"
(cd "$work" && cmake -E tar xf "$zip")
root="$work/$name"
for f in lumo.exe lumo-sandbox.exe liblumoapi.dll liblumohost.dll cpprest.dll libglog.dll \
         libstdc++-6.dll README.txt man/lumo.txt man/lumo-cloud.txt man/lumo-sandbox.txt; do
  [ -e "$root/$f" ] || fail "the zip lacks $f"
done
grep -q "lumo fav add" "$root/man/lumo-fav.txt" || fail "man/lumo-fav.txt does not read as text"
grep -q -- "--port" "$root/man/lumo-sandbox.txt" || fail "man/lumo-sandbox.txt has no options"

# The programs from the zip alone: no dependency prefix, no MinGW folders on WINEPATH.
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset LUMO_WINDOWS_DEPS WINEPATH DISPLAY
# The prefix must be complete before a program runs: its registry names the cryptographic
# providers that the library's encryption asks for.
wineboot --init >/dev/null 2>&1 || true
wineserver --wait || true
cat >"$work/lumo" <<EOF
#!/bin/sh
exec wine "$root/lumo.exe" "\$@"
EOF
chmod +x "$work/lumo"

# Both tours' scratch folders under one parent, so that their paths differ only in their names.
mkdir -p "$work/tmp"
# Each tour is bounded in time: a hung run fails the check rather than CI.
TMPDIR="$work/tmp" timeout 300 "$src/scripts/tour.sh" --program "$src/build/default/cli/lumo" \
  >"$work/tour-linux.out" 2>&1 || { cat "$work/tour-linux.out" >&2; fail "the Linux tour failed"; }
TMPDIR="$work/tmp" timeout 600 "$src/scripts/tour.sh" --program "$work/lumo" >"$work/tour-windows.out" 2>&1 ||
  { cat "$work/tour-windows.out" >&2; fail "the tour failed with lumo.exe"; }
# What differs from run to run: scratch folders, the state file's place, times and what is
# derived from them (the lyrics lookup's "ts" and encrypted copy, the store's signature).
comparable() {
  tr -d '\r' <"$1" | sed -E \
    -e 's|/tmp/tmp\.[A-Za-z0-9]+|TOUR|g' \
    -e 's|\(state in [^)]*\)|(state in STATE)|' \
    -e 's/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}/TIME/g' \
    -e 's/[A-Z][a-z]{2}, [0-9]{2} [A-Z][a-z]{2} [0-9]{4} [0-9:]{8} GMT/DATE/g' \
    -e 's/ts=[0-9]+/ts=TS/g; s/&e=[^&'"'"' ]*/\&e=E/g' \
    -e 's/QCS sandbox:[0-9a-f]+/QCS sandbox:SIGNATURE/g'
}
diff -u <(comparable "$work/tour-linux.out") <(comparable "$work/tour-windows.out") >&2 ||
  fail "lumo.exe printed another tour than the Linux build"
steps="$(grep -c '^== ' "$work/tour-windows.out")"

# The sandbox on its own, reached by another run of the tool, and stopped with Ctrl-C.
wine "$root/lumo-sandbox.exe" --port 0 --db :memory: >"$work/sandbox.out" 2>&1 &
sandbox_pid=$!
address=""
for _ in $(seq 300); do
  address="$(tr -d '\r' <"$work/sandbox.out" |
    sed -n 's|^lumo-sandbox listening on http://\(127\.0\.0\.1:[0-9]*\)$|\1|p')"
  [ -n "$address" ] && break
  kill -0 "$sandbox_pid" 2>/dev/null || { cat "$work/sandbox.out" >&2; fail "lumo-sandbox.exe did not start"; }
  sleep 0.1
done
[ -n "$address" ] || fail "lumo-sandbox.exe did not report its address"
timeout 120 "$work/lumo" --connect-to "$address" -q --json sandbox users >"$work/users.out" ||
  fail "lumo.exe could not reach lumo-sandbox.exe at $address"
grep -q '"token":"sbx-ordinary-' "$work/users.out" || fail "lumo.exe read no users from $address"
kill -INT "$sandbox_pid"
for _ in $(seq 100); do
  kill -0 "$sandbox_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$sandbox_pid" 2>/dev/null && fail "lumo-sandbox.exe did not stop on Ctrl-C"
sandbox_pid=""
grep -q "lumo-sandbox stopped (Ctrl-C)" "$work/sandbox.out" ||
  { cat "$work/sandbox.out" >&2; fail "lumo-sandbox.exe did not say it stopped"; }
echo "$check_name: the zip's lumo.exe tours as Linux's does ($steps steps); its lumo-sandbox.exe serves and stops"

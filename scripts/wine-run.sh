#!/usr/bin/env bash
# Runs a Windows program under Wine, headless: wine-run.sh WINEPREFIX PROGRAM.exe [ARGS...].
# The Wine prefix is made on first use. The program finds the MinGW-w64 runtime DLLs and those
# of the dependencies (LUMO_WINDOWS_DEPS/bin) through WINEPATH; the project's own DLLs sit beside
# the programs in the build tree's bin folder.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 WINEPREFIX PROGRAM.exe [ARGS...]" >&2; exit 2; }
export WINEPREFIX="$(realpath -m "$1")"
shift
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset DISPLAY

winepath=""
add_path() {
  local dir
  dir=$(winepath_of "$1") || return 0
  winepath="${winepath:+$winepath;}$dir"
}
winepath_of() { [ -d "$1" ] && printf 'Z:%s' "${1//\//\\}"; }
for dir in /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib; do
  add_path "$dir"
done
[ -n "${LUMO_WINDOWS_DEPS:-}" ] && add_path "$LUMO_WINDOWS_DEPS/bin"
export WINEPATH="${winepath}${WINEPATH:+;$WINEPATH}"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Made once; several programs started at the same moment wait for one another here.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  [ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1 || true
  wineserver --wait || true
  flock -u 9
fi
exec wine "$@"

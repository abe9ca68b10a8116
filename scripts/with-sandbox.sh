#!/usr/bin/env bash
# Runs a command with a sandbox of its own: starts lumo-sandbox on 127.0.0.1 on a free port with
# its state in memory, waits until it answers, runs the command with LUMO_TEST_SANDBOX set to its
# address (the integration tests then use it instead of one in-process; the Windows tests of the
# Visual Studio flavour can only use one like this), stops the sandbox, and exits with the
# command's status.
#
# Usage: scripts/with-sandbox.sh COMMAND [ARGS...]
# LUMO_SANDBOX_PROGRAM names the program (default: build/default/sandbox/lumo-sandbox). A Windows
# one (lumo-sandbox.exe) runs under Wine (scripts/wine-run.sh) with the Wine prefix of its build
# tree, or LUMO_SANDBOX_WINEPREFIX, and LUMO_WINDOWS_DEPS for its DLLs.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
root="$(cd "$(dirname "$0")/.." && pwd)"
program="${LUMO_SANDBOX_PROGRAM:-$root/build/default/sandbox/lumo-sandbox}"
[ -f "$program" ] || {
  echo "with-sandbox.sh: no sandbox at $program (cmake --build --preset default --target lumo-sandbox)" >&2
  exit 2
}
run=("$program")
# Wine turns SIGINT into the console's Ctrl-C, which the Windows sandbox stops on; SIGTERM would
# end it without its stopping.
stop_signal=TERM
case "$program" in
  *.exe)
    run=("$root/scripts/wine-run.sh"
      "${LUMO_SANDBOX_WINEPREFIX:-$(dirname "$program")/../wineprefix}" "$program")
    stop_signal=INT
    ;;
esac

out="$(mktemp)"
"${run[@]}" --bind 127.0.0.1 --port 0 --db :memory: >"$out" 2>&1 &
pid=$!
stop() {
  if kill -0 "$pid" 2>/dev/null; then
    kill "-$stop_signal" "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -f "$out"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The startup line ends with the port (and a CR on Windows); then the sandbox must answer on it.
# At most 60 s: Wine makes its prefix on first use.
port=""
for _ in $(seq 600); do
  kill -0 "$pid" 2>/dev/null || { cat "$out" >&2; echo "with-sandbox.sh: the sandbox did not start" >&2; exit 1; }
  port="$(tr -d '\r' <"$out" | sed -n 's|^lumo-sandbox listening on http://127\.0\.0\.1:\([0-9]*\)$|\1|p')"
  if [ -n "$port" ] && curl -fsS -o /dev/null --max-time 2 "http://127.0.0.1:$port/_sandbox/rules"; then
    break
  fi
  port=""
  sleep 0.1
done
[ -n "$port" ] || { cat "$out" >&2; echo "with-sandbox.sh: the sandbox did not answer" >&2; exit 1; }

export LUMO_TEST_SANDBOX="127.0.0.1:$port"
echo "with-sandbox.sh: sandbox at $LUMO_TEST_SANDBOX (pid $pid)" >&2
status=0
"$@" || status=$?
exit "$status"

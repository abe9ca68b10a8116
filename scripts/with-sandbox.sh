#!/usr/bin/env bash
# Runs a command with a sandbox of its own: starts the native lumo-sandbox on 127.0.0.1 on a free
# port with its state in memory, waits until it answers, runs the command with LUMO_TEST_SANDBOX
# set to its address (the integration tests then use it instead of one in-process; the Windows
# tests can only use one like this), stops the sandbox, and exits with the command's status.
#
# Usage: scripts/with-sandbox.sh COMMAND [ARGS...]
# LUMO_SANDBOX_PROGRAM names the program (default: build/default/sandbox/lumo-sandbox).
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
root="$(cd "$(dirname "$0")/.." && pwd)"
program="${LUMO_SANDBOX_PROGRAM:-$root/build/default/sandbox/lumo-sandbox}"
[ -x "$program" ] || {
  echo "with-sandbox.sh: no sandbox at $program (cmake --build --preset default --target lumo-sandbox)" >&2
  exit 2
}

out="$(mktemp)"
"$program" --bind 127.0.0.1 --port 0 --db :memory: >"$out" 2>&1 &
pid=$!
stop() {
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -f "$out"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The startup line ends with the port; then the sandbox must answer on it. At most 30 s.
port=""
for _ in $(seq 300); do
  kill -0 "$pid" 2>/dev/null || { cat "$out" >&2; echo "with-sandbox.sh: the sandbox did not start" >&2; exit 1; }
  port="$(sed -n 's|^lumo-sandbox listening on http://127\.0\.0\.1:\([0-9]*\)$|\1|p' "$out")"
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

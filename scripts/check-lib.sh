# Sourced by the install and package checks, after they set `check_name`:
#   - `work`, a scratch folder removed at exit, with any sandbox started below stopped;
#   - fail MESSAGE: prints "check_name: MESSAGE" and exits 1;
#   - start_sandbox PROGRAM OUTPUT_FILE: runs PROGRAM (a lumo-sandbox) on a free port of 127.0.0.1
#     with its state in memory, and sets `sandbox_pid` and `address` ("127.0.0.1:PORT") once it
#     reports where it listens; it waits 10 s at most.
work="$(mktemp -d)"
sandbox_pid=""
cleanup() {
  if [ -n "$sandbox_pid" ]; then kill "$sandbox_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "$check_name: $*" >&2
  exit 1
}

start_sandbox() {
  local program="$1" output="$2"
  "$program" --port 0 --db :memory: >"$output" &
  sandbox_pid=$!
  address=""
  for _ in $(seq 100); do
    address="$(sed -n 's|^lumo-sandbox listening on http://\(127\.0\.0\.1:[0-9]*\)$|\1|p' "$output")"
    [ -n "$address" ] && return 0
    kill -0 "$sandbox_pid" 2>/dev/null || fail "$program did not start"
    sleep 0.1
  done
  fail "$program did not report its address"
}

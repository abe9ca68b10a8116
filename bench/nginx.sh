#!/usr/bin/env bash
# Starts and stops Debian's nginx serving the load driver's canned answers on loopback.
#
#   bench/nginx.sh bodies DRIVER   capture the sandbox's answers with DRIVER (lumo_load_driver)
#                                  and derive the 10- and 1,000-song pages
#   bench/nginx.sh start           start nginx on 127.0.0.1 and a free port; prints 127.0.0.1:PORT
#   bench/nginx.sh worker          the worker's process id (for --server-pid)
#   bench/nginx.sh stop            stop it
#
# One worker, pinned to the last CPU (NGINX_CPU overrides), so that clients kept on the other
# CPUs never share its core. Files live in $NGINX_DIR (default build/bench/nginx).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
dir=${NGINX_DIR:-$here/../build/bench/nginx}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
bodies=$dir/bodies
run=$dir/run
nginx_bin=${NGINX:-/usr/sbin/nginx}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# worker_cpu_affinity's mask for CPU $1: a 1 at that position from the right.
affinity_mask() {
  local mask="1" i
  for ((i = 0; i < $1; i++)); do mask="${mask}0"; done
  echo "$mask"
}

running() {
  [ -f "$run/nginx.pid" ] && kill -0 "$(cat "$run/nginx.pid")" 2>/dev/null
}

case "${1:-}" in
  bodies)
    driver=${2:?usage: nginx.sh bodies DRIVER}
    mkdir -p "$bodies"
    "$driver" --capture "$bodies" --time-limit 30
    python3 "$here/nginx/derive_lists.py" "$bodies"
    chmod -R a+rX "$bodies"
    ls -l "$bodies" >&2
    ;;
  start)
    if running; then
      echo "nginx.sh: already running (stop it first)" >&2
      exit 1
    fi
    for body in splash channels list list10 list1000 fav; do
      [ -s "$bodies/$body.json" ] || { echo "nginx.sh: $bodies/$body.json missing; run 'nginx.sh bodies DRIVER'" >&2; exit 1; }
    done
    cpus=$(nproc)
    cpu=${NGINX_CPU:-$((cpus - 1))}
    port=$(free_port)
    user=""
    [ "$(id -u)" -eq 0 ] && user="user $(id -un);"
    mkdir -p "$run"
    sed -e "s|@USER@|$user|" -e "s|@AFFINITY@|$(affinity_mask "$cpu")|" -e "s|@RUN@|$run|g" \
      -e "s|@PORT@|$port|" -e "s|@BODIES@|$bodies|" "$here/nginx/nginx.conf.in" >"$run/nginx.conf"
    "$nginx_bin" -p "$run" -c "$run/nginx.conf" -e "$run/error.log"
    ready=0
    for _ in $(seq 50); do
      if running && curl -sf -o /dev/null --noproxy '*' \
        "http://127.0.0.1:$port/v1/restserver/lumo?method=norda.lumo.active.startPC"; then
        ready=1
        break
      fi
      sleep 0.1
    done
    if [ "$ready" != 1 ]; then
      echo "nginx.sh: nginx did not answer on 127.0.0.1:$port (see $run/error.log)" >&2
      exit 1
    fi
    echo "$port" >"$run/port"
    echo "127.0.0.1:$port"
    ;;
  worker)
    running || { echo "nginx.sh: not running" >&2; exit 1; }
    pgrep -P "$(cat "$run/nginx.pid")" | head -n 1
    ;;
  stop)
    if running; then
      "$nginx_bin" -p "$run" -c "$run/nginx.conf" -e "$run/error.log" -s stop
      for _ in $(seq 50); do running || break; sleep 0.1; done
    fi
    ;;
  *)
    echo "usage: nginx.sh bodies DRIVER | start | worker | stop" >&2
    exit 2
    ;;
esac

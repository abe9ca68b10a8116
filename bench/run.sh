#!/usr/bin/env bash
# The whole benchmark in one command: builds the Release benchmark tree, captures the canned
# answers, starts nginx, runs the load driver in every scenario (every run bounded in time), writes
# JSON into build/bench/results/, renders the plots into docs/ and prints the tables for
# docs/performance.md.
#
#   bench/run.sh          the full run (about 10 minutes on 2 CPUs)
#   QUICK=1 bench/run.sh  a short run that checks the pipeline (about 2 minutes)
#
# Only loopback addresses are used: nginx and the sandbox listen on 127.0.0.1, and the library's
# service host is routed there.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build/bench}
results=$build/results
docs=${BENCH_DOCS:-$root/docs}
export NGINX_DIR=$build/nginx

# Calls per run: small answers, 100-song pages, 1,000-song pages; tasks per paging run.
if [ "${QUICK:-0}" = 1 ]; then
  small=1000 pages=300 big=100 warmup=100 wrk_seconds=2 tasks=3 time_limit=20
else
  small=20000 pages=5000 big=500 warmup=500 wrk_seconds=5 tasks=20 time_limit=60
fi

export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
  -DCMAKE_BUILD_TYPE=Release -DLUMOAPI_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" --target lumo_load_driver lumo_core_bench -j2
driver=$build/bench/lumo_load_driver

rm -rf "$results"
mkdir -p "$results"
"$root/bench/nginx.sh" bodies "$driver" 2>/dev/null
target=$("$root/bench/nginx.sh" start)
trap '"$root/bench/nginx.sh" stop' EXIT
worker=$("$root/bench/nginx.sh" worker)

# nginx has the last CPU; the clients (and the sandbox) get the others, when there are others.
cpus=$(nproc)
if [ "$cpus" -ge 2 ]; then
  clients=0
  [ "$cpus" -gt 2 ] && clients="0-$((cpus - 2))"
  client=(taskset -c "$clients")
  pinning="nginx's worker on CPU $((cpus - 1)), the clients against it on CPU $clients."
else
  client=()
  pinning="one CPU: nginx and the clients share it."
fi

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# step NAME ARGS...: one driver invocation against the sandbox it starts, on every CPU (the
# sandbox and the client share them); its JSON is kept as NAME.json.
step() {
  local name=$1
  shift
  echo "== $name: $*" >&2
  "$driver" --json --time-limit "$time_limit" "$@" >"$results/$name.json" ||
    echo "   ($name reported failed calls or a time limit; see its JSON)" >&2
}
# nginx_step NAME ARGS...: the same against nginx, the client kept off nginx's CPU.
nginx_step() {
  local name=$1
  shift
  echo "== $name: $*" >&2
  "${client[@]}" "$driver" --json --time-limit "$time_limit" --server nginx \
    --connect-to "$target" --server-pid "$worker" "$@" >"$results/$name.json" ||
    echo "   ($name reported failed calls or a time limit; see its JSON)" >&2
}

for method in splash channels list fav; do
  case $method in
    list | fav) requests=$pages ;;
    *) requests=$small ;;
  esac
  nginx_step "nginx-$method" --method "$method" --modes library,raw,cpprest,cpprest2,wrk \
    --concurrency 1,16,64 --requests "$requests" --warmup "$warmup" --wrk-seconds "$wrk_seconds"
done
nginx_step growth-list10 --method list10 --modes library,raw --concurrency 16 \
  --requests "$pages" --warmup "$warmup"
nginx_step growth-list1000 --method list1000 --modes library,raw --concurrency 16 \
  --requests "$big" --warmup 50
nginx_step burst --scenario burst --method splash --modes library,raw --requests 10000 --warmup 100
step paging-fav --scenario paging --task fav --modes library,raw --requests "$tasks" --warmup 2
step paging-list --scenario paging --task list --modes library,raw --requests "$tasks" --warmup 2
step sandbox-splash --method splash --modes library,raw --concurrency 1,16,64 \
  --requests "$small" --warmup "$warmup"
step sandbox-channels --method channels --modes library,raw --concurrency 1,16,64 \
  --requests "$small" --warmup "$warmup"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

bodies_json=$(cd "$NGINX_DIR/bodies" && for f in *.json; do printf '"%s":%s,' "${f%.json}" "$(stat -c %s "$f")"; done)
cat >"$results/meta.json" <<META
{"date":"$(date -u +%Y-%m-%dT%H:%MZ)","commit":"$(git -C "$root" rev-parse --short HEAD)",
 "machine":"$cpus CPUs ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)), $(uname -sr)",
 "load_before":"$load_before","load_after":"$load_after","pinning":"$pinning",
 "quick":${QUICK:-0},"bodies":{${bodies_json%,}}}
META

python3 "$root/bench/tables.py" "$results" --dat "$results/plot" >"$results/tables.md"
gnuplot -e "dat='$results/plot'; out='$docs'" "$root/bench/plot.gp"
cat "$results/tables.md"
echo "JSON in $results, plots in $docs/perf-throughput.png and $docs/perf-cpu-by-size.png" >&2

#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset) and runs each for SECONDS (default 60) over a
# scratch copy of its committed corpus, so that a run never rewrites tracked files. Fails on the
# first finding; prints each target's executions and executions per second. With FUZZ_RUNS=N a
# target also stops after N executions, whichever comes first.
#   [FUZZ_RUNS=N] scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(answers_fuzzer address_builder_fuzzer host_text_fuzzer
  sandbox_address_fuzzer cli_text_fuzzer http_request_fuzzer)

scripts/setup.sh
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# The library's log lines for every rejected answer would cost more than the answers themselves.
export ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" GLOG_minloglevel=3
for target in "${targets[@]}"; do
  name="${target%_fuzzer}"
  mkdir -p "$scratch/$name" "$scratch/artifacts/$name"
  cp -r "fuzz/corpus/$name/." "$scratch/$name/"
  limits=(-max_total_time="$seconds")
  [ -n "${FUZZ_RUNS:-}" ] && limits+=(-runs="$FUZZ_RUNS")
  dict=()
  [ -f "fuzz/dict/$name.dict" ] && dict=("-dict=fuzz/dict/$name.dict")
  log="$scratch/$name.log"
  started=$SECONDS
  if ! nice "build/fuzz/fuzz/$target" "${dict[@]}" "${limits[@]}" -timeout=10 \
      -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$scratch/artifacts/$name/" \
      "$scratch/$name" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: $target found a fault; the input:" >&2
    ls -l "$scratch/artifacts/$name" >&2
    mkdir -p build/fuzz/findings && cp -r "$scratch/artifacts/$name" build/fuzz/findings/
    exit 1
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
  final="$(grep -E '^#[0-9]+.*(DONE|cov:)' "$log" | tail -n 1)"
  echo "fuzz: $target: ${runs:-?} executions, ${rate:-?} exec/s in $((SECONDS - started)) s; $final"
done

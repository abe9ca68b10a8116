#!/usr/bin/env bash
# Fails when a class of include/lumoapi that is a request or a task is made by no row of tests/support/every_request.cc, so that the lifetime
# tests cannot silently skip a new class.
# Usage: every_class_has_a_row.sh SOURCE_DIR
set -euo pipefail
src="$1"
table="$src/tests/support/every_request.cc"
# Requests and tasks derive from RequestBase or RequestRoot; a task of its own kind declares a
# BeginRequest of its own.
classes="$(
  grep -rhoE 'class LUMOAPI_EXPORT [A-Za-z0-9_]+ (final )?: public Request(Base|Root)\b' \
    "$src/include/lumoapi" | awk '$3 != "RequestBase" {print $3}'
  grep -rlE '^  void BeginRequest\(\);' "$src/include/lumoapi" |
    xargs -r grep -hoE 'class LUMOAPI_EXPORT [A-Za-z0-9_]+' | awk '$3 != "RequestBase" {print $3}'
)"
classes="$(sort -u <<<"$classes")"
[ -n "$classes" ] || { echo "found no request class under $src/include/lumoapi" >&2; exit 1; }
missing=0
while read -r name; do
  if ! grep -qE "(make_unique|Make|Own)<[a-z:]*::$name>" "$table"; then
    echo "no row of $table makes $name" >&2
    missing=1
  fi
done <<<"$classes"
[ "$missing" -eq 0 ] && echo "$(wc -l <<<"$classes") request and task classes, each with a row"
exit "$missing"

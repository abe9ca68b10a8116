#!/usr/bin/env bash
# The shipped liblumoapi exports the host's interface only: none of the pieces marked
# LUMOAPI_EXPORT_PRIVATE in src/, no test hook, and nothing of the testing library's own pieces
# (src/testing/, namespace lumoapi::testing).
# Usage: shipped_library_hides_internals.sh SOURCE_DIR LIBRARY
set -euo pipefail
src="$1"
library="$2"
exported="$(nm -DC --defined-only "$library")"
names="$(grep -rhoE 'LUMOAPI_EXPORT_PRIVATE [^(]*\b([A-Za-z0-9_]+)\s*(\(|\{|$)' "$src/src" |
           sed -E 's/.*[ :*&]([A-Za-z0-9_]+)\s*(\(|\{)?$/\1/' | sort -u)"
names="$names"$'\n'"[A-Za-z0-9_]*ForTesting"$'\n'"testing::[A-Za-z0-9_]+"
found=0
while read -r name; do
  [ -n "$name" ] || continue
  pattern="lumoapi::([A-Za-z0-9_]+::)*$name\b"
  if grep -qE -- "$pattern" <<<"$exported"; then
    echo "$library exports $name:" >&2
    grep -E -- "$pattern" <<<"$exported" >&2
    found=1
  fi
done <<<"$names"
[ "$found" -eq 0 ] && echo "checked $(wc -l <<<"$names") internal names"
exit "$found"

#!/usr/bin/env bash
# Installs a built tree into a scratch prefix, builds the example host program against the
# installed CMake package, runs it against its own loopback server, and checks an encrypted address
# it builds with the openssl and md5sum tools.
# Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$src/examples/host_app" -B "$work/app" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/app" >/dev/null
export LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib/$(gcc -print-multiarch 2>/dev/null || true)"

"$work/app/host_app"

url="$("$work/app/host_app" --print-encrypted-url)"
query="${url#*\?}"
value() { tr '&' '\n' <<<"$query" | sed -n "s/^$1=//p"; }
decode() { sed -e 's/%3D/=/g' -e 's/%2B/+/g' -e 's/%2F/\//g'; }
timestamp="$(value timestamp)"
param="$(value param | decode)"
sign="$(value sign)"

key="$(printf '%s' "qorvel_amber_tune_signer_key$timestamp" | md5sum | cut -c9-24)"
key_hex="$(printf '%s' "$key" | od -An -tx1 | tr -d ' \n')"
inner="$(printf '%s' "$param" | openssl enc -d -aes-128-cbc -K "$key_hex" -iv "$key_hex" -a -A)"
expected="format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1&songid=1,2&uid=7"
if [ "$inner" != "$expected" ]; then
  echo "decrypted inner text differs: $inner" >&2
  exit 1
fi
want_sign="$(printf '%s' "velmar_quint_hush$param$timestamp" | md5sum | cut -d' ' -f1)"
if [ "$sign" != "$want_sign" ]; then
  echo "sign $sign differs from $want_sign" >&2
  exit 1
fi
echo "encrypted address decrypts to: $inner"
echo "sign matches: $sign"

#!/usr/bin/env bash
# Installs a built tree into a scratch prefix and checks that the installed package works from
# there, outside the build tree:
#   - the pkg-config file names that prefix;
#   - the installed lumo and lumo-sandbox run from another folder without LD_LIBRARY_PATH, and
#     lumo answers a real call against its built-in sandbox;
#   - the example host program builds against the installed CMake package and with pkg-config
#     alone, and runs against its own loopback server; an encrypted address it builds is checked
#     with the openssl and md5sum tools;
#   - the host example shown in README.md is the file examples/readme_snippet/main.cc, which
#     builds with pkg-config and gets a song link from the installed lumo-sandbox;
#   - examples/user_library drives every song-list and favourite request and task against that
#     lumo-sandbox.
# Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
check_name=check-install
# shellcheck source=scripts/check-lib.sh
. "$src/scripts/check-lib.sh"

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
unset LD_LIBRARY_PATH

# The pkg-config file, wherever the library folder is (lib, or lib/<multiarch>).
pc_file="$(find "$prefix" -name lumoapi.pc -print -quit)"
[ -n "$pc_file" ] || fail "no lumoapi.pc installed"
export PKG_CONFIG_PATH="$(dirname "$pc_file")"
pc_prefix="$(pkg-config --variable=prefix lumoapi)"
[ "$pc_prefix" = "$prefix" ] || fail "lumoapi.pc names the prefix $pc_prefix, not $prefix"
libdir="$(pkg-config --variable=libdir lumoapi)"
echo "pkg-config: prefix $pc_prefix"

# The installed programs find the installed libraries by themselves, from any folder.
for program in lumo lumo-sandbox; do
  (cd "$work" && "$prefix/bin/$program" --help >/dev/null) || fail "installed $program --help failed"
done
resolved="$(ldd "$prefix/bin/lumo" | sed -n 's/^\s*liblumoapi\.so[^ ]* => \(\S*\).*/\1/p')"
case "$resolved" in
  "$prefix"/*) ;;
  *) fail "installed lumo loads liblumoapi from '${resolved:-nowhere}', not from $prefix" ;;
esac
splash="$(cd "$work" && XDG_STATE_HOME="$work/state" timeout 60 "$prefix/bin/lumo" --json splash \
  2>/dev/null)" || fail "installed lumo --json splash failed"
grep -q '"succeeded": *true' <<<"$splash" || fail "installed lumo --json splash answered: $splash"
echo "installed lumo: splash answered by the built-in sandbox"

# The example host program, built against the CMake package (its build RPATH names the
# installed libraries) and with pkg-config alone.
cmake -S "$src/examples/host_app" -B "$work/app" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/app" >/dev/null
"$work/app/host_app"
# shellcheck disable=SC2046  # pkg-config's flags are meant to be split
g++ -std=c++17 -o "$work/host_app_pc" "$src/examples/host_app/main.cc" \
  $(pkg-config --cflags --libs lumoapi) -Wl,-rpath,"$libdir"
"$work/host_app_pc"

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

# README.md shows examples/readme_snippet/main.cc whole: the C++ block after the line naming it.
snippet="$src/examples/readme_snippet/main.cc"
awk -v name="<!-- examples/readme_snippet/main.cc -->" '
  $0 == name { found = 1; next }
  found && /^```cpp$/ { inside = 1; next }
  inside && /^```$/ { exit }
  inside { print }
' "$src/README.md" >"$work/readme_snippet.cc"
diff -u "$snippet" "$work/readme_snippet.cc" >&2 ||
  fail "README.md's host example differs from examples/readme_snippet/main.cc"
# shellcheck disable=SC2046
g++ -std=c++17 -o "$work/readme_snippet" "$snippet" $(pkg-config --cflags --libs lumoapi) \
  -Wl,-rpath,"$libdir"
start_sandbox "$prefix/bin/lumo-sandbox" "$work/sandbox.out"
timeout 60 "$work/readme_snippet" "$address" || fail "README's host example got no song link"
# A host program that drives every song-list and favourite class against the same installed
# lumo-sandbox.
# shellcheck disable=SC2046
g++ -std=c++17 -o "$work/user_library" "$src/examples/user_library/main.cc" \
  $(pkg-config --cflags --libs lumoapi) -Wl,-rpath,"$libdir"
timeout 120 "$work/user_library" "$address" || fail "the song-list and favourite host program failed"

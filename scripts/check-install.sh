#!/usr/bin/env bash
# Installs a built tree into two scratch prefixes and checks that the installed package works
# from there, outside the build tree, with no LD_LIBRARY_PATH:
#   - each prefix's pkg-config file names that prefix; the API reference, when it has been built,
#     is installed in share/doc/lumoapi/html;
#   - the installed lumo and lumo-sandbox run from another folder, and lumo answers a real call
#     against its built-in sandbox;
#   - the example host program builds against the installed CMake package and with pkg-config
#     alone, and runs against its own loopback server; an encrypted address it builds is checked
#     with the openssl and md5sum tools;
#   - the host example shown in README.md is the file examples/readme_snippet/main.cc (and its
#     CMake project examples/readme_snippet/CMakeLists.txt); from each prefix it builds with the
#     README's pkg-config line as printed and with its CMake project (then installed), and every
#     one of those programs loads the libraries of its own prefix and gets a song link from the
#     installed lumo-sandbox;
#   - examples/user_library drives every song-list and favourite request and task against that
#     lumo-sandbox.
# Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
check_name=check-install
# shellcheck source=scripts/check-lib.sh
. "$src/scripts/check-lib.sh"

prefixes=("$work/prefix" "$work/opt/lumoapi-second")
for prefix in "${prefixes[@]}"; do cmake --install "$build" --prefix "$prefix" >/dev/null; done
unset LD_LIBRARY_PATH

# use_prefix PREFIX: points pkg-config at PREFIX's lumoapi.pc (in lib or lib/<multiarch>) and
# checks that the file names PREFIX.
use_prefix() {
  local pc_file pc_prefix
  pc_file="$(find "$1" -name lumoapi.pc -print -quit)"
  [ -n "$pc_file" ] || fail "no lumoapi.pc installed in $1"
  export PKG_CONFIG_PATH="${pc_file%/*}"
  pc_prefix="$(pkg-config --variable=prefix lumoapi)"
  [ "$pc_prefix" = "$1" ] || fail "lumoapi.pc names the prefix $pc_prefix, not $1"
}

# loads_from PROGRAM PREFIX: PROGRAM finds both libraries under PREFIX by itself.
loads_from() {
  local library resolved
  for library in liblumoapi liblumohost; do
    resolved="$(ldd "$1" | sed -n "s/^\s*$library\.so[^ ]* => \(\S*\).*/\1/p")"
    case "$resolved" in
      "$2"/*) ;;
      *) fail "$1 loads $library from '${resolved:-nowhere}', not from $2" ;;
    esac
  done
}

for prefix in "${prefixes[@]}"; do
  use_prefix "$prefix"
  if [ -d "$build/docs/html" ] && [ ! -f "$prefix/share/doc/lumoapi/html/index.html" ]; then
    fail "the API reference is not installed in $prefix/share/doc/lumoapi/html"
  fi
done
prefix="${prefixes[0]}"
use_prefix "$prefix"
echo "pkg-config: prefix $prefix"

# The installed programs find the installed libraries by themselves, from any folder.
for program in lumo lumo-sandbox; do
  (cd "$work" && "$prefix/bin/$program" --help >/dev/null) || fail "installed $program --help failed"
done
loads_from "$prefix/bin/lumo" "$prefix"
splash="$(cd "$work" && XDG_STATE_HOME="$work/state" timeout 60 "$prefix/bin/lumo" --json splash \
  2>/dev/null)" || fail "installed lumo --json splash failed"
grep -q '"succeeded": *true' <<<"$splash" || fail "installed lumo --json splash answered: $splash"
echo "installed lumo: splash answered by the built-in sandbox"

# The example host program, built against the CMake package and with pkg-config alone.
cmake -S "$src/examples/host_app" -B "$work/app" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/app" >/dev/null
"$work/app/host_app"
# shellcheck disable=SC2046  # pkg-config's flags are meant to be split
g++ -std=c++17 -o "$work/host_app_pc" "$src/examples/host_app/main.cc" \
  $(pkg-config --cflags --libs lumoapi)
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

# README.md shows the host example's files whole: the code block after the line naming each.
for file in main.cc CMakeLists.txt; do
  awk -v name="<!-- examples/readme_snippet/$file -->" '
    $0 == name { found = 1; next }
    found && !inside && /^```/ { inside = 1; next }
    inside && /^```$/ { exit }
    inside { print }
  ' "$src/README.md" >"$work/readme_$file"
  diff -u "$src/examples/readme_snippet/$file" "$work/readme_$file" >&2 ||
    fail "README.md's host example differs from examples/readme_snippet/$file"
done

# The README's host example from each prefix, built as the README says, runs without help.
# shellcheck disable=SC2016  # the line as the README prints it, expanded by eval below
recipe='g++ -std=c++17 main.cc $(pkg-config --cflags --libs lumoapi) -o player'
grep -qxF "    $recipe" "$src/README.md" || fail "README.md no longer shows: $recipe"
start_sandbox "$prefix/bin/lumo-sandbox" "$work/sandbox.out"
for index in "${!prefixes[@]}"; do
  prefix="${prefixes[$index]}"
  player="$work/player$index"
  use_prefix "$prefix"
  mkdir -p "$player/pc"
  cp "$src/examples/readme_snippet/main.cc" "$player/pc/"
  (cd "$player/pc" && eval "$recipe") || fail "the README's pkg-config line failed for $prefix"
  cmake -S "$src/examples/readme_snippet" -B "$player/build" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$player/build" >/dev/null
  cmake --install "$player/build" --prefix "$player/installed" >/dev/null
  for program in "$player/pc/player" "$player/installed/bin/player"; do
    loads_from "$program" "$prefix"
    (cd "$work" && timeout 60 "$program" "$address") >/dev/null ||
      fail "$program (against $prefix) got no song link"
  done
  echo "README's host example from $prefix: built with pkg-config and with CMake, both ran"
done

# A host program that drives every song-list and favourite class against the same installed
# lumo-sandbox.
prefix="${prefixes[0]}"
use_prefix "$prefix"
# shellcheck disable=SC2046  # pkg-config's flags are meant to be split
g++ -std=c++17 -o "$work/user_library" "$src/examples/user_library/main.cc" \
  $(pkg-config --cflags --libs lumoapi)
timeout 120 "$work/user_library" "$address" || fail "the song-list and favourite host program failed"

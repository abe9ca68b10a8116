#!/usr/bin/env bash
# Checks the Debian packages that scripts/package.sh made, without installing them:
#   - each package holds what it should (liblumoapi-dev: the API reference, without Doxygen's
#     .md5 and .map files), the libraries carry SONAME version 0, and the dependencies name
#     liblumoapi0 at this very version and Debian's packages;
#   - the /usr package's lumoapi.pc adds no run path;
#   - extracted into a scratch root (dpkg -x), examples/host_app builds against the root's CMake
#     package and the README's host example with the root's lumoapi.pc, and both run
#     (LD_LIBRARY_PATH names the root's library folder); the example gets a song link from the
#     root's lumo-sandbox on 127.0.0.1; the root's lumo answers --version;
#   - lintian finds no errors (its warnings are printed).
# Usage: scripts/check-packages.sh [PACKAGE_DIR]   (default build/packages)
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
packages="$(cd "${1:-$src/build/packages}" && pwd)"
check_name=check-packages
# shellcheck source=scripts/check-lib.sh
. "$src/scripts/check-lib.sh"

deb_of() {
  local found=("$packages/$1"_*.deb)
  [ -f "${found[0]}" ] || fail "no $1 package in $packages"
  echo "${found[0]}"
}
runtime="$(deb_of liblumoapi0)"
dev="$(deb_of liblumoapi-dev)"
tools="$(deb_of lumo-tools)"
version="$(dpkg-deb -f "$runtime" Version)"
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
libdir="usr/lib/$multiarch"

# What each package holds.
expect_files() {
  local deb="$1"
  shift
  local listing
  listing="$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||')"
  for file in "$@"; do
    grep -qx "$file" <<<"$listing" || fail "$(basename "$deb") lacks $file"
  done
}
expect_files "$runtime" "$libdir/liblumoapi.so.0" "$libdir/liblumohost.so.0" \
  usr/share/doc/liblumoapi0/copyright
expect_files "$dev" "$libdir/liblumoapi.so" "$libdir/liblumohost.so" \
  usr/include/lumoapi/request_base.h usr/include/lumoapi/call_failure.h \
  usr/include/sigslot/sigslot.h \
  usr/include/lumohost/base/http/transport.h "$libdir/cmake/lumoapi/lumoapiConfig.cmake" \
  "$libdir/pkgconfig/lumoapi.pc" usr/share/doc/liblumoapi-dev/copyright \
  usr/share/doc/lumoapi/html/index.html usr/share/doc/lumoapi/html/classlumoapi_1_1RequestBase.html
if dpkg-deb -c "$dev" | grep -qE '/html/.*\.(md5|map)$'; then
  fail "$(basename "$dev") ships Doxygen's .md5 or .map files"
fi
lumo_pages=(lumo lumo-song lumo-search lumo-artist lumo-radio lumo-list lumo-fav lumo-collect
  lumo-cloud lumo-report lumo-sandbox-commands)
man_files=()
for page in "${lumo_pages[@]}" lumo-sandbox; do man_files+=("usr/share/man/man1/$page.1.gz"); done
expect_files "$tools" usr/bin/lumo usr/bin/lumo-sandbox "${man_files[@]}" \
  usr/share/bash-completion/completions/lumo usr/share/zsh/vendor-completions/_lumo \
  usr/share/fish/vendor_completions.d/lumo.fish usr/share/doc/lumo-tools/copyright

# Dependencies: on the libraries at this version, and on Debian's packages.
expect_depends() {
  local deb="$1" wanted="$2" depends
  depends="$(dpkg-deb -f "$deb" Depends)"
  grep -qF "$wanted" <<<"$depends" || fail "$(basename "$deb") does not depend on $wanted: $depends"
}
expect_depends "$dev" "liblumoapi0 (= $version)"
expect_depends "$dev" "libcpprest-dev"
expect_depends "$tools" "liblumoapi0 (= $version)"
expect_depends "$runtime" "libcurl4"
expect_depends "$runtime" "libcpprest"
echo "packages: $(basename "$runtime") $(basename "$dev") $(basename "$tools")"

root="$work/root"
for deb in "$runtime" "$dev" "$tools"; do dpkg -x "$deb" "$root"; done
for library in liblumoapi liblumohost; do
  soname="$(objdump -p "$root/$libdir/$library.so.0" | awk '$1 == "SONAME" { print $2 }')"
  [ "$soname" = "$library.so.0" ] || fail "$library's SONAME is '$soname'"
done

# The tool's man pages write characters beyond ASCII as roff escapes, which man shows in any
# locale.
for page in "${lumo_pages[@]}"; do
  ! gzip -dc "$root/usr/share/man/man1/$page.1.gz" | LC_ALL=C grep -q '[^[:print:][:space:]]' ||
    fail "$page.1 holds bytes beyond ASCII"
done

export LD_LIBRARY_PATH="$root/$libdir"
lumo_version="$("$root/usr/bin/lumo" --version)"
[ "$lumo_version" = "lumo ${version%-*}" ] || fail "extracted lumo --version says: $lumo_version"
echo "extracted lumo: $lumo_version"

# The example host program against the root's CMake package.
cmake -S "$src/examples/host_app" -B "$work/app" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/app" >/dev/null
"$work/app/host_app"

# The README's host example with the root's pkg-config file, against the root's lumo-sandbox.
export PKG_CONFIG_PATH="$root/$libdir/pkgconfig"
if grep -q rpath "$PKG_CONFIG_PATH/lumoapi.pc"; then
  fail "the lumoapi.pc of /usr adds a run path: $(grep '^Libs:' "$PKG_CONFIG_PATH/lumoapi.pc")"
fi
pc=(pkg-config --define-variable=prefix="$root/usr")
# shellcheck disable=SC2046  # pkg-config's flags are meant to be split
g++ -std=c++17 -o "$work/readme_snippet" "$src/examples/readme_snippet/main.cc" \
  $("${pc[@]}" --cflags --libs lumoapi)
start_sandbox "$root/usr/bin/lumo-sandbox" "$work/sandbox.out"
timeout 60 "$work/readme_snippet" "$address" || fail "the README's host example got no song link"
echo "extracted lumo-sandbox on $address answered the README's host example"

# lintian: errors fail, warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$runtime" "$dev" "$tools" ||
  fail "lintian found errors"
echo "check-packages: passed"

#!/usr/bin/env bash
# Builds what the Windows build of lumoapi links against, from Debian bookworm's source packages,
# with MinGW-w64 (the default flavour) or with clang-cl in Visual Studio's ABI (--flavour msvc,
# cmake/toolchains/clang-cl-x86_64.cmake over scripts/msvc-toolchain.sh): the JSON/URI part of
# the C++ REST SDK (scripts/windows/cpprest), glog and GoogleTest with GoogleMock; for MinGW-w64
# also what the sandbox and the tool need: Boost's headers (Asio, Beast), SQLite
# (scripts/windows/sqlite) and CLI11. They go into a
# prefix kept outside the clone, named by a key of the flavour, the pinned versions, the compiler,
# this script, the toolchain files and scripts/windows' build files and patches; a prefix once
# built is used as it is. The prefix is the last line of the output
# (the only line on standard output; progress goes to standard error), to be passed on as
# LUMO_WINDOWS_DEPS (cmake/toolchains/mingw-w64-x86_64.cmake, clang-cl-x86_64.cmake).
#
#   scripts/windows-deps.sh                 build the prefix unless it is there
#   scripts/windows-deps.sh --print-prefix  print the prefix if it is built; fail otherwise
#   scripts/windows-deps.sh --check         also build scripts/windows/smoke against it and run
#                                           that under Wine
#   --flavour mingw|msvc                    before the above: which toolchain (mingw)
#
# LUMO_WINDOWS_DEPS_CACHE  where the prefixes are kept (~/.cache/lumoapi/windows-deps)
# LUMO_WINDOWS_BUILD       the downloads and build folders (build/windows-deps in the clone)
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
windows_dir="$repo/scripts/windows"

flavour=mingw
if [ "${1:-}" = --flavour ]; then
  flavour="${2:-}"
  shift 2 || true
fi
case "$flavour" in
  mingw) toolchain="$repo/cmake/toolchains/mingw-w64-x86_64.cmake" ;;
  msvc) toolchain="$repo/cmake/toolchains/clang-cl-x86_64.cmake" ;;
  *) echo "windows-deps: --flavour is mingw or msvc" >&2 && exit 2 ;;
esac

# Source package=version, as bookworm ships them (apt-cache showsrc). The archive keeps only the
# current version of a package, so a point release that updates one of them needs a new pin here.
sources=(cpprest=2.10.18-1 google-glog=0.6.0-2 googletest=1.12.1-0.2)
# The sandbox and the tool are built with MinGW-w64 only.
if [ "$flavour" = mingw ]; then
  sources+=(boost1.74=1.74.0+ds1-21 sqlite3=3.40.1-2+deb12u2 cli11=2.1.2+ds-1)
fi
archive="deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main"
stamp_name=windows-deps.txt

usage() { sed -n '/^#   scripts/,/^# LUMO_WINDOWS_BUILD/p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; }

mode=build
case "${1:-}" in
  "") ;;
  --print-prefix) mode=print ;;
  --check) mode=check ;;
  -h | --help) usage && exit 0 ;;
  *) usage >&2 && exit 2 ;;
esac

cache_root="${LUMO_WINDOWS_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lumoapi/windows-deps}"
build_root="${LUMO_WINDOWS_BUILD:-$repo/build/windows-deps}"
[ "$flavour" = mingw ] || build_root="$build_root-$flavour"
case "$cache_root" in /*) ;; *) cache_root="$PWD/$cache_root" ;; esac
case "$build_root" in /*) ;; *) build_root="$PWD/$build_root" ;; esac

say() { echo "windows-deps: $*" >&2; }

# The compiler and the MinGW-w64 headers and libraries are part of what a prefix was built with.
toolchain_versions() {
  if [ "$flavour" = msvc ]; then
    echo "msvc $msvc_sysroot"
    return
  fi
  dpkg-query -W -f='${Package} ${Version}\n' g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev \
    2>/dev/null || x86_64-w64-mingw32-g++-posix --version | head -n 1
}

# The clang-cl flavour builds on the prepared sysroot, whose name is the key of what made it.
msvc_sysroot=""
if [ "$flavour" = msvc ]; then
  if [ "$mode" = print ]; then
    msvc_sysroot="$("$repo/scripts/msvc-toolchain.sh" --print-prefix)"
  else
    msvc_sysroot="$("$repo/scripts/msvc-toolchain.sh" | tail -n 1)"
  fi
fi

prefix_key() {
  {
    printf '%s\n' "${sources[@]}"
    toolchain_versions
    cd "$repo"
    find scripts/windows-deps.sh "${toolchain#"$repo/"}" cmake/toolchains/windows-wine.cmake \
      scripts/windows/cpprest scripts/windows/sqlite "scripts/windows/patches/cpprest" -type f -print0 |
      LC_ALL=C sort -z | xargs -0 sha256sum
  } | sha256sum | cut -c1-16
}

key="$flavour-$(prefix_key)"
prefix="$cache_root/$key"

# Runs a step with its output in the step's log, which is shown in part if the step fails. The
# step does not inherit the locks: a server it leaves behind (wineserver) would keep them held.
run_logged() {
  local log="$logs/$1.log"
  shift
  if ! "$@" >"$log" 2>&1 8>&- 9>&-; then
    say "failed: $*"
    tail -n 40 "$log" >&2
    say "the whole output is in $log"
    return 1
  fi
}

apt_opts() {
  local apt_dir="$build_root/apt"
  printf '%s\n' -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=-" \
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" \
    -o "APT::Sandbox::User=$(id -un)"
}

# Whether the package lists of our own source list hold every pinned version.
lists_have_pins() {
  local entry
  for entry in "${sources[@]}"; do
    # grep reads to the end: with -q it would stop at the first match, and apt-cache, still
    # writing a long record (boost's), would fail the pipe.
    apt-cache "${apt[@]}" showsrc "${entry%%=*}" 2>/dev/null |
      grep -x "Version: ${entry#*=}" >/dev/null || return 1
  done
}

# Downloads the source packages into build_root/downloads (apt-get keeps what it checked there
# before) and unpacks them, Debian's patches applied, under the work folder.
fetch_sources() {
  local apt_dir="$build_root/apt" entry name version
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$build_root/downloads"
  printf '%s\n' "$archive" >"$apt_dir/sources.list"
  mapfile -t apt < <(apt_opts)
  if ! lists_have_pins; then
    say "reading bookworm's source index"
    run_logged apt-update apt-get "${apt[@]}" update
    if ! lists_have_pins; then
      say "bookworm no longer has all of ${sources[*]}; pin the versions it has now:"
      apt-cache "${apt[@]}" showsrc "${sources[@]%%=*}" | grep -E '^(Package|Version):' >&2
      return 1
    fi
  fi
  say "fetching ${sources[*]}"
  (cd "$build_root/downloads" && run_logged apt-source apt-get "${apt[@]}" source --download-only "${sources[@]}")
  for entry in "${sources[@]}"; do
    name="${entry%%=*}"
    version="${entry#*=}"
    run_logged "unpack-$name" dpkg-source -x "$build_root/downloads/${name}_${version}.dsc" "$work/src/$name"
    apply_patches "$name"
  done
}

apply_patches() {
  local patch_file
  shopt -s nullglob
  for patch_file in "$windows_dir/patches/$1"/*.patch; do
    run_logged "patch-$1" patch -d "$work/src/$1" -p1 --batch --forward --no-backup-if-mismatch -i "$patch_file"
  done
  shopt -u nullglob
}

# Configures, builds and installs one CMake project into the staging copy of the prefix.
cmake_project() {
  local name="$1" source_dir="$2"
  shift 2
  local launcher=()
  if command -v ccache >/dev/null; then
    # ccache takes clang-cl-19 (a link to clang) for clang, which writes its objects elsewhere
    # than /Fo names: it is told.
    local ccache=ccache
    [ "$flavour" = mingw ] || ccache="env;CCACHE_COMPILERTYPE=clang-cl;ccache"
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER="$ccache" -DCMAKE_CXX_COMPILER_LAUNCHER="$ccache")
  fi
  say "building $name"
  run_logged "$name-configure" cmake -G Ninja -S "$source_dir" -B "$work/build/$name" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLUMO_WINDOWS_DEPS="$stage$prefix" \
    -DLUMO_MSVC_SYSROOT="$msvc_sysroot" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "${launcher[@]}" "$@"
  run_logged "$name-build" cmake --build "$work/build/$name" -j 2
  DESTDIR="$stage" run_logged "$name-install" cmake --install "$work/build/$name"
}

# Boost's headers, SQLite and CLI11 for the sandbox and the tool.
build_sandbox_dependencies() {
  # Only headers of Boost are used (Asio, Beast and what they include). Debian's source keeps
  # each library's headers in its own folder, as Boost's repository does; they are merged into
  # one include/boost, as Boost's own installation does.
  say "copying Boost's headers"
  local headers
  mkdir -p "$stage$prefix/include"
  for headers in "$work/src/boost1.74"/libs/*/include "$work/src/boost1.74"/libs/numeric/*/include; do
    [ -d "$headers/boost" ] && cp -r "$headers/boost" "$stage$prefix/include/"
  done
  rm -rf "$work/src/boost1.74"
  # SQLite's one-file form (sqlite3.c and sqlite3.h), made from the source tree by its own
  # build on this machine, then compiled with the flavour's compiler.
  say "making SQLite's amalgamation"
  local amalgamation="$work/build/sqlite-amalgamation"
  mkdir -p "$amalgamation"
  (cd "$amalgamation" && run_logged sqlite-amalgamation-configure "$work/src/sqlite3/configure" \
    --disable-tcl --disable-readline)
  run_logged sqlite-amalgamation make -C "$amalgamation" sqlite3.c sqlite3.h
  cmake_project sqlite "$windows_dir/sqlite" -DSQLITE_AMALGAMATION_DIR="$amalgamation"
  cmake_project cli11 "$work/src/cli11" -DCLI11_BUILD_TESTS=OFF -DCLI11_BUILD_EXAMPLES=OFF \
    -DCLI11_BUILD_DOCS=OFF -DCLI11_INSTALL=ON
}

# The tools scripts/setup.sh installs.
require_tools() {
  local tool missing=()
  local compiler=x86_64-w64-mingw32-g++-posix
  [ "$flavour" = mingw ] || compiler=clang-cl-19
  local native=()
  # SQLite's amalgamation is made on this machine, with its own C compiler and tclsh.
  [ "$flavour" = msvc ] || native=(cc make tclsh)
  for tool in apt-get apt-cache dpkg-source patch flock cmake ninja "$compiler" "${native[@]}" "$@"; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  [ ${#missing[@]} -eq 0 ] || { say "missing ${missing[*]}: run scripts/setup.sh" && return 1; }
}

build_prefix() {
  require_tools
  mkdir -p "$cache_root" "$build_root"
  # One run builds a given prefix; another one for the same prefix waits and then finds it built.
  # Runs for different prefixes share the build tree's downloads, so they take turns there.
  exec 8>"$cache_root/$key.lock"
  flock 8
  [ -f "$prefix/$stamp_name" ] && return 0
  exec 9>"$build_root/.lock"
  flock 9

  work="$build_root/$key"
  logs="$work/logs"
  # Installed with DESTDIR into a staging folder beside the prefix, then renamed into place, so
  # that the prefix is either whole or not there, and the paths written into it are the final ones.
  stage="$cache_root/.$key.stage"
  rm -rf "$work" "$stage"
  mkdir -p "$logs" "$work/src"

  fetch_sources
  cmake_project cpprest "$windows_dir/cpprest" -DCPPREST_SOURCE_DIR="$work/src/cpprest/Release"
  cmake_project glog "$work/src/google-glog" -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF \
    -DWITH_GFLAGS=OFF -DWITH_UNWIND=OFF -DWITH_GTEST=OFF
  # gtest_force_shared_crt: the C runtime of the DLL kind (/MD), as everything else here.
  cmake_project googletest "$work/src/googletest" -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON \
    -DINSTALL_GTEST=ON -Dgtest_force_shared_crt=ON
  [ "$flavour" = msvc ] || build_sandbox_dependencies

  {
    echo "# Built by scripts/windows-deps.sh from Debian bookworm's source packages"
    printf '%s\n' "${sources[@]}"
    toolchain_versions
  } >"$stage$prefix/$stamp_name"
  rm -rf "$prefix" # a prefix without its stamp is not whole
  mv "$stage$prefix" "$prefix"
  rm -rf "$stage" "$work"
  say "built $prefix"
}

# Builds the smoke program against the prefix and runs it under Wine.
check_prefix() {
  require_tools wine
  mkdir -p "$build_root"
  exec 9>"$build_root/.lock"
  flock 9
  local smoke="$build_root/smoke"
  # Visual Studio's debug runtime is not open: the clang-cl flavour has the release one only.
  local smoke_type=Debug
  [ "$flavour" = mingw ] || smoke_type=Release
  logs="$smoke/logs"
  # Made anew: a build tree of an earlier prefix would keep finding that one's packages.
  rm -rf "$smoke"
  mkdir -p "$logs"
  say "building and running the smoke check"
  run_logged smoke-configure cmake -G Ninja -S "$windows_dir/smoke" -B "$smoke/build" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLUMO_WINDOWS_DEPS="$prefix" -DCMAKE_BUILD_TYPE="$smoke_type" \
    -DLUMO_MSVC_SYSROOT="$msvc_sysroot"
  run_logged smoke-build cmake --build "$smoke/build" -j 2
  LUMO_WINDOWS_DEPS="$prefix" run_logged smoke-run \
    "$repo/scripts/wine-run.sh" "$build_root/wineprefix" "$smoke/build/windows_deps_smoke.exe"
  grep -E '^\[  (PASSED|FAILED) ' "$logs/smoke-run.log" | sed 's/^/windows-deps: smoke: /' >&2
}

case "$mode" in
  print)
    [ -f "$prefix/$stamp_name" ] || { say "$prefix is not built; run $0" && exit 1; }
    ;;
  build | check)
    [ -f "$prefix/$stamp_name" ] || build_prefix
    [ "$mode" = build ] || check_prefix
    ;;
esac
echo "$prefix"

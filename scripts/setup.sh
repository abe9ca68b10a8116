#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and benchmark. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev clang-format clang-tidy graphviz
  libcpprest-dev libboost-dev libgoogle-glog-dev libssl-dev libcurl4-openssl-dev
  libutfcpp-dev libsqlite3-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  curl openssl wrk help2man nginx-light gnuplot-nox python3
  chromium chromium-driver python3-selenium fonts-wqy-microhei python3-jsonschema python3-rfc3987
  doxygen dpkg-dev fakeroot file lintian
  # The Windows build: MinGW-w64 and Wine, and what scripts/windows-deps.sh fetches and unpacks
  # Debian's source packages with (tclsh makes SQLite's one-file source).
  g++-mingw-w64-x86-64-posix wine wine64 debian-archive-keyring patch tcl
  # The Windows tools zip's manual pages as text (cmake/tools_zip.cmake).
  groff-base
  # The Windows build in Visual Studio's ABI: clang-cl and lld-link, and Wine's C runtime and
  # Windows headers (scripts/msvc-toolchain.sh).
  clang-19 clang-tools-19 lld-19 llvm-19 libwine-dev
)
# npm installs the browser test's pinned packages (scripts/npm-ci.sh); a Node.js that came with
# its own npm is left as it is.
command -v npm >/dev/null || packages+=(nodejs npm)

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

$sudo_cmd apt-get update -qq
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

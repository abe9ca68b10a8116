#!/usr/bin/env bash
# Builds the Debian packages liblumoapi0, liblumoapi-dev and lumo-tools into build/packages/ from
# a Release tree configured for /usr in build/package (no tests, no benchmarks, no RPATH: the
# libraries go where the dynamic linker looks), with the API reference (the `docs` target; a
# Doxygen warning fails it) in liblumoapi-dev. scripts/check-packages.sh checks what it made.
# Usage: scripts/package.sh          (JOBS=N for the build's parallelism, default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
src="$PWD"
build="$src/build/package"
out="$src/build/packages"
export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_INSTALL_RPATH= -DLUMOAPI_BUILD_TESTS=OFF -DLUMOAPI_BUILD_BENCHMARKS=OFF \
  -DLUMOAPI_WARNINGS_AS_ERRORS=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j "${JOBS:-2}"
rm -rf "$build/docs"  # so that no page of a removed header is left over
cmake --build "$build" --target docs

rm -rf "$out"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls -1 "$out"/*.deb

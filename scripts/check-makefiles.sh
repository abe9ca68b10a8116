#!/usr/bin/env bash
# Builds a fresh tree in build/make with the Unix Makefiles generator, which, unlike Ninja, makes
# neither the folders of a custom command's outputs nor its working directory, and gives each
# command line a shell of its own. Every target that runs a command of the build's own is built:
# the man pages, the viewer's embedded files (through the sandbox library), the shell completions
# and the Debian changelog. A second build must then leave every output as it is, as Ninja would.
# Tests and benchmarks are left out, and nothing is optimised or given debug information: only
# the commands are under test, and ccache makes the compiling of a second run short.
# Usage: scripts/check-makefiles.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/make
jobs="$(nproc)"
targets=(all lumo_man lumo_sandbox_man lumo_completion lumo_debian_changelog)

fail() {
  echo "check-makefiles: $*" >&2
  exit 1
}

# A folder left by an earlier run would hide a command that does not make its own.
rm -rf "$build"
cmake -S . -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE= \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DLUMOAPI_BUILD_TESTS=OFF \
  -DLUMOAPI_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

stamp="$build/check-makefiles.stamp"
touch "$stamp"
cmake --build "$build" -j "$jobs" --target "${targets[@]}" >/dev/null
remade="$(find "$build" -name CMakeFiles -prune -o -type f -newer "$stamp" -print)"
[ -z "$remade" ] || fail "a second build made these again:"$'\n'"$remade"
echo "check-makefiles: ${targets[*]} built with Unix Makefiles, and a second build changed nothing"

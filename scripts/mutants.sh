#!/usr/bin/env bash
# Mutation testing: see scripts/mutants.py. Not part of CI (each mutant rebuilds and reruns the
# suite); run it before closing work on the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutants.py "$@"

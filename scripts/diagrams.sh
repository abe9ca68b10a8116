#!/usr/bin/env bash
# Regenerates the pictures under docs/ from their Graphviz sources beside them (docs/NAME.dot
# becomes docs/NAME.png). Needs `dot` (Debian: graphviz, installed by scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

for source in docs/*.dot; do
  dot -Tpng -Gdpi=110 "$source" -o "${source%.dot}.png"
  echo "${source%.dot}.png"
done

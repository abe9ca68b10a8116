#!/usr/bin/env bash
# Installs the npm packages of the viewer's browser test, at the versions its package-lock.json
# pins, into BUILD_DIR/npm (default build/default) with `npm ci`, outside the source tree. Does
# nothing when that lock is already installed there.
# Usage: scripts/npm-ci.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

dest="${1:-build/default}/npm"
source_dir=sandbox/tests/browser
if [ -d "$dest/node_modules" ] && cmp -s "$source_dir/package-lock.json" "$dest/installed.lock"; then
  exit 0
fi
mkdir -p "$dest"
rm -f "$dest/installed.lock"
cp "$source_dir/package.json" "$source_dir/package-lock.json" "$dest/"
npm ci --prefix "$dest" --ignore-scripts --no-audit --no-fund
cp "$source_dir/package-lock.json" "$dest/installed.lock"

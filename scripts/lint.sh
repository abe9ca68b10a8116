#!/usr/bin/env bash
# The code's habits, checked:
#   scripts/lint.sh format        every tracked .cc/.h file is as clang-format writes it
#   scripts/lint.sh tidy [FILE…]  clang-tidy (.clang-tidy) on the given files, or else on those
#                                 changed since the branch left the main branch: the .cc files,
#                                 and the headers among them or beside them
#   scripts/lint.sh               both
# clang-tidy reads build/default/compile_commands.json (LUMO_BUILD_DIR to use another build), so
# the default build must be configured first. LINT_BASE=REF compares against REF instead of the
# merge base. Without a main branch to compare against (a fresh clone of main), the files changed
# by the last commit are checked.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${LUMO_BUILD_DIR:-build/default}"

check_format() {
  local files
  mapfile -t files < <(git ls-files '*.cc' '*.h')
  clang-format --dry-run --Werror "${files[@]}"
  echo "lint: ${#files[@]} files formatted as .clang-format says"
}

# The commit the change is measured from.
base_commit() {
  if [ -n "${LINT_BASE:-}" ]; then
    git rev-parse --verify "$LINT_BASE^{commit}"
    return
  fi
  local head ref merge_base
  head="$(git rev-parse HEAD)"
  for ref in main origin/main; do
    git rev-parse -q --verify "$ref^{commit}" >/dev/null || continue
    merge_base="$(git merge-base HEAD "$ref" 2>/dev/null)" || continue
    if [ "$merge_base" != "$head" ]; then
      echo "$merge_base"
      return
    fi
  done
  git rev-parse -q --verify 'HEAD~1^{commit}' || true
}

# The .cc and .h files of a change.
changed_files() {
  git diff --name-only --diff-filter=d "$1" -- '*.cc' '*.h'
}

# The .cc files to run clang-tidy on: those given, and for a given header the .cc files of the
# same name (beside it, or elsewhere for a public header: src/song/get_song_link.cc for
# include/lumoapi/song/get_song_link.h).
sources_of() {
  local path name
  for path in "$@"; do
    case "$path" in
      *.cc) echo "$path" ;;
      *.h)
        name="$(basename "${path%.h}")"
        git ls-files "${path%.h}.cc" "*/$name.cc"
        ;;
    esac
  done | sort -u
}

# A pattern of the headers whose findings count: those given, and those beside a given .cc file.
# Findings in other headers belong to the change that touches them, not to every file that
# includes them. The public headers under include/ are left out, as .clang-tidy says.
header_pattern() {
  local path headers=()
  for path in "$@"; do
    path="${path%.cc}"
    path="${path%.h}.h"
    case "$path" in include/*) continue ;; esac
    [ -f "$path" ] && headers+=("$(printf '%s' "$PWD/$path" | sed 's/[].[^$*+?(){}|\\]/\\&/g')")
  done
  if [ ${#headers[@]} -eq 0 ]; then
    echo '^$'
  else
    local IFS='|'
    echo "^(${headers[*]})\$"
  fi
}

check_tidy() {
  local database="$build_dir/compile_commands.json"
  if [ ! -f "$database" ]; then
    echo "lint: $database is missing; configure the build first (cmake --preset default)" >&2
    return 1
  fi
  local given=() files=() path
  if [ $# -gt 0 ]; then
    given=("$@")
  else
    local base
    base="$(base_commit)"
    if [ -z "$base" ]; then
      echo "lint: no earlier commit to compare with; clang-tidy skipped"
      return 0
    fi
    mapfile -t given < <(changed_files "$base")
  fi
  # Only files the build compiles have a command line to check them with.
  while read -r path; do
    if [ -n "$path" ] && grep -qF "\"file\": \"$PWD/$path\"" "$database"; then
      files+=("$path")
    fi
  done < <(sources_of "${given[@]}")
  if [ ${#files[@]} -eq 0 ]; then
    echo "lint: no .cc file of the change is one the build compiles; clang-tidy skipped"
    return 0
  fi
  echo "lint: clang-tidy on ${#files[@]} files"
  printf '%s\0' "${files[@]}" |
    xargs -0 -n 4 -P "$(nproc)" clang-tidy -p "$build_dir" --quiet --warnings-as-errors='*' \
      --header-filter="$(header_pattern "${given[@]}")"
}

case "${1:-all}" in
  format) check_format ;;
  tidy) shift; check_tidy "$@" ;;
  all) check_format && check_tidy ;;
  *)
    echo "usage: scripts/lint.sh [format | tidy [FILE...]]" >&2
    exit 2
    ;;
esac

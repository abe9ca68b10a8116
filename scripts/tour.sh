#!/usr/bin/env bash
# A short tour of the lumo tool: installs the packages, builds the project, then runs a few
# commands against the built-in sandbox (search, song links, lyrics, radio, a song list, a
# favourite, a cloud upload), each under a heading.
#
#   scripts/tour.sh                  from a fresh machine
#   scripts/tour.sh --no-build       the tour alone, with an existing build/default
#   scripts/tour.sh --program LUMO   the tour alone, with another lumo (a command that runs the
#                                    Windows one under Wine: scripts/check-windows-tools-zip.sh)
#
# The tour's sandbox keeps its state in a temporary folder, so it starts from the seed every time
# and leaves the sandbox state of your own runs alone.
set -euo pipefail

cd "$(dirname "$0")/.."

lumo="$PWD/build/default/cli/lumo"
case "${1:-}" in
  --no-build) ;;
  --program) lumo="$2" ;;
  *)
    scripts/setup.sh
    cmake --preset default
    cmake --build --preset default
    ;;
esac

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state"

if [ -t 1 ]; then bold=$'\e[1m'; plain=$'\e[0m'; else bold=""; plain=""; fi

# The command as one would type it: arguments with blanks or quotes in double quotes.
shown() {
  local arg text=""
  for arg in "$@"; do
    case "$arg" in
      *[[:space:]\"\'\$]* | "") text+=" \"${arg//\"/\\\"}\"" ;;
      *) text+=" $arg" ;;
    esac
  done
  printf '%s' "${text# }"
}

# step HEADING ARGS...: shows the heading and the command, then runs it. The note that the
# built-in sandbox is in use is shown the first time only.
noted=""
step() {
  local heading="$1"
  shift
  printf '\n%s== %s%s\n$ lumo %s\n' "$bold" "$heading" "$plain" "$(shown "$@")"
  if [ -z "$noted" ]; then
    noted=1
    "$lumo" "$@"
  else
    "$lumo" "$@" 2>&1 | sed '/^lumo: using the built-in sandbox/d'
  fi
}

step "Suggestions while typing \"neon\"" search suggest neon
step "Merged search: the first artist a text finds" search merge mira
step "A song's play link, file and quality (best_rate 1: 320 kbit/s on offer)" song link 100001
step "A song that must be bought answers with its purchase link" song link 100017
step "Lyrics link and pictures of a song named by title and artist" \
  search lyrics "Neon Letters" "林子轩"
step "The same lookup, not sent: the address and its encrypted copy, decrypted" \
  --dry-run search lyrics "Neon Letters" "林子轩"
step "The next songs of a public radio channel" radio channel "Jazz Café"
step "...and the next ones: the channel moves on" radio channel "Jazz Café"

step "The user's song lists" lists
step "Make a song list (a title with blanks, & and Chinese)" list create "Tour & 旅行 mix"
# The newest list comes first.
list_id="$("$lumo" -q --json lists | sed -n 's/.*"lists":\[{"list_id":"\([0-9]*\)".*/\1/p')"
step "Add three songs to it" list add "$list_id" 100001 100002 100003
step "Put them in a new order" list sort "$list_id" 100003 100001 100002
step "The list now: its texts and songs" list show "$list_id"
step "Delete it" list delete "$list_id"

step "Make a song a favourite" fav add 100002
step "It heads the favourites" fav list --page 0
step "Clear it again" fav remove 100002

# The same bytes every time: a fresh sandbox has never seen them.
song="$work/tour-song.mp3"
head -c 300000 <(yes "lumo tour") >"$song"
step "Upload a song file into the cloud, step by step" \
  cloud upload "$song" --title "Tour Song" --artist "lumo tour" --duration 18 --bitrate 128
step "The service now knows the file" cloud check "$song"
step "Cloud quota" cloud quota
step "The same quota as JSON, for scripts" --json cloud quota

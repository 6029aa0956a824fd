#!/usr/bin/env bash
# Packs the example game made only of actions, plays its recorded input headless and compares
# what it prints (its dialogs and its final score) with the expected output.
# usage: check_catch.sh TAMBERLO TAMBERLO_PACK
set -euo pipefail
tamberlo=$1
pack=$2
game=$(cd "$(dirname "$0")/../examples/catch" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The highscore table goes to a registry store of this run only.
export XDG_DATA_HOME="$work/data"
"$pack" build "$game" "$work/catch.game" >/dev/null
# The game ends by itself long before the step limit; reaching it fails the comparison.
"$tamberlo" --headless --seed 11 --steps 5000 --replay "$game/replay.txt" "$work/catch.game" \
  >"$work/out.txt"
diff -u "$game/expected_output.txt" "$work/out.txt"
echo "catch: the replay played to the expected end"

#!/usr/bin/env bash
# The main job on a fresh simulated machine: run the installer's commands and show
# what each did and the exit code it gave.
set -uo pipefail
program=$1
machine=$(mktemp -d)
export WINSIM_MACHINE=$machine
trap 'rm -rf "$machine"' EXIT
"$program" --fresh-machine >/dev/null
for words in "" "install" "onInit" "bogus"; do
    echo "== folioinst $words"
    "$program" $words
    echo "exit code: $?"
done

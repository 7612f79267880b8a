#!/usr/bin/env bash
# The main job on a fresh simulated machine: run the installer's commands one after the
# other, as the product's setup would, and show what each did and its exit code.
set -uo pipefail
program=$1
machine=$(mktemp -d)
export WINSIM_MACHINE=$machine
trap 'rm -rf "$machine"' EXIT

meaning() {
    case $1 in
    1) echo "install completed without error" ;;
    2) echo "uninstall completed without error" ;;
    3) echo "the condition asked about is false" ;;
    4) echo "def.set done" ;;
    6) echo "nothing done (no command, an unknown one, or one this build does not carry out yet)" ;;
    100) echo "the run reported errors" ;;
    101) echo "done, a reboot is needed" ;;
    102) echo "the default printer is not a product printer" ;;
    103) echo "the installed driver is current" ;;
    200) echo "product files still wait for a reboot" ;;
    *) echo "unexpected" ;;
    esac
}

"$program" --demo-machine || exit 1
echo "== a fresh Windows 10/11 x64 machine in $machine with the product's files beside the program"
"$program" --describe
for words in "" "bogus" "onInit" "install"; do
    echo
    echo "== folioinst $words"
    "$program" $words
    code=$?
    echo "exit code $code: $(meaning "$code")"
done
echo
echo "== the machine afterwards"
"$program" --describe

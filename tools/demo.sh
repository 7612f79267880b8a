#!/usr/bin/env bash
# The main job on a fresh simulated Windows 10/11 PC: run the installer's commands one after
# the other, as the product's setup would, and show what each did and its exit code.
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
    6) echo "nothing done (no command or an unknown one), or removetray done" ;;
    100) echo "the run reported errors" ;;
    101) echo "done, a reboot is needed" ;;
    102) echo "the default printer is not a product printer" ;;
    103) echo "the installed driver is current" ;;
    200) echo "product files still wait for a reboot" ;;
    *) echo "unexpected" ;;
    esac
}

run() {
    echo
    echo "== folioinst $*"
    "$program" "$@"
    code=$?
    echo "== exit code $code: $(meaning "$code")"
}

"$program" --demo-machine || exit 1
echo "== a fresh Windows PC in $machine, the product's setup unpacked in"
echo "   C:\\Program Files\\Folioscope\\Setup\\ (the tray companion one level up)"
"$program" --describe
echo
echo "== Shift is held down at the end of the install, so its log dialog is shown"
"$program" --shift down
run install
"$program" --shift up
echo
echo "== the machine after the install"
"$program" --describe
for word in onChkDrv def.set onInit uninstall; do
    run "$word"
done
echo
echo "== the machine after the uninstall"
"$program" --describe

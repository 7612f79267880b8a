#!/usr/bin/env bash
# One tier-2 scenario in the prefix that the ctest run shares:
#   scenario.sh PREFIX WINDOWS-BUILD-DIR NAME
# The real folioinst.exe runs with real command words; what the prefix holds afterwards
# (spooler objects, registry, files, the companion) and the text of the log dialog are
# compared with tests/wine/expected/NAME*.state and *.dialog. Scenarios build on each
# other's state in the order CMakeLists.txt gives; tests/tier2/README.md lists where Wine
# 8.0 departs from Windows and how each scenario meets it.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-common.sh"
require_tools
build=$2
require_build "$build"
use_prefix "$1"
name=$3
work=$1/runs/$name
shots=$(dirname "$1")/screens
rm -rf "$work" && mkdir -p "$work" "$shots"
installer='C:\Program Files\Folioscope\Setup\folioinst.exe'
drive=$WINEPREFIX/drive_c

# Runs in background subshells too, so failures are counted in a file.
fail() { echo "FAILED: $*" | tee -a "$work/failures"; }

# Every Wine process writes to a file, never to a pipe: the processes it starts (the
# companion, the desktop, services.exe) inherit its output and outlive the test.
run() {
    local expected=$1 code
    shift
    timeout 120 wine "$installer" "$@" >>"$work/wine.out" 2>&1
    code=$?
    echo "folioinst.exe $* -> exit code $code"
    [ "$code" -eq "$expected" ] || fail "folioinst.exe $* exited with $code, expected $expected"
}

check() {
    wine "$build/prefix_check.exe" "$@" >"$work/check.out" 2>>"$work/wine.out"
    local code=$?
    tr -d '\r' <"$work/check.out"
    return $code
}

import_reg() { wine regedit /S "$(windows_path "$here/$1")" >>"$work/wine.out" 2>&1; }

product_files() {
    (cd "$drive" && find windows/system32 -maxdepth 1 -iname 'orv*' &&
        find windows/system32/spool/drivers/x64 'Program Files/Folioscope' -type f \
            \( -iname 'orv*' -o -iname 'fol*' \)) | sort | sed 's/^/file /'
}

# The companion starts and ends in its own time: the state gets three looks.
expect_state() {
    for _ in 1 2 3; do
        { check state && product_files; } >"$work/$1.state"
        diff -u "$here/expected/$1.state" "$work/$1.state" >"$work/$1.diff" && return
        sleep 1
    done
    cat "$work/$1.diff"
    fail "the prefix differs from expected/$1.state"
}

# The log dialog of a run: its text, a screenshot, then Escape. The wait for another run
# is only known to a second.
expect_dialog() {
    check dialog | sed -E 's/^Waited [0-9]+ s/Waited N s/' >"$work/$1.dialog"
    import -window root "$shots/$1.png"
    check escape >/dev/null
    diff -u "$here/expected/$1.dialog" "$work/$1.dialog" || fail "dialog differs from expected/$1.dialog"
}

# A run with errors ends only when its dialog is closed.
run_with_dialog() {
    local dialog=$1
    shift
    run "$@" &
    expect_dialog "$dialog"
    wait $!
}

case $name in
install_clean)
    # Wine 8.0 cannot open a printer added with a null data type; with the value already
    # in the printer's key, AddPrinterW overwrites the key and the printer opens as on Windows.
    import_reg seed-datatype.reg
    run 1 install
    expect_state install_clean
    ;;
status)
    run 103 onChkDrv
    run 102 onInit
    run 4 def.set
    expect_state status
    run 3 onInit
    ;;
words)
    run 6
    run 6 bogus
    run 6 uninst
    run 6 DEF.SET
    run 6 def.setx
    run 103 ONCHKDRV
    run 3 OnInit
    # A second word that is no window leaves no owner; with four words it is ignored.
    run 4 def.set 12345
    run 103 onChkDrv 1 2
    expect_state status
    ;;
boot_queue)
    # A driver DLL left in the staging directory, queued for deletion at boot: "onInit"
    # deletes it at once, so nothing waits for a reboot (200 would say something did).
    if ! { cp "$build/orvdrv64.dll" "$drive/windows/system32/spool/drivers/x64/" &&
        check defer 'C:\windows\system32\spool\drivers\x64\orvdrv64.dll'; }; then
        fail "nothing queued"
    fi
    run 3 onInit
    expect_state boot_queue
    ;;
reinstall)
    # The default printer (from "def.set") gets a settings key, a comment and a location.
    import_reg reinstall.reg
    run_with_dialog reinstall 100 install
    expect_state reinstall
    ;;
concurrent)
    # The first run holds the run lock until its dialog is closed; the second waits.
    run 100 install &
    run 100 install &
    expect_dialog concurrent-first
    expect_dialog concurrent-second
    wait
    expect_state concurrent
    ;;
removetray)
    run 6 removetray
    expect_state removetray
    ;;
uninstall)
    # The dialog's owner: a window of the checker's, named by the third word.
    wine "$build/prefix_check.exe" owner >"$work/owner" 2>>"$work/wine.out" &
    for _ in $(seq 100); do [ -s "$work/owner" ] && break; sleep 0.1; done
    run_with_dialog uninstall 100 uninstall "$(tr -d '\r' <"$work/owner")"
    wait
    expect_state uninstall
    ;;
*)
    echo "unknown scenario $name"
    exit 2
    ;;
esac
[ ! -s "$work/failures" ]

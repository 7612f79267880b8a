#!/usr/bin/env bash
# `make bench`: the installer's speed under Wine, on one warm prefix of its own. Each status
# command runs right beside its floor (tools/bench/), a program built with the same flags
# that makes only the calls the command cannot do without; the ratio of the two is printed
# as the median of ROUNDS pairs, then the times of a whole install and uninstall. Goal:
# every ratio within 1.15.
#   tools/bench.sh [WINDOWS-BUILD-DIR] [ROUNDS]
set -euo pipefail
build=$(realpath "${1:-build/windows}")
rounds=${2:-15}
for tool in wine wineboot wineserver; do
    command -v $tool >/dev/null || { echo "$tool is missing: make deps installs it"; exit 1; }
done
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=$build/bench-prefix
# No display: a run's error dialog cannot be shown, so it never waits for a person.
unset DISPLAY
rm -rf "$WINEPREFIX"
trap 'wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
wineboot -i >/dev/null 2>&1 && wineserver -w
cmake --install "$build" --prefix "$WINEPREFIX/drive_c/Program Files/Folioscope" >/dev/null
cp -r "$build/bench" "$WINEPREFIX/drive_c/bench"
# As in tier 2: Wine 8.0 cannot open a printer added with a null data type.
wine reg add 'HKLM\System\CurrentControlSet\Control\Print\Printers\Folioscope' /v Datatype \
    /t REG_SZ /d RAW /f >/dev/null 2>&1
installer='C:\Program Files\Folioscope\Setup\folioinst.exe'
timer='C:\bench\bench_pairs.exe'
wine "$timer" once "\"$installer\" install" 2>/dev/null
wine "$timer" once "\"$installer\" def.set" >/dev/null 2>&1
# One round unmeasured, so that both sides start warm.
wine "$timer" pairs 1 "$installer" 'C:\bench' >/dev/null 2>&1
wine "$timer" pairs "$rounds" "$installer" 'C:\bench' 2>/dev/null
# Under Wine the driver cannot be removed (error 87), so the uninstall reports errors.
wine "$timer" once "\"$installer\" uninstall" 2>/dev/null

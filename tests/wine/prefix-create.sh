#!/usr/bin/env bash
# Creates the fresh 64-bit Wine prefix that one ctest run shares, lays the product folder
# into it as `make dist` does, and starts the X server its windows go to:
#   prefix-create.sh PREFIX WINDOWS-BUILD-DIR
set -euo pipefail
here=$(dirname "$0")
. "$here/wine-common.sh"
require_tools
prefix=$1
require_build "$2"
"$here/prefix-remove.sh" "$prefix" >/dev/null
mkdir -p "$prefix"
export WINEPREFIX=$prefix
start=$(milliseconds)
# Every process that outlives a test (the X server, wineserver, the companion) must hold
# none of ctest's pipes, or ctest waits for it.
setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$prefix/display" \
    </dev/null >/dev/null 2>&1 &
echo $! >"$prefix/xvfb.pid"
for _ in $(seq 50); do [ -s "$prefix/display" ] && break; sleep 0.1; done
[ -s "$prefix/display" ] || { echo "Xvfb did not start"; exit 1; }
DISPLAY=":$(cat "$prefix/display")"
export DISPLAY
# Without the waits, wineboot's second services.exe may still be starting when the first
# run comes (the spooler service then never starts in this prefix), and the desktop would
# not be the virtual one that prefix.reg asks for.
if ! { wineboot -i && wineserver -w && wine regedit /S "$(windows_path "$here/prefix.reg")" &&
    wineserver -w; } >"$prefix/wineboot.log" 2>&1; then
    cat "$prefix/wineboot.log"
    echo "wineboot failed to create the prefix $prefix"
    exit 1
fi
cmake --install "$2" --prefix "$prefix/drive_c/Program Files/Folioscope" >/dev/null
echo "Wine prefix $prefix created in $(($(milliseconds) - start)) ms, display $DISPLAY"

#!/usr/bin/env bash
# Ends the prefix's Wine processes and X server and deletes the prefix: prefix-remove.sh PREFIX
set -uo pipefail
. "$(dirname "$0")/wine-common.sh"
prefix=$1
if command -v wineserver >/dev/null && [ -d "$prefix/drive_c" ]; then
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
fi
if [ -f "$prefix/xvfb.pid" ]; then
    kill "$(cat "$prefix/xvfb.pid")" 2>/dev/null
fi
rm -rf "$prefix"
echo "Wine prefix $prefix removed"

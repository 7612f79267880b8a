#!/usr/bin/env bash
# Creates the fresh 64-bit Wine prefix that one ctest run shares, for the program EXE:
#   prefix-create.sh PREFIX EXE
set -euo pipefail
. "$(dirname "$0")/wine-common.sh"
require_wine
prefix=$1
require_exe "$2"
rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX=$prefix
start=$(milliseconds)
# No X display is needed: nothing here opens a window.
if ! wineboot -i >"$prefix/wineboot.log" 2>&1; then
    cat "$prefix/wineboot.log"
    echo "wineboot failed to create the prefix $prefix"
    exit 1
fi
echo "Wine prefix $prefix created in $(($(milliseconds) - start)) ms"

#!/usr/bin/env bash
# Stops the prefix's wineserver and deletes the prefix: prefix-remove.sh PREFIX
set -uo pipefail
. "$(dirname "$0")/wine-common.sh"
prefix=$1
if command -v wineserver >/dev/null && [ -d "$prefix" ]; then
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
fi
rm -rf "$prefix"
echo "Wine prefix $prefix removed"

#!/usr/bin/env bash
# Runs the Windows build under Wine and checks its exit code:
#   run-exe.sh PREFIX EXE EXPECTED-EXIT-CODE [COMMAND-WORDS...]
set -uo pipefail
. "$(dirname "$0")/wine-common.sh"
require_wine
prefix=$1
exe=$2
expected=$3
shift 3
require_exe "$exe"
if [ ! -d "$prefix/drive_c/windows" ]; then
    echo "no Wine prefix at $prefix: the wine_prefix_create test makes it"
    exit 1
fi
export WINEPREFIX=$prefix
start=$(milliseconds)
timeout 60 wine "$exe" "$@"
code=$?
echo "wine $(basename "$exe") $* -> exit code $code in $(($(milliseconds) - start)) ms"
if [ "$code" -ne "$expected" ]; then
    echo "expected exit code $expected"
    exit 1
fi

# shellcheck shell=bash
# Sourced by the Wine scripts: a quiet Wine that never stops for a dialog, and the rule for
# a missing tool (skipped with a message, except in CI, where it fails the test).
export WINEDEBUG=-all
# Mono and Gecko would each ask, in a window, to be downloaded into every new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

unavailable() {
    echo "$*"
    if [ "${CI:-}" = "true" ]; then
        echo "failed: CI (CI=true) runs every tier-2 test"
        exit 1
    fi
    echo "skipped: outside CI a missing prerequisite only skips tier 2"
    exit 77
}

require_build() {
    for file in folioinst.exe prefix_check.exe; do
        [ -f "$1/$file" ] || unavailable "$1/$file is missing: build it with" \
            "\`cmake --preset windows && cmake --build --preset windows\` (needs mingw-w64)"
    done
}

require_tools() {
    for tool in wine wineboot wineserver Xvfb import; do
        command -v "$tool" >/dev/null ||
            unavailable "$tool is not installed (tools/install-deps.sh installs Wine, Xvfb" \
                "and ImageMagick)"
    done
}

# The prefix's Wine and the X display its windows go to (prefix-create.sh starts it).
use_prefix() {
    [ -f "$1/display" ] || { echo "no Wine prefix at $1: the wine_prefix_create test makes it"; exit 1; }
    WINEPREFIX=$1 DISPLAY=":$(cat "$1/display")"
    export WINEPREFIX DISPLAY
}

# A Unix path as Wine's drive Z: names it.
windows_path() { local path; path=$(realpath "$1"); echo "Z:${path//\//\\}"; }

milliseconds() { echo $(($(date +%s%N) / 1000000)); }

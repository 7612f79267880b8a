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

require_exe() {
    [ -f "$1" ] || unavailable "$1 is missing: build it with" \
        "\`cmake --preset windows && cmake --build --preset windows\` (needs mingw-w64)"
}

require_wine() {
    for tool in wine wineboot wineserver; do
        command -v "$tool" >/dev/null ||
            unavailable "$tool is not installed (tools/install-deps.sh installs Wine)"
    done
}

milliseconds() { echo $(($(date +%s%N) / 1000000)); }

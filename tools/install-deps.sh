#!/usr/bin/env bash
# Installs the Debian packages the builds and both test tiers need, when they are missing.
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
command -v x86_64-w64-mingw32-g++-win32 >/dev/null || need+=(g++-mingw-w64-x86-64 mingw-w64-tools)
command -v x86_64-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-x86-64)
# Only 64-bit Wine is needed (the program is x64); Debian puts its loader here.
{ command -v wine >/dev/null && [ -x /usr/lib/wine/wine64 ]; } || need+=(wine wine64)
command -v Xvfb >/dev/null || need+=(xvfb xauth)
# Tier 2 takes screenshots of the log dialog.
command -v import >/dev/null || need+=(imagemagick)
command -v clang-format >/dev/null || need+=(clang-format)

if [ ${#need[@]} -eq 0 ]; then
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages (run as root to install): ${need[*]}" >&2
    [ "${CI:-}" = "true" ] && exit 1
    exit 0
fi
echo "installing: ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null

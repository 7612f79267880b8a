#!/usr/bin/env bash
# Runs the conformance battery under winsim and under Wine, on a fresh machine each, and
# compares the transcripts line by line. A line may differ only as a row of the known
# differences table says (the winsim line and the Wine line both as listed); any other
# difference, a listed one that no longer shows, or a battery that does not run to its end,
# fails.
#   compare.sh NATIVE-BATTERY WINDOWS-BATTERY-DIR KNOWN-DIFFERENCES.md
set -uo pipefail
here=$(dirname "$0")
. "$here/../wine/wine-common.sh"
native=$1 windows_dir=$2 table=$3
require_tools
[ -f "$windows_dir/conformance.exe" ] || unavailable "$windows_dir/conformance.exe is missing:" \
    "build it with \`cmake --preset windows && cmake --build --preset windows\` (needs mingw-w64)"
# The battery's dialogs and the windows of the programs it starts need a display.
command -v xvfb-run >/dev/null || unavailable "xvfb-run is not installed (tools/install-deps.sh installs it)"

work=$(mktemp -d)
prefix=$work/prefix
trap '"$here/../wine/prefix-remove.sh" "$prefix" >/dev/null; rm -rf "$work"' EXIT
start=$(milliseconds)
export WINEPREFIX=$prefix
wineboot -i >/dev/null 2>&1 || exit 1
# The new prefix's services hold the service database until its first session ends.
wineserver -w
mkdir -p "$prefix/drive_c/conf/bin" "$prefix/drive_c/conf/dir.exe"
cp "$windows_dir"/conf*.dll "$prefix/drive_c/conf/bin/"
cp "$windows_dir/conformance.exe" "$prefix/drive_c/conf/"
# Into a file, not a pipe: a program the battery starts must not hold its end open.
(cd "$prefix/drive_c/conf" && timeout 120 xvfb-run -a wine 'C:\conf\conformance.exe') \
    >"$work/wine.out" 2>"$work/wine.err"
tr -d '\r' <"$work/wine.out" >"$work/wine.txt"
"$native" "$windows_dir" >"$work/winsim.txt" 2>"$work/winsim.err"
echo "both batteries ran in $(($(milliseconds) - start)) ms (prefix included)"

for side in winsim wine; do
    [ "$(tail -n 1 "$work/$side.txt")" = "end of battery" ] && continue
    echo "the battery under $side did not run to its end; its last lines:"
    tail -n 20 "$work/$side.txt" "$work/$side.err"
    exit 1
done

awk -F'\t' '
    # The table: | `case` | `winsim line` | `Wine line` | source |
    FILENAME == ARGV[1] {
        if (split($0, cell, "`") >= 7 && $0 ~ /^\| `/) listed[cell[2]] = cell[4] "\t" cell[6]
        next
    }
    at = index($0, ": ") {
        id = substr($0, 1, at - 1)
        if (!(id in sim) && !(id in wine)) order[++n] = id
        if (FILENAME == ARGV[2]) sim[id] = substr($0, at + 2); else wine[id] = substr($0, at + 2)
    }
    END {
        for (i = 1; i <= n; i++) {
            id = order[i]
            s = (id in sim) ? sim[id] : "(none)"
            w = (id in wine) ? wine[id] : "(none)"
            if (s == w && (id in listed)) {
                print "listed difference not seen in " id ": " s
                failed++
            } else if (s == w) {
                same++
            } else if ((id in listed) && listed[id] == s "\t" w) {
                known++
            } else {
                print "unlisted difference in " id ":\n  winsim: " s "\n  Wine:   " w
                if (id in listed) {
                    split(listed[id], row, "\t")
                    print "  listed winsim: " row[1] "\n  listed Wine:   " row[2]
                }
                failed++
            }
        }
        printf "%d cases: %d alike, %d known differences, %d unlisted\n", n, same, known, failed
        exit failed > 0
    }
' "$table" "$work/winsim.txt" "$work/wine.txt" && exit 0
echo "Wine's standard error ends with:"
tail -n 5 "$work/wine.err"
exit 1

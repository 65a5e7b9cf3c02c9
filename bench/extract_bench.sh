#!/bin/sh
# extract_bench.sh: extraction throughput of vantorel-pack against arj itself.
#
# usage: bench/extract_bench.sh [VANTOREL_PACK] [PAYLOAD_MB]
#
# Gathers a payload of real files from this machine (payload.sh: programs and
# libraries from /usr/bin and /usr/lib, text from /usr/share/doc and
# /usr/include; 72 MB unless given, at least 64), archives it with "arj a -m1"
# and "arj a -m4", wraps each archive in an installer package (24576-byte
# placeholder image, script, archive) and times, best of RUNS (default 5)
# turns each:
#   vantorel-pack extract PACKAGE -C OUT    the installer's reader
#   arj x ARCHIVE OUT/                      the archiver's own extraction
# Both write into a fresh folder on the same file system (tmpfs when
# /dev/shm exists). Throughput is MB (10^6 bytes) of extracted output per
# second of wall time. Our output is checked against the payload; arj's is not
# looked at.
set -eu

RUNS=${RUNS:-5}
command -v arj >/dev/null || { echo "extract_bench: arj is not installed" >&2; exit 1; }

. "$(dirname "$0")/payload.sh"

le32() { # a number as 4 little-endian bytes
    printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $(($1 >> 8 & 255)))"
    printf "\\$(printf %03o $(($1 >> 16 & 255)))\\$(printf %03o $(($1 >> 24 & 255)))"
}

now() { date +%s.%N; }

# Wall time of a command run into an empty folder OUT.
time_run() {
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    start=$(now)
    "$@" >/dev/null
    end=$(now)
    awk -v s="$start" -v e="$end" 'BEGIN { print e - s }'
}

smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

mbps() { awk -v s="$SIZE" -v t="$1" 'BEGIN { printf "%.1f", s / t / 1e6 }'; }

printf '%-8s %12s %14s %14s %8s\n' method archive "vantorel MB/s" "arj x MB/s" ratio
SCRIPT='Title("bench");'
for method in 1 4; do
    (cd "$WORK/payload" && arj a -y -m$method "$WORK/m$method.arj" '*' >/dev/null)
    archive="$WORK/m$method.arj"
    package="$WORK/m$method.exe"
    {
        head -c 24576 /dev/zero
        le32 ${#SCRIPT}
        printf '%s' "$SCRIPT"
        le32 "$(wc -c <"$archive")"
        cat "$archive"
    } >"$package"

    # The two tools take turns, so that both meet the machine in the same
    # state; the best run of each counts.
    ours=
    theirs=
    i=0
    while [ $i -lt "$RUNS" ]; do
        ours=$(smaller "$(time_run "$PACK" extract "$package" -C "$WORK/out")" "$ours")
        diff -r "$WORK/payload" "$WORK/out" >/dev/null || {
            echo "extract_bench: vantorel-pack's output differs from the payload" >&2
            exit 1
        }
        theirs=$(smaller "$(time_run sh -c "cd '$WORK/out' && arj x -y '$archive'")" "$theirs")
        i=$((i + 1))
    done
    printf '%-8s %12s %14s %14s %8s\n' "-m$method" "$(wc -c <"$archive")" "$(mbps "$ours")" \
        "$(mbps "$theirs")" "$(awk -v a="$theirs" -v b="$ours" 'BEGIN { printf "%.2fx", a / b }')"
done

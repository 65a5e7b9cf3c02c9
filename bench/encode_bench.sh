#!/bin/sh
# encode_bench.sh: archive size and speed of vantorel-pack build against
# "arj a -m1" on the same files.
#
# usage: bench/encode_bench.sh [VANTOREL_PACK] [PAYLOAD_MB]
#
# Gathers the payload that extract_bench.sh uses (payload.sh; 72 MB unless
# given, at least 64) and builds it, each contender in one run over all the
# files, best of RUNS (default 3) runs by hyperfine:
#   arj a -m1, arj a -m4               the archiver, on one core
#   vantorel-pack build -l 1 -j 1|2    our fastest level, one and two workers
#   vantorel-pack build -j 1|2         our default level
#   vantorel-pack build -l 9 -j 1|2    our smallest level
#   vantorel-pack build -m 4 -j 1|2    method 4, default level
# and prints each archive's size, its share of the payload, its size against
# that of arj a -m1, and the time and MB/s (10^6 bytes of payload per second
# of wall time). Every package is extracted with vantorel-pack and checked against
# the payload. The test suite does not run it.
set -eu

RUNS=${RUNS:-3}
for tool in arj hyperfine; do
    command -v $tool >/dev/null || { echo "encode_bench: $tool is not installed" >&2; exit 1; }
done

. "$(dirname "$0")/payload.sh"

SCRIPT='Title("bench");'
printf '%s' "$SCRIPT" >"$WORK/script.txt"
head -c 24576 /dev/zero >"$WORK/stub.exe"
OUT=$WORK/out.exe

# Best wall time of a command, in seconds.
best_time() {
    hyperfine --runs "$RUNS" --style none --export-csv "$WORK/times.csv" "$1" \
        >/dev/null 2>"$WORK/hyperfine.log" || { cat "$WORK/hyperfine.log" >&2; exit 1; }
    tail -1 "$WORK/times.csv" | cut -d, -f7
}

printf '%-28s %12s %9s %9s %9s %8s\n' contender archive payload "x arj" seconds MB/s

report() { # name, archive bytes, seconds
    awk -v n="$1" -v a="$2" -v arj="$ARJ" -v s="$3" -v p="$SIZE" 'BEGIN {
        printf "%-28s %12d %8.2f%% %9.4f %9.2f %8.1f\n", n, a, 100 * a / p, a / arj, s, p / s / 1e6 }'
}
for method in 1 4; do
    seconds=$(best_time "rm -f '$WORK/arj.arj' && cd '$WORK/payload' && arj a -y -m$method '$WORK/arj.arj' '*'")
    [ $method = 4 ] || ARJ=$(wc -c <"$WORK/arj.arj")
    report "arj a -m$method" "$(wc -c <"$WORK/arj.arj")" "$seconds"
done

for options in "-l 1 -j 1" "-l 1 -j 2" "-j 1" "-j 2" "-l 9 -j 1" "-l 9 -j 2" "-m 4 -j 1" "-m 4 -j 2"; do
    seconds=$(best_time "'$PACK' build -o '$OUT' --stub '$WORK/stub.exe' $options '$WORK/script.txt' '$WORK'/payload/*")
    # The archive is the package less the image, the script and two lengths.
    archive=$(($(wc -c <"$OUT") - 24576 - 8 - ${#SCRIPT}))
    rm -rf "$WORK/check" && mkdir "$WORK/check"
    "$PACK" extract "$OUT" -C "$WORK/check" && diff -r "$WORK/payload" "$WORK/check" >/dev/null || {
        echo "encode_bench: the package of build $options does not extract to the payload" >&2
        exit 1
    }
    report "vantorel-pack build $options" "$archive" "$seconds"
done

# payload.sh: the benchmarks' arguments and payload of real files, sourced
# by them after they have checked for the tools they need.
#
# Takes the benchmark's [VANTOREL_PACK] [PAYLOAD_MB] into PACK (made absolute,
# checked) and PAYLOAD_MB (72 unless given, at least 64). Sets WORK (a fresh folder, removed on exit; on tmpfs when /dev/shm exists),
# fills $WORK/payload with PAYLOAD_MB megabytes (10^6 bytes) of this machine's
# files and sets SIZE (its bytes) and COUNT (its files). Programs and libraries
# from /usr/bin and /usr/lib come first, then text from /usr/share/doc and
# /usr/include, then anything from /usr/share and /usr/lib: files of 16 KB to
# 4 MB (the size of a program's files rather than of small notes; compressed
# .gz files left out), in name order. Prints the payload and the machine.

NAME=$(basename "$0" .sh)
PACK=${1:-build/host/vantorel-pack}
PAYLOAD_MB=${2:-72}
case $PACK in /*) ;; *) PACK=$(pwd)/$PACK ;; esac
[ -x "$PACK" ] || { echo "$NAME: no vantorel-pack at $PACK" >&2; exit 1; }
[ "$PAYLOAD_MB" -ge 64 ] || { echo "$NAME: the payload must be at least 64 MB" >&2; exit 1; }

BASE=/dev/shm
[ -d "$BASE" ] && [ -w "$BASE" ] || BASE=${TMPDIR:-/tmp}
WORK=$(mktemp -d "$BASE/vantorel-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
mkdir "$WORK/payload"

# Copies files from the folders into the flat payload folder until it holds
# the given number of bytes.
gather() {
    limit=$1
    shift
    have=$(du -sb "$WORK/payload" | cut -f1)
    n=$(ls "$WORK/payload" | wc -l)
    find "$@" -type f -size +16k -size -4M ! -name '*.gz' 2>/dev/null | LC_ALL=C sort | while read -r file; do
        [ "$have" -lt "$limit" ] || break
        [ -r "$file" ] || continue
        n=$((n + 1))
        cp "$file" "$WORK/payload/$n-$(basename "$file" | tr -c 'A-Za-z0-9._\n-' _)"
        have=$((have + $(stat -c %s "$file")))
    done
}
BYTES=$((PAYLOAD_MB * 1000000))
gather $((BYTES * 6 / 10)) /usr/bin /usr/lib
gather $((BYTES * 9 / 10)) /usr/share/doc /usr/include
gather "$BYTES" /usr/share /usr/lib
SIZE=$(du -sb "$WORK/payload" | cut -f1)
COUNT=$(ls "$WORK/payload" | wc -l)
echo "payload: $COUNT files, $SIZE bytes, in $WORK (best of $RUNS runs)"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"

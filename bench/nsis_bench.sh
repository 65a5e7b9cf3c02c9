#!/bin/sh
# nsis_bench.sh: installer size and silent install time against NSIS with
# "SetCompressor /SOLID lzma", on the same files.
#
# usage: bench/nsis_bench.sh [VANTOREL_PACK] [STUB]
#
# Three payloads from this machine (Windows programs are Wine's own PE DLLs):
#   large  66 MB: programs and libraries (x86-64 and i386), then text from
#          /usr/share/doc and /usr/include, files of 16 KB to 4 MB
#   app    two programs of about 5 MB each
#   tree   3000 small files in their folders, from /usr/include
# Each becomes an installer of vantorel-pack build (default method, the stub
# given or build/win32/vantorel.exe; a MoveFolder script) and one of makensis
# (File /r into $INSTDIR). Prints both sizes and their ratio. Then installs the
# large one silently under Wine (a fresh 64-bit prefix, on tmpfs when /dev/shm
# exists), each installer RUNS times (default 5), the two taking turns, and
# prints the best wall times; the installed files are checked against the
# payload. The test suite does not run it.
set -eu

RUNS=${RUNS:-5}
for tool in makensis wine wineboot wineserver; do
    command -v $tool >/dev/null || { echo "nsis_bench: $tool is not installed" >&2; exit 1; }
done
PACK=${1:-build/host/vantorel-pack}
STUB=${2:-build/win32/vantorel.exe}
case $PACK in /*) ;; *) PACK=$(pwd)/$PACK ;; esac
case $STUB in /*) ;; *) STUB=$(pwd)/$STUB ;; esac
[ -x "$PACK" ] && [ -f "$STUB" ] || { echo "nsis_bench: no $PACK or $STUB" >&2; exit 1; }

BASE=/dev/shm
[ -d "$BASE" ] && [ -w "$BASE" ] || BASE=${TMPDIR:-/tmp}
WORK=$(mktemp -d "$BASE/vantorel-nsis.XXXXXX")
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WORK"' EXIT INT TERM

# Copies files of 16 KB to 4 MB from the folders into folder $1 until it
# holds $2 bytes, flat, under numbered names.
gather() {
    into=$1 limit=$2
    shift 2
    mkdir -p "$into"
    find "$@" -type f -size +16k -size -4M ! -name '*.gz' 2>/dev/null | LC_ALL=C sort |
        while read -r file; do
            [ "$(du -sb "$into" | cut -f1)" -lt "$limit" ] || break
            cp "$file" "$into/$(ls "$into" | wc -l)-$(basename "$file")"
        done
}
WINE64=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
WINE32=/usr/lib/i386-linux-gnu/wine/i386-windows
gather "$WORK/large" 40000000 "$WINE64" "$WINE32"
gather "$WORK/large" 66000000 /usr/share/doc /usr/include
mkdir -p "$WORK/app"
find "$WINE64" -name '*.dll' -size +4M -size -6M | LC_ALL=C sort | tail -2 |
    while read -r file; do cp "$file" "$WORK/app/"; done
mkdir -p "$WORK/tree"
(cd /usr/include && find . -type f -size -64k | LC_ALL=C sort | head -3000 |
    xargs -d '\n' cp --parents -t "$WORK/tree")

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
printf '%-6s %6s %11s %11s %11s %7s\n' payload files bytes vantorel nsis ratio
for payload in large app tree; do
    files=$(find "$WORK/$payload" -type f | wc -l)
    bytes=$(du -sb "$WORK/$payload" | cut -f1)
    printf 'Title ("Bench");\r\nMoveFolder ("%s", "%%t");\r\n' "$payload" >"$WORK/$payload.txt"
    "$PACK" build --stub "$STUB" -o "$WORK/$payload-vantorel.exe" "$WORK/$payload.txt"
    cat >"$WORK/$payload.nsi" <<EOF
Unicode true
SetCompressor /SOLID lzma
Name "Bench"
OutFile "$payload-nsis.exe"
InstallDir "\$PROGRAMFILES\\Bench"
RequestExecutionLevel admin
Page directory
Page instfiles
Section
SetOutPath "\$INSTDIR"
File /r "$payload\\*"
SectionEnd
EOF
    (cd "$WORK" && makensis -V1 "$payload.nsi")
    ours=$(wc -c <"$WORK/$payload-vantorel.exe")
    theirs=$(wc -c <"$WORK/$payload-nsis.exe")
    printf '%-6s %6s %11s %11s %11s %7s\n' "$payload" "$files" "$bytes" "$ours" "$theirs" \
        "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.3f", a / b }')"
done

wineboot -i >/dev/null 2>&1
wineserver -w
drive=$WINEPREFIX/drive_c
now() { date +%s.%N; }
# Wall time of a silent install into C:\Bench, which it checks.
install() {
    rm -rf "$drive/Bench"
    start=$(now)
    wine "$WORK/$1" /S "/D=C:\\Bench" >/dev/null 2>&1
    wineserver -w
    end=$(now)
    [ "${2:-}" = nothing ] || diff -r -x install.log "$WORK/large" "$drive/Bench" >/dev/null || {
        echo "nsis_bench: $1 did not install the payload" >&2
        exit 1
    }
    awk -v s="$start" -v e="$end" 'BEGIN { print e - s }'
}
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
printf 'Title ("Bench");\r\n' >"$WORK/nothing.txt"
: >"$WORK/empty"
"$PACK" build --stub "$STUB" -o "$WORK/extract.exe" "$WORK/nothing.txt" "$WORK"/large/* 2>/dev/null
"$PACK" build --stub "$STUB" -o "$WORK/empty.exe" "$WORK/nothing.txt" "$WORK/empty" 2>/dev/null
ours= theirs= extract= empty=
i=0
while [ $i -lt "$RUNS" ]; do
    ours=$(smaller "$(install large-vantorel.exe)" "$ours")
    theirs=$(smaller "$(install large-nsis.exe)" "$theirs")
    extract=$(smaller "$(install extract.exe nothing)" "$extract")
    empty=$(smaller "$(install empty.exe nothing)" "$empty")
    i=$((i + 1))
done
bytes=$(du -sb "$WORK/large" | cut -f1)
printf 'silent install of large, best of %s: vantorel %.2f s, nsis %.2f s\n' "$RUNS" "$ours" "$theirs"
printf 'extraction alone: %.2f s (%.2f s for an empty package): %.1f MB/s\n' "$extract" "$empty" \
    "$(awk -v b="$bytes" -v t="$extract" -v z="$empty" 'BEGIN { print b / (t - z) / 1e6 }')"

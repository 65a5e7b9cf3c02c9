#!/bin/sh
# pad_stub_test.sh: the padding step pads an image that fits to the exact size, and refuses
# one that does not, naming its size and leaving no padded file.
# usage: pad_stub_test.sh CMAKE PAD_STUB_SCRIPT WORK_DIR
set -u
cmake=$1 script=$2 work=$3
rm -rf "$work" && mkdir -p "$work" || exit 1
fail() { echo "FAILED: $*"; exit 1; }

head -c 1000 /dev/urandom > "$work/image.exe"
"$cmake" -DIMAGE="$work/image.exe" -DOUT="$work/out.exe" -DSIZE=1024 -P "$script" > /dev/null ||
    fail "an image of 1000 bytes does not fit 1024"
[ "$(wc -c < "$work/out.exe")" -eq 1024 ] || fail "not padded to 1024 bytes"
cmp -n 1000 "$work/image.exe" "$work/out.exe" || fail "the image changed in padding"
[ "$(cat "$work/out.exe.size")" = 1000 ] || fail "size before padding not recorded"

head -c 1025 /dev/urandom > "$work/image.exe"
message=$("$cmake" -DIMAGE="$work/image.exe" -DOUT="$work/out.exe" -DSIZE=1024 -P "$script" 2>&1) &&
    fail "an image of 1025 bytes was accepted"
echo "$message" | grep -q "1025 bytes, over the 1024-byte budget" || fail "size not named: $message"
[ ! -e "$work/out.exe" ] || fail "a padded file is left from the earlier run"
[ ! -e "$work/out.exe.part" ] || fail "a partial file is left"
echo "passed"

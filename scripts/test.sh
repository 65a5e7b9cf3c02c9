#!/usr/bin/env bash
# Runs every test: the installer stubs are built for Windows (and must fit),
# then the unit and end-to-end tests, the unit tests again under ASan and
# UBSan, and a short run of each fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

fuzz_seconds=${FUZZ_SECONDS:-45}

for preset in win32 win64 host asan fuzz; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

ctest --preset host
ctest --preset asan

for fuzzer in build/fuzz/fuzz/*_fuzzer; do
    name=$(basename "$fuzzer" _fuzzer)
    corpus=$(mktemp -d)
    [ -d "fuzz/${name}_seeds" ] && cp -r "fuzz/${name}_seeds/." "$corpus/"
    echo "fuzzing $name for ${fuzz_seconds}s"
    "$fuzzer" -max_total_time="$fuzz_seconds" -max_len=65536 -print_final_stats=1 "$corpus" 2>&1 | tail -4
    rm -rf "$corpus"
done
echo "all tests passed"

#!/bin/sh
# install_test.sh: cmake --install puts the tool in bin/ and the stub in share/vantorel/,
# where the installed tool finds it; cpack -G DEB packs the same files.
# usage: install_test.sh CMAKE_BUILD_DIR WIN32_STUB WORK_DIR (exit 77 without the stub)
set -u
build=$1 stub=$2 work=$3
[ -f "$stub" ] || { echo "skipped: no $stub"; exit 77; }
rm -rf "$work" && mkdir -p "$work" || exit 1
fail() { echo "FAILED: $*"; exit 1; }

cmake --install "$build" --prefix "$work/usr" > /dev/null || fail "cmake --install"
tool=$work/usr/bin/vantorel-pack
"$tool" --version | grep -q "^vantorel-pack [0-9]" || fail "--version"
cmp "$stub" "$work/usr/share/vantorel/vantorel.exe" || fail "the stub in share/vantorel"

# No --stub: the installed tool takes the installed stub. No files: registry values only.
printf 'Title ("Registry only");\r\nRegistry (1, "Software\\Test", "Name", "x");\r\n' > "$work/s.txt"
"$tool" build -o "$work/setup.exe" "$work/s.txt" || fail "build with the installed stub"
[ "$(cmp -l -n 24576 "$stub" "$work/setup.exe" | wc -l)" -le 12 ] ||
    fail "the package does not start with the stub (its seal and CheckSum, 12 bytes, aside)"
"$tool" check "$work/setup.exe" | grep -q "^NumFiles (0);" || fail "NumFiles not filled in"

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" > /dev/null) ||
    fail "cpack -G DEB"
contents=$(dpkg-deb -c "$work"/deb/vantorel_*.deb) || fail "no Debian package"
for file in ./usr/bin/vantorel-pack ./usr/share/vantorel/vantorel.exe; do
    echo "$contents" | grep -q " $file\$" || fail "$file not in the Debian package"
done
echo "passed"

#!/usr/bin/env bash
# The main job: builds everything, makes the demo installer (a small Windows
# program, a readme, the uninstaller and a script with shortcuts), installs it
# with the real installer under Wine, shows what was installed, and takes it
# back with its uninstaller.
#
# With a display (DISPLAY set) the installer shows its dialog; otherwise it
# installs silently (/S).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

for preset in win32 win64 host; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

out=build/demo
rm -rf "$out"
mkdir -p "$out/files"

# The demo's program, built for x86-64 so that wine64 runs it.
x86_64-w64-mingw32-gcc -Os -s -mwindows -o "$out/files/hello.exe" demo/hello.c
cp demo/readme.txt "$out/files/"

pack=build/host/vantorel-pack
# The installer to ship (32-bit stub and uninstaller), and the one Wine runs
# here (x86-64); the tool compresses the files itself.
"$pack" build -o "$out/VantorelDemoSetup.exe" demo/install.txt \
    "$out/files/readme.txt" "$out/files/hello.exe"
"$pack" build -o "$out/VantorelDemoSetup64.exe" --arch x64 demo/install.txt \
    "$out/files/readme.txt" "$out/files/hello.exe"
echo
echo "== the package: script and archive"
"$pack" check "$out/VantorelDemoSetup.exe"
"$pack" list "$out/VantorelDemoSetup.exe"

export WINEPREFIX="$PWD/$out/wineprefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
echo
echo "== making a Wine prefix (takes a minute the first time)"
timeout 600 wineboot -i >/dev/null 2>&1 || true
timeout 120 wineserver -w || true

args=(/S)
mode="silently (/S)"
if [ -n "${DISPLAY:-}" ]; then
    args=()
    mode="with its dialog"
fi
echo "== running the installer $mode"
set +e
timeout 600 wine "$out/VantorelDemoSetup64.exe" "${args[@]}"
status=$?
set -e
timeout 120 wineserver -w || true
echo "installer exit code: $status"

target=$(winepath -u 'C:\Program Files\Vantorel Demo' 2>/dev/null)
echo
echo "== files in C:\\Program Files\\Vantorel Demo"
ls -l "$target"
echo
echo "== install.log"
cat "$target/install.log"
echo
echo "== registry"
timeout 120 wine reg query \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantorel Demo' /reg:64 2>/dev/null |
    tr -d '\r'
echo "== shortcuts"
grep -o '"[^"]*\.lnk"' "$target/install.log" | tr -d '"' | while read -r link; do
    echo "-- $link"
    lnkinfo "$(winepath -u "$link" 2>/dev/null)" | grep -E 'Description|Local path' || true
done
echo "== Add/Remove Programs"
timeout 120 wine uninstaller --list 2>/dev/null | tr -d '\r' | grep "Vantorel Demo" || true
echo
echo "== uninstalling silently with $target/uninstall.exe /S"
set +e
timeout 600 wine "$target/uninstall.exe" /S
removal=$?
set -e
timeout 120 wineserver -w || true
echo "uninstaller exit code: $removal"
if [ -e "$target" ]; then ls -la "$target"; else echo "the target folder is gone"; fi
echo
echo "The installer to ship: $out/VantorelDemoSetup.exe"
[ "$status" -eq 0 ] && exit "$removal"
exit "$status"

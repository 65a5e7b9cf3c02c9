#!/usr/bin/env bash
# The main job: builds everything, makes the demo installer (a small Windows
# program, a readme and a script with shortcuts), installs it with the real
# installer under Wine, and shows what was installed.
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
(cd "$out/files" && arj a -y -m4 ../demo.arj readme.txt hello.exe >/dev/null)

pack=build/host/vantorel-pack
# The installer to ship (32-bit stub), and the one Wine runs here (x86-64 stub).
"$pack" build -o "$out/VantorelDemoSetup.exe" demo/install.txt "$out/demo.arj"
"$pack" build -o "$out/VantorelDemoSetup64.exe" --stub build/win64/vantorel.exe \
    demo/install.txt "$out/demo.arj"
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
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantorel Demo' 2>/dev/null | tr -d '\r'
echo "== shortcuts"
grep -o '"[^"]*\.lnk"' "$target/install.log" | tr -d '"' | while read -r link; do
    echo "-- $link"
    lnkinfo "$(winepath -u "$link" 2>/dev/null)" | grep -E 'Description|Local path' || true
done
echo
echo "The installer to ship: $out/VantorelDemoSetup.exe"
exit "$status"

#!/usr/bin/env bash
# The main job: builds everything, makes the demo installer (a small Windows
# program, a readme, the uninstaller and a script with shortcuts), installs it
# with the real installer under Wine, shows what was installed, and takes it
# back with its uninstaller.
#
# With a display (DISPLAY set) the installer shows its dialog; otherwise it
# installs silently (/S). With --screenshot FILE it first shows the dialog on a
# virtual display and saves a picture of it to FILE (the README's).
set -euo pipefail
screenshot=""
if [ "${1:-}" = "--screenshot" ] && [ -n "${2:-}" ]; then
    screenshot=$(realpath "$2")
fi
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

# The publisher's own: an icon, a version resource, and a signature by a
# certificate made here (a real one comes from a certificate authority).
convert -size 32x32 xc:none -fill '#1e6fd9' -draw 'circle 16,16 16,2' -fill white \
    -draw 'rectangle 14,8 17,23' "$out/demo.ico"
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Vantorel Demo Publisher" \
    -keyout "$out/key.pem" -out "$out/certificate.pem" 2>/dev/null
sign="osslsigncode sign -certs $(printf %q "$PWD/$out/certificate.pem") \
-key $(printf %q "$PWD/$out/key.pem") -n 'Vantorel Demo' -in {in} -out {out} >/dev/null"
publisher=(--icon "$out/demo.ico" --version-info ProductVersion=1.0
    --version-info "CompanyName=The Vantorel developers" --sign "$sign")

pack=build/host/vantorel-pack
# The installer to ship (32-bit stub and uninstaller), and the one Wine runs
# here (x86-64); the tool compresses the files itself.
"$pack" build -o "$out/VantorelDemoSetup.exe" "${publisher[@]}" demo/install.txt \
    "$out/files/readme.txt" "$out/files/hello.exe"
"$pack" build -o "$out/VantorelDemoSetup64.exe" --arch x64 "${publisher[@]}" demo/install.txt \
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

# What Explorer shows of a program: its version values and icon, as Windows
# reads them, and who signed it.
x86_64-w64-mingw32-gcc -O1 -s -o "$out/file_identity.exe" demo/file_identity.c -lversion -lgdi32
identity() {
    echo "-- $1"
    timeout 120 wine "$out/file_identity.exe" "$(winepath -w "$1" 2>/dev/null)" 2>/dev/null |
        tr -d '\r'
    osslsigncode verify -CAfile "$out/certificate.pem" -in "$1" 2>/dev/null |
        grep -E "Signature verification|Subject:" | sort -u | sed 's/^\s*//' 
}
echo "== what Explorer shows of the installer"
identity "$out/VantorelDemoSetup64.exe"

if [ -n "$screenshot" ]; then
    echo "== the dialog on a virtual display, saved to $screenshot"
    # Wine draws the window's frame itself, as Windows would: no window manager here.
    timeout 120 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    display=87
    while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    sleep 2
    DISPLAY=:$display timeout 300 wine "$out/VantorelDemoSetup64.exe" >/dev/null 2>&1 &
    installer=$!
    window=""
    for _ in $(seq 120); do
        window=$(DISPLAY=:$display xdotool search --name '^Vantorel$' 2>/dev/null | head -1) || true
        [ -n "$window" ] && break
        sleep 1
    done
    sleep 2
    eval "$(DISPLAY=:$display xdotool getwindowgeometry --shell "$window")"
    DISPLAY=:$display import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$screenshot"
    DISPLAY=:$display xdotool key Escape || true # the dialog has the focus: Esc cancels
    wait "$installer" || true
    kill "$xvfb" 2>/dev/null || true
    timeout 120 wineserver -w || true
fi

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
echo "== what Explorer shows of the installed uninstaller"
identity "$target/uninstall.exe"
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

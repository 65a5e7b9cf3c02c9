#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need,
# when any is missing. Runs as root, or through sudo.
set -euo pipefail

packages=(
    cmake ninja-build g++ python3 googletest libgtest-dev libgmock-dev
    liblzma-dev pkg-config                    # vantorel-pack's LZMA encoder
    zlib1g-dev                                # and its icons' PNG images
    clang libclang-rt-14-dev                  # fuzzers and sanitizers
    g++-mingw-w64-i686 g++-mingw-w64-x86-64   # the installer stubs
    wine wine64 wine32:i386                   # end-to-end tests (both stubs) and the demo
    arj                                       # test archives (creation only)
    xvfb xdotool imagemagick x11-utils        # the dialog under a virtual display
    liblnk-utils                              # reading shortcuts back
    osslsigncode openssl                      # the signed-installer test
    hyperfine nsis                            # benchmarks (makensis: the peer compared)
    dpkg-dev                                  # cpack -G DEB (dpkg-shlibdeps)
)

# wine32 runs the i686 stub, the one we ship: it needs the i386 architecture.
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null

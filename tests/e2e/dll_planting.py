#!/usr/bin/env python3
"""dll_planting.py: DLLs planted beside the installer are not loaded into it.

Fake DLLs under names that Windows does not protect lie beside the installer,
each writing a marker beside itself, naming the program, when it is loaded.
Wine is told to prefer them to its own, as Windows prefers a DLL found in the
program's folder to the system's for any DLL that is not a known one. A silent
install and a dialog run (with the folder box opened) must load none of them
and still install.

usage: dll_planting.py --work DIR --pack VANTOREL_PACK --stub STUB
Exit code 77 when wine, arj, the stub, mingw, Xvfb or xdotool is missing: skipped.
"""
import argparse
import glob
import os
import shutil
import struct
import subprocess
import sys

from wine_e2e import (SKIP, WINE_TIMEOUT, Failure, Wine, build, check, expect_equal,
                      expected_log, fresh_folder, full_package, press, read, target_arguments,
                      virtual_display, wait_for, windows_named, write)

# Not known DLLs, so looked for in the program's folder first. Many are loaded
# under Wine by the installer's own DLLs (comctl32, version, uxtheme, propsys,
# userenv, windowscodecs, iphlpapi, dnsapi, actxprxy); the others are the
# names that planting attacks on Windows installers have used.
PLANTED = """comctl32 version uxtheme userenv dwmapi propsys cryptbase winmm dbghelp profapi
    sspicli secur32 cryptsp rsaenh bcrypt ntmarta wintrust crypt32 msasn1 cabinet mpr netapi32
    netutils srvcli wkscli apphelp windowscodecs urlmon iertutil wininet winhttp dnsapi iphlpapi
    oleacc riched20 msftedit dwrite linkinfo ntshrui cscapi powrprof wtsapi32 winsta msimg32
    usp10 actxprxy textshaping""".split()

# Wine's own user32 imports version.dll (that of Windows does not: a known
# DLL, it imports known DLLs only), and Wine, told to prefer native DLLs,
# resolves that import through the program's folder before the program's first
# instruction. Loaded that way it is Wine's doing; loaded any other way, ours.
WINE_OWN_IMPORTS = {"version"}

FAKE_DLL = r"""
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 8], text[MAX_PATH + 8];
        DWORD length = GetModuleFileNameA(self, path, MAX_PATH), written;
        HANDLE marker;
        lstrcpyA(path + length, ".loaded");
        /* reserved is null for a LoadLibrary, set for a static import */
        lstrcpyA(text, reserved ? "static " : "dynamic ");
        length = lstrlenA(text);
        length += GetModuleFileNameA(0, text + length, MAX_PATH);
        marker = CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
        WriteFile(marker, text, length, &written, 0);
        CloseHandle(marker);
    }
    return TRUE;
}
"""
COMPILERS = {0x14C: "i686-w64-mingw32-gcc", 0x8664: "x86_64-w64-mingw32-gcc"}


def plant(folder, compiler):
    source = os.path.join(folder, "fake.c")
    write(source, FAKE_DLL.encode())
    fake = os.path.join(folder, "fake.bin")
    subprocess.run([compiler, "-shared", "-s", "-o", fake, source], check=True, timeout=120)
    for name in PLANTED:
        shutil.copy(fake, os.path.join(folder, name + ".dll"))


def loaded(folder):
    """'name.dll, static|dynamic program' for each marker, but those of WINE_OWN_IMPORTS."""
    found = []
    for marker in sorted(glob.glob(os.path.join(folder, "*.loaded"))):
        name, how = os.path.basename(marker)[:-11].lower(), read(marker).decode(errors="replace")
        if not (name in WINE_OWN_IMPORTS and how.startswith("static ")):
            found.append(f"{name}.dll, {how}")
    return found


def planting_wine(work, display):
    wine = Wine(work, display)
    wine.env["WINEDLLOVERRIDES"] += ";" + ",".join(PLANTED) + "=n,b"
    return wine


def silent_install(options, wine):
    folder = fresh_folder(options.work, "planting-silent")
    package, files = full_package(options, folder)
    plant(os.path.dirname(package), options.compiler)
    target = r"C:\Planting\silent"
    shutil.rmtree(wine.unix_path(target), ignore_errors=True)
    result = wine.run([package] + target_arguments(target), WINE_TIMEOUT, check_rc=False)
    wine.wait_server()
    markers = loaded(os.path.dirname(package))
    expect_equal(0, result.returncode, "exit code of a silent install")
    expect_equal(files["tool.exe"], read(os.path.join(wine.unix_path(target), "tool.exe")),
                 "the installed tool.exe")
    expect_equal(expected_log(target, wine.shell_folder("Programs"), wine.shell_folder("Desktop")),
                 read(os.path.join(wine.unix_path(target), "install.log")), "install.log")
    return markers


def dialog_install(options, wine, display):
    folder = fresh_folder(options.work, "planting-dialog")
    write(os.path.join(folder, "app.txt"), b"installed beside planted DLLs\n")
    write(os.path.join(folder, "install.txt"),
          br'Title ("Planting"); NumFiles (1); MakeDirectory ("%t");'
          br' Ask ("Copy the application?"); MoveFile ("app.txt", "%t\app.txt"); EndAsk ();')
    package = os.path.join(folder, "setup.exe")
    build(options, package, os.path.join(folder, "install.txt"), [os.path.join(folder, "app.txt")])
    plant(folder, options.compiler)
    target = r"C:\Planting\dialog"
    shutil.rmtree(wine.unix_path(target), ignore_errors=True)
    try:
        installer = wine.start([package, "/D=" + target])
        wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the dialog")
        for _ in range(4):
            press(display, "Tab")  # Install, About, Cancel, the edit field, ">>"
        press(display, "space")
        wait_for(lambda: windows_named(display, "Browse for Folder"), "the folder box")
        press(display, "Escape")
        wait_for(lambda: not windows_named(display, "Browse for Folder"), "the box to close")
        press(display, "Tab")  # round to Install
        press(display, "Return")
        wait_for(lambda: len(windows_named(display, "Vantorel")) == 2, "the question box")
        press(display, "Return")  # Yes
        log = os.path.join(wine.unix_path(target), "install.log")
        wait_for(lambda: os.path.exists(log), "install.log")
        wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the question to close")
        press(display, "Return")  # Finish
        expect_equal(0, installer.wait(timeout=WINE_TIMEOUT), "exit code after Finish")
    except Failure as failure:
        raise Failure(f"{failure}; loaded: {loaded(folder)}")
    finally:
        wine.kill()
    expect_equal(b"installed beside planted DLLs\n",
                 read(os.path.join(wine.unix_path(target), "app.txt")), "the installed file")
    return loaded(folder)


def run(options):
    with virtual_display() as display:
        if display is None or not shutil.which("xdotool"):
            return SKIP
        wine = planting_wine(options.work, display)
        markers = silent_install(options, wine)
        check(not markers, f"planted DLLs loaded in a silent install: {markers}")
        markers = dialog_install(options, wine, display)
        check(not markers, f"planted DLLs loaded in a dialog run: {markers}")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--work", required=True)
    parser.add_argument("--pack", required=True)
    parser.add_argument("--stub", required=True)
    options = parser.parse_args()
    options.work = os.path.abspath(options.work)
    if not os.path.isfile(options.stub):
        print(f"skipped: {options.stub} not built")
        return SKIP
    stub = read(options.stub)
    machine = struct.unpack_from("<H", stub, struct.unpack_from("<I", stub, 0x3C)[0] + 4)[0]
    options.compiler = COMPILERS.get(machine)
    missing = [tool for tool in ("wine", "wineserver", "winepath", "arj", options.compiler)
               if not tool or not shutil.which(tool)]
    if missing:
        print(f"skipped: missing {', '.join(map(str, missing))}")
        return SKIP
    try:
        result = run(options)
    except (Failure, subprocess.SubprocessError, OSError) as error:
        print(f"FAILED {options.stub}: {error}")
        return 1
    print("skipped: Xvfb or xdotool missing" if result == SKIP else f"passed {options.stub}")
    return result


if __name__ == "__main__":
    sys.exit(main())

"""Planted DLLs: fakes beside a program that record whether and how it loaded them."""
import glob
import os
import shutil
import subprocess

from checks import check
from packages import read, write

# Not known DLLs, so looked for in the program's folder first: loaded under Wine by
# the installer's own DLLs (comctl32, version, uxtheme, propsys, userenv, windowscodecs,
# iphlpapi, dnsapi, actxprxy), or names that planting attacks on installers used.
PLANTED = """comctl32 version uxtheme userenv dwmapi propsys cryptbase winmm dbghelp profapi
    sspicli secur32 cryptsp rsaenh bcrypt ntmarta wintrust crypt32 msasn1 cabinet mpr netapi32
    netutils srvcli wkscli apphelp windowscodecs urlmon iertutil wininet winhttp dnsapi iphlpapi
    oleacc riched20 msftedit dwrite linkinfo ntshrui cscapi powrprof wtsapi32 winsta msimg32
    usp10 actxprxy textshaping""".split()

# Wine's user32 imports version.dll (Windows' imports known DLLs only) and, told to
# prefer native DLLs, resolves it through the program's folder before the program's
# first instruction: loaded that way it is Wine's doing; any other way, ours.
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


def windows_compiler(options):
    """The mingw compiler for the stub's machine, if installed."""
    return shutil.which(("i686" if options.arch == "i686" else "x86_64") + "-w64-mingw32-gcc")


def plant(options, folder):
    """Puts the fake DLLs beside a program that is about to run."""
    source, fake = os.path.join(folder, "fake.c"), os.path.join(folder, "fake.bin")
    write(source, FAKE_DLL.encode())
    subprocess.run([windows_compiler(options), "-shared", "-s", "-o", fake, source], check=True,
                   timeout=120)
    for name in PLANTED:
        shutil.copy(fake, os.path.join(folder, name + ".dll"))


def check_nothing_loaded(folder, run):
    """Planted DLLs that a program loaded: none may be, but those of WINE_OWN_IMPORTS."""
    found = []
    for marker in sorted(glob.glob(os.path.join(folder, "*.loaded"))):
        name, how = os.path.basename(marker)[:-11].lower(), read(marker).decode(errors="replace")
        if not (name in WINE_OWN_IMPORTS and how.startswith("static ")):
            found.append(f"{name}.dll, {how}")
    check(not found, f"planted DLLs loaded in {run}: {found}")

#!/usr/bin/env python3
"""stub_image_test.py: reads a built installer stub or uninstaller as Windows would and
checks its size, machine, CheckSum and flags, sections, imports (known DLLs only) and
resources.

usage: stub_image_test.py STUB (i686|x86-64) ICON_SCRIPT   (exit code 77: not built, skipped)
"""
import os
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

SKIP = 77
STUB_SIZE = 24576
UNINSTALL_SIZE = 16384
MACHINES = {"i686": 0x14C, "x86-64": 0x8664}
# Known DLLs, which Windows loads only from the system folder: a static import
# of any other DLL is resolved before the installer can limit the search.
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
                "msvcrt.dll"}
# Windows 7, 8, 8.1 and 10/11.
SUPPORTED_OS = {"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}  # Windows 10 and 11
ASM, COMPATIBILITY = "urn:schemas-microsoft-com:asm.v1", "urn:schemas-microsoft-com:compatibility.v1"
SCN_EXECUTE, SCN_WRITE = 0x20000000, 0x80000000
RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_MANIFEST = 3, 5, 14, 24

DLL_DYNAMIC_BASE, DLL_NX_COMPAT, DLL_NO_SEH, DLL_TERMINAL_SERVER_AWARE = 0x40, 0x100, 0x400, 0x8000


def pe_checksum(data):
    """(stored, computed) CheckSum: 16-bit words with their carries folded in,
    the field itself left out, plus the file's length."""
    field = struct.unpack_from("<I", data, 0x3C)[0] + 88
    words = data[:field] + bytes(4) + data[field + 4:] + bytes(len(data) % 2)
    total = sum(struct.unpack_from(f"<{len(words) // 2}H", words))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return struct.unpack_from("<I", data, field)[0], total + len(data)


def relocations(data):
    """The relative addresses that the image's base relocations fix up."""
    image, found = Image(data), []
    rva, size = image.directory[5]
    at, end = (image.offset(rva), image.offset(rva) + size) if size else (0, 0)
    while at < end:
        page, block = struct.unpack_from("<II", data, at)
        for (entry,) in struct.iter_unpack("<H", data[at + 8:at + block]):
            assert entry >> 12 in (0, 10 if image.wide else 3), f"relocation type {entry >> 12}"
            found += [page + (entry & 0xFFF)] if entry >> 12 else []
        at += block
    return found


class Image:
    def __init__(self, data):
        self.data = data
        self.pe = pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "no PE signature"
        self.machine, sections, _, _, _, optional_size, self.characteristics = \
            struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
        self.entry = struct.unpack_from("<I", data, optional + 16)[0]
        self.directory = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.wide = magic == 0x20B
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            name, vsize, va, rawsize, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            flags = struct.unpack_from("<I", data, table + 40 * i + 36)[0]
            assert flags & (SCN_EXECUTE | SCN_WRITE) != SCN_EXECUTE | SCN_WRITE, f"{name} is W+X"
            self.sections.append((name.rstrip(b"\0").decode(), va, max(vsize, rawsize), raw))

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise AssertionError(f"rva {rva:#x} outside every section")

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode()

    def imports(self):
        found = {}
        at = self.offset(self.directory[1][0])
        while True:
            lookup, _, _, name, first = struct.unpack_from("<IIIII", self.data, at)
            if name == 0:
                return found
            dll = self.cstring(name).lower()
            # Without a lookup table the loader reads the address table.
            names, entry = [], self.offset(lookup or first)
            width, flag = (8, 1 << 63) if self.wide else (4, 1 << 31)
            while True:
                value = int.from_bytes(self.data[entry:entry + width], "little")
                if value == 0:
                    break
                names.append(f"#{value & 0xFFFF}" if value & flag else self.cstring(value + 2))
                entry += width
            found[dll] = names
            at += 20

    def resources(self):
        """{(type, name): bytes} of the resource tree, first language of each."""
        base = self.offset(self.directory[2][0])

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                key, value = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                yield key, value

        out = {}
        for type_id, type_at in entries(base):
            for name_id, name_at in entries(base + (type_at & 0x7FFFFFFF)):
                _, leaf = next(entries(base + (name_at & 0x7FFFFFFF)))
                rva, size = struct.unpack_from("<II", self.data, base + leaf)
                out[(type_id, name_id)] = self.data[self.offset(rva):self.offset(rva) + size]
        return out


def check_icon(resources, icon_script, uninstaller=False):
    group = resources[(RT_GROUP_ICON, 101)]
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    assert (kind, count) == (1, 1), "one image in group icon 101"
    width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH",
                                                                                 group, 6)
    assert (width, height, bits) == (32, 32, 32), "a 32x32 image"
    groups = sorted(name for kind, name in resources if kind == RT_GROUP_ICON)
    assert groups == [101], f"group icon 101 is the only one, so the executable's: {groups}"
    image = resources[(RT_ICON, icon_id)]
    drawn = subprocess.run([sys.executable, icon_script, "/dev/stdout"] +
                           (["--uninstall"] if uninstaller else []), capture_output=True,
                           check=True).stdout
    assert image == drawn[22:] and image.startswith(b"\x89PNG"), \
        "icon 101 is the PNG that make_icon.py draws"


def check_manifest(manifest):
    level = manifest.find(".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
    assert level is not None and level.get("level") == "requireAdministrator", "asks for admin"
    dependency = manifest.find(f"{{{ASM}}}dependency/{{{ASM}}}dependentAssembly/{{{ASM}}}"
                               "assemblyIdentity")
    assert dependency is not None and (dependency.get("name"), dependency.get("version"),
                                       dependency.get("publicKeyToken")) == (
        "Microsoft.Windows.Common-Controls", "6.0.0.0", "6595b64144ccf1df"), "Common Controls 6"
    supported = {os.get("Id") for os in manifest.iter(f"{{{COMPATIBILITY}}}supportedOS")}
    assert supported == SUPPORTED_OS, f"supported Windows versions {supported}"


def check(stub, architecture, icon_script):
    data = open(stub, "rb").read()
    uninstaller = os.path.basename(stub) == "uninstall.exe"
    assert len(data) == STUB_SIZE or uninstaller and len(data) <= UNINSTALL_SIZE, f"{len(data)} bytes"
    size_file = stub + ".size"
    if os.path.exists(size_file):
        before = int(open(size_file).read())
        assert before <= STUB_SIZE and not any(data[before:]), "padding is zeros"
    image = Image(data)
    assert image.machine == MACHINES[architecture], f"machine {image.machine:#x}"
    assert image.subsystem == 2, "a GUI program: no console window"
    stored, computed = pe_checksum(data)
    assert stored == computed, f"CheckSum {stored:#x}, {computed:#x} by the file"
    wanted = DLL_NX_COMPAT | DLL_TERMINAL_SERVER_AWARE | (DLL_NO_SEH if architecture == "i686" else 0)
    movable = uninstaller or architecture == "x86-64"
    wanted |= DLL_DYNAMIC_BASE if movable else 0
    assert image.dll_characteristics & wanted == wanted, f"flags {image.dll_characteristics:#x}"
    # The uninstallers and the x86-64 stub can be moved (ASLR); the i686 stub has
    # no room for its relocations. Each relocation lies in a section.
    assert bool(image.characteristics & 0x0001) != movable, "relocations stripped or not"
    for at in (fixed := relocations(data)):
        image.offset(at)
    assert uninstaller == bool(fixed), "relocations where there are addresses"
    assert image.directory[9] == (0, 0), "no thread-local storage"
    imports = image.imports()
    assert set(imports) <= ALLOWED_DLLS, f"imports from {sorted(set(imports) - ALLOWED_DLLS)}"
    assert "SetDllDirectoryA" in imports["kernel32.dll"], "the DLL search is limited"
    assert "GetCommandLineA" in imports["kernel32.dll"], "GetCommandLineA not imported"
    assert {"fopen", "exit"} <= set(imports["msvcrt.dll"]), "file streams and the end from msvcrt"
    resources = image.resources()
    if not uninstaller:
        assert "DialogBoxParamA" in imports["user32.dll"]
        assert (RT_DIALOG, 102) in resources, "dialog template 102"
    check_icon(resources, icon_script, uninstaller)
    check_manifest(ElementTree.fromstring(resources[(RT_MANIFEST, 1)]))
    if architecture == "x86-64" and not uninstaller:
        # The archive reader's catch saves none of the SSE registers that a
        # Windows x64 caller keeps: no code may use them.
        code = subprocess.run(["x86_64-w64-mingw32-objdump", "-d", stub], capture_output=True,
                              text=True, check=True).stdout
        assert not re.search(r"%xmm([6-9]|1[0-5])\b", code), "SSE registers that callers keep"


def main():
    stub, architecture, icon_script = sys.argv[1:4]
    if not os.path.isfile(stub):
        print(f"skipped: {stub} not built")
        return SKIP
    try:
        check(stub, architecture, icon_script)
    except (AssertionError, KeyError, struct.error, ElementTree.ParseError) as error:
        print(f"FAILED {stub}: {error!r}")
        return 1
    print(f"passed {stub}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

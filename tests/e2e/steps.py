"""The end-to-end steps, prefix first: the step_ functions with their scripts and data."""
import contextlib
import os
import shlex
import shutil
import struct
import subprocess
import time

from checks import Skipped, check, expect_equal
from display import press, screenshot, virtual_display, wait_for, windows_named
from packages import (PACKAGE_OFFSET, arj, build, fresh_folder, installed_tree, lnk_fields,
                      make_package, pack, read, rebased, replace_script, sign, signing_key,
                      uninstaller, unseal, verify_signature, write)
from planting import check_nothing_loaded, plant, windows_compiler
from wine import SILENT_TIMEOUT, WINE_TIMEOUT, Wine, small_drive, target_arguments

APP_TEXT = b"".join(b"installed through the dialog, line %d\n" % i for i in range(400))


def step_prefix(options):
    wine = Wine(options)
    shutil.rmtree(wine.prefix, ignore_errors=True)
    subprocess.run(["wineboot", "-i"], env=wine.env, timeout=600, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wine.wait_server()
    # Without a window manager Wine draws the caption itself and keeps the
    # keyboard focus on the active window.
    wine.run(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"])
    wine.wait_server()


UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\E2E Tool"
FULL_SCRIPT = r"""# Every command of the script language, as a publisher writes it.
Title ("E2E Tool 1.0");
NumFiles (5);
RootDirectory ("\E2E Tool");
TargetDirectory ("%p%r");
Registry (2, "Software\Vantorel E2E", "InstallPath", "%t");
Registry (1, "Software\Vantorel E2E", "", "default value");
RegistryInt (2, "Software\Vantorel E2E", "Answer", 42);
RegistryInt (1, "Software\Vantorel E2E", "Minus", -1);
Registry (2, "UNINSTALL_KEY", "DisplayName", "E2E Tool");
Registry (2, "UNINSTALL_KEY", "UninstallString", "%t\uninstall.exe");
MakeDirectory ("%t\docs");
MoveFile ("readme.txt", "%t\docs\readme.txt");
MoveFile ("tool.exe", "%t\tool.exe");
MoveFile ("data.bin", "%t\data.bin");
MoveFile ("uninstall.exe", "%t\uninstall.exe");
Ask ("Create shortcuts?");
    StartMenu ("%t\tool.exe", "E2E Tool", "E2E Tool");
    DesktopIcon ("%t\docs\readme.txt", "E2E Readme");
EndAsk ();
Message ("Installed.");
MoveFile ("notes.txt", "%t\notes.txt");
Unknown ("passed over");
""".replace("\n", "\r\n").replace("UNINSTALL_KEY", UNINSTALL_KEY)

FILE_TIME = 1500000000  # 2017-07-14: what the installed files must keep


def full_package(options, folder):
    """The package of FULL_SCRIPT, each entry under another method; its files."""
    src = os.path.join(folder, "src")
    files = {
        "readme.txt": b"Read me.\nSecond line.\n",
        "tool.exe": b"MZ" + bytes((i * 31 + i // 7) & 0xFF for i in range(50000)),
        "data.bin": b"".join(struct.pack("<I", i * 2654435761 & 0xFFFFFFFF) for i in range(20000)),
        "notes.txt": b"",
    }
    for name, data in files.items():
        write(os.path.join(src, name), data)
        os.utime(os.path.join(src, name), (FILE_TIME, FILE_TIME))
    arj(src, "files.arj", 2, ["readme.txt"], text=True)
    arj(src, "files.arj", 1, ["tool.exe"])
    arj(src, "files.arj", 4, ["data.bin"])
    arj(src, "files.arj", 0, ["notes.txt"])
    shutil.copy(uninstaller(options), src)
    arj(src, "files.arj", 1, ["uninstall.exe"])
    write(os.path.join(folder, "install.txt"), FULL_SCRIPT.encode())
    # A folder with a blank: the installer's own name then comes quoted on its
    # command line, in front of the arguments.
    package = os.path.join(folder, "setup folder", "setup.exe")
    build(options, package, os.path.join(folder, "install.txt"), [os.path.join(src, "files.arj")])
    return package, files


def forget_full_install(wine, target):
    """Removes what an earlier install of FULL_SCRIPT into target left, so that
    the next one makes every folder again."""
    shutil.rmtree(os.path.dirname(wine.unix_path(target)), ignore_errors=True)
    shutil.rmtree(wine.unix_path(wine.folder("Programs") + r"\E2E Tool"), ignore_errors=True)
    with contextlib.suppress(FileNotFoundError):
        os.remove(wine.unix_path(wine.folder("Desktop") + r"\E2E Readme.lnk"))
    for root in ("HKLM", "HKCU"):
        wine.reg("delete", root + r"\Software\Vantorel E2E")


# install.log after FULL_SCRIPT, newest record first.
EXPECTED_LOG = r"""DeleteFile ("{t}\notes.txt");
DeleteFile ("{desktop}\E2E Readme.lnk");
DeleteFile ("{programs}\E2E Tool\E2E Tool.lnk");
RemoveDirectory ("{programs}\E2E Tool");
DeleteFile ("{t}\uninstall.exe");
DeleteFile ("{t}\data.bin");
DeleteFile ("{t}\tool.exe");
DeleteFile ("{t}\docs\readme.txt");
RemoveDirectory ("{t}\docs");
RemoveDirectory ("{t}");
RemoveDirectory ("{parent}");
RemoveRegistry (2, "{uninstall}", "UninstallString");
RemoveRegistry (2, "{uninstall}", "DisplayName");
RemoveRegistry (1, "Software\Vantorel E2E", "Minus");
RemoveRegistry (2, "Software\Vantorel E2E", "Answer");
RemoveRegistry (1, "Software\Vantorel E2E", "");
RemoveRegistry (2, "Software\Vantorel E2E", "InstallPath");
Title ("E2E Tool 1.0");
"""


def step_silent(options):
    """A silent install of every command, from an installer signed with
    osslsigncode and lying beside planted DLLs."""
    folder = fresh_folder(options, "silent")
    package, files = full_package(options, folder)
    package = sign(folder, package)
    plant(options, folder)
    with virtual_display() as display:
        wine = Wine(options, display)
        target = r"C:\E2E Target %s\with spaces" % options.arch
        target_unix = wine.unix_path(target)
        forget_full_install(wine, target)
        programs, desktop = wine.folder("Programs"), wine.folder("Desktop")

        temp_before = wine.temp_listing()
        expect_equal(0, wine.install(package, target_arguments(target)), "exit code")
        check_nothing_loaded(folder, "a silent install")

        # Files: binary entries byte for byte, the text entry with CR LF line
        # ends, all with the archived time.
        installed = {name: files[name] for name in ("tool.exe", "data.bin", "notes.txt")}
        installed["docs/readme.txt"] = files["readme.txt"].replace(b"\n", b"\r\n")
        for name, data in installed.items():
            path = os.path.join(target_unix, name)
            expect_equal(data, read(path) if os.path.isfile(path) else None, f"content of {name}")
            expect_equal(FILE_TIME, int(os.stat(path).st_mtime), f"time of {name}")
        product = {"tool.exe", "data.bin", "notes.txt", "uninstall.exe", "install.log"}
        expect_equal(product | {"docs"}, set(os.listdir(target_unix)), "the target folder")
        expect_equal(temp_before, wine.temp_listing(), "the temporary folder")

        key = r"\Software\Vantorel E2E"
        expect_equal(("REG_SZ", target), wine.reg_query("HKLM" + key, "InstallPath"),
                     "InstallPath")
        expect_equal(("REG_SZ", "default value"), wine.reg_query("HKCU" + key, ""), "default")
        expect_equal(("REG_DWORD", "0x2a"), wine.reg_query("HKLM" + key, "Answer"), "Answer")
        expect_equal(("REG_DWORD", "0xffffffff"), wine.reg_query("HKCU" + key, "Minus"), "Minus")

        for link, link_target, description in (
                (programs + r"\E2E Tool\E2E Tool.lnk", target + r"\tool.exe", "E2E Tool"),
                (desktop + r"\E2E Readme.lnk", target + r"\docs\readme.txt", "E2E Readme")):
            fields = lnk_fields(wine.unix_path(link))
            expect_equal(link_target, fields.get("Local path"), f"target of {link}")
            expect_equal(description, fields.get("Description"), f"description of {link}")

        log = EXPECTED_LOG.format(t=target, parent=target.rsplit("\\", 1)[0], programs=programs,
                                  desktop=desktop, uninstall=UNINSTALL_KEY)
        expect_equal(log.encode(), read(os.path.join(target_unix, "install.log")), "install.log")

        # uninstall.exe /S takes it all back: every command's undo.
        expect_equal(0, wine.install(target + r"\uninstall.exe", ["/S"]), "exit code, uninstall")
        check(not os.path.exists(os.path.dirname(target_unix)), "the folders it made stay")
        for link in (programs + r"\E2E Tool", desktop + r"\E2E Readme.lnk"):
            check(not os.path.exists(wine.unix_path(link)), f"{link} stays")
        for k in ("HKLM" + key, "HKCU" + key, "HKLM\\" + UNINSTALL_KEY):
            check(not wine.has_key(k), f"{k} stays")
        expect_equal(temp_before, wine.temp_listing(), "the temporary folder after uninstall")


def dialog_install(wine, display, package, target, keys_before=(), arguments=()):
    """Runs the dialog to its end by keys: Install, Yes to the question, Finish."""
    installer = wine.start([package] + list(arguments))
    wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the dialog")
    for key in keys_before:
        key() if callable(key) else press(display, key)
    press(display, "Return")  # Install: the button of the Enter key
    wait_for(lambda: len(windows_named(display, "Vantorel")) == 2, "the question box")
    press(display, "Return")  # Yes, the question box's first button
    wait_for(lambda: os.path.exists(os.path.join(target, "install.log")), "install.log")
    wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the question to close")
    check(installer.poll() is None, "the dialog stays open after the installation")
    press(display, "Return")  # Finish, which now has the focus
    expect_equal(0, installer.wait(timeout=WINE_TIMEOUT), "exit code after Finish")
    expect_equal(APP_TEXT, read(os.path.join(target, "app.txt")), "the installed file")


def step_dialog(options):
    if not shutil.which("Xvfb") or not shutil.which("xdotool"):
        raise Skipped("Xvfb or xdotool missing")
    folder = fresh_folder(options, "dialog")
    uninstaller(options)
    # This package's archive is the one vantorel-pack writes itself from files
    # with its own ARJ encoder (method 1); the other steps' is the default LZMA
    # block.
    package = make_package(options, folder, {"app.txt": APP_TEXT},
                           r'Title ("Vantorel Demo 1.0"); NumFiles (2); RootDirectory ("\Dialog Test");'
                           r' TargetDirectory ("%p%r"); MakeDirectory ("%t\docs"); Ask ("Copy the '
                           r'application?"); MoveFile ("app.txt", "%t\app.txt"); EndAsk ();'
                           r' MoveFile ("uninstall.exe", "%t\uninstall.exe");', None, "--uninstaller",
                           "-m", "1")
    expect_equal(b"1", pack(options, "list", package).split()[7], "our encoder's method")
    plant(options, folder)

    with virtual_display() as display:
        wine = Wine(options, display)
        target = wine.unix_path(wine.folder("ProgramFilesDir") + r"\Dialog Test")
        shutil.rmtree(target, ignore_errors=True)
        try:
            # Esc before installing ends the run: nothing installed, exit code 0.
            installer = wine.start([package])
            wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the dialog")
            press(display, "Escape")
            expect_equal(0, installer.wait(timeout=WINE_TIMEOUT), "exit code after Esc")
            check(not os.path.exists(target), "nothing is installed after Esc")

            def picture():
                time.sleep(1.5)
                if options.screenshot:
                    screenshot(display, windows_named(display, "Vantorel")[0], options.screenshot)
                check(not os.path.exists(target), "nothing is installed before Install")
            dialog_install(wine, display, package, target, [picture])

            # ">>" chooses C:, then the Control Panel (no folder: the target stays);
            # Install then installs below C:. The box lists My Computer, (C:), (Z:)
            # and the Control Panel, with the focus on OK, two Tabs from the tree.
            target = wine.unix_path("C:\\Dialog Test")
            shutil.rmtree(target, ignore_errors=True)
            keys = ["Tab"] * 4  # Install, About, Cancel, the edit field, ">>"
            for downs in (1, 3):
                keys += ["space", lambda: wait_for(lambda: windows_named(
                    display, "Browse for Folder"), "the folder box")]
                keys += ["Tab", "Tab", "Home"] + ["Down"] * downs + ["Return"]
                keys += [lambda: wait_for(lambda: not windows_named(
                    display, "Browse for Folder"), "the box to close")]
            dialog_install(wine, display, package, target, keys + ["Tab"])  # round to Install

            # The uninstaller's boxes: Enter answers Yes, then closes the report.
            temp_before = wine.temp_listing()
            uninstall = wine.start([r"C:\Dialog Test\uninstall.exe"])
            wait_for(lambda: windows_named(display, "Vantorel"), "the question")
            press(display, "Return")
            wait_for(lambda: not os.path.exists(os.path.join(target, "app.txt")), "removal")
            wait_for(lambda: windows_named(display, "Vantorel"), "the final box")
            press(display, "Return")
            expect_equal(0, uninstall.wait(timeout=WINE_TIMEOUT), "exit code of the uninstaller")
            wine.wait_server()
            check(not os.path.exists(target), "the installed folders stay after uninstall")
            expect_equal(temp_before, wine.temp_listing(), "the temporary folder after uninstall")

            # At 144 DPI the dialog grows with its font (pictures kept beside the package).
            sizes = {}
            for dpi in (144, 96):
                set_dpi(wine, dpi)
                installer = wine.start([package])
                wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the dialog")
                time.sleep(1.5)
                sizes[dpi] = screenshot(display, windows_named(display, "Vantorel")[0],
                                        os.path.join(folder, f"dialog-{dpi}dpi.png"))
                press(display, "Escape")
                installer.wait(timeout=WINE_TIMEOUT)
            check(all(1.3 < a / b < 1.7 for a, b in zip(sizes[144], sizes[96])), f"at 144 DPI: {sizes}")
        finally:
            set_dpi(wine, 96)
            wine.kill()
        check_nothing_loaded(folder, "a dialog run")


def set_dpi(wine, dpi):
    """The prefix's screen resolution, as winecfg sets it, for Wine's next start."""
    wine.kill()
    wine.run(["reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"])
    wine.wait_server()


def step_failures(options):
    with virtual_display() as display:
        wine = Wine(options, display)
        folder = fresh_folder(options, "failures")
        script = (r'Title ("Failures"); NumFiles (2); MakeDirectory ("%t");'
                  r' MoveFile ("a.bin", "%t\a.bin"); MoveFile ("b.bin", "%t\b.bin");')
        package = make_package(options, folder, {"a.bin": b"good file " * 100,
                                                 "b.bin": b"second file"}, script, 0)

        def run(variant, name):
            target = r"C:\E2E Failures %s\%s" % (options.arch, name)
            shutil.rmtree(wine.unix_path(target), ignore_errors=True)
            write(os.path.join(folder, name + ".exe"), variant)
            code = wine.install(os.path.join(folder, name + ".exe"), target_arguments(target))
            return code, wine.unix_path(target)

        # A sealed package with a byte changed (also after signing) or cut: exit
        # code 1, nothing installed, %TEMP% as it was. Unsealed, as another
        # tool would make it, it installs.
        sealed, temp_before = read(package), wine.temp_listing()
        signed = read(sign(folder, package))
        archive_length_at = PACKAGE_OFFSET + 4 + struct.unpack_from("<I", sealed, PACKAGE_OFFSET)[0]
        variants = {"cut": sealed[:-1]}
        for name, data, at in (("length", sealed, PACKAGE_OFFSET), ("script", sealed, 24590),
                               ("archive-length", sealed, archive_length_at),
                               ("data", sealed, sealed.index(b"good file ") + 5),
                               ("signed-script", signed, 24590)):
            variants[name] = data[:at] + bytes([data[at] ^ 0x20]) + data[at + 1:]
        for name, variant in variants.items():
            code, target = run(variant, name)
            expect_equal((1, False), (code, os.path.exists(target)), f"exit code, target ({name})")
        expect_equal(temp_before, wine.temp_listing(), "the temporary folder after damage")
        code, target = run(unseal(sealed), "unsealed")
        expect_equal((0, b"second file"), (code, read(os.path.join(target, "b.bin"))),
                     "an unsealed package")

        # A MoveFile of a file not in the archive, which the tool refuses.
        replace_script(package, script.encode() + br' MoveFile ("missing.txt", "%t\missing.txt");')
        original = read(package)
        data_at = original.index(b"good file ")
        entry_header_at = original.index(b"\x60\xea", original.index(b"\x60\xea", 24580) + 4)

        # A changed data byte fails that entry's CRC, a missing file is not
        # installed; the rest is, with exit code 2 and undo records for it alone.
        damaged = bytearray(original)
        damaged[data_at + 5] ^= 0xFF
        code, target = run(bytes(damaged), "crc")
        expect_equal(2, code, "exit code with a failed entry and a missing file")
        expect_equal(b"second file", read(os.path.join(target, "b.bin")), "the good entry")
        expect_equal(["b.bin", "install.log"], sorted(os.listdir(target)), "what was installed")
        log = read(os.path.join(target, "install.log")).decode()
        check("b.bin" in log and "a.bin" not in log and "missing" not in log,
              f"undo records only for installed files: {log}")

        # The default solid LZMA block with a byte of its stream changed,
        # unsealed: the run stops (1) or counts the entry (2), unless the byte
        # was not needed; what it installs is whole.
        files = {"a.bin": b"good file " * 100, "b.bin": b"second file"}
        solid = unseal(read(make_package(options, fresh_folder(options, "lzma"), files, script)))
        name = b"lzma-solid-block"
        stream_at = solid.index(name) + len(name) + 8 + 5  # NULs, CRC, extended size; properties
        codes = []
        for at in (stream_at, stream_at + 12, stream_at + 30):  # the first is always 0
            code, target = run(solid[:at] + bytes([solid[at] ^ 0x20]) + solid[at + 1:], f"lzma{at}")
            codes.append(code)
            for file, data in files.items():
                path = os.path.join(target, file)
                check(not os.path.exists(path) or read(path) == data, f"{file} installed damaged")
        check(set(codes) <= {0, 1, 2} and codes[0] == 1, f"exit codes {codes} of damaged streams")

        # A damaged header or an archive cut short ends the run with exit code
        # 1 before the script runs, leaving the temporary folder as it was.
        temp_before = wine.temp_listing()
        damaged = bytearray(original)
        damaged[entry_header_at + 12] ^= 0xFF
        for name, variant in (("header", bytes(damaged)), ("cut", original[:data_at + 50])):
            code, target = run(variant, name)
            expect_equal(1, code, f"exit code of a {name} package")
            check(not os.path.exists(target), f"no script run after a {name} package")
            expect_equal(temp_before, wine.temp_listing(), f"the temporary folder ({name})")

        # Without /S and without a desktop to show the dialog on, nothing is
        # installed, and the exit code says so: -1, which the shell sees as 255.
        target = r"C:\E2E_Headless_" + options.arch
        result = Wine(options).run([package, "/D=" + target], SILENT_TIMEOUT, check_rc=False)
        expect_equal(255, result.returncode, "exit code when the dialog cannot be shown")
        check(not os.path.exists(wine.unix_path(target)), "nothing installed without the dialog")

        # A script that does not parse (seven arguments): -1 as well.
        shutil.copy(package, os.path.join(folder, "unparsable.exe"))
        replace_script(os.path.join(folder, "unparsable.exe"), b'Foo (1, 2, 3, 4, 5, 6, 7);')
        expect_equal(255, wine.install(os.path.join(folder, "unparsable.exe"), ["/S"]),
                     "exit code of an unparsable script")


def step_faults(options):
    wine = Wine(options)
    folder = fresh_folder(options, "faults")
    package = make_package(
        options, folder, {"big.bin": bytes((i * 7 + i // 1000) & 0xFF for i in range(3000000)),
                          "after.txt": b"written after the big file\n"},
        r'Title ("Faults"); NumFiles (2); MakeDirectory ("%t");'
        r' MoveFile ("big.bin", "%t\big.bin"); MoveFile ("after.txt", "%t\after.txt");', 1)

    # A 2 MB drive for a 3 MB file: that step fails, leaving no partial file,
    # the other file and the log are written; exit code 2.
    with small_drive(wine, "t", 2048) as drive:
        expect_equal(2, wine.install(package, ["/S", r"/D=T:\App"]), "exit code on a full disk")
        expect_equal(["after.txt", "install.log"], sorted(os.listdir(os.path.join(drive, "App"))),
                     "a full disk keeps no partial file")
        log = read(os.path.join(drive, "App", "install.log"))
        check(b"big.bin" not in log and b"after.txt" in log, f"install.log: {log!r}")
    # A read-only drive: every step fails, nothing is written; exit code 2.
    with small_drive(wine, "r", 1024, read_only=True) as drive:
        expect_equal(2, wine.install(package, ["/S", r"/D=R:\App"]), "exit code, read-only")
        expect_equal([], os.listdir(drive), "nothing on a read-only drive")
    # %TEMP% on a drive too small for the extraction: exit code 1, and the
    # drive is as empty as before.
    with small_drive(wine, "u", 2048) as drive:
        os.makedirs(os.path.join(drive, "temp"))
        env = r"HKCU\Environment"
        saved = {name: wine.reg_query(env, name) for name in ("TMP", "TEMP")}
        for name in saved:
            wine.reg("add", env, "/v", name, "/d", r"U:\temp")
        try:
            expect_equal(1, wine.install(package, ["/S", r"/D=C:\E2E Faults\temp"]),
                         "exit code when %TEMP% is full")
        finally:
            for name, value in saved.items():
                wine.reg("add", env, "/v", name, "/t", value[0], "/d", value[1])
        expect_equal([], os.listdir(os.path.join(drive, "temp")), "%TEMP% after the failure")


# ---- the publisher's side: MoveFolder, UTF-8 ----

PUBLISHER_TITLE = "Café Tool 1.0"
PUBLISHER_SCRIPT = f"""# Written in UTF-8, as an editor on Linux saves it; no NumFiles.
Title ("{PUBLISHER_TITLE}");
RootDirectory ("\\Café Tool");
TargetDirectory ("%p%r");
MoveFolder ("tree", "%t");
""".replace("\n", "\r\n")

# Three levels, one name twice, an empty folder, a name beyond ASCII.
PUBLISHER_TREE = {
    "app.txt": b"the application\n",
    "café.txt": b"caf\xc3\xa9 in UTF-8 inside\n",
    "docs/readme.txt": b"first readme\n",
    "docs/guide/readme.txt": b"second readme, same name\n",
    "empty/": None,
}


def step_publisher(options):
    folder = fresh_folder(options, "publisher")
    for name, data in PUBLISHER_TREE.items():
        path = os.path.join(folder, "tree", name)
        if data is None:
            os.makedirs(path)
        else:
            write(path, data)
    write(os.path.join(folder, "install.txt"), PUBLISHER_SCRIPT.encode())
    package = os.path.join(folder, "setup.exe")
    pack(options, "build", "--werror", "-o", package, "--stub", options.stub,
         os.path.join(folder, "install.txt"), quiet=True)
    listing = pack(options, "check", package, quiet=True)
    check(b'MoveFile ("caf\xe9.txt", "%t\\caf\xe9.txt");' in listing,
          f"check shows no expanded MoveFile in code page 1252:\n{listing!r}")
    check(b"MoveFolder" not in listing, "the installer was given MoveFolder")

    with virtual_display() as display:
        wine = Wine(options, display)
        target = r"C:\E2E Publisher " + options.arch
        target_unix = wine.unix_path(target)
        shutil.rmtree(target_unix, ignore_errors=True)
        expect_equal(0, wine.install(package, target_arguments(target)),
                     "exit code of the MoveFolder install")
        expect_equal(PUBLISHER_TREE, installed_tree(target_unix), "the installed tree")
        log = read(os.path.join(target_unix, "install.log"))
        check(log.endswith(b'Title ("Caf\xe9 Tool 1.0");\n'), f"the title in install.log: {log!r}")

        if not display or not shutil.which("xdotool") or not windows_compiler(options):
            raise Skipped("the start status needs Xvfb, xdotool and mingw")
        expect_equal(f'This will install "{PUBLISHER_TITLE}"! Continue?',
                     start_status(options, wine, display, package, folder), "the start status")


def start_status(options, wine, display, package, folder):
    """The dialog's status line, read from the running dialog by a small Windows program."""
    reader = os.path.join(folder, "window_text.exe")
    subprocess.run([windows_compiler(options), "-O1", "-o", reader,
                    os.path.join(os.path.dirname(os.path.abspath(__file__)), "window_text.c")],
                   check=True, timeout=120)
    installer = wine.start([package])
    try:
        wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the dialog")
        status = wine.run([reader, "Vantorel", "1001"]).stdout.decode()
        press(display, "Escape")
        expect_equal(0, installer.wait(timeout=WINE_TIMEOUT), "exit code after Esc")
        return status
    finally:
        wine.kill()


# ---- an installation's whole life: default folder, reinstall, upgrade, uninstall ----

LIFE_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantorel Life"
# Version 2 drops a file and a shortcut of version 1's and adds a file.
# Uninstaller places uninstall.exe and writes the Add/Remove values.
LIFE_SCRIPT = r"""Title ("Life Tool {0}"); RootDirectory ("\Life Tool"); TargetDirectory ("%p%r");
MakeDirectory ("%t\docs"); Uninstaller ("Vantorel Life", "Vantorel Tests", "{0}.0");
Registry (1, "Software\Vantorel Life", "Version", "{0}"); MoveFile ("tool.exe", "%t\tool.exe");
MoveFile ("{0}.dat", "%t\{0}.dat"); StartMenu ("%t\tool.exe", "Life Tool", "Life Tool");
StartMenu ("%t\{0}.dat", "Life Tool", "Life {0}");"""


def disc_icon(path, rgb):
    """A 32x32 icon of a disc, as a drawing program writes it: a 32-bit bitmap."""
    pixels = b"".join(bytes((rgb[2], rgb[1], rgb[0], 255)) if (x - 15.5) ** 2 + (y - 15.5) ** 2
                      < 200 else bytes(4) for y in range(32) for x in range(32))
    dib = struct.pack("<IiiHHI20x", 40, 32, 64, 1, 32, 0) + pixels + bytes(128)
    write(path, struct.pack("<HHHBBBBHHII", 0, 1, 1, 32, 32, 0, 0, 1, 32, len(dib), 22) + dib)


def identity(options, wine, folder, program):
    """What Explorer shows of program: its version values and its icon, as Windows reads them."""
    probe = os.path.join(folder, "file_identity.exe")
    if not os.path.exists(probe):
        subprocess.run([windows_compiler(options), "-O1", "-o", probe,
                        os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                     "demo", "file_identity.c"), "-lversion", "-lgdi32"],
                       check=True, timeout=120)
    lines = wine.run([probe, program]).stdout.decode().splitlines()
    return dict(line.split("=", 1) for line in lines)


def step_life(options):
    folder = fresh_folder(options, "life")
    # Signed by build: uninstall.exe before it is archived, the installer after.
    key, certificate = signing_key(folder)
    signer = (f"osslsigncode sign -certs {shlex.quote(certificate)} -key {shlex.quote(key)} "
              "-n 'Life Tool' -in {in} -out {out} >/dev/null")
    if not windows_compiler(options):
        raise Skipped("reading the icon and version back needs mingw")
    icon = os.path.join(folder, "life.ico")
    disc_icon(icon, (0xFF, 0x80, 0x00))
    packages = [make_package(options, os.path.join(folder, v), {"tool.exe": b"MZ %s" % v.encode(),
                                                                 v + ".dat": v.encode()},
                             LIFE_SCRIPT.format(v), None, "--sign", signer, "--icon", icon,
                             "--arch", "x64" if options.arch == "x86-64" else "x86",
                             "--version-info", f"ProductVersion={v}.0") for v in "12"]
    for package in packages:
        verify_signature(package, certificate)
    wine = Wine(options)
    # The publisher's icon and version resource, in the installer and its uninstaller.
    shown = {"ProductName": "Life Tool 2", "ProductVersion": "2.0", "FileVersion": "2.0",
             "fixed": "2.0.0.0", "icon": "32x32 ff8000"}
    expect_equal(shown, identity(options, wine, folder, packages[1]), "the installer's identity")
    # Where a Windows 10/11 user's installer of each build puts the product.
    program_files = r"C:\Program Files (x86)" if options.arch == "i686" else r"C:\Program Files"
    expect_equal(program_files, wine.folder("ProgramFilesDir"), "%p on a 64-bit prefix")
    group = wine.unix_path(wine.folder("Programs") + r"\Life Tool")

    def run(target, program, args, code=0):
        expect_equal(code, wine.install(program, args), f"exit code of {program} {args}")
        return wine.unix_path(target)

    def uninstall_all(target, kept=()):
        # As Add/Remove Programs runs it quietly: the entry's own command.
        quiet = wine.reg_query("HKLM\\" + LIFE_KEY, "QuietUninstallString")
        expect_equal(("REG_SZ", target + r"\uninstall.exe /S"), quiet, "QuietUninstallString")
        target_unix = run(target, quiet[1][:-3], ["/S"])
        left = sorted(name for name in installed_tree(target_unix) if not
                      name.endswith((".dll", ".loaded", "fake.c", "fake.bin"))) \
            if os.path.isdir(target_unix) else []  # planted DLLs aside
        expect_equal(sorted(kept), left, f"what is left in {target}")
        check(not os.path.exists(group), "the Start-menu group stays")
        check(not any(map(wine.has_key, ("HKLM\\" + LIFE_KEY, r"HKCU\Software\Vantorel Life"))),
              "the product's registry keys stay")
        return target_unix

    # The default folder, the same version twice, then an upgrade that drops a
    # file and a shortcut: one uninstall takes all of it back but the user's file.
    target = program_files + r"\Life Tool"
    for left in (wine.unix_path(target), group):  # what a run before left, the user's file
        shutil.rmtree(left, ignore_errors=True)
    # The first install by an x86-64 stub that ASLR moved: it has nothing to relocate.
    moved = os.path.join(folder, "moved.exe")
    write(moved, rebased(read(packages[0]), (options.arch == "x86-64") << 32))
    for package in [moved] + packages:
        target_unix = run(target, package, ["/S"])
    # The upgrade's values, in the registry view of the installer's build.
    for name, value in (("DisplayName", "Life Tool 2"), ("Publisher", "Vantorel Tests"),
                        ("DisplayVersion", "2.0"), ("InstallLocation", target),
                        ("DisplayIcon", target + r"\uninstall.exe"), ("NoRepair", "0x1")):
        expect_equal(value, (wine.reg_query("HKLM\\" + LIFE_KEY, name) or ("", ""))[1], name)
    log = read(os.path.join(target_unix, "install.log")).decode("latin-1")
    check(log.index("Title") < log.index(f'{target}\\1.dat') and log.count("Title") == 1 and
          log.count(f'RemoveDirectory ("{target}");') == 1, f"install.log:\n{log}")
    verify_signature(os.path.join(target_unix, "uninstall.exe"), certificate)
    expect_equal(shown, identity(options, wine, folder, target + r"\uninstall.exe"),
                 "the uninstaller's identity")
    # Its Windows name beside planted DLLs, as Add/Remove Programs starts it,
    # moved by ASLR to another address: its relocations are complete.
    write(os.path.join(target_unix, "docs", "mine.txt"), b"the user's own")
    write(os.path.join(target_unix, "uninstall.exe"),
          rebased(read(os.path.join(target_unix, "uninstall.exe")), 0x10000000))
    plant(options, target_unix)
    uninstall_all(target, ["docs/mine.txt"])
    check_nothing_loaded(target_unix, "a silent uninstall")

    # Started from a Cyrillic folder into one with every character a cutting
    # reader trips on: a damaged log is refused whole, nothing changed.
    downloads = os.path.join(wine.unix_path("C:\\"), "Загрузки")
    os.makedirs(downloads, exist_ok=True)
    shutil.copy(packages[0], downloads)
    target = r"C:\Smith, J; C#Tools & (old)\Life Tool"
    target_unix = run(target, os.path.join(downloads, "setup.exe"), target_arguments(target))
    log_path = os.path.join(target_unix, "install.log")
    log, before = read(log_path), installed_tree(target_unix)
    for damaged in (log.replace(b"uninstall.exe", b"unin\0stall.exe", 1), b"Unknown ();\n" + log,
                    log.decode("latin-1").encode("utf-16")):
        write(log_path, damaged)
        run(target, target + r"\uninstall.exe", ["/S"], 1)
        expect_equal((damaged, before), (read(log_path), installed_tree(target_unix)),
                     "install.log and the product after a damaged log")
        check(os.path.isdir(group) and wine.has_key("HKLM\\" + LIFE_KEY), "group or key gone")
    write(log_path, log)
    uninstall_all(target)
    check(not os.path.exists(os.path.dirname(target_unix)), "the folder it made stays")

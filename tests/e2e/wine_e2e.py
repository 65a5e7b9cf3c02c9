#!/usr/bin/env python3
"""wine_e2e.py: end-to-end tests of the x86-64 installer stub under Wine.

Packages are made by vantorel-pack build from archives made by the arj archiver
out of files written here; the installer runs under wine in a private prefix
and is judged by what it leaves: files, registry values, shortcuts, install.log
and its exit code.

usage: wine_e2e.py --work DIR --pack VANTOREL_PACK --stub STUB STEP
  STEP: prefix    make the Wine prefix (once per test run)
        silent    a silent install of a full script
        dialog    the dialog under Xvfb, driven by keys (--screenshot FILE keeps a picture)
        failures  damaged archive, unparsable script, failed entry
Exit code 77 when wine, arj, the stub or (for dialog) Xvfb is missing: skipped.
"""
import argparse
import contextlib
import os
import shutil
import signal
import struct
import subprocess
import sys
import time

SKIP = 77
WINE_TIMEOUT = 120  # seconds for any single wine call
PACKAGE_OFFSET = 24576
APP_TEXT = b"".join(b"installed through the dialog, line %d\n" % i for i in range(400))


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def expect_equal(expected, actual, what):
    check(expected == actual, f"{what}:\n  expected {expected!r}\n  got      {actual!r}")


class Wine:
    def __init__(self, work, display=None):
        self.prefix = os.path.join(work, "prefix")
        self.env = dict(os.environ)
        # No Mono or Gecko prompts; no winemenubuilder, which would put menu
        # entries for the test's shortcuts into the host's desktop and, started
        # in the installer's current folder, keep that folder from being removed.
        self.env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        self.env.pop("DISPLAY", None)
        if display:
            self.env["DISPLAY"] = display

    def run(self, args, timeout=WINE_TIMEOUT, check_rc=True):
        try:
            result = subprocess.run(["wine"] + args, env=self.env, capture_output=True,
                                    timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise
        if check_rc and result.returncode != 0:
            raise Failure(f"wine {' '.join(args)} exited {result.returncode}: "
                          f"{result.stderr.decode(errors='replace')}")
        return result

    def start(self, args):
        return subprocess.Popen(["wine"] + args, env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def kill(self):
        """Ends what runs in the test's own prefix, all of it started by the test."""
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)

    def wait_server(self):
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=WINE_TIMEOUT)

    def unix_path(self, windows_path):
        result = subprocess.run(["winepath", "-u", windows_path], env=self.env,
                                capture_output=True, timeout=WINE_TIMEOUT, check=True)
        return result.stdout.decode().strip()

    def reg_query(self, key, name):
        """(type, data) of a value as `reg query` shows it, or None. The view is
        the 64-bit one that the x86-64 stub writes: with wine32 installed, `reg`
        would otherwise look at the 32-bit one."""
        args = ["reg", "query", key, "/reg:64"] + (["/ve"] if name == "" else ["/v", name])
        result = self.run(args, check_rc=False)
        if result.returncode != 0:
            return None
        for line in result.stdout.decode(errors="replace").splitlines():
            parts = line.strip().split("    ")
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                shown = "(Default)" if name == "" else name
                if parts[0] in (shown, "(Default)", ""):
                    return parts[1], parts[2] if len(parts) > 2 else ""
        return None

    def shell_folder(self, name):
        value = self.reg_query(
            r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders", name)
        check(value is not None, f"no shell folder {name} in the prefix")
        return value[1]


def arj(folder, archive, method, files, text=False):
    args = ["arj", "a", f"-m{method}", "-y"] + (["-t1"] if text else []) + [archive] + files
    subprocess.run(args, cwd=folder, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)


def build(options, out, script, inputs):
    result = subprocess.run([options.pack, "build", "-o", out, "--stub", options.stub, script]
                            + inputs, capture_output=True, timeout=60)
    check(result.returncode == 0, f"vantorel-pack build failed: {result.stderr.decode()}")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def fresh_folder(work, name):
    folder = os.path.join(work, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def lnk_fields(path):
    result = subprocess.run(["lnkinfo", path], capture_output=True, timeout=60)
    check(result.returncode == 0, f"lnkinfo cannot read {path}")
    fields = {}
    for line in result.stdout.decode(errors="replace").splitlines():
        if ":" in line:
            key, value = line.split(":", 1)
            fields.setdefault(key.strip(), value.strip())
    return fields


def temp_leftovers(wine):
    temp = wine.unix_path(r"C:\users\%s\Temp" % wine_user(wine))
    if not os.path.isdir(temp):
        return []
    return [n for n in os.listdir(temp) if n.startswith("vantorel-")]


def wine_user(wine):
    return wine.shell_folder("Desktop").split("\\")[2]


def target_arguments(target):
    """/S /D=TARGET as typed at a prompt: wine would quote an argument with blanks,
    so the words go separately and the command line holds them as typed."""
    return ["/S"] + ("/D=" + target).split(" ")


# ---- steps ----

def step_prefix(options):
    wine = Wine(options.work)
    shutil.rmtree(wine.prefix, ignore_errors=True)
    subprocess.run(["wineboot", "-i"], env=wine.env, timeout=600, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wine.wait_server()
    # Without a window manager Wine draws the caption itself and keeps the
    # keyboard focus on the active window.
    wine.run(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"])
    wine.wait_server()


FULL_SCRIPT = r"""# Every command of the script language, as a publisher writes it.
Title ("E2E Tool 1.0");
NumFiles (4);
RootDirectory ("\E2E Tool");
TargetDirectory ("%p%r");
Registry (2, "Software\Vantorel E2E", "InstallPath", "%t");
Registry (1, "Software\Vantorel E2E", "", "default value");
RegistryInt (2, "Software\Vantorel E2E", "Answer", 42);
RegistryInt (1, "Software\Vantorel E2E", "Minus", -1);
MakeDirectory ("%t\docs");
MoveFile ("readme.txt", "%t\docs\readme.txt");
MoveFile ("tool.exe", "%t\tool.exe");
MoveFile ("data.bin", "%t\data.bin");
Ask ("Create shortcuts?");
    StartMenu ("%t\tool.exe", "E2E Tool", "E2E Tool");
    DesktopIcon ("%t\docs\readme.txt", "E2E Readme");
EndAsk ();
Message ("Installed.");
MoveFile ("notes.txt", "%t\notes.txt");
Unknown ("passed over");
""".replace("\n", "\r\n")


def full_package(options, folder):
    """The package of FULL_SCRIPT, with each entry under another method; the files."""
    src = os.path.join(folder, "src")
    files = {
        "readme.txt": b"Read me.\nSecond line.\n",
        "tool.exe": b"MZ" + bytes((i * 31 + i // 7) & 0xFF for i in range(50000)),
        "data.bin": b"".join(struct.pack("<I", i * 2654435761 & 0xFFFFFFFF) for i in range(20000)),
        "notes.txt": b"",
    }
    for name, data in files.items():
        write(os.path.join(src, name), data)
    arj(src, "files.arj", 2, ["readme.txt"], text=True)
    arj(src, "files.arj", 1, ["tool.exe"])
    arj(src, "files.arj", 4, ["data.bin"])
    arj(src, "files.arj", 0, ["notes.txt"])
    write(os.path.join(folder, "install.txt"), FULL_SCRIPT.encode())
    # A folder with a blank: the installer's own name then comes quoted on its
    # command line, in front of the arguments.
    package = os.path.join(folder, "setup folder", "setup.exe")
    os.makedirs(os.path.dirname(package))
    build(options, package, os.path.join(folder, "install.txt"), [os.path.join(src, "files.arj")])
    return package, files


def expected_log(target, programs, desktop):
    key = r"Software\Vantorel E2E"
    lines = [
        'Title ("E2E Tool 1.0");',
        f'RemoveRegistry (2, "{key}", "InstallPath");',
        f'RemoveRegistry (1, "{key}", "");',
        f'RemoveRegistry (2, "{key}", "Answer");',
        f'RemoveRegistry (1, "{key}", "Minus");',
        f'RemoveDirectory ("{target}\\docs");',
        f'DeleteFile ("{target}\\docs\\readme.txt");',
        f'DeleteFile ("{target}\\tool.exe");',
        f'DeleteFile ("{target}\\data.bin");',
        f'RemoveDirectory ("{programs}\\E2E Tool");',
        f'DeleteFile ("{programs}\\E2E Tool\\E2E Tool.lnk");',
        f'DeleteFile ("{desktop}\\E2E Readme.lnk");',
        f'DeleteFile ("{target}\\notes.txt");',
    ]
    return "".join(line + "\n" for line in reversed(lines)).encode()


def step_silent(options):
    with virtual_display() as display:
        silent_install(options, Wine(options.work, display))


# Under a display a message box would wait for a key: the short timeout turns
# a box that silent mode should not show into a failure.
SILENT_TIMEOUT = 60


def silent_install(options, wine):
    folder = fresh_folder(options.work, "silent")
    package, files = full_package(options, folder)
    target = r"C:\E2E Target\with spaces"
    target_unix = wine.unix_path(target)
    shutil.rmtree(wine.unix_path("C:\\E2E Target"), ignore_errors=True)
    programs, desktop = wine.shell_folder("Programs"), wine.shell_folder("Desktop")
    for link in (programs + r"\E2E Tool\E2E Tool.lnk", desktop + r"\E2E Readme.lnk"):
        if os.path.exists(wine.unix_path(link)):
            os.remove(wine.unix_path(link))
    for root in ("HKLM", "HKCU"):
        wine.run(["reg", "delete", root + r"\Software\Vantorel E2E", "/reg:64", "/f"],
                 check_rc=False)

    folders_before = set(temp_leftovers(wine))
    result = wine.run([package] + target_arguments(target), SILENT_TIMEOUT, check_rc=False)
    wine.wait_server()
    expect_equal(0, result.returncode, "exit code of a silent install")

    # Files: binary entries byte for byte, the text entry with CR LF line ends.
    installed = {
        "docs/readme.txt": files["readme.txt"].replace(b"\n", b"\r\n"),
        "tool.exe": files["tool.exe"],
        "data.bin": files["data.bin"],
        "notes.txt": files["notes.txt"],
    }
    for name, data in installed.items():
        path = os.path.join(target_unix, name)
        check(os.path.isfile(path), f"{name} not installed")
        expect_equal(data, read(path), f"content of {name}")
    expect_equal(sorted(["docs", "tool.exe", "data.bin", "notes.txt", "install.log"]),
                 sorted(os.listdir(target_unix)), "the target folder")
    expect_equal(set(), set(temp_leftovers(wine)) - folders_before,
                 "extraction folders left in Temp")

    # Registry values and their types.
    key = r"\Software\Vantorel E2E"
    expect_equal(("REG_SZ", target), wine.reg_query("HKLM" + key, "InstallPath"), "InstallPath")
    expect_equal(("REG_SZ", "default value"), wine.reg_query("HKCU" + key, ""), "default value")
    expect_equal(("REG_DWORD", "0x2a"), wine.reg_query("HKLM" + key, "Answer"), "Answer")
    expect_equal(("REG_DWORD", "0xffffffff"), wine.reg_query("HKCU" + key, "Minus"), "Minus")

    # Shortcuts, read back from the files.
    for link, link_target, description in (
            (programs + r"\E2E Tool\E2E Tool.lnk", target + r"\tool.exe", "E2E Tool"),
            (desktop + r"\E2E Readme.lnk", target + r"\docs\readme.txt", "E2E Readme")):
        fields = lnk_fields(wine.unix_path(link))
        expect_equal(link_target, fields.get("Local path"), f"target of {link}")
        expect_equal(description, fields.get("Description"), f"description of {link}")

    expect_equal(expected_log(target, programs, desktop),
                 read(os.path.join(target_unix, "install.log")), "install.log")


def free_display():
    for number in range(90, 140):
        if not os.path.exists(f"/tmp/.X{number}-lock") and \
                not os.path.exists(f"/tmp/.X11-unix/X{number}"):
            return f":{number}"
    raise Failure("no free X display number")


@contextlib.contextmanager
def virtual_display():
    """An Xvfb display of our own for the duration, or None without Xvfb."""
    if not shutil.which("Xvfb"):
        yield None
        return
    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{display[1:]}"), "Xvfb", 30)
        yield display
    finally:
        xvfb.send_signal(signal.SIGTERM)
        xvfb.wait(timeout=30)


def windows_named(display, name):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{name}$"],
                            env=dict(os.environ, DISPLAY=display), capture_output=True, timeout=30)
    return result.stdout.split()


def wait_for(condition, what, seconds=60):
    end = time.time() + seconds
    while time.time() < end:
        if condition():
            return
        time.sleep(0.3)
    raise Failure(f"timed out waiting for {what}")


def screenshot(display, window, path):
    """The window as it is on the screen, cut out of a picture of the whole screen."""
    env = dict(os.environ, DISPLAY=display)
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=env,
                              capture_output=True, check=True, timeout=30).stdout.decode()
    g = dict(line.split("=", 1) for line in geometry.split())
    crop = f"{g['WIDTH']}x{g['HEIGHT']}+{g['X']}+{g['Y']}"
    subprocess.run(["import", "-window", "root", "-crop", crop, "+repage", path], env=env,
                   check=True, timeout=60)


def press(display, key):
    time.sleep(0.7)  # let the window settle before the key
    subprocess.run(["xdotool", "key", key], env=dict(os.environ, DISPLAY=display),
                   check=True, timeout=30)


def step_dialog(options):
    if not shutil.which("Xvfb") or not shutil.which("xdotool"):
        return SKIP
    folder = fresh_folder(options.work, "dialog")
    src = os.path.join(folder, "src")
    # This package's archive is the one vantorel-pack writes itself from files,
    # compressed by its own encoder.
    write(os.path.join(src, "app.txt"), APP_TEXT)
    script = (r'Title ("Vantorel Demo 1.0"); NumFiles (1); RootDirectory ("\Dialog Test");'
              r' TargetDirectory ("%p%r"); MakeDirectory ("%t");'
              r' Ask ("Copy the application?"); MoveFile ("app.txt", "%t\app.txt"); EndAsk ();')
    write(os.path.join(folder, "install.txt"), script.encode())
    package = os.path.join(folder, "setup.exe")
    build(options, package, os.path.join(folder, "install.txt"), [os.path.join(src, "app.txt")])
    data = read(package)
    archive = PACKAGE_OFFSET + 8 + struct.unpack_from("<I", data, PACKAGE_OFFSET)[0]
    entry = archive + 10 + struct.unpack_from("<H", data, archive + 2)[0]
    expect_equal(1, data[entry + 4 + 5], "the method of the entry that our encoder wrote")

    with virtual_display() as display:
        wine = Wine(options.work, display)
        target = wine.unix_path(wine.reg_query(
            r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion", "ProgramFilesDir")[1]
            + r"\Dialog Test")
        shutil.rmtree(target, ignore_errors=True)
        try:
            # Esc before installing ends the run: nothing installed, exit code 0.
            installer = wine.start([package])
            wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the dialog")
            press(display, "Escape")
            expect_equal(0, installer.wait(timeout=WINE_TIMEOUT), "exit code after Esc")
            check(not os.path.exists(target), "nothing is installed after Esc")

            installer = wine.start([package])
            wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the dialog")
            time.sleep(1.5)
            if options.screenshot:
                screenshot(display, windows_named(display, "Vantorel")[0], options.screenshot)
            check(not os.path.exists(target), "nothing is installed before Install")
            press(display, "Return")  # Install: the button of the Enter key
            wait_for(lambda: len(windows_named(display, "Vantorel")) == 2, "the question box")
            press(display, "Return")  # Yes, the question box's first button
            wait_for(lambda: os.path.exists(os.path.join(target, "install.log")), "install.log")
            wait_for(lambda: len(windows_named(display, "Vantorel")) == 1,
                     "the question to close")
            check(installer.poll() is None, "the dialog stays open after the installation")
            press(display, "Return")  # Finish, which now has the focus
            expect_equal(0, installer.wait(timeout=WINE_TIMEOUT), "exit code after Finish")
            expect_equal(APP_TEXT, read(os.path.join(target, "app.txt")), "the installed file")

            browsed_install(wine, display, package)
        finally:
            wine.kill()


def browsed_install(wine, display, package):
    """">>" chooses drive C:, then an item without a folder (the Control Panel),
    which must leave the target as it was; Install then installs below C:."""
    target = wine.unix_path("C:\\Dialog Test")
    shutil.rmtree(target, ignore_errors=True)
    installer = wine.start([package])
    wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the dialog")
    for _ in range(4):
        press(display, "Tab")  # Install, About, Cancel, the edit field, ">>"
    # The folder box lists My Computer, then (C:), (Z:) and the Control Panel;
    # it opens with the focus on OK, two Tabs from the tree.
    for downs in (1, 3):
        press(display, "space")
        wait_for(lambda: windows_named(display, "Browse for Folder"), "the folder box")
        for key in ["Tab", "Tab", "Home"] + ["Down"] * downs + ["Return"]:
            press(display, key)
        wait_for(lambda: not windows_named(display, "Browse for Folder"), "the box to close")
    press(display, "Tab")  # from ">>" round to Install
    press(display, "Return")
    wait_for(lambda: len(windows_named(display, "Vantorel")) == 2, "the question box")
    press(display, "Return")
    wait_for(lambda: os.path.exists(os.path.join(target, "install.log")), "install.log")
    wait_for(lambda: len(windows_named(display, "Vantorel")) == 1, "the question to close")
    press(display, "Return")
    expect_equal(0, installer.wait(timeout=WINE_TIMEOUT), "exit code after a browsed install")
    expect_equal(APP_TEXT, read(os.path.join(target, "app.txt")),
                 "the file installed in the browsed folder")


def replace_script(package, script):
    """The package with another script: the tool refuses to build with a bad one."""
    data = read(package)
    length = struct.unpack_from("<I", data, PACKAGE_OFFSET)[0]
    rest = data[PACKAGE_OFFSET + 4 + length:]
    write(package, data[:PACKAGE_OFFSET] + struct.pack("<I", len(script)) + script + rest)


def step_failures(options):
    with virtual_display() as display:
        failures(options, Wine(options.work, display))


def failures(options, wine):
    folder = fresh_folder(options.work, "failures")
    src = os.path.join(folder, "src")
    good = b"good file " * 100
    write(os.path.join(src, "a.bin"), good)
    write(os.path.join(src, "b.bin"), b"second file")
    arj(src, "files.arj", 0, ["a.bin", "b.bin"])
    script = (r'Title ("Failures"); NumFiles (2); MakeDirectory ("%t");'
              r' MoveFile ("a.bin", "%t\a.bin"); MoveFile ("b.bin", "%t\b.bin");').encode()
    write(os.path.join(folder, "install.txt"), script)
    package = os.path.join(folder, "setup.exe")
    build(options, package, os.path.join(folder, "install.txt"), [os.path.join(src, "files.arj")])
    archive = read(os.path.join(src, "files.arj"))
    archive_at = len(read(package)) - len(archive)
    data_at = archive_at + archive.index(good)
    entry_header_at = archive_at + archive.index(b"\x60\xea", 4)

    def run(variant, name, target):
        shutil.rmtree(wine.unix_path(target), ignore_errors=True)
        path = os.path.join(folder, name)
        write(path, variant)
        result = wine.run([path] + target_arguments(target), SILENT_TIMEOUT, check_rc=False)
        wine.wait_server()
        return result.returncode

    original = read(package)

    # A data byte changed: the entry fails its CRC, stays on disk, and the
    # run goes on; silent mode reports it with exit code 2.
    damaged = bytearray(original)
    damaged[data_at + 5] ^= 0xFF
    target = r"C:\E2E Failures\crc"
    expect_equal(2, run(bytes(damaged), "crc.exe", target), "exit code with a failed entry")
    expect_equal(b"second file", read(wine.unix_path(target + r"\b.bin")), "the good entry")
    check(os.path.exists(wine.unix_path(target + r"\install.log")), "the script still ran")

    # A header byte changed: a damaged archive ends the run with exit code 1,
    # before the script runs.
    damaged = bytearray(original)
    damaged[entry_header_at + 12] ^= 0xFF
    target = r"C:\E2E Failures\header"
    expect_equal(1, run(bytes(damaged), "header.exe", target), "exit code of a damaged archive")
    check(not os.path.exists(wine.unix_path(target)), "no script run after a damaged archive")

    # The archive cut short: exit code 1 as well.
    target = r"C:\E2E Failures\cut"
    expect_equal(1, run(original[:data_at + 50], "cut.exe", target), "exit code of a cut archive")

    # Without /S and without a desktop to show the dialog on, nothing is
    # installed, and the exit code says so: -1, which the shell sees as 255.
    target = r"C:\E2E_Headless"
    result = Wine(options.work).run([package, "/D=" + target], SILENT_TIMEOUT, check_rc=False)
    expect_equal(255, result.returncode, "exit code when the dialog cannot be shown")
    check(not os.path.exists(wine.unix_path(target)), "nothing installed without the dialog")

    # A script that does not parse (seven arguments): -1, which the shell sees as 255.
    shutil.copy(package, os.path.join(folder, "unparsable.exe"))
    replace_script(os.path.join(folder, "unparsable.exe"), b'Foo (1, 2, 3, 4, 5, 6, 7);')
    result = wine.run([os.path.join(folder, "unparsable.exe"), "/S"], SILENT_TIMEOUT,
                      check_rc=False)
    expect_equal(255, result.returncode, "exit code of an unparsable script")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--work", required=True)
    parser.add_argument("--pack", required=True)
    parser.add_argument("--stub", required=True)
    parser.add_argument("--screenshot")
    parser.add_argument("step", choices=["prefix", "silent", "dialog", "failures"])
    options = parser.parse_args()
    options.work = os.path.abspath(options.work)
    missing = [tool for tool in ("wine", "wineboot", "wineserver", "winepath", "arj", "lnkinfo")
               if not shutil.which(tool)]
    if missing or not os.path.isfile(options.stub):
        print(f"skipped: missing {', '.join(missing) or options.stub}")
        return SKIP
    os.makedirs(options.work, exist_ok=True)
    step = {"prefix": step_prefix, "silent": step_silent, "dialog": step_dialog,
            "failures": step_failures}[options.step]
    started = time.time()
    try:
        result = step(options)
    except (Failure, subprocess.SubprocessError, OSError) as error:
        print(f"FAILED {options.step}: {error}")
        return 1
    if result == SKIP:
        print(f"skipped {options.step}: Xvfb or xdotool missing")
        return SKIP
    print(f"passed {options.step} in {time.time() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""Wine for the tests: the prefix, its programs, registry, folders and drives."""
import contextlib
import os
import subprocess

from checks import Failure, Skipped, check
from planting import PLANTED

WINE_TIMEOUT = 120  # seconds for any single wine call
# Under a display a message box would wait for a key: the short timeout turns
# a box that silent mode should not show into a failure.
SILENT_TIMEOUT = 60


class Wine:
    def __init__(self, options, display=None):
        self.prefix = os.path.join(options.work, "prefix")
        # The registry view of the stub's own kind of process.
        self.view = "/reg:32" if options.arch == "i686" else "/reg:64"
        self.env = dict(os.environ)
        # No Mono or Gecko prompts; no winemenubuilder (it would put the test's
        # shortcuts on the host's desktop and hold the installer's current folder).
        # DLLs in the program's folder preferred, as Windows does (see plant).
        self.env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;" +
                        ",".join(PLANTED) + "=n,b")
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

    def install(self, package, args):
        """Runs an installer silently to its end; gives its exit code."""
        result = self.run([package] + args, SILENT_TIMEOUT, check_rc=False)
        self.wait_server()
        return result.returncode

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
        """(type, data) of a value as `reg query` shows it, or None."""
        args = ["reg", "query", key] + (["/ve"] if name == "" else ["/v", name]) + [self.view]
        result = self.run(args, check_rc=False)
        if result.returncode != 0:
            return None
        for line in result.stdout.decode(errors="replace").splitlines():
            parts = line.strip().split("    ")
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                return parts[1], parts[2] if len(parts) > 2 else ""
        return None

    def has_key(self, key):
        return self.run(["reg", "query", key, self.view], check_rc=False).returncode == 0

    def reg(self, *args):
        self.run(["reg"] + list(args) + [self.view, "/f"], check_rc=False)

    def folder(self, name):
        """A shell folder or the program-files folder, as the installer reads them."""
        key = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
        if name == "ProgramFilesDir":
            key = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion"
        value = self.reg_query(key, name)
        check(value is not None, f"no folder {name} in the prefix")
        return value[1]

    def temp_listing(self):
        """Everything below the user's temporary folder."""
        temp = self.unix_path(r"C:\users\%s\Temp" % self.folder("Desktop").split("\\")[2])
        check(os.path.isdir(temp), f"no temporary folder {temp}")
        return sorted(os.path.relpath(os.path.join(d, n), temp)
                      for d, dirs, files in os.walk(temp) for n in dirs + files)


def target_arguments(target):
    """/S /D=TARGET as typed at a prompt: wine would quote an argument with blanks,
    so the words go separately and the command line holds them as typed."""
    return ["/S"] + ("/D=" + target).split(" ")


@contextlib.contextmanager
def small_drive(wine, letter, kilobytes, read_only=False):
    """A tmpfs of that size mapped as a Wine drive; gives its Unix path."""
    mount = os.path.join(os.path.dirname(wine.prefix), f"drive-{letter}")
    os.makedirs(mount, exist_ok=True)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={kilobytes}k", "tmpfs", mount],
                      capture_output=True).returncode != 0:
        raise Skipped("cannot mount a tmpfs (not root?)")
    link = os.path.join(wine.prefix, "dosdevices", f"{letter}:")
    try:
        with contextlib.suppress(FileNotFoundError):
            os.remove(link)
        os.symlink(mount, link)
        if read_only:
            subprocess.run(["mount", "-o", "remount,ro", mount], check=True)
        yield mount
    finally:
        wine.wait_server()
        with contextlib.suppress(FileNotFoundError):
            os.remove(link)
        subprocess.run(["umount", mount], check=True)

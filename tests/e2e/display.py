"""The tests' own X display: Xvfb, windows and keys by xdotool, screenshots, waiting."""
import contextlib
import os
import shutil
import signal
import subprocess
import time

from checks import Failure, check


@contextlib.contextmanager
def virtual_display():
    """An Xvfb display of our own for the duration, or None without Xvfb."""
    if not shutil.which("Xvfb"):
        yield None
        return
    ready, told = os.pipe()  # Xvfb writes its display number there once it listens
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(told), "-screen", "0", "800x600x24",
                             "-nolisten", "tcp"], pass_fds=[told], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(told)
    try:
        with os.fdopen(ready) as pipe:
            number = pipe.readline().strip()
        check(number.isdigit(), "Xvfb did not start")
        yield ":" + number
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
    """The window as it is on the screen, cut out of a picture of the whole screen;
    gives its width and height."""
    env = dict(os.environ, DISPLAY=display)
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=env,
                              capture_output=True, check=True, timeout=30).stdout.decode()
    g = dict(line.split("=", 1) for line in geometry.split())
    crop = f"{g['WIDTH']}x{g['HEIGHT']}+{g['X']}+{g['Y']}"
    subprocess.run(["import", "-window", "root", "-crop", crop, "+repage", path], env=env,
                   check=True, timeout=60)
    return int(g["WIDTH"]), int(g["HEIGHT"])


def press(display, key):
    time.sleep(0.7)  # let the window settle before the key
    subprocess.run(["xdotool", "key", key], env=dict(os.environ, DISPLAY=display),
                   check=True, timeout=30)

#!/usr/bin/env python3
"""wine_e2e.py: end-to-end tests of the installer stubs under Wine.

Both stubs run in one private 64-bit prefix, the i686 one under WoW64 as on
Windows 10 and 11, on packages that vantorel-pack builds from files written here. Each
run is judged by what it leaves: files and their times, registry values,
shortcuts, install.log, the temporary folder, planted DLLs, the exit code.

The steps are the step_ functions of steps.py, prefix first; --list-steps
prints them. faults mounts tmpfs drives and needs root. Exit code 77 when a
tool the step needs is missing: skipped.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

import steps
from checks import Failure, Skipped

SKIP = 77
STEPS = [name[len("step_"):] for name in vars(steps) if name.startswith("step_")]


def main():
    if sys.argv[1:] == ["--list-steps"]:  # for CMake, without the other arguments
        print(" ".join(STEPS))
        return 0
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--work", required=True)
    parser.add_argument("--pack", required=True)
    parser.add_argument("--stub", required=True)
    parser.add_argument("--arch", choices=["i686", "x86-64"], required=True)
    parser.add_argument("--screenshot")
    parser.add_argument("step", choices=STEPS)
    options = parser.parse_args()
    options.work = os.path.abspath(options.work)
    missing = [tool for tool in ("wine", "wineboot", "wineserver", "winepath", "arj", "lnkinfo")
               if not shutil.which(tool)]
    if missing or not os.path.isfile(options.stub):
        print(f"skipped: missing {', '.join(missing) or options.stub}")
        return SKIP
    os.makedirs(options.work, exist_ok=True)
    started = time.time()
    try:
        getattr(steps, "step_" + options.step)(options)
    except Skipped as reason:
        print(f"skipped {options.step}: {reason}")
        return SKIP
    except (Failure, subprocess.SubprocessError, OSError) as error:
        print(f"FAILED {options.step} ({options.arch}): {error}")
        return 1
    print(f"passed {options.step} ({options.arch}) in {time.time() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""signing.py: an installer signed with osslsigncode verifies and installs as before.

Signing rewrites two header fields of the stub (checksum, certificate table)
and appends the certificate table behind the archive, so the package at
offset 24576 must stay as it was, and the signed installer must install.

usage: signing.py --work DIR --pack VANTOREL_PACK --stub STUB
Exit code 77 when wine, arj, osslsigncode, openssl or the stub is missing: skipped.
"""
import argparse
import os
import shutil
import subprocess
import sys

from wine_e2e import (PACKAGE_OFFSET, SKIP, WINE_TIMEOUT, Failure, Wine, check, expect_equal,
                      expected_log, fresh_folder, full_package, read, target_arguments,
                      virtual_display)


def sign(folder, package):
    key, certificate = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Vantorel test publisher", "-keyout", key, "-out", certificate],
                   check=True, capture_output=True, timeout=120)
    signed = os.path.join(folder, "signed.exe")
    subprocess.run(["osslsigncode", "sign", "-certs", certificate, "-key", key, "-n", "E2E Tool",
                    "-in", package, "-out", signed], check=True, capture_output=True, timeout=120)
    verify = subprocess.run(["osslsigncode", "verify", "-CAfile", certificate, signed],
                            capture_output=True, timeout=120)
    check(verify.returncode == 0, f"osslsigncode verify: {verify.stdout.decode()[-400:]}")
    return signed


def run(options):
    folder = fresh_folder(options.work, "signing")
    package, files = full_package(options, folder)
    signed = sign(folder, package)
    unsigned = read(package)
    expect_equal(unsigned[PACKAGE_OFFSET:], read(signed)[PACKAGE_OFFSET:len(unsigned)],
                 "the package behind the stub after signing")
    with virtual_display() as display:
        wine = Wine(options.work, display)
        target = r"C:\Signed Tool"
        shutil.rmtree(wine.unix_path(target), ignore_errors=True)
        result = wine.run([signed] + target_arguments(target), WINE_TIMEOUT, check_rc=False)
        wine.wait_server()
        expect_equal(0, result.returncode, "exit code of the signed installer")
        installed = wine.unix_path(target)
        expect_equal(files["data.bin"], read(os.path.join(installed, "data.bin")), "data.bin")
        expect_equal(expected_log(target, wine.shell_folder("Programs"),
                                  wine.shell_folder("Desktop")),
                     read(os.path.join(installed, "install.log")), "install.log")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--work", "--pack", "--stub"):
        parser.add_argument(option, required=True)
    options = parser.parse_args()
    options.work = os.path.abspath(options.work)
    missing = [tool for tool in ("wine", "wineserver", "winepath", "arj", "osslsigncode", "openssl")
               if not shutil.which(tool)]
    if missing or not os.path.isfile(options.stub):
        print(f"skipped: missing {', '.join(missing) or options.stub}")
        return SKIP
    try:
        run(options)
    except (Failure, subprocess.SubprocessError, OSError) as error:
        print(f"FAILED {options.stub}: {error}")
        return 1
    print(f"passed {options.stub}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

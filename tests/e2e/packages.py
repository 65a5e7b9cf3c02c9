"""Packages for the tests: archives by arj, installers by vantorel-pack, signing, files."""
import os
import shutil
import struct
import subprocess

from checks import Skipped, check, expect_equal
from stub_image_test import Image, pe_checksum, relocations

PACKAGE_OFFSET = 24576
SEAL_MAGIC = b"Vantorel.SL\0"  # the seal: then the package's length and CRC-32


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def fresh_folder(options, name):
    folder = os.path.join(options.work, f"{name}-{options.arch}")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def arj(folder, archive, method, files, text=False):
    args = ["arj", "a", f"-m{method}", "-y"] + (["-t1"] if text else []) + [archive] + files
    subprocess.run(args, cwd=folder, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)


def pack(options, *args, quiet=False):
    """vantorel-pack's output; quiet: it must not warn either."""
    result = subprocess.run([options.pack] + list(args), capture_output=True, timeout=120)
    check(result.returncode == 0, f"vantorel-pack {' '.join(args)}: {result.stderr.decode()}")
    check(not quiet or result.stderr == b"",
          f"vantorel-pack {args[0]} warns: {result.stderr.decode()}")
    return result.stdout


def build(options, out, script, inputs, *switches):
    os.makedirs(os.path.dirname(out), exist_ok=True)
    pack(options, "build", "-o", out, "--stub", options.stub, script, *switches, *inputs)


def make_package(options, folder, files, script, method=None, *switches):
    """folder/setup.exe of the files (written to folder/src) and the script,
    archived by the arj archiver with method, or by vantorel-pack itself."""
    src = os.path.join(folder, "src")
    for name, data in files.items():
        write(os.path.join(src, name), data)
    write(os.path.join(folder, "install.txt"), script.encode())
    inputs = [os.path.join(src, name) for name in files]
    if method is not None:
        arj(src, "files.arj", method, list(files))
        inputs = [os.path.join(src, "files.arj")]
    package = os.path.join(folder, "setup.exe")
    build(options, package, os.path.join(folder, "install.txt"), inputs, *switches)
    return package


def rebased(data, delta):
    """The image moved up by delta as the loader moves it: its relocations applied
    and its preferred address changed, where Wine then keeps it."""
    out, image = bytearray(data), Image(data)
    width, base_at = (8, 48) if image.wide else (4, 52)  # ImageBase, behind the PE signature
    for at in [image.pe + base_at] + [image.offset(rva) for rva in relocations(data)]:
        value = int.from_bytes(out[at:at + width], "little") + delta
        out[at:at + width] = value.to_bytes(width, "little")
    return bytes(out)


def unseal(data):
    """The installer as another tool would put it together: without the seal
    that build writes into the image, so that its package is not checked."""
    at = data.index(SEAL_MAGIC) + len(SEAL_MAGIC)
    return data[:at] + bytes(8) + data[at + 8:]


def replace_script(package, script):
    """The package with another script, unsealed: the tool refuses to build
    with a bad one."""
    data = unseal(read(package))
    length = struct.unpack_from("<I", data, PACKAGE_OFFSET)[0]
    rest = data[PACKAGE_OFFSET + 4 + length:]
    write(package, data[:PACKAGE_OFFSET] + struct.pack("<I", len(script)) + script + rest)


def uninstaller(options):
    path = os.path.join(os.path.dirname(options.stub), "uninstall.exe")
    if not os.path.isfile(path):
        raise Skipped(f"{path} not built")
    return path


def signing_key(folder):
    """A self-signed publisher's key and certificate, made in folder."""
    key, certificate = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Vantorel test publisher", "-keyout", key, "-out", certificate],
                   check=True, capture_output=True, timeout=120)
    return key, certificate


def verify_signature(path, certificate):
    verify = subprocess.run(["osslsigncode", "verify", "-CAfile", certificate, path],
                            capture_output=True, timeout=120)
    check(verify.returncode == 0, f"osslsigncode verify {path}: {verify.stdout.decode()[-400:]}")


def sign(folder, package):
    key, certificate = signing_key(folder)
    signed = os.path.join(folder, "signed.exe")
    subprocess.run(["osslsigncode", "sign", "-certs", certificate, "-key", key, "-n", "E2E Tool",
                    "-in", package, "-out", signed], check=True, capture_output=True, timeout=120)
    verify_signature(signed, certificate)
    # Signing changes two header fields of the stub (checksum, certificate
    # table) and appends the certificate table behind the archive.
    unsigned = read(package)
    expect_equal(unsigned[PACKAGE_OFFSET:], read(signed)[PACKAGE_OFFSET:len(unsigned)],
                 "the package behind the stub after signing")
    # The CheckSum that build wrote, and the one osslsigncode wrote over it.
    for name, data in (("built", unsigned), ("signed", read(signed))):
        stored, computed = pe_checksum(data)
        expect_equal(computed, stored, f"the CheckSum of the {name} installer")
    return signed


def lnk_fields(path):
    result = subprocess.run(["lnkinfo", path], capture_output=True, timeout=60)
    check(result.returncode == 0, f"lnkinfo cannot read {path}")
    pairs = [line.split(":", 1) for line in result.stdout.decode(errors="replace").splitlines()
             if ":" in line]
    return {key.strip(): value.strip() for key, value in reversed(pairs)}  # a key's first value


def installed_tree(root):
    """{relative path: bytes, or None for a folder} below root, install.log aside."""
    found = {}
    for folder, folders, files in os.walk(root):
        for path in (os.path.join(folder, name) for name in folders + files):
            name = os.path.relpath(path, root)
            if os.path.isfile(path) and name != "install.log":
                found[name] = read(path)
            elif os.path.isdir(path) and not os.listdir(path):
                found[name + "/"] = None
    return found

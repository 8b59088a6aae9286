#!/usr/bin/env python3
"""Writes the install benchmark's payload and the two installer scripts that install it.

Usage: make-setup-payload.py OUT_DIR
OUT_DIR/payload/   2000 small files (20 folders of 100, 1 to 8 KB) and 20 files of 5 MB
OUT_DIR/setup.ini  MewlarkSetup's script for the payload
OUT_DIR/bench.nsi  the NSIS script for the same payload (from setup_bench.nsi.in)
The contents are fixed (seeded), so every run installs the same bytes; OUT_DIR/payload.stamp
marks a complete payload.
"""
import os
import random
import sys

SMALL_FOLDERS = 20
SMALL_PER_FOLDER = 100
BIG_FILES = 20
BIG_SIZE = 5 * 1024 * 1024


def payload_files():
    """(folder, name, size) of every file, small ones first."""
    sizes = random.Random(1106)
    for folder in range(SMALL_FOLDERS):
        for number in range(SMALL_PER_FOLDER):
            yield f"small{folder:02}", f"f{number:03}.dat", sizes.randint(1024, 8192)
    for number in range(BIG_FILES):
        yield "big", f"b{number:02}.dat", BIG_SIZE


def write_payload(out, files):
    """Every file gets bytes of its own: an installer may store identical files only once."""
    stamp = os.path.join(out, "payload.stamp")
    if os.path.exists(stamp):
        return
    data = random.Random(932)
    for folder, name, size in files:
        path = os.path.join(out, "payload", folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as target:
            target.write(data.randbytes(size))
    open(stamp, "w").close()


def setup_script(files):
    lines = ["[init]", "ProductID=MewlarkBench", "ProductTitle=MewlarkBench",
             "InstallDir=%PF%\\MewlarkBench", "UninstallPrompt=false", "", "[InstallFiles]"]
    lines += [f"%InstallDir%\\{folder}\\,payload\\{folder}\\{name}" for folder, name, _ in files]
    return "\r\n".join(lines) + "\r\n"


def nsis_script(template, files):
    install, uninstall, folders = [], [], []
    for folder, name, _ in files:
        if folder not in folders:
            folders.append(folder)
            install.append(f'  SetOutPath "$INSTDIR\\{folder}"')
        install.append(f'  File "payload\\{folder}\\{name}"')
        uninstall.append(f'  Delete "$INSTDIR\\{folder}\\{name}"')
    uninstall += [f'  RMDir "$INSTDIR\\{folder}"' for folder in folders]
    return template.replace("@INSTALL@", "\n".join(install)).replace("@UNINSTALL@", "\n".join(uninstall))


def main():
    out = sys.argv[1]
    files = list(payload_files())
    write_payload(out, files)
    with open(os.path.join(out, "setup.ini"), "w", newline="") as script:
        script.write(setup_script(files))
    template_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "setup_bench.nsi.in")
    with open(template_path) as template, open(os.path.join(out, "bench.nsi"), "w") as script:
        script.write(nsis_script(template.read(), files))


if __name__ == "__main__":
    main()

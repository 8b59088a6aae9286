#!/usr/bin/env python3
"""Writes the release zip and its SHA-256 sum, the same bytes from every build of a commit.

usage: release-zip.py ZIP FILE...

The members go in the order given, under their own names, with one fixed time, fixed
attributes and no extra fields; ZIP.sha256 gets the sum in the form sha256sum checks.
"""
import hashlib
import os
import sys
import zipfile

# The earliest time a zip can hold: no build time in the package.
FIXED_TIME = (1980, 1, 1, 0, 0, 0)


def main(zip_path, files):
    temporary = zip_path + ".part"
    with zipfile.ZipFile(temporary, "w") as archive:
        for path in files:
            member = zipfile.ZipInfo(os.path.basename(path), FIXED_TIME)
            member.compress_type = zipfile.ZIP_DEFLATED
            member.create_system = 0  # MS-DOS: attributes as Windows reads them
            member.external_attr = 0x20  # archive bit only
            with open(path, "rb") as source:
                archive.writestr(member, source.read(), compresslevel=9)
    os.replace(temporary, zip_path)
    with open(zip_path, "rb") as written:
        digest = hashlib.sha256(written.read()).hexdigest()
    with open(zip_path + ".sha256", "w", newline="\n") as sums:
        sums.write(f"{digest}  {os.path.basename(zip_path)}\n")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])

#!/usr/bin/env python3
"""Writes the Windows zip so that the same inputs give the same bytes: the members in
the order given, each dated SOURCE_DATE_EPOCH (UTC), with fixed attributes.

    make_zip.py OUT.zip FOLDER_IN_ZIP FILE[=NAME]...

A text member (README.txt, LICENSE.txt) is given CRLF line ends for Notepad.
"""
import os
import sys
import time
import zipfile


def main():
    out, folder, members = sys.argv[1], sys.argv[2], sys.argv[3:]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    # A zip's dates start in 1980 and have two-second steps.
    date_time = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(out + ".tmp", "w") as archive:
        for member in members:
            path, _, name = member.partition("=")
            name = name or os.path.basename(path)
            with open(path, "rb") as f:
                data = f.read()
            if name.endswith(".txt"):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            info = zipfile.ZipInfo(f"{folder}/{name}", date_time)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0
            archive.writestr(info, data, compresslevel=9)
    os.replace(out + ".tmp", out)


if __name__ == "__main__":
    main()

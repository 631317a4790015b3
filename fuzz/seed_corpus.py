#!/usr/bin/env python3
"""Writes the seed inputs of each fuzz target into its corpus folder.

Seeds come from the project's EDID files (tests/data, samples/) and a folder
of real EDIDs given on the command line, each shaped the way its target reads
its input, plus a few hand-made names and driver replies. Files are named by
the SHA-1 of their bytes, as the fuzzer names its own, so reseeding adds
nothing twice.

usage: seed_corpus.py CORPUS_ROOT EDID_FOLDER...
  writes CORPUS_ROOT/corpus-<target>/ for every target
"""

import hashlib
import os
import struct
import sys

MAGIC = 0x12344321


def edid_files(folders):
    for folder in folders:
        if not os.path.isdir(folder):
            continue
        for root, _dirs, names in os.walk(folder):
            for name in sorted(names):
                path = os.path.join(root, name)
                if os.path.isfile(path) and os.path.getsize(path) <= 64 * 1024:
                    with open(path, "rb") as f:
                        yield name, f.read()


def reply(magic=MAGIC, marker1=1, marker2=1, status=0):
    return struct.pack("<IIIi", magic, marker1, marker2, status)


def seeds(folders):
    """(target, bytes) for every seed."""
    names = set()
    for name, data in edid_files(folders):
        # load_fuzz: shape byte 0 keeps the file as it is.
        yield "load_fuzz", b"\x00" + data
        # inspect_fuzz: the first byte is the block count less one.
        if len(data) >= 128:
            blocks = min(len(data) // 128, 8)
            yield "inspect_fuzz", bytes([blocks - 1]) + data[:blocks * 128]
        names.add(name)
    names.update([
        "2560x1440x144.bin", "3840x2160x60", "monitor.bin", "1280x720.bin",
        "1280X720X75.bin", "edid_2560x1440x144.bin", "1920x1080x60x75.bin",
        "2560x1440x144.5.bin", "1920 x1080x60.bin", "1920x 1080x60.bin",
        "0x0x0.bin", "-1x-1x-1.bin", "edids/sub\\1280x720x60.bin",
        "edids\\sub/1280x720x60.bin", "D:\\edids\\3840x2160x60.bin", "edids\\",
        "99999999999x-99999999999x+2147483648.bin", " \t+1x\n-2x\v3",
    ])
    for name in sorted(names):
        yield "mode_fuzz", name.encode("utf-8", "surrogateescape")
    for data in (reply(), reply(status=-1), reply(marker2=0), reply(magic=0xDEADBEEF),
                 reply()[:8], reply() * 2, b"\xa5" * 16):
        yield "reply_fuzz", data


def main():
    if len(sys.argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    root = sys.argv[1]
    written = {}
    for target, data in seeds(sys.argv[2:]):
        folder = os.path.join(root, "corpus-" + target)
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, hashlib.sha1(data).hexdigest())
        if not os.path.exists(path):
            with open(path, "wb") as f:
                f.write(data)
            written[target] = written.get(target, 0) + 1
    for target in sorted(written):
        print("%s: %d new seeds" % (target, written[target]))
    return 0


if __name__ == "__main__":
    sys.exit(main())

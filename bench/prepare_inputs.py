#!/usr/bin/env python3
"""Builds the benchmark input trees from a folder of real binary EDIDs.

Every tree holds folders of 100 files each. File i of a tree is a copy of
corpus EDID i modulo the corpus size (the corpus sorted by name), so the
trees differ only in how many files they hold.

  bin-100, bin-1000, bin-10000   binary form (<n>.bin)
  txt-1000                       hexadecimal text form, 16 bytes per line (<n>.txt)
  one/1920x1080x60.bin           a single EDID for the attach command
"""
import os
import shutil
import sys

FILES_PER_FOLDER = 100
BLOCK = 128


def read_corpus(folder):
    edids = []
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if not name.endswith(".bin") or not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            data = f.read()
        # Only binary-form sizes: anything else would be read as text.
        if len(data) >= BLOCK and len(data) % BLOCK == 0:
            edids.append(data)
    return edids


def as_hex_text(data):
    lines = [data[i:i + 16].hex().upper() for i in range(0, len(data), 16)]
    text = ("\n".join(lines) + "\n").encode("ascii")
    # The loader tells the forms apart by size alone; keep every text file
    # off a multiple of 128 bytes so it is read as text.
    if len(text) % BLOCK == 0:
        text += b"\n"
    return text


def write_tree(root, count, edids, suffix, convert):
    shutil.rmtree(root, ignore_errors=True)
    for i in range(count):
        folder = os.path.join(root, "d%03d" % (i // FILES_PER_FOLDER))
        if i % FILES_PER_FOLDER == 0:
            os.makedirs(folder)
        with open(os.path.join(folder, "e%05d%s" % (i, suffix)), "wb") as f:
            f.write(convert(edids[i % len(edids)]))


def main():
    corpus, work = sys.argv[1], sys.argv[2]
    edids = read_corpus(corpus)
    if not edids:
        sys.exit("no binary EDIDs in %s" % corpus)
    os.makedirs(work, exist_ok=True)
    for count in (100, 1000, 10000):
        write_tree(os.path.join(work, "bin-%d" % count), count, edids, ".bin", lambda d: d)
    write_tree(os.path.join(work, "txt-1000"), 1000, edids, ".txt", as_hex_text)
    one = os.path.join(work, "one")
    shutil.rmtree(one, ignore_errors=True)
    os.makedirs(one)
    # A typical two-block monitor EDID with a CEA extension.
    two_block = [d for d in edids if len(d) == 2 * BLOCK and d[BLOCK] == 0x02]
    with open(os.path.join(one, "1920x1080x60.bin"), "wb") as f:
        f.write((two_block or edids)[0])
    print("%d corpus EDIDs -> %s" % (len(edids), work))


if __name__ == "__main__":
    main()

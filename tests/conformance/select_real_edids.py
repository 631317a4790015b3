#!/usr/bin/env python3
"""Chooses about 100 real EDIDs from the shared corpus for tests/data/real and
copies them there unmodified, with a NOTICE carrying their attribution and a
SELECTION.tsv saying why each was taken.

    python3 tests/conformance/select_real_edids.py [CORPUS] [--count N]

CORPUS defaults to ../shared/edid-corpus beside the repository. Every file is
described by a set of features (block count, CEA-861 contents, audio,
checksum, range limits, odd timings, the tool's own rules that it meets),
read from its bytes and from edid-decode's output. Files are taken in name
order until every feature has its quota, then the rest is filled evenly
from the remaining files, so a rerun picks the same files.
Python 3, standard library only; needs edid-decode.
"""

import argparse
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import edid_compare as E  # noqa: E402

TARGET = os.path.join(REPO, "tests", "data", "real")

# How many files to take at least for each feature (all of them when fewer).
QUOTA = {
    "blocks=1": 12, "blocks=2": 12, "blocks=3": 6, "blocks=4": 6, "blocks=5": 2,
    "blocks=6": 3, "blocks=8": 2, "larger-than-1024": 1,
    "analog": 6, "digital": 6, "edid-1.4": 6, "edid-1.1": 1,
    "cea": 10, "hdmi": 8, "cea-without-vsdb": 6, "hdmi-not-first-vsdb": 3,
    "other-first-vsdb": 3, "basic-audio": 6, "audio-data-block": 6,
    "audio-block-without-basic-flag": 3, "no-audio": 6, "cea-revision-1": 3,
    "checksum-broken": 10, "checksum-cancels-out": 2, "extension-count-mismatch": 3,
    "range-limits": 6, "no-range-limits": 4, "range-offsets": 3, "dot-clock-255": 2,
    "formula-byte-set": 4, "interlaced": 4, "borders": 2, "zero-total": 2,
    "more-than-4-timings": 4, "pass1-by-rule": 6, "pass1-cut-at-image-end": 2,
    "block1-displayid": 3, "block1-block-map": 2, "block1-other": 3,
    "cea-in-block-2-or-later": 3, "dpms-none": 3, "dpms-all": 3,
}


def Features(path):
    with open(path, "rb") as fh:
        data = fh.read()
    img = E.LoadedImage(data)
    decoded = E.ParseDecoder(E.RunDecoder(path), img)
    blocks = len(data) // E.BLOCK
    feats = set()
    feats.add("blocks=%d" % blocks if blocks <= 8 else "larger-than-1024")
    feats.add("digital" if img[20] & 0x80 else "analog")
    if (img[18], img[19]) == (1, 4):
        feats.add("edid-1.4")
    if (img[18], img[19]) == (1, 1):
        feats.add("edid-1.1")
    dpms = (img[24] >> 5) & 7
    feats.add("dpms-none" if dpms == 0 else "dpms-all" if dpms == 7 else "dpms-some")
    loaded = len(img) // E.BLOCK
    if img[126] != loaded - 1:
        feats.add("extension-count-mismatch")

    bad = [b for b, blk in decoded["blocks"].items()
           if blk["checksum"] and blk["checksum"][0] != blk["checksum"][1]]
    if bad:
        feats.add("checksum-broken")
        if sum(img) % 256 == 0:
            feats.add("checksum-cancels-out")

    slots = E.PassSlots(img)
    kinds = [E.Classify(img[o:o + 18]) for (_, _, o) in slots]
    ranges = [o for (_, _, o), k in zip(slots, kinds) if k == 0xFD]
    feats.add("range-limits" if ranges else "no-range-limits")
    for o in ranges:
        if img[o + 4]:
            feats.add("range-offsets")
        if img[o + 9] == 255:
            feats.add("dot-clock-255")
        if img[o + 10]:
            feats.add("formula-byte-set")
    timings = [o for (_, _, o), k in zip(slots, kinds) if k == -2]
    if len(timings) > 4:
        feats.add("more-than-4-timings")
    for o in timings:
        d = img[o:o + 18]
        _, hact, hbl, vact, vbl = E.TimingFields(d)
        if d[17] & 0x80:
            feats.add("interlaced")
        if d[15] or d[16]:
            feats.add("borders")
        if hact + hbl == 0 or vact + vbl == 0:
            feats.add("zero-total")

    if loaded >= 2:
        tag = img[E.BLOCK]
        feats.add({0x02: "block1-cea", 0x70: "block1-displayid",
                   0xF0: "block1-block-map"}.get(tag, "block1-other"))
        visible = set(E.DecoderSlots(img, 1))
        pass1 = [o for (p, _, o) in slots if p == 1]
        if any(E.Classify(img[o:o + 18]) in (-2, 0xFD) and o not in visible for o in pass1):
            feats.add("pass1-by-rule")
        if len(pass1) < 4:
            feats.add("pass1-cut-at-image-end")

    n = E.CeaBlockIndex(img)
    if n is not None:
        feats.add("cea")
        if n >= 2:
            feats.add("cea-in-block-2-or-later")
        if img[E.BLOCK * n + 1] == 1:
            feats.add("cea-revision-1")
        walk = E.DataBlocks(img, n)
        vsdbs = [o for (o, tag, _) in walk if tag == 3]
        ouis = [img[o + 1] | img[o + 2] << 8 | img[o + 3] << 16 for o in vsdbs]
        if not vsdbs:
            feats.add("cea-without-vsdb")
        elif ouis[0] == E.HDMI_OUI:
            feats.add("hdmi")
        else:
            feats.add("other-first-vsdb")
            if E.HDMI_OUI in ouis:
                feats.add("hdmi-not-first-vsdb")
        basic = bool(img[E.BLOCK * n + 3] & 0x40)
        adb = any(tag == 1 for (_, tag, _) in walk)
        if basic:
            feats.add("basic-audio")
        if adb:
            feats.add("audio-data-block")
            if not basic:
                feats.add("audio-block-without-basic-flag")
        if not basic and not adb:
            feats.add("no-audio")
    return feats


def SourcePaths(corpus):
    paths = {}
    with open(os.path.join(corpus, "SOURCES.tsv"), encoding="utf-8") as fh:
        for line in fh.read().splitlines()[1:]:
            cols = line.split("\t")
            if len(cols) >= 3:
                paths[cols[0]] = cols[2]
    return paths


def Select(features, count):
    chosen = []
    have = {}
    for name in sorted(features):
        want = [f for f in features[name] if have.get(f, 0) < QUOTA.get(f, 0)]
        if want:
            chosen.append(name)
            for f in features[name]:
                have[f] = have.get(f, 0) + 1
    rest = [n for n in sorted(features) if n not in chosen]
    need = max(0, count - len(chosen))
    if need and rest:
        step = len(rest) / need
        chosen += [rest[int(i * step)] for i in range(min(need, len(rest)))]
    return sorted(chosen)


NOTICE = """\
Real EDIDs used by the conformance test

The {count} files in this folder (named by the MD5 of their bytes) are EDIDs
read from real monitors. They were copied unmodified from the project's
shared corpus, which took them from the public linuxhw/EDID repository
(collected by Linux users with hw-probe).

Source: EDID Repository, linuxhw, https://github.com/linuxhw/EDID
Licence: Creative Commons Attribution 4.0 International (CC BY 4.0),
https://creativecommons.org/licenses/by/4.0/
Attribution: "EDID Repository, linuxhw, https://github.com/linuxhw/EDID".

The files were copied unmodified; no changes were made to their contents.
SELECTION.tsv lists each file with its path in that repository and the
features for which it was chosen.
"""


def Main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("corpus", nargs="?",
                    default=os.path.join(os.path.dirname(REPO), "shared", "edid-corpus"))
    ap.add_argument("--count", type=int, default=100)
    args = ap.parse_args()
    if shutil.which("edid-decode") is None:
        print("edid-decode not found: install the edid-decode package")
        return 2
    names = sorted(n for n in os.listdir(args.corpus) if n.endswith(".bin"))
    features = {n: Features(os.path.join(args.corpus, n)) for n in names}
    chosen = Select(features, args.count)
    sources = SourcePaths(args.corpus)

    os.makedirs(TARGET, exist_ok=True)
    for old in os.listdir(TARGET):
        if old.endswith(".bin") and old not in chosen:
            os.remove(os.path.join(TARGET, old))
    for n in chosen:
        dst = os.path.join(TARGET, n)
        shutil.copyfile(os.path.join(args.corpus, n), dst)
        os.chmod(dst, 0o644)
    with open(os.path.join(TARGET, "SELECTION.tsv"), "w", encoding="utf-8") as fh:
        fh.write("file\tbytes\tsource path in linuxhw/EDID\tfeatures\n")
        for n in chosen:
            size = os.path.getsize(os.path.join(args.corpus, n))
            fh.write("%s\t%d\t%s\t%s\n" % (n, size, sources.get(n, "?"),
                                           " ".join(sorted(features[n]))))
    with open(os.path.join(TARGET, "NOTICE"), "w", encoding="utf-8") as fh:
        fh.write(NOTICE.format(count=len(chosen)))

    covered = {}
    for n in chosen:
        for f in features[n]:
            covered[f] = covered.get(f, 0) + 1
    total = {}
    for n in names:
        for f in features[n]:
            total[f] = total.get(f, 0) + 1
    print("%d files chosen of %d" % (len(chosen), len(names)))
    for f in sorted(total):
        print("  %-32s %3d of %3d" % (f, covered.get(f, 0), total[f]))
    return 0


if __name__ == "__main__":
    sys.exit(Main())

#!/usr/bin/env python3
"""Agreement figures: runs the tool's listing over a folder of binary-form
EDIDs and holds every file's report against edid-decode, as the conformance
test does, but reports figures instead of failing.

    python3 tests/conformance/agreement.py [--velmorin PATH] [FOLDER]

FOLDER defaults to ../shared/edid-corpus beside the repository; the tool
defaults to build/velmorin in the repository. The folder's *.bin files are
copied to a scratch folder first, so nothing is written next to them.
Python 3, standard library only.
"""

import argparse
import os
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import edid_compare  # noqa: E402


def Main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--velmorin", default=os.path.join(REPO, "build", "velmorin"))
    ap.add_argument("--verbose", action="store_true",
                    help="also list every item held against the tool's own rule")
    ap.add_argument("folder", nargs="?",
                    default=os.path.join(os.path.dirname(REPO), "shared", "edid-corpus"))
    args = ap.parse_args()
    if shutil.which("edid-decode") is None:
        print("edid-decode not found: install the edid-decode package")
        return 2
    if not os.path.isfile(args.velmorin):
        print("no tool at %s: build it or give --velmorin" % args.velmorin)
        return 2
    names = sorted(n for n in os.listdir(args.folder)
                   if n.endswith(".bin") and os.path.isfile(os.path.join(args.folder, n)))
    with tempfile.TemporaryDirectory(prefix="velmorin-agreement-") as scratch:
        for n in names:
            shutil.copyfile(os.path.join(args.folder, n), os.path.join(scratch, n))
        findings, problems = edid_compare.CompareFolder(os.path.abspath(args.velmorin),
                                                        scratch, names)
    print("folder: %s" % args.folder)
    for line in edid_compare.Figures(findings, problems, args.verbose):
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(Main())

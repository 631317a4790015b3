#!/usr/bin/env python3
"""Conformance test: the tool's "/l" listing report over the real EDIDs of
tests/data/real, held against edid-decode's view of the same bytes (see
edid_compare.py for what is compared and for the tool's own rules that the
comparison encodes).

    python3 run_conformance.py VELMORIN [DATA_FOLDER]

The EDIDs are copied to a scratch folder first, so nothing is written into
the source tree. Besides the real files, the scratch folder holds a copy of
every real file with basic audio and an audio data block whose basic audio
flag is cleared ("noflag-" + name), so that the audio format lines are held
against the decoder's short audio descriptors too.

Exit status: 0 when every file agrees, 1 on any disagreement, 77 (skipped)
when edid-decode is not installed.
"""

import os
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import edid_compare  # noqa: E402

SKIPPED = 77


def Main(argv):
    if len(argv) not in (2, 3):
        print(__doc__)
        return 2
    velmorin = os.path.abspath(argv[1])
    data = argv[2] if len(argv) == 3 else os.path.join(HERE, "..", "data", "real")
    if shutil.which("edid-decode") is None:
        print("SKIPPED: edid-decode is not installed (Debian package edid-decode); "
              "the report was NOT checked against it.")
        return SKIPPED
    if not os.path.isfile(velmorin):
        print("FAIL: no tool at %s" % velmorin)
        return 1
    names = sorted(n for n in os.listdir(data) if n.endswith(".bin"))
    if not names:
        print("FAIL: no EDID files in %s" % data)
        return 1
    with tempfile.TemporaryDirectory(prefix="velmorin-conformance-") as scratch:
        listed = []
        for n in names:
            with open(os.path.join(data, n), "rb") as fh:
                raw = fh.read()
            with open(os.path.join(scratch, n), "wb") as fh:
                fh.write(raw)
            listed.append(n)
            derived = edid_compare.WithoutBasicAudio(raw)
            if derived is not None:
                with open(os.path.join(scratch, "noflag-" + n), "wb") as fh:
                    fh.write(derived)
                listed.append("noflag-" + n)
        findings, problems = edid_compare.CompareFolder(velmorin, scratch, listed)
    for line in edid_compare.Figures(findings, problems):
        print(line)
    if problems or not all(f.Agrees() for f in findings) or len(findings) != len(listed):
        print("FAIL: the report disagrees with edid-decode (see above)")
        return 1
    print("PASS: %d files (%d real) agree with edid-decode" % (len(findings), len(names)))
    return 0


if __name__ == "__main__":
    sys.exit(Main(sys.argv))

#!/usr/bin/env python3
"""The package's self-check refuses a file that is not on the release list, such as the ".bin" copy
that "velmorin /l samples" leaves beside samples/README.md, and misses none that is.

  stray_file.py CHECK_RELEASE RELEASE_LIST VERSION
"""

import os
import subprocess
import sys
import tempfile
import zipfile

check, listed, version = sys.argv[1:4]
folder = "velmorin-%s-win64/" % version
with open(listed) as f:
    names = [line.strip() for line in f if line.strip()]
problems = []
stray = "samples/README.md.bin"
with tempfile.TemporaryDirectory() as scratch:
    for extra in (stray, None):
        path = os.path.join(scratch, "package.zip")
        with zipfile.ZipFile(path, "w") as archive:
            for name in names + ([extra] if extra else []):
                archive.writestr(folder + name, b"")
        out = subprocess.run([sys.executable, check, "zip", version, path, listed], capture_output=True,
                             text=True).stdout.splitlines()
        refusals = [line for line in out if line.startswith("FAIL not on the release list")]
        if refusals != (["FAIL not on the release list: " + folder + stray] if extra else []):
            problems.append("with %s the check printed:\n%s" % (extra or "the listed files alone", "\n".join(out)))
print("\n".join(problems) or "the release list holds")
sys.exit(1 if problems else 0)

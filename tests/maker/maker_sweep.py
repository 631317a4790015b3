#!/usr/bin/env python3
"""Holds velmorin-edid to edid-decode over a sweep of modes and options.

Every EDID written must pass edid-decode --check without warnings, show the
first mode as the preferred timing, and carry each asked mode as exactly the
reduced-blanking timing that edid-decode --cvt computes (v2, or v1 where only
v1 fits an 18-byte descriptor). How each mode must be carried, and which
modes must be refused, is worked out here from the --cvt timings alone.
At the end the tool itself lists every file written ("velmorin /l"), which
must give a report for each without a checksum or header complaint.
Without edid-decode the test skips (exit 77).
"""

import argparse
import math
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77

POPULAR = [
    (640, 480, 60), (800, 600, 60), (1024, 768, 60), (1280, 720, 60), (1280, 800, 60), (1280, 1024, 60),
    (1280, 1024, 75), (1366, 768, 60), (1440, 900, 60), (1600, 900, 60), (1680, 1050, 60), (1920, 1080, 60),
    (1920, 1080, 75), (1920, 1080, 120), (1920, 1080, 144), (1920, 1080, 165), (1920, 1080, 240),
    (1920, 1080, 360), (1920, 1080, 500), (1920, 1200, 60), (2048, 1080, 24), (2560, 1080, 75),
    (2560, 1440, 60), (2560, 1440, 120), (2560, 1440, 144), (2560, 1440, 165), (2560, 1440, 240),
    (2560, 1600, 60), (2560, 1600, 165), (2880, 1800, 120), (3000, 2000, 60), (3440, 1440, 60),
    (3440, 1440, 100), (3440, 1440, 144), (3840, 1080, 144), (3840, 1600, 75), (3840, 2160, 30),
    (3840, 2160, 60), (3840, 2160, 120), (3840, 2160, 144), (4096, 2160, 60), (5120, 1440, 240),
    (5120, 2160, 60), (5120, 2880, 60), (6016, 3384, 60), (7680, 2160, 120), (7680, 4320, 24),
    (7680, 4320, 30), (7680, 4320, 60), (1280, 720, 50), (1920, 1080, 50), (1920, 1080, 25),
]
OPTION_SETS = [[], ["--hdr"], ["--audio"], ["--hdr", "--audio"]]
CVT_RE = re.compile(r"CVT:\s+(\d+)x(\d+)\s+([\d.]+) Hz.*?([\d.]+) MHz")
TIMING_RE = re.compile(r"^\s*(DTD\s+\d+|VTDB\s+\d+):\s+(\d+)x(\d+)\s+([\d.]+) Hz.*?([\d.]+) kHz\s+([\d.]+) MHz")
PORCH_RE = re.compile(r"Hfront\s+(\d+) Hsync\s+(\d+) Hback\s+(\d+).*\n\s*Vfront\s+(\d+) Vsync\s+(\d+) Vback\s+(\d+)")


def cvt(w, h, r, rb=2):
    """(clock kHz, (hfront, hsync, hback, vfront, vsync, vback)) from edid-decode --cvt."""
    out = subprocess.run(["edid-decode", "--cvt", f"w={w},h={h},fps={r},rb={rb}"],
                         capture_output=True, text=True, check=True).stdout
    clock = round(float(CVT_RE.search(out).group(4)) * 1000)
    return clock, tuple(int(x) for x in PORCH_RE.search(out).groups())


def expected_verdict(w, h, r):
    """How the mode must be carried, worked out from the --cvt timings alone:
    'dtd2', 'dtd1', 'type7', 'type10', or None when it must be refused."""
    clock, p = cvt(w, h, r)

    def fits_dtd(clock, p):
        return (clock % 10 == 0 and 10000 <= clock <= 655350 and w <= 4095 and h <= 4095 and p[3] <= 63)

    def in_range(clock, p):
        refresh = clock * 1000 / ((w + p[0] + p[1] + p[2]) * (h + p[3] + p[4] + p[5]))
        line_khz = clock / (w + p[0] + p[1] + p[2])
        return math.ceil(refresh) <= 510 and 1 <= line_khz and math.ceil(line_khz) <= 510, refresh

    if fits_dtd(clock, p):
        verdict = "dtd2"
    elif w > 4095 or h > 4095 or clock > 655360:
        if clock > 1 << 24 or w > 32768 or h > 32768 or p[3] > 32768:
            return None
        verdict = "type7"
    else:
        clock1, p1 = cvt(w, h, r, 1)
        if w % 8 == 0 and fits_dtd(clock1, p1) and abs(in_range(clock1, p1)[1] - r) <= r * 0.0005:
            return "dtd1" if in_range(clock1, p1)[0] else None
        if r > 256:
            return None
        verdict = "type10"
    ok, refresh = in_range(clock, p)
    return verdict if ok and abs(refresh - r) <= r * 0.0005 else None


def timings_of(decoded):
    """Every DTD and VTDB listed in the blocks: (w, h, clock kHz, porches)."""
    found = []
    lines = decoded.split("\n")
    for i, line in enumerate(lines):
        m = TIMING_RE.match(line)
        if m:
            # Type X timings are listed without their porches.
            p = PORCH_RE.search("\n".join(lines[i + 1:i + 3]))
            found.append((int(m.group(2)), int(m.group(3)), round(float(m.group(6)) * 1000),
                          tuple(int(x) for x in p.groups()) if p else None))
    return found


class Sweep:
    def __init__(self, maker, scratch):
        self.maker = maker
        self.scratch = scratch
        # Every EDID written, kept for one listing by the tool at the end.
        self.kept = os.path.join(scratch, "written")
        shutil.rmtree(self.kept, ignore_errors=True)
        os.makedirs(self.kept)
        self.failures = []
        self.runs = 0
        self.forms = {}

    def fail(self, what):
        self.failures.append(what)
        print("FAIL:", what)

    def run(self, args, folder):
        return subprocess.run([*self.maker, *args], cwd=folder, capture_output=True, text=True, timeout=60)

    def check(self, modes, options):
        self.runs += 1
        names = [f"{w}x{h}x{r}" for w, h, r in modes]
        label = " ".join(names + options)
        folder = tempfile.mkdtemp(dir=self.scratch)
        verdicts = [expected_verdict(*m) for m in modes]
        for verdict in verdicts:
            self.forms[verdict] = self.forms.get(verdict, 0) + 1
        result = self.run(names + options, folder)
        written = os.listdir(folder)
        if None in verdicts:
            if result.returncode != 2 or written or result.stderr.count("\n") != 1:
                self.fail(f"{label}: expected a refusal, got {result.returncode} {result.stderr!r} {written}")
            shutil.rmtree(folder)
            return
        if result.returncode == 2 and "too many modes" in result.stderr and len(modes) > 1 and not written:
            shutil.rmtree(folder)
            return
        ext = ".txt" if "--text" in options else ".bin"
        if result.returncode != 0 or written != [names[0] + ext]:
            self.fail(f"{label}: exit {result.returncode} {result.stderr!r} {written}")
            return
        path = os.path.join(folder, written[0])
        shutil.copyfile(path, os.path.join(self.kept, f"{self.runs:04d}-{written[0]}"))
        if ext == ".txt" and os.path.getsize(path) % 128 == 0:
            self.fail(f"{label}: text form size is a multiple of 128")
        decoded = subprocess.run(["edid-decode", "-p", "--check", path], capture_output=True, text=True).stdout
        if "EDID conformity: PASS" not in decoded:
            self.fail(f"{label}: not conformant\n{decoded[decoded.find('Failures'):]}")
        warnings = decoded[decoded.find("\nWarnings:"):decoded.find("\nFailures:") if "\nFailures:" in decoded
                           else decoded.find("\nEDID conformity")] if "\nWarnings:" in decoded else ""
        # The range limits stop at 2550 MHz: the one warning a faster mode keeps.
        allowed = ["Warnings:", "EDID:", "Base EDID: Some timings are out of range of the Monitor Ranges:",
                   "Maximum Clock:"]
        if any(cvt(*m)[0] > 2550000 for m in modes):
            allowed.append("Monitor Range off-by-one")
            warnings = "\n".join(l for l in warnings.split("\n") if not any(a in l for a in allowed))
        if warnings.strip():
            self.fail(f"{label}: warnings\n{decoded[decoded.find('Warnings'):]}")
        listed = timings_of(decoded.split("Preferred Video Timing")[0])
        for (w, h, r), verdict in zip(modes, verdicts):
            clock, porches = cvt(w, h, r, 1 if verdict == "dtd1" else 2)
            want = (w, h, clock, None if verdict == "type10" else porches)
            if want not in listed:
                self.fail(f"{label}: {w}x{h}x{r} missing or not the --cvt timing {want}; listed {listed}")
        preferred = decoded.split("----------------")
        last = [s for s in preferred if "Preferred Video Timing" in s]
        m = TIMING_RE.search(last[-1].split("parsed:\n", 1)[1].split("\n", 1)[0]) if last else None
        w, h, r = modes[0]
        if not m or (int(m.group(2)), int(m.group(3))) != (w, h) or abs(float(m.group(4)) - r) > r * 0.0005:
            self.fail(f"{label}: preferred timing is not the first mode: {last[-1] if last else decoded}")
        shutil.rmtree(folder)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--maker", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--random", type=int, default=170)
    parser.add_argument("--velmorin", help="the tool, to list every EDID written")
    args = parser.parse_args()
    if shutil.which("edid-decode") is None:
        print("SKIPPED: edid-decode is not installed; the EDID maker sweep did not run", file=sys.stderr)
        return SKIP
    os.makedirs(args.scratch, exist_ok=True)
    sweep = Sweep([os.path.abspath(args.maker)], args.scratch)
    rng = random.Random(20261208)
    modes = list(POPULAR)
    while len(modes) < len(POPULAR) + args.random:
        modes.append((rng.randint(640, 7680), rng.randint(480, 4320), rng.randint(24, 500)))
    # Desktop sizes too: the uniform draw above is mostly beyond a descriptor.
    while len(modes) < len(POPULAR) + 2 * args.random:
        modes.append((rng.randint(640, 2560), rng.randint(480, 1600), rng.randint(24, 300)))
    for index, mode in enumerate(modes):
        sweep.check([mode], OPTION_SETS[index % len(OPTION_SETS)])
    # Every option on the popular modes, several modes at once, the other options.
    for mode in POPULAR:
        sweep.check([mode], ["--hdr", "--audio"])
    extras = [["--text"], ["--name", "Desk Left"], ["--size", "31.5"], ["--mm", "700x300"], ["--hdr", "--text"]]
    for index in range(60):
        count = rng.randint(2, 7)
        group = [POPULAR[i] for i in rng.sample(range(len(POPULAR)), count)]
        sweep.check(group, OPTION_SETS[index % len(OPTION_SETS)] + extras[index % len(extras)])
    forms = ", ".join(f"{k or 'refused'} {v}" for k, v in sorted(sweep.forms.items(), key=lambda kv: str(kv[0])))
    if args.velmorin:
        # The tool's own loader and inspector on every file: no checksum or
        # header complaint, one report per file.
        # Counted first: listing a text-form file writes its binary copy beside it.
        files = len(os.listdir(sweep.kept))
        listed = subprocess.run([os.path.abspath(args.velmorin), "/l", sweep.kept], capture_output=True,
                                text=True, timeout=300)
        if "checksum wrong" in listed.stdout or listed.stderr or listed.stdout.count("# EDID version 1 revision 4") != files:
            sweep.fail(f"velmorin /l on the {files} files: {listed.stderr!r} "
                       f"{listed.stdout.count('# EDID version 1 revision 4')} reports")
    print(f"{sweep.runs} EDIDs checked ({forms}), {len(sweep.failures)} failures")
    return 1 if sweep.failures else 0


if __name__ == "__main__":
    sys.exit(main())

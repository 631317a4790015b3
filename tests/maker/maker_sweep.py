#!/usr/bin/env python3
"""Holds velmorin-edid to edid-decode over a sweep of modes and options.

Every EDID written must pass edid-decode --check without a warning, keep every
range limit at its legal minimum or above, show the first mode as the
preferred timing (and, where a descriptor holds it, as the preferred timing of
the base block alone), and carry each asked mode as the timing that the forms
below give from edid-decode --cvt. How each mode must be carried, the base
block's stand-in for a first mode no descriptor holds, and which modes must be
refused are worked out here from the --cvt timings and the README's rules.
At the end the tool itself lists every file written ("velmorin /l"), which
must give a report for each without a checksum or header complaint, and one
line for each detailed timing edid-decode lists.
Without edid-decode the test skips (exit 77).
"""

import argparse
import collections
import functools
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77

# Readers of the base block alone (today's Windows and Linux) must be shown these modes themselves as preferred.
BLOCK0_PREFERRED = [
    (640, 480, 60), (1280, 720, 60), (1280, 800, 60), (1280, 800, 90), (1366, 768, 60), (1920, 1080, 24),
    (1920, 1080, 60), (1920, 1080, 120), (1920, 1080, 144), (1920, 1080, 240), (1920, 1200, 60),
    (2560, 1080, 144), (2560, 1440, 60), (2560, 1440, 144), (2560, 1440, 165), (2560, 1600, 120),
    (2880, 1800, 90), (3440, 1440, 100), (3840, 2160, 60), (1080, 1920, 60), (800, 1280, 60),
]
# Monitors on sale ship these.
SHIPPED = [(3840, 2160, 240), (2560, 1440, 480), (2560, 1440, 500), (1920, 1080, 480), (1920, 1080, 540),
           (7680, 2160, 240), (7680, 4320, 120), (1920, 1200, 360)]
POPULAR = BLOCK0_PREFERRED + SHIPPED + [
    (640, 480, 24), (800, 600, 60), (1024, 768, 60), (1280, 1024, 60), (1280, 1024, 75), (1440, 900, 60),
    (1600, 900, 60), (1680, 1050, 60), (1920, 1080, 75), (1920, 1080, 165), (1920, 1080, 360), (1920, 1080, 500),
    (2048, 1080, 24), (2560, 1080, 75), (2560, 1440, 120), (2560, 1440, 240), (2560, 1600, 60), (2560, 1600, 165),
    (2880, 1800, 120), (3000, 2000, 60), (3440, 1440, 60), (3440, 1440, 144), (3840, 1080, 144), (3840, 1600, 75),
    (3840, 2160, 30), (3840, 2160, 120), (3840, 2160, 144), (4096, 2160, 60), (5120, 1440, 240), (5120, 2160, 60),
    (5120, 2880, 60), (6016, 3384, 60), (7680, 2160, 120), (7680, 4320, 24), (7680, 4320, 30), (7680, 4320, 60),
    (1280, 720, 50), (1920, 1080, 50), (1920, 1080, 25),
]
# Made, however far beyond the range limits (or the default screen size) they lie.
MUST_MAKE = BLOCK0_PREFERRED + SHIPPED + [(1920, 1080, 600), (8000, 200, 4), (1360, 768, 290), (32767, 32767, 1),
                                          (2746, 5, 75), (4096, 2, 120)]
# Eight modes that descriptors hold: the CTA-861 block takes four of them, the rest other forms.
EIGHT_DESCRIPTOR_MODES = [(1920, 1080, 60), (1920, 1080, 50), (1920, 1080, 30), (1920, 1080, 24), (1280, 720, 60),
                          (1280, 720, 50), (1280, 720, 30), (1280, 720, 24)]
OPTION_SETS = [[], ["--hdr"], ["--audio"], ["--hdr", "--audio"]]
MAX_PIXEL_RATE = 7680 * 4320 * 120
CVT_RE = re.compile(r"CVT:\s+(\d+)x(\d+)\s+([\d.]+) Hz.*?([\d.]+) MHz")
TIMING_RE = re.compile(r"^\s*(DTD\s+\d+|VTDB\s+\d+):\s+(\d+)x(\d+)\s+([\d.]+) Hz.*?([\d.]+) kHz\s+([\d.]+) MHz")
PORCH_RE = re.compile(r"Hfront\s+(\d+) Hsync\s+(\d+) Hback\s+(\d+).*\n\s*Vfront\s+(\d+) Vsync\s+(\d+) Vback\s+(\d+)")
RANGES_RE = re.compile(r"Monitor ranges \(.*?\): (\d+)-(\d+) Hz V, (\d+)-(\d+) kHz H, max dotclock (\d+) MHz")

# What an 18-byte descriptor holds, and where CTA-861 allows a Type VII timing instead.
DTD_MAX_ACTIVE, DTD_MAX_PORCH, DTD_CLOCK_KHZ, TYPE7_ABOVE_KHZ = 4095, 63, (10000, 655350), 655360


@functools.lru_cache(maxsize=None)
def cvt(w, h, r, rb=2):
    """(clock kHz, (hfront, hsync, hback, vfront, vsync, vback)) from edid-decode --cvt."""
    out = subprocess.run(["edid-decode", "--cvt", f"w={w},h={h},fps={r},rb={rb}"],
                         capture_output=True, text=True, check=True).stdout
    clock = round(float(CVT_RE.search(out).group(4)) * 1000)
    return clock, tuple(int(x) for x in PORCH_RE.search(out).groups())


def within(w, h, r, clock, p):
    return abs(clock * 1000 / ((w + sum(p[:3])) * (h + sum(p[3:]))) - r) <= r * 0.0005


@functools.lru_cache(maxsize=None)
def expected(w, h, r):
    """(form, clock kHz, porches) the mode must be carried as, or None when
    it must be refused. The forms in order: 'dtd2' v2 with its clock rounded
    to 10 kHz; 'dtd1' v1 (widths a multiple of 8); 'dtd3' v2's horizontal
    timing, sync and back porch with the longest front porch of 1 to 63 lines
    whose clock (rounded to 10 kHz) is at most 655.35 MHz; 'type7' v2 where no
    descriptor can hold it; 'type10' v2 up to 256 Hz. Each within 0.05 %."""
    clock, p = cvt(w, h, r)

    def in_dtd(clock, p):
        return DTD_CLOCK_KHZ[0] <= clock <= DTD_CLOCK_KHZ[1] and p[3] <= DTD_MAX_PORCH and within(w, h, r, clock, p)

    if w <= DTD_MAX_ACTIVE and h <= DTD_MAX_ACTIVE:
        rounded = (clock + 5) // 10 * 10
        if in_dtd(rounded, p):
            return "dtd2", rounded, p
        if w % 8 == 0 and in_dtd(*cvt(w, h, r, 1)):
            return ("dtd1",) + cvt(w, h, r, 1)
        for front in range(DTD_MAX_PORCH, 0, -1):
            fitted = p[:3] + (front,) + p[4:]
            fitted_clock = (r * (w + sum(p[:3])) * (h + sum(fitted[3:])) + 5000) // 10000 * 10
            if fitted_clock <= DTD_CLOCK_KHZ[1]:
                if in_dtd(fitted_clock, fitted):
                    return "dtd3", fitted_clock, fitted
                break
    if w > DTD_MAX_ACTIVE or h > DTD_MAX_ACTIVE or clock > TYPE7_ABOVE_KHZ:
        fits = clock <= 1 << 24 and max(w, h, sum(p[3:])) <= 1 << 15
        return ("type7", clock, p) if fits and within(w, h, r, clock, p) else None
    return ("type10", clock, None) if r <= 256 and within(w, h, r, clock, p) else None


def stand_in(w, h):
    """The base block's first timing for a first mode no descriptor holds:
    the size times the largest of 8/8 ... 1/8, 1/16 ... (to the nearest pixel)
    that a descriptor holds at 60 Hz, or, for a size under 10 MHz at 60 Hz,
    at the lowest rate up to 510 Hz at which one does."""
    n, d = 8, 8
    while True:
        sw, sh = (2 * w * n + d) // (2 * d), (2 * h * n + d) // (2 * d)
        if sw < 1 or sh < 1:
            return None
        if sw <= DTD_MAX_ACTIVE and sh <= DTD_MAX_ACTIVE:
            rates = [60] + (list(range(61, 511)) if cvt(sw, sh, 60)[0] < DTD_CLOCK_KHZ[0] else [])
            for rate in rates:
                form = expected(sw, sh, rate)
                if form and form[0].startswith("dtd"):
                    return sw, sh, form[1]
        n, d = (n - 1, d) if n > 1 else (n, d * 2)


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


def preferred(decoded, which):
    """(w, h, refresh, clock kHz) of the preferred timing edid-decode -p names
    "if only Block 0 is parsed" or "if Block 0 and CTA-861 Blocks are parsed"."""
    section = decoded.split(f"Preferred Video Timing if {which} parsed:\n", 1)
    m = TIMING_RE.match(section[1].split("\n", 1)[0]) if len(section) == 2 else None
    return (int(m.group(2)), int(m.group(3)), float(m.group(4)), round(float(m.group(6)) * 1000)) if m else None


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
        self.detailed = {}  # file kept: how many detailed timings edid-decode lists

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
        forms = [expected(*m) for m in modes]
        for form in forms:
            self.forms[form and form[0]] = self.forms.get(form and form[0], 0) + 1
        result = self.run(names + options, folder)
        written = os.listdir(folder)
        if None in forms:
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
        kept = f"{self.runs:04d}-{written[0]}"
        shutil.copyfile(path, os.path.join(self.kept, kept))
        if ext == ".txt" and os.path.getsize(path) % 128 == 0:
            self.fail(f"{label}: text form size is a multiple of 128")
        decoded = subprocess.run(["edid-decode", "-p", "--check", path], capture_output=True, text=True).stdout
        if "EDID conformity: PASS" not in decoded or "\nWarnings:" in decoded:
            self.fail(f"{label}: not conformant without warnings\n{decoded[decoded.find('Warnings'):]}")
        for limits in RANGES_RE.findall(decoded):
            if min(int(x) for x in limits) < 1:
                self.fail(f"{label}: a range limit below its legal minimum: {limits}")
        blocks = decoded.split("Preferred Video Timing")[0]
        listed = timings_of(blocks)
        self.detailed[kept] = len(re.findall(r"^\s*DTD\s+\d+:", blocks, re.M))
        placed = 0  # modes in descriptors so far: past six, the next form takes them
        for (w, h, r), form in zip(modes, forms):
            want = [(w, h, form[1], form[2])]
            if form[0].startswith("dtd"):
                placed += 1
                clock, porches = cvt(w, h, r)
                want += [(w, h, clock, None if r <= 256 else porches)] if placed > 6 else []
            if not any(t in listed for t in want):
                self.fail(f"{label}: {w}x{h}x{r} missing or not the {form[0]} timing {want[0]}; listed {listed}")
        w, h, r = modes[0]
        first = preferred(decoded, "Block 0 and CTA-861 Blocks are")
        if not first or first[:2] != (w, h) or abs(first[2] - r) > r * 0.0005:
            self.fail(f"{label}: the preferred timing is not the first mode: {first}")
        base = preferred(decoded, "only Block 0 is")
        want = (w, h, forms[0][1]) if forms[0][0].startswith("dtd") else stand_in(w, h)
        if not base or (base[0], base[1], base[3]) != want:
            self.fail(f"{label}: block 0 alone prefers {base}, not {want}")
        shutil.rmtree(folder)

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--maker", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--random", type=int, default=200)
    parser.add_argument("--velmorin", help="the tool, to list every EDID written")
    args = parser.parse_args()
    if shutil.which("edid-decode") is None:
        print("SKIPPED: edid-decode is not installed; the EDID maker sweep did not run", file=sys.stderr)
        return SKIP
    os.makedirs(args.scratch, exist_ok=True)
    sweep = Sweep([os.path.abspath(args.maker)], args.scratch)
    rng = random.Random(20261208)
    modes = list(dict.fromkeys(POPULAR + MUST_MAKE))
    fixed = len(modes)
    # Any size up to the pixel rate of 7680x4320 at 120 Hz, and desktop sizes,
    # which the uniform draw mostly passes by.
    while len(modes) < fixed + args.random:
        w, h = rng.randint(640, 7680), rng.randint(480, 4320)
        modes.append((w, h, rng.randint(24, min(540, MAX_PIXEL_RATE // (w * h)))))
    for _ in range(args.random // 2):
        modes.append((rng.randint(640, 2560), rng.randint(480, 1600), rng.randint(24, 540)))
    for index, mode in enumerate(modes):
        sweep.check([mode], OPTION_SETS[index % len(OPTION_SETS)])
        form = expected(*mode)
        if mode in MUST_MAKE and not form or mode in BLOCK0_PREFERRED and not form[0].startswith("dtd"):
            sweep.fail(f"{mode}: the forms give {form}, short of the README's promise")
    # Every option on the popular modes, several modes at once, the other options.
    for mode in POPULAR:
        sweep.check([mode], ["--hdr", "--audio"])
    sweep.check(EIGHT_DESCRIPTOR_MODES, [])
    sweep.check(EIGHT_DESCRIPTOR_MODES, ["--hdr", "--audio"])
    extras = [["--text"], ["--name", "Desk Left"], ["--size", "31.5"], ["--mm", "700x300"], ["--hdr", "--text"]]
    for index in range(60):
        count = rng.randint(2, 7)
        group = [POPULAR[i] for i in rng.sample(range(len(POPULAR)), count)]
        sweep.check(group, OPTION_SETS[index % len(OPTION_SETS)] + extras[index % len(extras)])
    forms = ", ".join(f"{k or 'refused'} {v}" for k, v in sorted(sweep.forms.items(), key=lambda kv: str(kv[0])))
    if args.velmorin:
        # The tool's own loader and inspector on every file: no checksum or
        # header complaint, one report per file, one line per detailed timing.
        # Counted first: listing a text-form file writes its binary copy beside it.
        files = len(os.listdir(sweep.kept))
        listed = subprocess.run([os.path.abspath(args.velmorin), "/l", sweep.kept], capture_output=True,
                                text=True, timeout=300)
        if "checksum wrong" in listed.stdout or listed.stderr or listed.stdout.count("# EDID version 1 revision 4") != files:
            sweep.fail(f"velmorin /l on the {files} files: {listed.stderr!r} "
                       f"{listed.stdout.count('# EDID version 1 revision 4')} reports")
        lines = collections.Counter(re.findall(r"^path .*[/\\]([^/\\]+): DTD \d+:", listed.stdout, re.M))
        for name, count in sweep.detailed.items():
            if lines[name] != count:
                sweep.fail(f"velmorin /l lists {lines[name]} detailed timings of {name}, edid-decode {count}")
    print(f"{sweep.runs} EDIDs checked ({forms}), {len(sweep.failures)} failures")
    return 1 if sweep.failures else 0


if __name__ == "__main__":
    sys.exit(main())

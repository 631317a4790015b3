"""Holds the tool's "/l" listing report against edid-decode's view of the
same EDID bytes.

Used by run_conformance.py (the CTest test over tests/data/real) and by
agreement.py (figures over any folder). Python 3, standard library only.

How a report line is checked:

- Where edid-decode decodes the same thing, the line is held against the
  decoder's output (source "decoder").
- Where the tool follows rules of its own that the decoder does not share,
  the expected line is computed from the file's bytes by that rule (source
  "rule"), so such files are checked rather than skipped.

The tool's own rules encoded here:

 R1 The image is the file's first 1024 bytes at most; a 256-byte file whose
    second block is all zero is one block.
 R2 Checksum: one sum over the whole loaded image, not one per block. The
    expected value is the sum of the decoder's per-block differences
    (stored - "should be") over the loaded blocks; blocks can cancel out.
 R3 Passes: one per loaded block, at most two. Pass 0 reads the four
    descriptors of block 0; pass 1 reads four consecutive 18-byte
    descriptors of block 1 starting at block 1's byte 2, whatever block 1
    is (CEA-861, DisplayID, block map, a repeated base block...), and skips
    a descriptor that does not lie wholly inside the image (it may run into
    block 2 when block 2 was loaded). The decoder lists CEA-861 descriptors
    only from offset 4 up, up to byte 126, and stops at an all-zero one;
    every descriptor of the pass it does not list is checked by rule.
 R4 A descriptor is a detailed timing when its first two bytes are not both
    zero, and range limits when bytes 0-2 are zero and byte 3 is 0xFD. A
    timing whose active area is zero, which the decoder only dumps, is
    checked by rule.
 R5 Mode lines read the timing fields as they stand: an interlaced timing
    shows its field height and the rate of field lines without the half
    line (the decoder shows the frame height and the field rate over the
    field's lines plus half a line less the vertical borders); a zero total
    prints "inf" (the decoder prints 0 kHz).
 R6 Range limits print bytes 5-9 as they stand, with EDID 1.4's offsets
    (+255 Hz or kHz, byte 4) applied when block 0 says version 1 revision 4
    or later, as the decoder does; 255 in byte 9 is "not given" and 0 is
    "0 MHz" (the decoder omits the dot clock for 0 and shows 2550 for 255);
    any timing formula byte other than 0 gives the GTF line.
 R7 The DPMS line is printed in every pass from block 0.
 R8 HDMI and audio come from the first CEA-861 block among the loaded
    extension blocks 1 to byte 126; only the first vendor-specific data
    block is compared with OUI 00-0C-03; the data block walk runs from
    offset 4 while below byte 2 and below the image end.
 R9 The basic audio flag (byte 3 bit 6) is read whatever the CEA revision
    and offset (the decoder shows it only for revision 2 and later with an
    offset of at least 4); when set, nothing else about audio is printed.
R10 Audio format lines are printed for positions 1, 4, 7... while below the
    audio data block's length: a trailing partial descriptor of two bytes
    still prints its format, and a length of 0 or 1 prints no audio line.
R11 "NO CEA extension" is printed twice when byte 126 is 0.
R12 Summary lines: only when neither the checksum nor the header test
    failed; one per detailed timing found (up to eight), refresh rounded
    through single precision: float(clock), / (htotal * vtotal) in double,
    to float, + 0.4, truncated; a zero total gives 0.
R13 The header complaints go to standard error, which cannot be split per
    file; a run checks their number against the files whose first eight
    bytes are not the EDID header.

Where the decoder itself gives no usable view:

- it refuses a file without the EDID header and crashes on a few odd
  images: every line of such a file is checked by rule (version, DPMS and
  extension count from the bytes), and the figures carry a note;
- when a later block starts with the EDID header it may decode the rest as
  a second EDID: only the first one is read, the rest is checked by rule;
- an interlaced timing whose vertical borders exceed its field leaves the
  decoder no meaningful rate: its vfreq is checked by rule.
"""

import os
import re
import struct
import subprocess

BLOCK = 128
IMAGE_CAPACITY = 1024
HEADER = bytes([0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00])
HDMI_OUI = 0x000C03

# Short audio descriptor names as edid-decode prints them; any other name
# (the extended formats) belongs to code 15.
AUDIO_FORMAT_NAMES = {
    "Reserved (0x00)": 0, "Linear PCM": 1, "AC-3": 2, "MPEG 1 (Layers 1 & 2)": 3,
    "MPEG 1 Layer 3 (MP3)": 4, "MPEG2 (multichannel)": 5, "AAC LC": 6, "DTS": 7,
    "ATRAC": 8, "One Bit Audio": 9, "Enhanced AC-3 (DD+)": 10, "DTS-HD": 11,
    "MAT (MLP)": 12, "DST": 13, "WMA Pro": 14,
}

CHECKS = ["report", "checksum", "version", "dpms", "range", "mode_size",
          "mode_vfreq", "mode_hfreq", "mode_clock", "no_cea", "hdmi", "audio",
          "summary"]


# ------------------------------------------------------------ the bytes

def LoadedImage(data):
    """The bytes the tool loads from a binary-form file (R1)."""
    size = len(data)
    if size == 0 or size % BLOCK:
        return b""
    if size == 2 * BLOCK and not any(data[BLOCK:]):
        return bytes(data[:BLOCK])
    return bytes(data[:IMAGE_CAPACITY])


def Classify(desc):
    if desc[0] or desc[1]:
        return -2
    if desc[2]:
        return -1
    return desc[3]


def TimingFields(desc):
    clock = (desc[0] + 256 * desc[1]) * 10000
    hact = desc[2] + 256 * (desc[4] >> 4)
    hbl = desc[3] + 256 * (desc[4] & 0x0F)
    vact = desc[5] + 256 * (desc[7] >> 4)
    vbl = desc[6] + 256 * (desc[7] & 0x0F)
    return clock, hact, hbl, vact, vbl


def _Div(a, b):
    return a / b if b else float("inf")


def _Single(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def ModeText(desc):
    """The two lines the tool prints for a detailed timing (R5)."""
    clock, hact, hbl, vact, vbl = TimingFields(desc)
    htot, vtot = hact + hbl, vact + vbl
    vfreq = _Div(float(clock), float(htot) * float(vtot))
    hfreq = _Div(float(clock), float(htot * 1000))
    return ('\tMode \t"%dx%d"\t# vfreq %3.3fHz, hfreq %6.3fkHz' % (hact, vact, vfreq, hfreq),
            "\t\tDotClock\t%f" % (clock / 1000000.0))


def RefreshRule(desc):
    """Whole-hertz refresh of a timing (R12)."""
    clock, hact, hbl, vact, vbl = TimingFields(desc)
    htot, vtot = hact + hbl, vact + vbl
    if htot == 0 or vtot == 0:
        return 0
    q = _Single(_Single(float(clock)) / (float(htot) * float(vtot)))
    return int(q + 0.4)


def PassSlots(img):
    """[(pass, block, offset in image)] of the descriptors each pass reads (R3)."""
    slots = [(0, 0, off) for off in (54, 72, 90, 108)]
    if len(img) >= 2 * BLOCK:
        d = img[BLOCK + 2]
        for k in range(4):
            off = BLOCK + d + 18 * k
            if off + 18 <= len(img):
                slots.append((1, 1, off))
    return slots


def DecoderSlots(img, block):
    """Offsets (in the image) of the descriptors edid-decode lists for a block:
    all four of block 0; for a CEA-861 block, from byte 2 (at least 4) in
    steps of 18 while they end before byte 127, up to the first all-zero one."""
    if block == 0:
        return [54, 72, 90, 108]
    base = BLOCK * block
    if base + BLOCK > len(img) or img[base] != 0x02:
        return []
    d = img[base + 2]
    out = []
    if d < 4:
        return out
    off = d
    while off + 18 <= 127:
        desc = img[base + off:base + off + 18]
        if not any(desc):
            break
        out.append(base + off)
        off += 18
    return out


def CeaBlockIndex(img):
    """The extension block the tool takes as CEA-861 (R8), or None."""
    blocks = len(img) // BLOCK
    for n in range(1, min(img[126], blocks - 1) + 1):
        if img[BLOCK * n] == 0x02:
            return n
    return None


def DataBlocks(img, n):
    """The tool's walk of a CEA block's data blocks: [(offset in image, tag, L)]."""
    base = BLOCK * n
    d = img[base + 2]
    out = []
    off = 4
    while off < d and base + off < len(img):
        head = img[base + off]
        out.append((base + off, head >> 5, head & 0x1F))
        off += 1 + (head & 0x1F)
    return out


# ------------------------------------------------------------ tool output

REPORT_START = re.compile(r"^(?:checksum wrong (\d+))?$")
VERSION_LINE = re.compile(r"^\t# EDID version (\d+) revision (\d+)$")
MODE_LINE = re.compile(r'^\tMode \t"(-?\d+)x(-?\d+)"\t# vfreq (.*)Hz, hfreq (.*)kHz$')
CLOCK_LINE = re.compile(r"^\t\tDotClock\t(.*)$")
DPMS_LINE = re.compile(r"^\t# DPMS capabilities: Active off:(yes|no)  Suspend:(yes|no)  Standby:(yes|no)$")
HSYNC_LINE = re.compile(r"^\tHorizSync (\d+)-(\d+)$")
VREFRESH_LINE = re.compile(r"^\tVertRefresh (\d+)-(\d+)$")
MAXCLOCK_LINE = re.compile(r"^\t# Max dot clock \(video bandwidth\) (\d+) MHz$")
NOT_GIVEN = "\t# Max dot clock not given"
GTF_LINE = "\t# EDID version 3 GTF given: contact author"
AUDIO_FORMAT_LINE = re.compile(r"^CEA audio format (\d+)$")
SUMMARY_LINE = re.compile(r"^path (.*): DTD (\d+): (-?\d+) (-?\d+) (-?\d+)$")


def SplitReports(text):
    """Splits the listing's standard output into per-file line lists. A
    report starts with an empty line or "checksum wrong N" followed by the
    version line. Returns (lines before the first report, [reports])."""
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    starts = [i for i in range(len(lines) - 1)
              if REPORT_START.match(lines[i]) and VERSION_LINE.match(lines[i + 1])]
    reports = []
    for j, s in enumerate(starts):
        e = starts[j + 1] if j + 1 < len(starts) else len(lines)
        reports.append(lines[s:e])
    return lines[:starts[0]] if starts else lines, reports


def ParseReport(lines):
    """Reads one file's report; anything out of place lands in "errors"."""
    r = {"checksum": None, "version": None, "passes": [], "no_cea": 0,
         "hdmi": None, "audio": [], "summaries": [], "errors": []}
    i = 0
    n = len(lines)

    def Peek():
        return lines[i] if i < n else None

    m = REPORT_START.match(lines[0])
    if m.group(1) is not None:
        r["checksum"] = int(m.group(1))
    m = VERSION_LINE.match(lines[1])
    r["version"] = (int(m.group(1)), int(m.group(2)))
    i = 2
    while True:
        p = {"ranges": [], "dpms": None, "modes": []}
        while Peek() is not None and HSYNC_LINE.match(Peek()):
            h = HSYNC_LINE.match(lines[i])
            v = VREFRESH_LINE.match(lines[i + 1]) if i + 1 < n else None
            if not v or i + 2 >= n:
                r["errors"].append("range lines incomplete at %r" % lines[i])
                i += 1
                break
            clk = lines[i + 2]
            mc = MAXCLOCK_LINE.match(clk)
            if clk == NOT_GIVEN:
                maxclk = None
            elif mc:
                maxclk = int(mc.group(1))
            else:
                r["errors"].append("dot clock line expected, got %r" % clk)
                maxclk = "?"
            i += 3
            gtf = Peek() == GTF_LINE
            if gtf:
                i += 1
            p["ranges"].append({"hmin": int(h.group(1)), "hmax": int(h.group(2)),
                                "vmin": int(v.group(1)), "vmax": int(v.group(2)),
                                "maxclk": maxclk, "gtf": gtf})
        dp = DPMS_LINE.match(Peek() or "")
        if not dp:
            if p["ranges"]:
                r["errors"].append("DPMS line expected after range limits, got %r" % Peek())
            break
        p["dpms"] = tuple(x == "yes" for x in dp.groups())
        i += 1
        if Peek() != "":
            r["errors"].append("empty line expected after the DPMS line, got %r" % Peek())
        else:
            i += 1
        while Peek() is not None and MODE_LINE.match(Peek()):
            mm = MODE_LINE.match(lines[i])
            cl = CLOCK_LINE.match(lines[i + 1]) if i + 1 < n else None
            if not cl:
                r["errors"].append("DotClock line expected after %r" % lines[i])
                i += 1
                continue
            p["modes"].append({"w": int(mm.group(1)), "h": int(mm.group(2)),
                               "vfreq": mm.group(3), "hfreq": mm.group(4),
                               "clock": cl.group(1), "text": (lines[i], lines[i + 1])})
            i += 2
        r["passes"].append(p)
    if Peek() == "NO CEA extension":
        r["no_cea"] += 1
        i += 1
    if Peek() in ("It's an HDMI monitor", "It's NOT an HDMI monitor"):
        r["hdmi"] = Peek() == "It's an HDMI monitor"
        i += 1
    else:
        r["errors"].append("HDMI line expected, got %r" % Peek())
    if Peek() == "NO CEA extension":
        r["no_cea"] += 1
        i += 1
    if Peek() == "Monitor has basic audio support":
        r["audio"] = ["basic"]
        i += 1
    elif Peek() == "Monitor has NO audio":
        r["audio"] = ["none"]
        i += 1
    else:
        while Peek() is not None and AUDIO_FORMAT_LINE.match(Peek()):
            r["audio"].append(int(AUDIO_FORMAT_LINE.match(lines[i]).group(1)))
            i += 1
    while Peek() is not None and SUMMARY_LINE.match(Peek()):
        s = SUMMARY_LINE.match(lines[i])
        r["summaries"].append((s.group(1), int(s.group(2)), int(s.group(3)),
                               int(s.group(4)), int(s.group(5))))
        i += 1
    for rest in lines[i:]:
        r["errors"].append("unexpected line %r" % rest)
    return r


# ------------------------------------------------------------ decoder output

DEC_BLOCK = re.compile(r"^Block (\d+), (.*):$")
DEC_CHECKSUM = re.compile(r"^Checksum: 0x([0-9a-f]{2})(?: \(should be 0x([0-9a-f]{2})\))?")
DEC_DTD = re.compile(r"^    DTD +(\d+): +(\d+)x(\d+)(i?) +(\S+) Hz +\S+ +(\S+) kHz +(\S+) MHz")
DEC_RANGES = re.compile(r"^      Monitor ranges \((.*)\): (\d+)-(\d+) Hz V, (\d+)-(\d+) kHz H"
                        r"(?:, max dotclock (\d+) MHz)?")
DEC_VERSION = re.compile(r"^  EDID Structure Version & Revision: (\d+)\.(\d+)$")
DEC_EXTENSIONS = re.compile(r"^  Extension blocks: (\d+)$")
DEC_DPMS = re.compile(r"^    DPMS levels: (.*)$")
DEC_REVISION = re.compile(r"^  Revision: (\d+)$")
DEC_VSDB = re.compile(r"^  Vendor-Specific Data Block(?: \(.*\))?, OUI ([0-9A-F]{2})-([0-9A-F]{2})-([0-9A-F]{2}):")


def RunDecoder(path):
    """edid-decode's output for a file, or None when the decoder failed
    (it refuses a file without an EDID header, and a few odd images crash it)."""
    out = subprocess.run(["edid-decode", path], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE)
    if out.returncode != 0:
        return None
    return out.stdout.decode("latin-1")


def ParseDecoder(text, img=b""):
    """edid-decode's output as {block number: {kind, lines, checksum}} plus the
    base block facts. When the decoder failed (text None), the base block
    facts come from the image's bytes and "crashed" is set."""
    if text is None:
        dpms = {name for bit, name in ((0x20, "Off"), (0x40, "Suspend"), (0x80, "Standby"))
                if img[24] & bit}
        return {"blocks": {}, "version": (img[18], img[19]), "extensions": img[126],
                "dpms": dpms, "crashed": True}
    blocks = {}
    cur = None
    for line in text.split("\n"):
        m = DEC_BLOCK.match(line)
        if m and int(m.group(1)) in blocks:
            # The decoder took the rest of the file for a second EDID; only
            # the first one stands for the image.
            break
        if m:
            cur = {"kind": m.group(2), "lines": [], "checksum": None}
            blocks[int(m.group(1))] = cur
            continue
        if line.startswith(("edid-decode SHA", "Warnings:", "Failures:", "EDID conformity")):
            cur = None
            continue
        m = DEC_CHECKSUM.match(line)
        if m and cur is not None:
            stored = int(m.group(1), 16)
            should = int(m.group(2), 16) if m.group(2) else stored
            cur["checksum"] = (stored, should)
            continue
        if cur is not None:
            cur["lines"].append(line)
    dec = {"blocks": blocks, "version": None, "extensions": 0, "dpms": set(),
           "crashed": False}
    b0 = blocks.get(0)
    if b0:
        for line in b0["lines"]:
            m = DEC_VERSION.match(line)
            if m:
                dec["version"] = (int(m.group(1)), int(m.group(2)))
            m = DEC_EXTENSIONS.match(line)
            if m:
                dec["extensions"] = int(m.group(1))
            m = DEC_DPMS.match(line)
            if m:
                dec["dpms"] = set(m.group(1).split())
    return dec


def DecoderDescriptors(block):
    """The detailed timings and range limits a block's section lists, in order:
    ("dtd", values or None for a dumped one) and ("range", values)."""
    items = []
    inside = False
    lines = block["lines"]
    for k, line in enumerate(lines):
        if line == "  Detailed Timing Descriptors:":
            inside = True
            continue
        if not inside:
            continue
        if line.startswith("  ") and not line.startswith("   "):
            inside = False
            continue
        m = DEC_DTD.match(line)
        if m:
            items.append(("dtd", {"w": int(m.group(2)), "h": int(m.group(3)),
                                  "interlaced": m.group(4) == "i", "vfreq": m.group(5),
                                  "hfreq": m.group(6), "clock": m.group(7)}))
        elif line.startswith("    Detailed mode:"):
            items.append(("dtd", None))
        elif line == "    Display Range Limits:":
            nxt = lines[k + 1] if k + 1 < len(lines) else ""
            r = DEC_RANGES.match(nxt)
            items.append(("range", None if not r else {
                "label": r.group(1), "vmin": int(r.group(2)), "vmax": int(r.group(3)),
                "hmin": int(r.group(4)), "hmax": int(r.group(5)),
                "maxclk": int(r.group(6)) if r.group(6) else None}))
    return items


def DecoderCeaFacts(block):
    """Revision, basic audio flag, first vendor-specific OUI and the audio
    data blocks' formats from a CEA-861 block's section."""
    facts = {"revision": None, "basic_audio": False, "first_vsdb": None, "adbs": []}
    adb = None
    for line in block["lines"]:
        m = DEC_REVISION.match(line)
        if m:
            facts["revision"] = int(m.group(1))
        if line == "  Basic audio support":
            facts["basic_audio"] = True
        if line.startswith("  ") and not line.startswith("   "):
            adb = None
            if line == "  Audio Data Block:":
                adb = []
                facts["adbs"].append(adb)
            m = DEC_VSDB.match(line)
            if m and facts["first_vsdb"] is None:
                facts["first_vsdb"] = int(m.group(1) + m.group(2) + m.group(3), 16)
            continue
        if adb is not None and line.startswith("    ") and not line.startswith("     "):
            name = line.strip().rstrip(":")
            adb.append(AUDIO_FORMAT_NAMES.get(name, 15))
    return facts


# ------------------------------------------------------------ comparison

class Findings:
    """What one file's comparison found: per check, items compared by the
    decoder and by rule, and the disagreements."""

    def __init__(self, name):
        self.name = name
        self.count = {c: {"decoder": 0, "rule": 0} for c in CHECKS}
        self.bad = []  # (check, text)
        self.by_rule = []  # (check, text) of items held against a rule
        self.notes = []  # what the figures should mention about this file

    def Hold(self, check, source, ok, text):
        self.count[check][source] += 1
        if source == "rule" and check not in ("report", "summary") and not (
                check.startswith("mode_") and self.by_rule and self.by_rule[-1][1] == text):
            self.by_rule.append((check, text))
        if not ok:
            self.bad.append((check, text))

    def Agrees(self):
        return not self.bad


def _Near(tool_text, exact, slack):
    try:
        return abs(float(tool_text) - exact) <= slack
    except ValueError:
        return False


def CompareMode(f, where, mode, desc, dec):
    """One Mode line against the decoder's detailed timing (dec) or, when the
    decoder has none for that descriptor, against the tool's rule."""
    expect_lines = ModeText(desc)
    clock, hact, hbl, vact, vbl = TimingFields(desc)
    htot, vtot = hact + hbl, vact + vbl
    if dec is None:
        ok = mode["text"] == expect_lines
        detail = "%s: %r / %r, by rule %r / %r" % (where, mode["text"][0], mode["text"][1],
                                                   expect_lines[0], expect_lines[1])
        for check in ("mode_size", "mode_vfreq", "mode_hfreq", "mode_clock"):
            f.Hold(check, "rule", ok, detail)
        return
    height = dec["h"] // 2 if dec["interlaced"] else dec["h"]
    f.Hold("mode_size", "decoder", (mode["w"], mode["h"]) == (dec["w"], height),
           "%s: Mode %dx%d, decoder %dx%d%s" % (where, mode["w"], mode["h"], dec["w"],
                                                  dec["h"], "i" if dec["interlaced"] else ""))
    f.Hold("mode_clock", "decoder", mode["clock"] == dec["clock"],
           "%s: DotClock %s, decoder %s MHz" % (where, mode["clock"], dec["clock"]))
    # hfreq: both print three decimals of the same quotient; the tool pads to 6.
    if htot == 0:
        f.Hold("mode_hfreq", "rule", mode["hfreq"] == "%6.3f" % float("inf"),
               "%s: hfreq %r with a zero horizontal total" % (where, mode["hfreq"]))
    else:
        f.Hold("mode_hfreq", "decoder",
               mode["hfreq"] == "%6s" % dec["hfreq"],
               "%s: hfreq %r, decoder %s kHz" % (where, mode["hfreq"], dec["hfreq"]))
    # vfreq: the tool prints three decimals, the decoder six.
    if htot == 0 or vtot == 0:
        f.Hold("mode_vfreq", "rule", mode["vfreq"] == "inf",
               "%s: vfreq %r with a zero total" % (where, mode["vfreq"]))
    elif dec["interlaced"] and vtot - 2 * desc[16] <= 0:
        # Borders larger than the field leave the decoder no rate to show.
        want = expect_lines[0].split("# vfreq ")[1].split("Hz,")[0]
        f.Hold("mode_vfreq", "rule", mode["vfreq"] == want,
               "%s: vfreq %s, by rule %s (borders larger than the field)" % (
                   where, mode["vfreq"], want))
    else:
        exact = float(dec["vfreq"])
        if dec["interlaced"]:
            # The decoder divides by the field's lines plus half a line, less
            # both vertical borders (byte 16).
            exact = exact * (vtot - 2 * desc[16] + 0.5) / vtot
        f.Hold("mode_vfreq", "decoder", re.match(r"^\d+\.\d{3}$", mode["vfreq"]) is not None
               and _Near(mode["vfreq"], exact, 0.0005 + 1e-6),
               "%s: vfreq %s, decoder %s Hz%s" % (where, mode["vfreq"], dec["vfreq"],
                                                   " (interlaced)" if dec["interlaced"] else ""))


def RangeRates(desc, offsets):
    """The four rates of a range limits descriptor as the tool prints them (R6)."""
    rates = {"vmin": desc[5], "vmax": desc[6], "hmin": desc[7], "hmax": desc[8]}
    if offsets:
        flags = desc[4]
        for low, high, shift in (("vmin", "vmax", 0), ("hmin", "hmax", 2)):
            pair = (flags >> shift) & 0x03
            if pair & 0x02:
                rates[high] += 255
            if pair == 0x03:
                rates[low] += 255
    return rates


def CompareRange(f, where, got, desc, dec, offsets):
    shown = "HorizSync %s-%s VertRefresh %s-%s clock %s gtf %s" % (
        got["hmin"], got["hmax"], got["vmin"], got["vmax"], got["maxclk"], got["gtf"])
    if dec is None:
        want = RangeRates(desc, offsets)
        maxclk = None if desc[9] == 255 else desc[9] * 10
        ok = (all(got[k] == want[k] for k in want) and got["maxclk"] == maxclk
              and got["gtf"] == (desc[10] != 0))
        f.Hold("range", "rule", ok, "%s: %s, by rule bytes %s" % (where, shown, desc[4:11].hex(" ")))
        return
    if dec["maxclk"] is None:
        want_clk = 0
    elif dec["maxclk"] == 2550:
        want_clk = None
    else:
        want_clk = dec["maxclk"]
    ok = (all(got[k] == dec[k] for k in ("vmin", "vmax", "hmin", "hmax")) and got["maxclk"] == want_clk
          and got["gtf"] == (dec["label"] != "GTF"))
    f.Hold("range", "decoder", ok, "%s: %s, decoder %s-%s kHz %s-%s Hz clock %s (%s)" % (
        where, shown, dec["hmin"], dec["hmax"], dec["vmin"], dec["vmax"], dec["maxclk"],
        dec["label"]))


def CompareFile(name, data, report, decoded, listed_path):
    """Holds one file's parsed report against the decoder's parsed output."""
    f = Findings(name)
    img = LoadedImage(data)
    blocks = len(img) // BLOCK
    dblocks = decoded["blocks"]

    for e in report["errors"]:
        f.Hold("report", "rule", False, e)

    # Checksum (R2).
    total = 0
    source = "decoder"
    for b in range(blocks):
        cs = dblocks.get(b, {}).get("checksum") if b in dblocks else None
        if cs is None:
            total += sum(img[b * BLOCK:(b + 1) * BLOCK])
            source = "rule"
        else:
            total += cs[0] - cs[1]
    total %= 256
    want = total or None
    f.Hold("checksum", source, report["checksum"] == want,
           "checksum complaint %s, expected %s" % (report["checksum"], want))

    header_ok = img[:8] == HEADER
    base_source = "rule" if decoded["crashed"] else "decoder"
    if decoded["crashed"]:
        f.notes.append("edid-decode failed on this file; every line checked by rule")

    # Version line.
    f.Hold("version", base_source, report["version"] == decoded["version"],
           "version %s, decoder %s" % (report["version"], decoded["version"]))

    # Passes (R3) with their range limits, DPMS lines (R7) and Mode lines.
    passes = min(blocks, 2)
    f.Hold("report", "rule", len(report["passes"]) == passes,
           "%d passes printed, %d expected" % (len(report["passes"]), passes))
    want_dpms = ("Off" in decoded["dpms"], "Suspend" in decoded["dpms"],
                 "Standby" in decoded["dpms"])
    for p in report["passes"]:
        f.Hold("dpms", base_source, p["dpms"] == want_dpms,
               "DPMS %s, decoder %s" % (p["dpms"], sorted(decoded["dpms"])))

    # Which of the decoder's items stands for which descriptor.
    dec_items = {}
    for b in (0, 1):
        if b >= blocks or b not in dblocks:
            continue
        items = DecoderDescriptors(dblocks[b])
        offs = DecoderSlots(img, b) if (b == 0 or dblocks[b]["kind"].startswith("CTA-861")) else []
        dtds = [o for o in offs if Classify(img[o:o + 18]) == -2]
        ranges = [o for o in offs if not img[o] and not img[o + 1] and img[o + 3] == 0xFD]
        dec_dtds = [v for k, v in items if k == "dtd"]
        dec_ranges = [v for k, v in items if k == "range"]
        if len(dec_dtds) != len(dtds) or len(dec_ranges) != len(ranges):
            f.Hold("report", "rule", False,
                   "block %d: decoder lists %d timings and %d range limits where %d and %d "
                   "were expected; that block is checked by rule" % (
                       b, len(dec_dtds), len(dec_ranges), len(dtds), len(ranges)))
            continue
        for o, v in zip(dtds, dec_dtds):
            dec_items[o] = v
        for o, v in zip(ranges, dec_ranges):
            dec_items[o] = v

    expected_timings = []
    for pi in range(min(passes, len(report["passes"]))):
        p = report["passes"][pi]
        slots = [o for (pp, b, o) in PassSlots(img) if pp == pi]
        want_ranges = [o for o in slots if Classify(img[o:o + 18]) == 0xFD]
        want_modes = [o for o in slots if Classify(img[o:o + 18]) == -2]
        expected_timings += want_modes
        f.Hold("report", "rule", len(p["ranges"]) == len(want_ranges),
               "pass %d: %d range limits printed, %d expected" % (pi, len(p["ranges"]), len(want_ranges)))
        for got, o in zip(p["ranges"], want_ranges):
            CompareRange(f, "pass %d range limits at byte %d" % (pi, o), got,
                         img[o:o + 18], dec_items.get(o), img[18] == 1 and img[19] >= 4)
        f.Hold("report", "rule", len(p["modes"]) == len(want_modes),
               "pass %d: %d Mode lines printed, %d expected" % (pi, len(p["modes"]), len(want_modes)))
        for got, o in zip(p["modes"], want_modes):
            CompareMode(f, "pass %d timing at byte %d" % (pi, o), got, img[o:o + 18],
                        dec_items.get(o))

    # "NO CEA extension" (R11): byte 126 as the decoder reads it.
    want_nocea = 2 if decoded["extensions"] == 0 else 0
    f.Hold("no_cea", base_source, report["no_cea"] == want_nocea,
           "%d \"NO CEA extension\" lines, expected %d" % (report["no_cea"], want_nocea))

    # HDMI (R8) and audio (R9, R10).
    n = CeaBlockIndex(img)
    facts = None
    if n is not None and n in dblocks and dblocks[n]["kind"].startswith("CTA-861"):
        facts = DecoderCeaFacts(dblocks[n])
    walk = DataBlocks(img, n) if n is not None else []
    vsdbs = [(o, L) for (o, tag, L) in walk if tag == 3]
    if n is None:
        f.Hold("hdmi", base_source, report["hdmi"] is False,
               "HDMI %s without a CEA-861 block" % report["hdmi"])
    elif facts is not None and img[BLOCK * n + 2] >= 4 and (
            (facts["first_vsdb"] is None) == (not vsdbs)):
        want = facts["first_vsdb"] == HDMI_OUI
        f.Hold("hdmi", "decoder", report["hdmi"] == want,
               "HDMI %s, decoder's first vendor-specific block has OUI %s" % (
                   report["hdmi"], None if facts["first_vsdb"] is None else "%06X" % facts["first_vsdb"]))
    else:
        want = False
        if vsdbs:
            o = vsdbs[0][0]
            want = o + 4 <= len(img) and (img[o + 1] | img[o + 2] << 8 | img[o + 3] << 16) == HDMI_OUI
        f.Hold("hdmi", "rule", report["hdmi"] == want,
               "HDMI %s, by rule %s" % (report["hdmi"], want))

    if n is None:
        f.Hold("audio", base_source, report["audio"] == ["none"],
               "audio %s without a CEA-861 block" % report["audio"])
    else:
        base = BLOCK * n
        flag = bool(img[base + 3] & 0x40)
        flag_by_decoder = facts is not None and facts["revision"] and facts["revision"] >= 2 \
            and img[base + 2] >= 4
        if flag_by_decoder:
            flag_source = "decoder"
            flag = facts["basic_audio"]
        else:
            flag_source = "rule"
        adbs = [(o, L) for (o, tag, L) in walk if tag == 1]
        if flag:
            want = ["basic"]
            source = flag_source
        elif not adbs:
            want = ["none"]
            source = flag_source if facts is None or not facts["adbs"] else "rule"
        else:
            o, L = adbs[0]
            raw_codes = [(img[o + k] >> 3) & 0x0F for k in range(1, L, 3) if o + k < len(img)]
            if facts is not None and facts["adbs"] and len(facts["adbs"][0]) == L // 3:
                want = facts["adbs"][0] + raw_codes[L // 3:]
                source = "decoder" if flag_source == "decoder" else "rule"
            else:
                want = raw_codes
                source = "rule"
        f.Hold("audio", source, report["audio"] == want,
               "audio %s, expected %s" % (report["audio"], want))

    # Summary lines (R12).
    failed = sum(img) % 256 != 0 or not header_ok
    modes = [m for p in report["passes"] for m in p["modes"]]
    if failed:
        f.Hold("summary", "rule", report["summaries"] == [],
               "%d summary lines after a failed test" % len(report["summaries"]))
    else:
        ok = len(report["summaries"]) == len(modes)
        f.Hold("summary", "rule", ok, "%d summary lines for %d Mode lines" % (
            len(report["summaries"]), len(modes)))
        for k, s in enumerate(report["summaries"][:len(modes)]):
            want_r = RefreshRule(img[expected_timings[k]:expected_timings[k] + 18]) \
                if k < len(expected_timings) else None
            want = (listed_path, k, modes[k]["w"], modes[k]["h"], want_r)
            f.Hold("summary", "rule", s == want, "summary %r, expected %r" % (s, want))
    return f


# ------------------------------------------------------------ whole runs

def WithoutBasicAudio(data):
    """A copy of a binary-form EDID whose first CEA-861 block has the basic
    audio flag and an audio data block, with the flag cleared and that
    block's checksum repaired, so that its audio format lines are printed;
    None when the file has no such block. (No real monitor in the corpus
    leaves the flag clear beside an audio data block.)"""
    img = LoadedImage(data)
    if not img:
        return None
    n = CeaBlockIndex(img)
    if n is None:
        return None
    base = BLOCK * n
    if not img[base + 3] & 0x40 or not any(tag == 1 for (_, tag, _) in DataBlocks(img, n)):
        return None
    out = bytearray(data)
    out[base + 3] &= ~0x40 & 0xFF
    out[base + 127] = (out[base + 127] + 0x40) & 0xFF
    return bytes(out)


def RunListing(velmorin, folder, timeout=240):
    try:
        out = subprocess.run([velmorin, "/l", folder], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, timeout=timeout)
    except subprocess.TimeoutExpired as e:
        return ("timed out after %d s" % timeout, (e.stdout or b"").decode("latin-1"),
                (e.stderr or b"").decode("latin-1"))
    return out.returncode, out.stdout.decode("latin-1"), out.stderr.decode("latin-1")


def CompareFolder(velmorin, scratch, names):
    """Lists `scratch` (holding exactly `names`, binary-form EDIDs) with the
    tool and compares every file. Returns (per-file Findings, run problems)."""
    rc, out, err = RunListing(velmorin, scratch)
    problems = []
    if rc != 0:
        problems.append("velmorin /l ended with status %s" % rc)
    order = sorted(names, key=lambda s: s.encode())
    pre, reports = SplitReports(out)
    if any(pre):
        problems.append("output before the first report: %r" % pre[:3])
    if len(reports) != len(order):
        problems.append("%d reports for %d files" % (len(reports), len(order)))
    findings = []
    headers_bad = 0
    for name, report_lines in zip(order, reports):
        path = os.path.join(scratch, name)
        with open(path, "rb") as fh:
            data = fh.read()
        if LoadedImage(data)[:8] != HEADER:
            headers_bad += 1
        report = ParseReport(report_lines)
        decoded = ParseDecoder(RunDecoder(path), LoadedImage(data))
        f = CompareFile(name, data, report, decoded, path)
        findings.append(f)
    complaints = err.count("first bytes don't match EDID version 1 header")
    if complaints != headers_bad:
        problems.append("%d header complaints on standard error for %d files with a bad header"
                        % (complaints, headers_bad))
    return findings, problems


def Figures(findings, problems, verbose=False):
    """Agreement figures as text lines; verbose adds every item held against
    a rule of the tool's own rather than the decoder."""
    lines = []
    agree = sum(1 for f in findings if f.Agrees())
    lines.append("files: %d, agreeing fully: %d" % (len(findings), agree))
    lines.append("%-11s %9s %9s %9s %9s" % ("check", "decoder", "by rule", "agree", "disagree"))
    for c in CHECKS:
        dec = sum(f.count[c]["decoder"] for f in findings)
        rule = sum(f.count[c]["rule"] for f in findings)
        bad = sum(1 for f in findings for (cc, _) in f.bad if cc == c)
        lines.append("%-11s %9d %9d %9d %9d" % (c, dec, rule, dec + rule - bad, bad))
    for p in problems:
        lines.append("RUN PROBLEM: %s" % p)
    for f in findings:
        for note in f.notes:
            lines.append("NOTE %s: %s" % (f.name, note))
    for f in findings:
        for check, text in f.bad:
            lines.append("DISAGREE %s [%s] %s" % (f.name, check, text))
    if verbose:
        for f in findings:
            for check, text in f.by_rule:
                lines.append("BY RULE %s [%s] %s" % (f.name, check, text))
    return lines

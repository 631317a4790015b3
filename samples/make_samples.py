#!/usr/bin/env python3
"""Writes the sample EDIDs of this folder, in binary form (.bin) and in
hexadecimal text form (.txt), from the tables below.

Every sample is a made-up monitor of the made-up maker "KVR": an EDID 1.3
base block with a preferred detailed timing that matches the file name, a
range limits descriptor and a monitor name descriptor, and (except the DVI
one) a CEA-861 extension block with video, video capability and HDMI
vendor-specific data blocks, audio where the monitor has speakers, and a few
detailed timings of its own. Each passes edid-decode --check.

Run it from anywhere; it writes next to itself and always produces the same
bytes. Standard library only.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

BLOCK = 128
HEADER = bytes([0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00])


# ---------------------------------------------------------------- helpers

def ManufacturerId(letters):
    """Three upper-case letters packed five bits each, big-endian."""
    assert len(letters) == 3 and letters.isalpha() and letters.isupper()
    code = 0
    for letter in letters:
        code = (code << 5) | (ord(letter) - ord("A") + 1)
    return bytes([(code >> 8) & 0x7F, code & 0xFF])


def Chromaticity(red, green, blue, white):
    """Ten bytes of colour coordinates, each as a 10-bit binary fraction."""
    coords = [round(v * 1024) for xy in (red, green, blue, white) for v in xy]
    rx, ry, gx, gy, bx, by, wx, wy = coords
    low = lambda a, b, c, d: ((a & 3) << 6) | ((b & 3) << 4) | ((c & 3) << 2) | (d & 3)
    return bytes([low(rx, ry, gx, gy), low(bx, by, wx, wy),
                  rx >> 2, ry >> 2, gx >> 2, gy >> 2,
                  bx >> 2, by >> 2, wx >> 2, wy >> 2])


SRGB = ((0.640, 0.330), (0.300, 0.600), (0.150, 0.060), (0.3127, 0.3290))

ASPECT_CODE = {"16:10": 0, "4:3": 1, "5:4": 2, "16:9": 3}


def StandardTimings(modes):
    """Eight 2-byte standard timing slots; unused slots are 01 01."""
    out = bytearray()
    for width, aspect, refresh in modes:
        out += bytes([width // 8 - 31, (ASPECT_CODE[aspect] << 6) | (refresh - 60)])
    while len(out) < 16:
        out += b"\x01\x01"
    return bytes(out)


def DetailedTiming(clock_khz, hact, hfp, hsync, hbp, vact, vfp, vsync, vbp,
                   size_mm, hsync_pos, vsync_pos):
    """One 18-byte detailed timing descriptor, digital separate sync."""
    assert clock_khz % 10 == 0
    clock = clock_khz // 10
    hbl = hfp + hsync + hbp
    vbl = vfp + vsync + vbp
    hmm, vmm = size_mm
    flags = 0x18 | (0x04 if vsync_pos else 0) | (0x02 if hsync_pos else 0)
    return bytes([
        clock & 0xFF, clock >> 8,
        hact & 0xFF, hbl & 0xFF, ((hact >> 8) << 4) | (hbl >> 8),
        vact & 0xFF, vbl & 0xFF, ((vact >> 8) << 4) | (vbl >> 8),
        hfp & 0xFF, hsync & 0xFF, ((vfp & 0x0F) << 4) | (vsync & 0x0F),
        ((hfp >> 8) << 6) | ((hsync >> 8) << 4) | ((vfp >> 4) << 2) | (vsync >> 4),
        hmm & 0xFF, vmm & 0xFF, ((hmm >> 8) << 4) | (vmm >> 8),
        0, 0, flags])


def TextDescriptor(tag, text):
    """A display descriptor carrying up to 13 characters of text."""
    data = text.encode("ascii")
    assert len(data) <= 13
    if len(data) < 13:
        data += b"\x0A" + b"\x20" * (12 - len(data))
    return bytes([0, 0, 0, tag, 0]) + data


def RangeLimits(vmin, vmax, hmin_khz, hmax_khz, max_clock_mhz, timing_support):
    """Display range limits descriptor (tag 0xFD) without offsets."""
    return bytes([0, 0, 0, 0xFD, 0, vmin, vmax, hmin_khz, hmax_khz,
                  (max_clock_mhz + 9) // 10, timing_support,
                  0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20])


def WithChecksum(block):
    assert len(block) == BLOCK - 1
    return bytes(block) + bytes([(-sum(block)) & 0xFF])


def BaseBlock(m):
    b = bytearray()
    b += HEADER
    b += ManufacturerId(m["maker"])
    b += m["product"].to_bytes(2, "little")
    b += m["serial"].to_bytes(4, "little")
    b += bytes([m["week"], m["year"] - 1990])
    b += bytes(m["version"])
    b += bytes([m["input"], m["size_cm"][0], m["size_cm"][1], 120, m["features"]])
    b += Chromaticity(*SRGB)
    b += bytes(m["established"])
    b += StandardTimings(m["standard"])
    assert len(b) == 54 and len(m["descriptors"]) == 4
    for d in m["descriptors"]:
        assert len(d) == 18
        b += d
    b += bytes([1 if m.get("cea") else 0])
    return WithChecksum(b)


def DataBlock(tag, payload):
    assert len(payload) < 32
    return bytes([(tag << 5) | len(payload)]) + bytes(payload)


def CeaBlock(c):
    blocks = b"".join(c["data_blocks"])
    d = 4 + len(blocks)
    b = bytearray([0x02, 0x03, d, c["flags"] | len(c["native"])])
    b += blocks
    for dtd in c["dtds"]:
        b += dtd
    assert len(b) <= BLOCK - 1, "CEA block overflows"
    b += bytes(BLOCK - 1 - len(b))
    return WithChecksum(b)


def HexText(data):
    """16 bytes a line, upper-case pairs separated by spaces, CR LF ends."""
    lines = []
    for i in range(0, len(data), 16):
        lines.append(" ".join("%02X" % x for x in data[i:i + 16]))
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


# ---------------------------------------------------------------- timings

# CEA-861 1920x1080 at 60 Hz (148.5 MHz, totals 2200 x 1125).
FHD60 = dict(clock_khz=148500, hact=1920, hfp=88, hsync=44, hbp=148,
             vact=1080, vfp=4, vsync=5, vbp=36, hsync_pos=True, vsync_pos=True)
# CEA-861 1920x1080 at 50 Hz (148.5 MHz, totals 2640 x 1125).
FHD50 = dict(FHD60, hfp=528)
# CEA-861 1280x720 at 60 Hz (74.25 MHz, totals 1650 x 750).
HD60 = dict(clock_khz=74250, hact=1280, hfp=110, hsync=40, hbp=220,
            vact=720, vfp=5, vsync=5, vbp=20, hsync_pos=True, vsync_pos=True)
# CVT reduced blanking 2560x1440 at 144 Hz (604.25 MHz, totals 2720 x 1543).
QHD144 = dict(clock_khz=604250, hact=2560, hfp=48, hsync=32, hbp=80,
              vact=1440, vfp=3, vsync=5, vbp=95, hsync_pos=True, vsync_pos=False)
# CVT reduced blanking 2560x1440 at 60 Hz (241.5 MHz, totals 2720 x 1481).
QHD60 = dict(clock_khz=241500, hact=2560, hfp=48, hsync=32, hbp=80,
             vact=1440, vfp=3, vsync=5, vbp=33, hsync_pos=True, vsync_pos=False)
# CVT reduced blanking 3840x2160 at 60 Hz (533.25 MHz, totals 4000 x 2222).
UHD60 = dict(clock_khz=533250, hact=3840, hfp=48, hsync=32, hbp=80,
             vact=2160, vfp=3, vsync=5, vbp=54, hsync_pos=True, vsync_pos=False)
# CEA-861 3840x2160 at 30 Hz (297 MHz, totals 4400 x 2250).
UHD30 = dict(clock_khz=297000, hact=3840, hfp=176, hsync=88, hbp=296,
             vact=2160, vfp=8, vsync=10, vbp=72, hsync_pos=True, vsync_pos=True)


def Dtd(timing, size_mm):
    return DetailedTiming(size_mm=size_mm, **timing)


# ---------------------------------------------------------------- samples

LPCM_2CH = bytes([(1 << 3) | 1, 0x07, 0x07])      # 2 ch, 32/44.1/48 kHz, 16/20/24 bit
LPCM_8CH = bytes([(1 << 3) | 7, 0x7F, 0x07])      # 8 ch, 32 to 192 kHz
AC3_6CH = bytes([(2 << 3) | 5, 0x07, 640 // 8])   # 5.1, up to 640 kbit/s
SPEAKERS_FRONT = bytes([0x01, 0x00, 0x00])        # FL/FR
SPEAKERS_51 = bytes([0x0F, 0x00, 0x00])           # FL/FR, LFE, FC, RL/RR


# Extended tag 0: RGB and YCbCr quantization selectable, IT and CE underscanned.
VIDEO_CAPABILITY = DataBlock(7, bytes([0x00, 0xCA]))


def HdmiVsdb(max_tmds_mhz, flags=0x00):
    # OUI 00-0C-03 least significant byte first, physical address 1.0.0.0.
    return DataBlock(3, bytes([0x03, 0x0C, 0x00, 0x10, 0x00, flags, max_tmds_mhz // 5]))


def HdmiForumVsdb(max_tmds_mhz):
    # OUI C4-5D-D8, version 1, SCDC present.
    return DataBlock(3, bytes([0xD8, 0x5D, 0xC4, 0x01, max_tmds_mhz // 5, 0x80, 0x00]))


SAMPLES = [
    {
        "name": "1920x1080x60",
        "about": "24-inch full-HD HDMI monitor, EDID 1.3, two blocks; basic audio "
                 "and a stereo LPCM audio data block",
        "maker": "KVR", "product": 0x2401, "serial": 0, "week": 12, "year": 2023,
        "version": (1, 3), "input": 0x80, "size_cm": (53, 30),
        "features": 0xEF,  # standby, suspend, active off; RGB; sRGB; preferred; GTF
        "established": (0x21, 0x08, 0x00),
        "standard": [(1280, "16:9", 60), (1280, "5:4", 60), (1440, "16:10", 60),
                     (1680, "16:10", 60)],
        "descriptors": [
            Dtd(FHD60, (527, 296)),
            RangeLimits(48, 75, 30, 84, 170, 0x00),
            TextDescriptor(0xFC, "KVR Vela 24"),
            TextDescriptor(0xFF, "KV24A0010001"),
        ],
        "cea": {
            "flags": 0x80 | 0x40 | 0x30,  # underscan, basic audio, YCbCr 4:4:4 and 4:2:2
            "native": [0],
            "data_blocks": [
                DataBlock(2, bytes([16, 4, 31, 19, 3, 18, 1])),
                VIDEO_CAPABILITY,
                DataBlock(1, LPCM_2CH),
                DataBlock(4, SPEAKERS_FRONT),
                HdmiVsdb(165, 0x00),
            ],
            "dtds": [Dtd(HD60, (527, 296)), Dtd(FHD50, (527, 296))],
        },
    },
    {
        "name": "2560x1440x144",
        "about": "27-inch QHD gaming monitor at 144 Hz (CVT reduced blanking), "
                 "EDID 1.3, two blocks; no audio; HDMI and HDMI Forum "
                 "vendor-specific data blocks",
        "maker": "KVR", "product": 0x2702, "serial": 20002, "week": 40, "year": 2023,
        "version": (1, 3), "input": 0x80, "size_cm": (60, 34),
        "features": 0x2F,  # active off; RGB; sRGB; preferred; GTF
        "established": (0x21, 0x08, 0x00),
        "standard": [(1280, "16:9", 60), (1680, "16:10", 60), (1920, "16:9", 60)],
        "descriptors": [
            Dtd(QHD144, (597, 336)),
            Dtd(QHD60, (597, 336)),
            RangeLimits(48, 144, 30, 230, 610, 0x00),
            TextDescriptor(0xFC, "KVR Talon 27"),
        ],
        "cea": {
            "flags": 0x80 | 0x20,  # underscan, YCbCr 4:4:4, no audio
            "native": [0],
            "data_blocks": [
                DataBlock(2, bytes([16, 4, 31, 19, 3, 18, 1])),
                VIDEO_CAPABILITY,
                HdmiVsdb(340, 0x00),
                HdmiForumVsdb(600),
            ],
            "dtds": [Dtd(FHD60, (597, 336)), Dtd(HD60, (597, 336))],
        },
    },
    {
        "name": "3840x2160x60",
        "about": "32-inch UHD HDMI monitor, EDID 1.3, two blocks; basic audio and "
                 "an audio data block with 8-channel LPCM and 5.1 AC-3",
        "maker": "KVR", "product": 0x3203, "serial": 30003, "week": 5, "year": 2024,
        "version": (1, 3), "input": 0x80, "size_cm": (70, 39),
        "features": 0x2F,  # active off; RGB; sRGB; preferred; GTF
        "established": (0x21, 0x08, 0x00),
        "standard": [(1280, "16:9", 60), (1600, "16:9", 60), (1920, "16:9", 60)],
        "descriptors": [
            Dtd(UHD60, (698, 393)),
            Dtd(UHD30, (698, 393)),
            RangeLimits(24, 60, 30, 140, 600, 0x00),
            TextDescriptor(0xFC, "KVR Orrery 32"),
        ],
        "cea": {
            "flags": 0x80 | 0x40 | 0x30,
            "native": [0],
            "data_blocks": [
                DataBlock(2, bytes([97, 95, 16, 4, 31, 19])),
                VIDEO_CAPABILITY,
                DataBlock(1, LPCM_8CH + AC3_6CH),
                DataBlock(4, SPEAKERS_51),
                HdmiVsdb(340, 0x00),
                HdmiForumVsdb(600),
            ],
            "dtds": [Dtd(FHD60, (698, 393)), Dtd(QHD60, (698, 393)),
                     Dtd(HD60, (698, 393))],
        },
    },
    {
        "name": "1280x720x60",
        "about": "small 720p DVI panel, EDID 1.3, one block, no extension and no audio",
        "maker": "KVR", "product": 0x1504, "serial": 40004, "week": 30, "year": 2012,
        "version": (1, 3), "input": 0x80, "size_cm": (34, 19),
        "features": 0xEE,  # standby, suspend, active off; RGB; sRGB; preferred timing
        "established": (0x21, 0x08, 0x00),
        "standard": [(1280, "16:9", 60)],
        "descriptors": [
            Dtd(HD60, (344, 194)),
            RangeLimits(56, 61, 30, 50, 80, 0x00),
            TextDescriptor(0xFC, "KVR Pip DVI"),
            TextDescriptor(0xFF, "KV15D0040004"),
        ],
        "cea": None,
    },
]


def Build(m):
    data = BaseBlock(m)
    if m["cea"]:
        data += CeaBlock(m["cea"])
    return data


def Check(name, data):
    assert len(data) % BLOCK == 0 and data[:8] == HEADER, name
    for i in range(0, len(data), BLOCK):
        assert sum(data[i:i + BLOCK]) % 256 == 0, "%s: block %d checksum" % (name, i // BLOCK)


def Main():
    for m in SAMPLES:
        data = Build(m)
        Check(m["name"], data)
        text = HexText(data)
        # The loader takes any file whose size is a multiple of 128 as binary.
        assert len(text) % BLOCK != 0, m["name"]
        with open(os.path.join(HERE, m["name"] + ".bin"), "wb") as f:
            f.write(data)
        with open(os.path.join(HERE, m["name"] + ".txt"), "wb") as f:
            f.write(text)
        print("%-16s %4d bytes  %s" % (m["name"], len(data), m["about"]))
    return 0


if __name__ == "__main__":
    sys.exit(Main())

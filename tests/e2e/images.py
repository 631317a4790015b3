"""Hand-made EDID images and the monitor report each one must produce."""

import edid_builder as eb
from texts import (DPMS_ALL, DPMS_NONE, NO_CEA_TAIL, RANGE_A, RANGE_B, RANGE_C, T0A, T0A_LINES, T1080,
                   T1080_LINES, T1440, T1440_LINES, T2160, T2160_LINES, T480, T480_LINES, T5994, T5994_LINES,
                   T720, T720_LINES, T745, T745_LINES, THZERO, THZERO_LINES, TLOW, TLOW_LINES, TMAX, TMAX_LINES,
                   TVZERO, TVZERO_LINES, dpms, version)

RANGE_A_DESC = eb.range_descriptor(48, 144, 30, 160, 60)
RANGE_B_DESC = eb.range_descriptor(50, 75, 30, 83, 255, formula=1)
RANGE_C_DESC = eb.range_descriptor(1, 255, 0, 255, 0)


def _adjust(image, offset, delta):
    b = bytearray(image)
    b[offset] = (b[offset] + delta) % 256
    return bytes(b)


# One block: a timing, range limits, a name and a serial number.
ONE = eb.base_block([eb.dtd(*T1080), RANGE_A_DESC, eb.name_descriptor("Test Panel"), eb.serial_descriptor("A1")])
ONE_REPORT = version() + RANGE_A + DPMS_ALL + T1080_LINES + NO_CEA_TAIL

# Two blocks: the CEA block carries video, audio (formats 1 and 7) and HDMI
# data blocks and two more timings.
TWO = eb.base_block([eb.dtd(*T1440), RANGE_B_DESC, eb.name_descriptor("Acme 27Q"), eb.dtd(*T1080)],
                    features=0x0A, extensions=1) + \
    eb.cea_block([eb.video_block(), eb.audio_block([1, 7]), eb.vendor_block(eb.HDMI_OUI)],
                 dtds=[eb.dtd(*T720), eb.dtd(*T2160)])
TWO_REPORT = (version() + RANGE_B + DPMS_NONE + T1440_LINES + T1080_LINES + DPMS_NONE + T720_LINES + T2160_LINES +
              "It's an HDMI monitor\n" + "CEA audio format 1\n" + "CEA audio format 7\n")

# Three blocks: block 1 is no CEA block (its timing is still reported by the
# second pass); the CEA block is block 2, with basic audio.
THREE = eb.base_block([eb.name_descriptor("Big One"), eb.dtd(*T2160), RANGE_C_DESC], version=1, revision=4,
                      features=0x4A, extensions=2) + \
    eb.other_extension_block() + \
    eb.cea_block([eb.audio_block([2]), eb.vendor_block(eb.HDMI_OUI)], basic_audio=True)
THREE_REPORT = (version(1, 4) + RANGE_C + dpms(False, True, False) + T2160_LINES + dpms(False, True, False) +
                "It's an HDMI monitor\n" + "Monitor has basic audio support\n")

# No monitor-name descriptor: sent exactly as loaded.
NONAME = eb.base_block([eb.dtd(*T720), RANGE_A_DESC, eb.serial_descriptor("SN123")])
NONAME_REPORT = version() + RANGE_A + DPMS_ALL + T720_LINES + NO_CEA_TAIL

# Two name descriptors: only the first is renamed.
TWO_NAMES = eb.base_block([eb.name_descriptor("First"), eb.name_descriptor("Second"), eb.dtd(*T480)])
TWO_NAMES_REPORT = version() + DPMS_ALL + T480_LINES + NO_CEA_TAIL


def _odd_sums(named):
    """Block 0 sums to 5 and block 1 to 251: the whole image still sums to 0."""
    descriptors = [eb.dtd(*T1080), eb.serial_descriptor("X")]
    if named:
        descriptors.append(eb.name_descriptor("Odd"))
    base = _adjust(eb.base_block(descriptors, extensions=1), 127, 5)
    cea = _adjust(eb.cea_block([eb.audio_block([2])]), 127, -5)
    return base + cea


ODD_SUMS = _odd_sums(named=False)
ODD_SUMS_NAMED = _odd_sums(named=True)
ODD_SUMS_REPORT = version() + DPMS_ALL + T1080_LINES + DPMS_ALL + "It's NOT an HDMI monitor\n" + "CEA audio format 2\n"

# Broken images: every report still runs to the end.
BAD_SUM_1 = _adjust(ONE, 20, 1)
BAD_SUM_1_OUT = "checksum wrong 1" + ONE_REPORT
BAD_SUM_5 = _adjust(TWO, 255, 5)  # only block 1 is off
BAD_SUM_5_OUT = "checksum wrong 5" + TWO_REPORT
BAD_HEADER = eb.base_block([eb.dtd(*T1080), RANGE_A_DESC, eb.name_descriptor("Test Panel"),
                            eb.serial_descriptor("A1")], fix_checksum=False)
BAD_HEADER = bytearray(BAD_HEADER)
BAD_HEADER[3] = 0xFE
BAD_HEADER[127] = eb.checksum_byte(BAD_HEADER[:127])
BAD_HEADER = bytes(BAD_HEADER)
BAD_HEADER_OUT = ONE_REPORT
BAD_BOTH = _adjust(BAD_HEADER, 0, 2)
BAD_BOTH_OUT = "checksum wrong 2" + ONE_REPORT

# Eight timings: four in block 0, four in the CEA block.
EIGHT = eb.base_block([eb.dtd(*T1080), eb.dtd(*T720), eb.dtd(*T480), eb.dtd(*T5994)], features=0x8A, extensions=1) + \
    eb.cea_block([eb.vendor_block(0x00D85D)], dtds=[eb.dtd(*T2160), eb.dtd(*T1440), eb.dtd(*TMAX), eb.dtd(*T745)])
EIGHT_REPORT = (version() + dpms(False, False, True) + T1080_LINES + T720_LINES + T480_LINES + T5994_LINES +
                dpms(False, False, True) + T2160_LINES + T1440_LINES + TMAX_LINES + T745_LINES +
                "It's NOT an HDMI monitor\n" + "Monitor has NO audio\n")
EIGHT_SIZES = [(1920, 1080, 60), (1280, 720, 60), (720, 480, 60), (1920, 1080, 60),
               (3840, 2160, 60), (2560, 1440, 144), (1920, 1080, 265), (800, 600, 74)]

# Odd timings: zero totals, a tiny clock, 74.5 Hz.
ODD_TIMINGS = eb.base_block([eb.dtd(*THZERO), eb.dtd(*TLOW), eb.dtd(*TVZERO), eb.dtd(*T745)])
ODD_TIMINGS_REPORT = version() + DPMS_ALL + THZERO_LINES + TLOW_LINES + TVZERO_LINES + T745_LINES + NO_CEA_TAIL
ODD_TIMINGS_SIZES = [(0, 1080, 0), (100, 100, 0), (1920, 0, 0), (800, 600, 74)]

# Clock bytes 00 0A make a timing; a 0xFD descriptor behind another range.
CLOCK_0A = eb.base_block([eb.dtd(*T0A), RANGE_B_DESC, RANGE_C_DESC])
CLOCK_0A_REPORT = version() + RANGE_B + RANGE_C + DPMS_ALL + T0A_LINES + NO_CEA_TAIL
CLOCK_0A_SIZES = [(640, 480, 61)]

# The first vendor block is not HDMI; an audio block of length 1 prints nothing.
NOT_FIRST_HDMI = eb.base_block([eb.dtd(*T1080)], extensions=1) + \
    eb.cea_block([eb.vendor_block(0x00001A), eb.vendor_block(eb.HDMI_OUI), eb.data_block(1, [0x09])])
NOT_FIRST_HDMI_REPORT = version() + DPMS_ALL + T1080_LINES + DPMS_ALL + "It's NOT an HDMI monitor\n"

# Block 1 is no CEA block but carries a timing at its byte-2 offset.
FOREIGN_EXT = eb.base_block([eb.dtd(*T1080)], extensions=1) + \
    bytes(eb.other_extension_block()[:4]) + eb.dtd(*T720) + bytes(128 - 4 - 18)
FOREIGN_EXT = FOREIGN_EXT[:255] + bytes([eb.checksum_byte(FOREIGN_EXT[128:255])])
FOREIGN_EXT_REPORT = version() + DPMS_ALL + T1080_LINES + DPMS_ALL + T720_LINES + \
    "It's NOT an HDMI monitor\n" + "Monitor has NO audio\n"
FOREIGN_EXT_SIZES = [(1920, 1080, 60), (1280, 720, 60)]

# Basic audio wins over an audio data block; no HDMI block at all.
BASIC_AUDIO = eb.base_block([eb.dtd(*T720)], extensions=1) + \
    eb.cea_block([eb.audio_block([1, 2, 7])], basic_audio=True, dtds=[eb.dtd(*T480)])
BASIC_AUDIO_REPORT = version() + DPMS_ALL + T720_LINES + DPMS_ALL + T480_LINES + \
    "It's NOT an HDMI monitor\n" + "Monitor has basic audio support\n"
BASIC_AUDIO_SIZES = [(1280, 720, 60), (720, 480, 60)]

# The CEA timings start at offset 100: only the first of the four lies inside
# the image; the bytes behind it would be read past the end.
LATE_DTDS = bytearray(eb.base_block([eb.dtd(*T1080)], extensions=1) +
                      eb.cea_block([eb.vendor_block(eb.HDMI_OUI)], dtd_offset=100, dtds=[eb.dtd(*T720)],
                                   fix_checksum=False))
LATE_DTDS[128 + 118:128 + 127] = bytes([0x55] * 9)
LATE_DTDS[255] = eb.checksum_byte(LATE_DTDS[128:255])
LATE_DTDS = bytes(LATE_DTDS)
LATE_DTDS_REPORT = version() + DPMS_ALL + T1080_LINES + DPMS_ALL + T720_LINES + \
    "It's an HDMI monitor\n" + "Monitor has NO audio\n"
LATE_DTDS_SIZES = [(1920, 1080, 60), (1280, 720, 60)]


def text_form(image, per_line=16, separator=" ", line_end="\r\n"):
    """A hex transcription whose size is never a multiple of 128 (else it would load as binary)."""
    text = eb.hex_text(image, per_line, separator, line_end)
    if len(text) % 128 == 0:
        text += line_end
    return text.encode("ascii")

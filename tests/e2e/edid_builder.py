"""Builds EDID images byte by byte for the end-to-end tests.

Base blocks take four 18-byte descriptors; CEA-861 blocks take data blocks
and detailed timings. Checksums are fixed unless a test asks otherwise, so
a test can also break them on purpose.
"""

HEADER = bytes([0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00])


def checksum_byte(data):
    """The byte that makes `data` plus itself sum to 0 modulo 256."""
    return (256 - sum(data) % 256) % 256


def dtd(clock_10khz, h_active, h_blank, v_active, v_blank):
    """A detailed timing descriptor; bytes 8-17 hold plausible sync and size values."""
    d = bytearray(18)
    d[0] = clock_10khz & 0xFF
    d[1] = (clock_10khz >> 8) & 0xFF
    d[2] = h_active & 0xFF
    d[3] = h_blank & 0xFF
    d[4] = ((h_active >> 8) & 0x0F) << 4 | ((h_blank >> 8) & 0x0F)
    d[5] = v_active & 0xFF
    d[6] = v_blank & 0xFF
    d[7] = ((v_active >> 8) & 0x0F) << 4 | ((v_blank >> 8) & 0x0F)
    d[8:18] = bytes([88, 44, 0x45, 0x00, 0x10, 0x09, 0x21, 0x00, 0x00, 0x1E])
    return bytes(d)


def display_descriptor(tag, body):
    """A display descriptor: 00 00 00 tag 00, then 13 bytes of body."""
    body = bytes(body)
    assert len(body) == 13
    return bytes([0, 0, 0, tag, 0]) + body


def text_body(text):
    """13 bytes of descriptor text: the text, 0x0A when shorter, then blanks."""
    raw = text.encode("ascii")
    assert len(raw) <= 13
    if len(raw) < 13:
        raw += b"\x0a"
    return raw + b" " * (13 - len(raw))


def name_descriptor(text):
    return display_descriptor(0xFC, text_body(text))


def serial_descriptor(text):
    return display_descriptor(0xFF, text_body(text))


def range_descriptor(v_min, v_max, h_min_khz, h_max_khz, max_clock_10mhz, formula=0):
    body = bytes([v_min, v_max, h_min_khz, h_max_khz, max_clock_10mhz, formula])
    body += b"\x0a" + b" " * 6
    return display_descriptor(0xFD, body)


def dummy_descriptor():
    return display_descriptor(0x10, bytes(13))


def base_block(descriptors, version=1, revision=3, features=0xEA, extensions=0, fix_checksum=True):
    """EDID base block with up to four descriptors (missing ones are dummies)."""
    descriptors = list(descriptors)
    assert len(descriptors) <= 4
    while len(descriptors) < 4:
        descriptors.append(dummy_descriptor())
    b = bytearray(128)
    b[0:8] = HEADER
    b[8:10] = bytes([0x2D, 0xF6])  # manufacturer letters
    b[10:12] = bytes([0x34, 0x12])  # product code
    b[12:16] = bytes([1, 0, 0, 0])  # serial number
    b[16] = 10  # week
    b[17] = 33  # year - 1990
    b[18] = version
    b[19] = revision
    b[20] = 0xA5  # digital input
    b[21] = 60  # cm wide
    b[22] = 34  # cm high
    b[23] = 120  # gamma 2.2
    b[24] = features
    b[25:35] = bytes([0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54])
    b[35:38] = bytes([0, 0, 0])
    b[38:54] = bytes([1, 1] * 8)
    for i, d in enumerate(descriptors):
        assert len(d) == 18
        b[54 + 18 * i:72 + 18 * i] = d
    b[126] = extensions
    if fix_checksum:
        b[127] = checksum_byte(b[:127])
    return bytes(b)


def data_block(tag_code, payload):
    payload = bytes(payload)
    assert len(payload) <= 31
    return bytes([(tag_code << 5) | len(payload)]) + payload


def audio_block(format_codes):
    """Audio data block, one 3-byte short audio descriptor per format code."""
    payload = bytearray()
    for code in format_codes:
        payload += bytes([(code << 3) | 0x01, 0x07, 0x07])
    return data_block(1, payload)


def vendor_block(oui, extra=b"\x10\x00"):
    return data_block(3, bytes([oui & 0xFF, (oui >> 8) & 0xFF, (oui >> 16) & 0xFF]) + bytes(extra))


HDMI_OUI = 0x000C03


def video_block(vics=(16, 4, 3)):
    return data_block(2, bytes(vics))


def cea_block(data_blocks=(), dtds=(), basic_audio=False, tag=0x02, dtd_offset=None, fix_checksum=True):
    """CEA-861 extension block: data blocks from byte 4, then the timings at d."""
    b = bytearray(128)
    b[0] = tag
    b[1] = 3
    collection = b"".join(bytes(x) for x in data_blocks)
    d = 4 + len(collection) if dtd_offset is None else dtd_offset
    b[2] = d
    b[3] = (0x40 if basic_audio else 0) | len(dtds)
    b[4:4 + len(collection)] = collection
    for i, t in enumerate(dtds):
        b[d + 18 * i:d + 18 * (i + 1)] = t
    if fix_checksum:
        b[127] = checksum_byte(b[:127])
    return bytes(b)


def other_extension_block(tag=0x70):
    """An extension block that is not CEA-861 (a DisplayID-like tag)."""
    b = bytearray(128)
    b[0] = tag
    b[2] = 4
    b[127] = checksum_byte(b[:127])
    return bytes(b)


def with_name(image, text):
    """The image with its first 0xFC descriptor of block 0 renamed and byte 127 fixed."""
    b = bytearray(image)
    for off in (54, 72, 90, 108):
        if b[off] == 0 and b[off + 1] == 0 and b[off + 2] == 0 and b[off + 3] == 0xFC:
            b[off + 5:off + 18] = text_body(text)
            b[127] = checksum_byte(b[:127])
            break
    return bytes(b)


def hex_text(data, per_line=16, separator=" ", line_end="\n"):
    """Upper-case hex transcription, `per_line` bytes a line."""
    lines = []
    for i in range(0, len(data), per_line):
        lines.append(separator.join("%02X" % x for x in data[i:i + per_line]))
    return line_end.join(lines) + line_end

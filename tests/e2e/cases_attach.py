"""The attach command: the report, the decision to send, and the request bytes."""

import os

import edid_builder as eb
import images as im
from harness import Case, Emulator, Step, write
from texts import (ATTACH_FAILED, CONNECTED, DPMS_ALL, HAVE_PIPE, HEADER_COMPLAINT, NO_CEA_TAIL, NO_PIPE, RANGE_A,
                   REMOVE_REQUEST, T1080_LINES, attach_ok, attach_request, busy_failed, payload_line, remove_ok,
                   version)


def expect_requests(*requests):
    """Check that the driver received exactly these requests, in order."""
    def check(ctx):
        saved = ctx.saved_requests()
        if saved == list(requests):
            return []
        problems = ["the driver received %d request(s), expected %d" % (len(saved), len(requests))]
        for i, (got, want) in enumerate(zip(saved, requests)):
            if got != want:
                first = next((k for k in range(min(len(got), len(want))) if got[k] != want[k]), None)
                problems.append("request %d differs (length %d, first difference at byte %s): got %s... want %s..."
                                % (i + 1, len(got), first, got[:48].hex(), want[:48].hex()))
        return problems
    return check


def attach_case(name, file_name, data, stdout, request, stderr=""):
    """One attach with a working driver, checking the request that arrived."""
    return Case(name, [Step(lambda ctx: ["/d", ctx.arg(file_name)], stdout, stderr)],
                emulator=Emulator(), setup=lambda ctx: write(ctx, file_name, data),
                check=expect_requests(request))


def unsent_case(name, file_name, data, stdout, stderr="", platforms=("posix", "windows")):
    """An attach that must end before the driver is looked for: with no pipe
    there, any attempt would show as the no-pipe line."""
    return Case(name, [Step(lambda ctx: ["/d", ctx.arg(file_name)], stdout, stderr)],
                setup=lambda ctx: write(ctx, file_name, data), no_pipe=True, platforms=platforms)


# ONE followed by seven empty blocks: the second pass finds nothing but prints its DPMS line.
ONE_AS_1024_REPORT = version() + RANGE_A + DPMS_ALL + T1080_LINES + DPMS_ALL + NO_CEA_TAIL

KOVRA = lambda image: eb.with_name(image, "KovraMonitor")

SENT = [
    attach_case("one_block_mode_from_name", "2560x1440x144.bin", im.ONE, im.ONE_REPORT + attach_ok(128),
                attach_request(KOVRA(im.ONE), 2560, 1440, 144)),
    attach_case("one_block_default_mode", "monitor.bin", im.ONE, im.ONE_REPORT + attach_ok(128),
                attach_request(KOVRA(im.ONE), 1920, 1080, 60)),
    attach_case("two_blocks", "3840x2160x60.bin", im.TWO, im.TWO_REPORT + attach_ok(256),
                attach_request(KOVRA(im.TWO), 3840, 2160, 60)),
    # Length 384 is loaded; the first 256 bytes travel.
    attach_case("three_blocks_send_256", "1920x1080x60.bin", im.THREE, im.THREE_REPORT + attach_ok(256),
                attach_request(KOVRA(im.THREE), 1920, 1080, 60)),
    attach_case("no_name_sent_as_loaded", "monitor.bin", im.NONAME, im.NONAME_REPORT + attach_ok(128),
                attach_request(im.NONAME, 1920, 1080, 60)),
    # Block 0 sums to 5 and block 1 to 251: the image passes. Without a name
    # nothing changes; with one, byte 127 is made right for block 0 alone.
    attach_case("odd_block_sums_unnamed", "monitor.bin", im.ODD_SUMS, im.ODD_SUMS_REPORT + attach_ok(256),
                attach_request(im.ODD_SUMS, 1920, 1080, 60)),
    attach_case("odd_block_sums_named", "monitor.bin", im.ODD_SUMS_NAMED, im.ODD_SUMS_REPORT + attach_ok(256),
                attach_request(KOVRA(im.ODD_SUMS_NAMED), 1920, 1080, 60)),
    attach_case("only_first_name_replaced", "monitor.bin", im.TWO_NAMES, im.TWO_NAMES_REPORT + attach_ok(128),
                attach_request(KOVRA(im.TWO_NAMES), 1920, 1080, 60)),
    # An empty second block makes a 256-byte file a one-block image.
    attach_case("empty_second_block", "monitor.bin", im.ONE + bytes(128), im.ONE_REPORT + attach_ok(128),
                attach_request(KOVRA(im.ONE), 1920, 1080, 60)),
    # More than 1024 bytes: the first 1024 load; the ninth block would break the checksum.
    attach_case("first_1024_bytes", "monitor.bin", im.ONE + bytes(128 * 7) + bytes([1] * 128),
                ONE_AS_1024_REPORT + attach_ok(256), attach_request(KOVRA(im.ONE) + bytes(128), 1920, 1080, 60)),
]

# (file name, width, height, refresh) the request must carry.
MODE_NAMES = [
    ("2560x1440x144.bin", 2560, 1440, 144),
    ("3840x2160x60", 3840, 2160, 60),
    ("1280x720.bin", 1920, 1080, 60),
    ("1280X720X75.bin", 1920, 1080, 60),
    ("edid_2560x1440x144.bin", 1920, 1080, 60),
    ("1920x1080x60x75.bin", 1920, 1080, 60),
    ("2560x1440x144.5.bin", 2560, 1440, 144),
    ("1600 x900x75.bin", 1920, 1080, 60),
    ("1680x 1050x 59.bin", 1680, 1050, 59),
    (" 1024x768x70.bin", 1024, 768, 70),
    ("0x0x0.bin", 0, 0, 0),
    ("-1x-1x-1.bin", -1, -1, -1),
    ("+800x+600x+75.bin", 800, 600, 75),
    ("99999999999x-99999999999x1.bin", 2147483647, -2147483648, 1),
]


def write_mode_files(ctx):
    for name, _, _, _ in MODE_NAMES:
        write(ctx, os.path.join("modes", name), im.ONE)


MODES = Case(
    "mode_from_file_name",
    [Step(lambda ctx, n=name: ["/d", ctx.arg("modes", n)], im.ONE_REPORT + attach_ok(128)) for name, _, _, _ in MODE_NAMES],
    emulator=Emulator(requests=len(MODE_NAMES)), setup=write_mode_files,
    check=expect_requests(*[attach_request(KOVRA(im.ONE), w, h, r) for _, w, h, r in MODE_NAMES]))

MODE_CASES = [
    MODES,
    # Relative to the current folder, as typed.
    Case("relative_path", [Step(["/d", "1600x900x75.bin"], im.ONE_REPORT + attach_ok(128))],
         emulator=Emulator(), setup=lambda ctx: write(ctx, "1600x900x75.bin", im.ONE),
         check=expect_requests(attach_request(KOVRA(im.ONE), 1600, 900, 75))),
    # The last backslash decides, even on a system where it is a file-name character.
    Case("backslash_in_name", [Step(lambda ctx: ["/d", ctx.arg("x\\1280x720x60.bin")], im.ONE_REPORT + attach_ok(128))],
         emulator=Emulator(), setup=lambda ctx: write(ctx, "x\\1280x720x60.bin", im.ONE),
         check=expect_requests(attach_request(KOVRA(im.ONE), 1280, 720, 60)), platforms=("posix",)),
    # With a backslash present, a later forward slash does not count.
    Case("slash_after_backslash",
         [Step(lambda ctx: ["/d", ctx.arg() + "\\sub/1280x720x60.bin"], im.ONE_REPORT + attach_ok(128))],
         emulator=Emulator(), setup=lambda ctx: write(ctx, os.path.join("sub", "1280x720x60.bin"), im.ONE),
         check=expect_requests(attach_request(KOVRA(im.ONE), 1920, 1080, 60)), platforms=("windows",)),
]


def expect_file(name, data):
    def check(ctx):
        try:
            with open(ctx.path(name), "rb") as f:
                got = f.read()
        except OSError:
            return ["%s was not written" % name]
        return [] if got == data else ["%s holds %d bytes that differ from the expected %d" % (name, len(got), len(data))]
    return check


def expect_no_file(name):
    def check(ctx):
        return ["%s was written" % name] if os.path.lexists(ctx.path(name)) else []
    return check


def both(*checks):
    return lambda ctx: [p for c in checks for p in c(ctx)]


def split_nibbles(image):
    """Lower-case hex, the two digits of each byte on separate lines."""
    text = "".join("%x\n%x\t " % (b >> 4, b & 15) for b in image)
    return (text + "\n" * (1 if len(text) % 128 == 0 else 0)).encode("ascii")


TEXT_CASES = [
    Case("text_form", [Step(lambda ctx: ["/d", ctx.arg("2560x1440x144.txt")],
                            "The EDID size is 256 bytes. \n" + im.TWO_REPORT + attach_ok(256))],
         emulator=Emulator(), setup=lambda ctx: write(ctx, "2560x1440x144.txt", im.text_form(im.TWO)),
         check=both(expect_requests(attach_request(KOVRA(im.TWO), 2560, 1440, 144)),
                    expect_file("2560x1440x144.txt.bin", im.TWO))),
    Case("text_form_split_digits", [Step(lambda ctx: ["/d", ctx.arg("a.txt")],
                                         "The EDID size is 128 bytes. \n" + im.ONE_REPORT + attach_ok(128))],
         emulator=Emulator(), setup=lambda ctx: write(ctx, "a.txt", split_nibbles(im.ONE)),
         check=both(expect_requests(attach_request(KOVRA(im.ONE), 1920, 1080, 60)), expect_file("a.txt.bin", im.ONE))),
    Case("text_form_unsupported_size", [Step(lambda ctx: ["/d", ctx.arg("b.txt")], "The EDID Size: 50 is not supported.\n")],
         setup=lambda ctx: write(ctx, "b.txt", b"0123456789" * 10), no_pipe=True, check=expect_no_file("b.txt.bin")),
    Case("text_form_empty", [Step(lambda ctx: ["/d", ctx.arg("c.txt")], "The EDID size is 0 bytes. \n")],
         setup=lambda ctx: write(ctx, "c.txt", b""), no_pipe=True, check=expect_no_file("c.txt.bin")),
    Case("text_form_white_space_only", [Step(lambda ctx: ["/d", ctx.arg("d.txt")], "The EDID size is 0 bytes. \n")],
         setup=lambda ctx: write(ctx, "d.txt", b" \r\n\t\x0b\x0c 7 \n"), no_pipe=True, check=expect_no_file("d.txt.bin")),
]


UNSENT_CASES = [
    unsent_case("checksum_wrong_1", "monitor.bin", im.BAD_SUM_1, im.BAD_SUM_1_OUT),
    unsent_case("checksum_wrong_in_block_1", "monitor.bin", im.BAD_SUM_5, im.BAD_SUM_5_OUT),
    unsent_case("header_wrong", "monitor.bin", im.BAD_HEADER, im.BAD_HEADER_OUT, HEADER_COMPLAINT),
    unsent_case("header_and_checksum_wrong", "monitor.bin", im.BAD_BOTH, im.BAD_BOTH_OUT, HEADER_COMPLAINT),
    # Files that cannot be read at all: see cases_unreadable.py.
    Case("driver_absent", [Step(lambda ctx: ["/d", ctx.arg("monitor.bin")], im.TWO_REPORT + NO_PIPE)],
         setup=lambda ctx: write(ctx, "monitor.bin", im.TWO), no_pipe=True),
]

PAYLOAD_128 = HAVE_PIPE + CONNECTED + payload_line(128)

EXCHANGE_CASES = [
    Case("attach_then_remove",
         [Step(lambda ctx: ["/d", ctx.arg("monitor.bin")], im.ONE_REPORT + attach_ok(128)),
          Step(["/c", "1"], "Remove Monitor1...\n" + remove_ok(0))],
         emulator=Emulator(requests=2), setup=lambda ctx: write(ctx, "monitor.bin", im.ONE),
         check=expect_requests(attach_request(KOVRA(im.ONE), 1920, 1080, 60), REMOVE_REQUEST)),
    Case("attach_status_from_driver", [Step(lambda ctx: ["/d", ctx.arg("monitor.bin")],
                                            im.ONE_REPORT + attach_ok(128, status=-5))],
         emulator=Emulator(["--status", "-5"]), setup=lambda ctx: write(ctx, "monitor.bin", im.ONE)),
    Case("attach_bad_magic", [Step(lambda ctx: ["/d", ctx.arg("monitor.bin")], im.ONE_REPORT + PAYLOAD_128 + ATTACH_FAILED)],
         emulator=Emulator(["--bad-magic"]), setup=lambda ctx: write(ctx, "monitor.bin", im.ONE)),
    Case("attach_short_reply", [Step(lambda ctx: ["/d", ctx.arg("monitor.bin")], im.ONE_REPORT + PAYLOAD_128 + ATTACH_FAILED)],
         emulator=Emulator(["--short", "12"]), setup=lambda ctx: write(ctx, "monitor.bin", im.ONE)),
    Case("attach_closed_without_reply",
         [Step(lambda ctx: ["/d", ctx.arg("monitor.bin")], im.ONE_REPORT + PAYLOAD_128 + ATTACH_FAILED)],
         emulator=Emulator(["--close"]), setup=lambda ctx: write(ctx, "monitor.bin", im.ONE)),
    # A pipe busy past its 2 s, and a driver that never replies (10 s): each run has 20 s.
    Case("attach_busy_pipe",
         [Step(lambda ctx: ["/d", ctx.arg("monitor.bin")], lambda ctx: im.ONE_REPORT + busy_failed(ctx), timeout=20)],
         emulator=Emulator(["--busy"], served=0), setup=lambda ctx: write(ctx, "monitor.bin", im.ONE),
         check=expect_requests()),
    Case("attach_silent_driver",
         [Step(lambda ctx: ["/d", ctx.arg("monitor.bin")], im.ONE_REPORT + PAYLOAD_128 + ATTACH_FAILED, timeout=20)],
         emulator=Emulator(["--silent"]), setup=lambda ctx: write(ctx, "monitor.bin", im.ONE),
         check=expect_requests(attach_request(KOVRA(im.ONE), 1920, 1080, 60))),
]

ATTACH = SENT + MODE_CASES + TEXT_CASES + UNSENT_CASES + EXCHANGE_CASES

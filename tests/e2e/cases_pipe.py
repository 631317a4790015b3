"""Command selection and the remove exchange with the driver."""

import edid_builder as eb
from harness import Case, Emulator, Step
from texts import (CONNECTED, HAVE_PIPE, NO_CEA_TAIL, NO_PIPE, REMOVE_REQUEST, T1080, T1080_LINES, USAGE, DPMS_ALL,
                   busy_failed, remove_failed, remove_ok, version)


def unknown(word):
    return "Unknown command : %s\n" % word


def notice(index):
    return "Remove Monitor%s...\n" % index


def sent_nothing(ctx):
    saved = ctx.saved_requests()
    return ["the driver received %d request(s), expected none" % len(saved)] if saved else []


def sent_remove(ctx):
    saved = ctx.saved_requests()
    if saved != [REMOVE_REQUEST]:
        return ["the driver did not receive exactly one remove request: %r" % [s[:32].hex() for s in saved]]
    return []


def write_plain_edid(ctx):
    with open(ctx.path("plain.bin"), "wb") as f:
        f.write(eb.base_block([eb.dtd(*T1080)]))


PLAIN_REPORT = version() + DPMS_ALL + T1080_LINES + NO_CEA_TAIL


# (name, arguments, stdout) for runs with no driver at all.
NO_DRIVER_RUNS = [
    ("no_arguments", [], USAGE),
    ("upper_case_d", ["/D", "x.bin"], unknown("/D")),
    ("upper_case_c", ["/C", "1"], unknown("/C")),
    ("dash_d", ["-d", "x.bin"], unknown("-d")),
    ("help_alone", ["help"], unknown("help")),
    ("help_with_argument", ["help", "me"], unknown("help")),
    ("unknown_with_blank", ["a b", "x"], unknown("a b")),
    ("empty_word", ["", "x"], unknown("")),
    ("remove_without_index", ["/c"], USAGE),
    ("attach_without_file", ["/d"], USAGE),
    ("list_without_folder", ["/l"], USAGE),
    ("embedded_c_without_index", ["x/cy"], USAGE),
    ("remove_index_as_typed", ["/c", "abc"], notice("abc") + NO_PIPE),
    ("remove_empty_index", ["/c", ""], notice("") + NO_PIPE),
    ("remove_third_argument_ignored", ["/c", "3", "more"], notice("3") + NO_PIPE),
    ("embedded_c_selects_remove", ["x/cy", "3"], notice("3") + NO_PIPE),
    ("clear_selects_remove", ["/clear", "7"], notice("7") + NO_PIPE),
    ("c_wins_over_l", ["/l/c", "2"], notice("2") + NO_PIPE),
]

DISPATCH = [Case(name, [Step(args, stdout)], no_pipe=True) for name, args, stdout in NO_DRIVER_RUNS] + [
    # "/c" is tested before "/d": the file path is echoed as the index and a remove goes out.
    Case("d_then_c_selects_remove", [Step(["/d/c", "file.bin"], notice("file.bin") + remove_ok(0))],
         emulator=Emulator(["--status", "0"]), check=sent_remove),
    # "/d" is tested before "/l": a file, not a folder, gets the attach road.
    Case("l_then_d_selects_attach",
         [Step(lambda ctx: ["/l/d", ctx.arg("plain.bin")], PLAIN_REPORT + NO_PIPE)],
         setup=write_plain_edid, no_pipe=True),
    Case("attach_third_argument_ignored",
         [Step(lambda ctx: ["/d", ctx.arg("plain.bin"), "/c"], PLAIN_REPORT + NO_PIPE)],
         setup=write_plain_edid, no_pipe=True),
]


# (name, emulator options, output after the notice of "/c 1").
# A fresh emulator has nothing attached, so a plain remove is answered -1.
# The reply record is cleared before the read: bytes that never arrive show as 0.
REMOVE_REPLIES = [
    ("status_nothing_attached", [], remove_ok(-1)),
    ("status_zero", ["--status", "0"], remove_ok(0)),
    ("status_positive", ["--status", "7"], remove_ok(7)),
    ("status_int_min", ["--status", "-2147483648"], remove_ok(-2147483648)),
    ("short_0", ["--short", "0"], HAVE_PIPE + CONNECTED + remove_failed(0, "0", 0, 0)),
    ("short_3", ["--short", "3"], HAVE_PIPE + CONNECTED + remove_failed(3, "344321", 0, 0)),
    ("short_5", ["--short", "5"], HAVE_PIPE + CONNECTED + remove_failed(5, "12344321", 1, 0)),
    ("short_12", ["--short", "12"], HAVE_PIPE + CONNECTED + remove_failed(12, "12344321", 1, 1)),
    ("short_15", ["--short", "15"], HAVE_PIPE + CONNECTED + remove_failed(15, "12344321", 1, 1)),
    ("bad_marker", ["--bad-marker"], HAVE_PIPE + CONNECTED + remove_failed(16, "12344321", 1, 0)),
    ("bad_magic", ["--bad-magic"], HAVE_PIPE + CONNECTED + remove_failed(16, "deadbeef", 1, 1)),
    ("closed_without_reply", ["--close"], HAVE_PIPE + CONNECTED + remove_failed(0, "0", 0, 0)),
    # A reply of 32 bytes: the one read of 16 gets a whole, valid reply.
    ("long_reply", ["--long"], remove_ok(-1)),
    # 8 bytes, a pause, then 8 more: only the first 8 are read.
    ("split_reply", ["--split"], HAVE_PIPE + CONNECTED + remove_failed(8, "12344321", 1, 0)),
    # 16 bytes of 0xA5.
    ("garbage_reply", ["--garbage"],
     HAVE_PIPE + CONNECTED + remove_failed(16, "a5a5a5a5", -1515870811, -1515870811)),
]

# Waits that end: a pipe busy past its 2 s, one freed within them, a driver
# that never replies (10 s). (name, emulator options, output after the notice,
# whether the remove reaches the driver); each run has 20 s.
WAITS = [
    ("busy_pipe", ["--busy"], busy_failed, False),
    ("busy_pipe_freed_in_time", ["--busy-for", "1000"], lambda ctx: remove_ok(-1), True),
    ("silent_driver", ["--silent"], lambda ctx: HAVE_PIPE + CONNECTED + remove_failed(0, "0", 0, 0), True),
]

REMOVE = [
    Case("no_pipe", [Step(["/c", "1"], notice(1) + NO_PIPE)], no_pipe=True),
    Case("stale_socket", [Step(["/c", "1"], notice(1) + HAVE_PIPE + "connect failed! error=111\n")],
         emulator=Emulator(["--stale"], requests=1, served=0), platforms=("posix",)),
    # Closing before the request is read: the tool sees no reply at all.
    Case("closed_before_reading", [Step(["/c", "1"], notice(1) + HAVE_PIPE + CONNECTED + remove_failed(0, "0", 0, 0))],
         emulator=Emulator(["--close-early"])),
    # A pipe the client may only write to cannot be opened for reading and writing.
    Case("inbound_only_pipe", [Step(["/c", "1"], notice(1) + HAVE_PIPE + "connect failed! error=5\n")],
         emulator=Emulator(["--inbound-only"], requests=1, served=0), platforms=("windows",),
         check=sent_nothing),
] + [
    Case(name, [Step(["/c", "1"], notice(1) + out)], emulator=Emulator(options), check=sent_remove)
    for name, options, out in REMOVE_REPLIES
] + [
    Case(name, [Step(["/c", "1"], lambda ctx, out=out: notice(1) + out(ctx), timeout=20)],
         emulator=Emulator(options, served=int(sends)), check=sent_remove if sends else sent_nothing)
    for name, options, out, sends in WAITS
]

"""Exact console texts and driver messages the end-to-end cases expect.

Everything here is spelled out by hand; nothing is computed by code that
mirrors the tool. The timing lines were worked out once from each timing's
clock and totals and are kept literally.
"""

import struct

USAGE = ("Velmorin : \n"
         "Usage: \n"
         "    Velmorin /d edid_file : \n"
         "    Velmorin /c i  : Remove display \"i\", if it's attached by this app, from the desktop.\n")

NO_PIPE = "no any named Pipe exist !!!\n"
HAVE_PIPE = "Already have a named Pipe  !!!\n"
CONNECTED = "connect success!\n"
ATTACH_FAILED = "update EDID failed\r\n"
# The code of a connect to a pipe that stayed busy: EAGAIN, ERROR_PIPE_BUSY.
BUSY_ERROR = {"posix": 11, "windows": 231}

HEADER_COMPLAINT = ("Velmorin: first bytes don't match EDID version 1 header\n"
                    "Velmorin: do not trust output (if any).\n")


def busy_failed(ctx):
    return HAVE_PIPE + "connect failed! error=%d\n" % BUSY_ERROR[ctx.platform]


def status_line(status):
    return "get a message from indirect display: status=%d\r\n" % status


def remove_failed(count, magic_hex, marker1, marker2):
    return "dwread = %d magic %s ma %d %d update EDID failed\r\n" % (count, magic_hex, marker1, marker2)


def payload_line(size):
    return "payload size=%d\r\n" % size


def attach_ok(size, status=0):
    return HAVE_PIPE + CONNECTED + payload_line(size) + status_line(status)


def remove_ok(status):
    return HAVE_PIPE + CONNECTED + status_line(status)


def version(v=1, r=3):
    return "\n\t# EDID version %d revision %d\n" % (v, r)


def dpms(active_off, suspend, standby):
    yn = lambda b: "yes" if b else "no"
    return "\t# DPMS capabilities: Active off:%s  Suspend:%s  Standby:%s\n\n" % (
        yn(active_off), yn(suspend), yn(standby))


DPMS_ALL = dpms(True, True, True)     # feature byte 0xEA
DPMS_NONE = dpms(False, False, False)  # feature byte 0x0A

NO_CEA_TAIL = ("NO CEA extension\n"
               "It's NOT an HDMI monitor\n"
               "NO CEA extension\n"
               "Monitor has NO audio\n")

# Range limits 48-144 Hz, 30-160 kHz, 600 MHz.
RANGE_A = "\tHorizSync 30-160\n\tVertRefresh 48-144\n\t# Max dot clock (video bandwidth) 600 MHz\n"
# Range limits 50-75 Hz, 30-83 kHz, clock not given (255), formula byte set.
RANGE_B = ("\tHorizSync 30-83\n\tVertRefresh 50-75\n\t# Max dot clock not given\n"
           "\t# EDID version 3 GTF given: contact author\n")
# Range limits 1-255 Hz, 0-255 kHz, clock byte 0.
RANGE_C = "\tHorizSync 0-255\n\tVertRefresh 1-255\n\t# Max dot clock (video bandwidth) 0 MHz\n"

# Detailed timings: (clock in 10 kHz, h active, h blank, v active, v blank),
# the report lines and the record's refresh.
T1080 = (14850, 1920, 280, 1080, 45)
T1080_LINES = "\tMode \t\"1920x1080\"\t# vfreq 60.000Hz, hfreq 67.500kHz\n\t\tDotClock\t148.500000\n"
T720 = (7425, 1280, 370, 720, 30)
T720_LINES = "\tMode \t\"1280x720\"\t# vfreq 60.000Hz, hfreq 45.000kHz\n\t\tDotClock\t74.250000\n"
T1440 = (59731, 2560, 160, 1440, 85)
T1440_LINES = "\tMode \t\"2560x1440\"\t# vfreq 144.000Hz, hfreq 219.599kHz\n\t\tDotClock\t597.310000\n"
T2160 = (59400, 3840, 560, 2160, 90)
T2160_LINES = "\tMode \t\"3840x2160\"\t# vfreq 60.000Hz, hfreq 135.000kHz\n\t\tDotClock\t594.000000\n"
T480 = (2700, 720, 138, 480, 45)
T480_LINES = "\tMode \t\"720x480\"\t# vfreq 59.940Hz, hfreq 31.469kHz\n\t\tDotClock\t27.000000\n"
# 148.35 MHz: prints 59.939 Hz, record says 60.
T5994 = (14835, 1920, 280, 1080, 45)
T5994_LINES = "\tMode \t\"1920x1080\"\t# vfreq 59.939Hz, hfreq 67.432kHz\n\t\tDotClock\t148.350000\n"
# The largest clock, 655.35 MHz: 264.788 Hz, record 265.
TMAX = (65535, 1920, 280, 1080, 45)
TMAX_LINES = "\tMode \t\"1920x1080\"\t# vfreq 264.788Hz, hfreq 297.886kHz\n\t\tDotClock\t655.350000\n"
# 10 kHz over 200 x 100: hfreq below 10 kHz gets a leading blank; record 0.
TLOW = (1, 100, 100, 100, 0)
TLOW_LINES = "\tMode \t\"100x100\"\t# vfreq 0.500Hz, hfreq  0.050kHz\n\t\tDotClock\t0.010000\n"
# Horizontal total 0: both rates infinite, record 0.
THZERO = (14850, 0, 0, 1080, 45)
THZERO_LINES = "\tMode \t\"0x1080\"\t# vfreq infHz, hfreq    infkHz\n\t\tDotClock\t148.500000\n"
# Vertical total 0: vfreq infinite, hfreq finite, record 0.
TVZERO = (14850, 1920, 280, 0, 0)
TVZERO_LINES = "\tMode \t\"1920x0\"\t# vfreq infHz, hfreq 67.500kHz\n\t\tDotClock\t148.500000\n"
# Exactly 74.5 Hz: the record says 74.
T745 = (7450, 800, 200, 600, 400)
T745_LINES = "\tMode \t\"800x600\"\t# vfreq 74.500Hz, hfreq 74.500kHz\n\t\tDotClock\t74.500000\n"
# Pixel clock bytes 00 0A (25.60 MHz): a timing, not a display descriptor.
T0A = (2560, 640, 160, 480, 45)
T0A_LINES = "\tMode \t\"640x480\"\t# vfreq 60.952Hz, hfreq 32.000kHz\n\t\tDotClock\t25.600000\n"

MAGIC = 0x12344321


def request_bytes(command, payload=b"", width=0, height=0, refresh=0):
    """A DriverRequest as it must travel: 32 bytes of fields, 1024 of payload."""
    head = struct.pack("<IIIIiiii", MAGIC, 1, 1, command, len(payload), width, height, refresh)
    return head + payload + bytes(1024 - len(payload))


REMOVE_REQUEST = request_bytes(2)


def attach_request(image, width, height, refresh):
    return request_bytes(1, image[:256], width, height, refresh)

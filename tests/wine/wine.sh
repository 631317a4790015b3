#!/bin/sh
# Runs Wine with the address space laid out the same on every run. Debian's
# wine64 has no preloader: its loader sits at a fixed address, and the heap
# that the system places at random just above it can, now and then, take the
# place Wine needs for its shared user data. The program then never starts
# (status 1, "failed to map the shared user data" on Wine's error channel),
# and neither does a desktop process that the display tests depend on.
exec setarch "$(uname -m)" -R wine "$@"

#!/bin/sh
# usage: expect_failure.sh LINE COMMAND...
# Runs COMMAND, shows its output, and passes only when it ends with status 1
# and printed LINE as a whole line: a failure must be loud, not silent.
line=$1
shift
out=$("$@" 2>&1)
status=$?
printf '%s\n' "$out"
if [ "$status" -ne 1 ]; then
  echo "expected status 1, got $status"
  exit 1
fi
if ! printf '%s\n' "$out" | grep -qxF "$line"; then
  echo "expected the line: $line"
  exit 1
fi

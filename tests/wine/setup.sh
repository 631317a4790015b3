#!/bin/sh
# Prepares Wine before any Windows program runs under CTest; with --stop,
# stops that Wine again once the tests are done.
#
# A persistent wineserver keeps Wine's background services alive between
# tests; the prefix is initialised here with every stream on /dev/null so
# that those services never hold a test's output pipe open. A new prefix is
# created on the way (that takes a while the first time); Mono and Gecko are
# not needed, so their installers are switched off.
set -eu
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
prefix="${WINEPREFIX:-$HOME/.wine}"
if [ "${1:-}" = "--stop" ]; then
  # Ends the server of this prefix and every program still running in it.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  echo "wine prefix stopped: $prefix"
  exit 0
fi
# The server cannot start in a prefix folder that does not exist yet; Wine
# would then start its own, which quits a few seconds after the last Windows
# program ends and drops any program that connects in that moment.
mkdir -p "$prefix"
# Fails harmlessly when a persistent server from an earlier run is still up.
wineserver -p </dev/null >/dev/null 2>&1 || true
setarch "$(uname -m)" -R wineboot -i </dev/null >/dev/null 2>&1
echo "wine prefix ready: $prefix"

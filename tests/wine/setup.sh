#!/bin/sh
# Prepares Wine before any Windows program runs under CTest.
#
# A persistent wineserver keeps Wine's background services alive between
# tests; the prefix is initialised here with every stream on /dev/null so
# that those services never hold a test's output pipe open. A new prefix is
# created on the way (that takes a while the first time); Mono and Gecko are
# not needed, so their installers are switched off.
set -eu
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p </dev/null >/dev/null 2>&1 || true
wineboot -i </dev/null >/dev/null 2>&1
echo "wine prefix ready: ${WINEPREFIX:-$HOME/.wine}"

#!/bin/sh
# Writes the sample EDIDs of this folder with velmorin-edid, in binary form
# (.bin) and hexadecimal text form (.txt). The same maker always writes the
# same bytes. 1280x720x60 is not among them: see README.md.
#
# usage: samples/make_samples.sh VELMORIN_EDID [FOLDER]
#   VELMORIN_EDID  the maker, e.g. build/velmorin-edid
#   FOLDER         where to write (default: this folder); existing files are replaced
set -eu
maker=$1
folder=${2:-$(dirname "$0")}

sample() {
  "$maker" "$@" --force -o "$folder/" >/dev/null
  "$maker" "$@" --force --text -o "$folder/" >/dev/null
}

sample 1920x1080x60 1280x720x60 1024x768x60 --audio --name "KVR Vela 24" --size 24
sample 2560x1440x144 2560x1440x60 1920x1080x60 --hdr --name "KVR Talon 27" --size 27
sample 3840x2160x60 3840x2160x30 2560x1440x60 1920x1080x60 --hdr --audio --name "KVR Orrery 32" --size 32
sample 2560x1600x165 2560x1600x60 --name "KVR Kestrel" --size 16

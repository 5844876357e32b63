#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# Says at once when the disk is short for `make test`, instead of letting a
# compiler stop half-way with "No space left on device"; otherwise it prints
# the figures in one line, for the log. The suite's builds, the Wine prefix
# and the tests' files take about 3.5 GB under build/ (README); what build/
# already holds is reused, so it counts as room.
#   check-disk.sh NEEDED_MB
set -u
needed_mb=$1
mkdir -p build
free_mb=$(df -Pm build | awk 'NR == 2 { print $4 }')
held_mb=$(du -sm build | cut -f1)
figures="${free_mb} MB free on the disk of build/ (which holds ${held_mb} MB); a full run takes about ${needed_mb} MB"
if [ $((free_mb + held_mb)) -lt "$needed_mb" ]; then
  echo "make test: warning: $figures, so it may stop with \"No space left on device\"" >&2
else
  echo "make test: $figures"
fi
exit 0

#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# same_images.sh A B: the cursor and bitmap lines of two figure files agree.
set -u
if ! diff -u <(grep -E '^(cursor|bitmap) ' "$1") <(grep -E '^(cursor|bitmap) ' "$2"); then
  echo "the cursors or bitmaps of $1 and $2 differ"
  exit 1
fi

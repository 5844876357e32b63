#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# The licence line at the top of every source file, in the file's own
# comment syntax (after a #! line or a <!doctype>):
#   scripts/spdx.sh --check   names every source file without it; fails if any
#   scripts/spdx.sh --apply   adds it where it is missing (a second run changes nothing)
# Source files: C and C++, the resource script and .def file, shell, Python,
# CMake, the Makefile, the viewer's HTML, CSS and JavaScript. Host scripts
# (*.vscript) are test and example data whose line numbers the tests read.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly ID="SPDX-License-Identifier: AGPL-3.0-or-later"

# The line as the file's syntax writes it; empty for a file that is no source.
line_for() {
  case "$1" in
    *.c | *.cpp | *.h | *.js | *.rc) echo "// $ID" ;;
    *.css) echo "/* $ID */" ;;
    *.html) echo "<!-- $ID -->" ;;
    *.def) echo "; $ID" ;;
    *.sh | *.py | *.cmake | */CMakeLists.txt | CMakeLists.txt | Makefile | .ci/run) echo "# $ID" ;;
    *) echo "" ;;
  esac
}

has_line() {
  head -n 3 "$1" | grep -qF "$ID"
}

# Tracked files and new ones not ignored, so that a file is checked before
# its first commit too.
files() {
  git ls-files --cached --others --exclude-standard | sort -u
}

mode=${1:-}
case "$mode" in --check | --apply) ;; *)
  echo "usage: scripts/spdx.sh --check|--apply" >&2
  exit 2
  ;;
esac

missing=()
while IFS= read -r f; do
  [ -f "$f" ] || continue
  line=$(line_for "$f")
  [ -n "$line" ] || continue
  has_line "$f" && continue
  if [ "$mode" = --check ]; then
    missing+=("$f")
    continue
  fi
  first=$(head -n 1 "$f")
  tmp=$(mktemp "$f.XXXXXX")
  case "$first" in
    '#!'* | '<!doctype'* | '<!DOCTYPE'*) { echo "$first"; echo "$line"; tail -n +2 "$f"; } >"$tmp" ;;
    *) { echo "$line"; cat "$f"; } >"$tmp" ;;
  esac
  chmod --reference="$f" "$tmp"
  mv "$tmp" "$f"
  echo "added: $f"
done < <(files)

if [ ${#missing[@]} -gt 0 ]; then
  printf 'no SPDX licence line at the top: %s\n' "${missing[@]}" >&2
  echo "${#missing[@]} source files without \"$ID\" (scripts/spdx.sh --apply adds it)" >&2
  exit 1
fi
[ "$mode" = --check ] && echo "every source file carries \"$ID\""
exit 0

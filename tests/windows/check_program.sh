#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# check_program.sh WORK LAUNCHER VELLORA: what vellora.exe does differently
# on Windows, and the file it writes there.
#   - `view` says the viewer is not built for Windows, exit status 2;
#   - a PDF file is refused with one message, non-zero exit status;
#   - a snapshot replaces an existing file in one step and leaves no staging
#     file; one into a missing folder fails with a message naming it and
#     writes nothing.
set -u
work=$1 launcher=$2 vellora=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail=0
problem() { echo "$*"; fail=1; }
run() { "$launcher" "$vellora" "$@" >out.txt 2>err.txt; status=$?; tr -d '\r' <err.txt >err.plain; }

printf '%%PDF-1.4\n' >doc.pdf
run view doc.pdf
[ "$status" = 2 ] || problem "view: exit status $status, expected 2"
grep -qF "not built for Windows" err.plain || problem "view: standard error lacks the reason: $(cat err.plain)"

run boxes doc.pdf
[ "$status" != 0 ] || problem "boxes on a PDF file: exit status 0"
grep -qF "reads no PDF files (built without PDF support)" err.plain ||
  problem "boxes: standard error lacks the refusal: $(cat err.plain)"
[ "$(wc -l <err.plain)" = 1 ] || problem "boxes: more than one message: $(cat err.plain)"

printf 'old' >shown.png
printf 'load\nnew doc 1 200 100\nsnapshot shown.png\n' >snap.vscript
run run snap.vscript
[ "$status" = 0 ] || problem "snapshot: exit status $status: $(cat err.plain)"
[ "$(head -c 4 shown.png | od -An -c | tr -d ' ')" = "211PNG" ] || problem "snapshot: shown.png was not replaced"
leftover=$(ls -A | grep -F '.vellora-')
[ -z "$leftover" ] || problem "staging files left behind: $leftover"

printf 'load\nnew doc 1\nsnapshot missing/shown.png\n' >missing.vscript
run run missing.vscript
[ "$status" != 0 ] || problem "snapshot into a missing folder: exit status 0"
grep -qF "missing/shown.png: cannot write" err.plain || problem "snapshot into a missing folder: $(cat err.plain)"
[ ! -e missing ] || problem "a folder 'missing' was made"

[ $fail -eq 0 ] && echo "view, PDF refusal and file replacement as expected"
exit $fail

#!/bin/sh
# SPDX-License-Identifier: AGPL-3.0-or-later
# Bounding boxes of scanned books, beside the tools that look at pixels:
# `pdftoppm -r 72` (rendering every page at 72 dpi, the least any
# pixel-based cropper does), k2pdfopt and `krop --trim`, installed here
# from Debian's packages (scripts/install-deps.sh k2pdfopt krop; without
# root their rows say "not installed"). The books are made once (tools/scans/make_scans.py:
# the text sample's pages rendered by Ghostscript at 300 dpi with dust
# added, packed by img2pdf), bilevel (CCITT G4) and greyscale (JPEG).
# Usage: bench/scans.sh BUILD_DIR (make bench). BENCH_SCAN_PAGES sets the
# pages a book (default 300), BENCH_RUNS the runs of vellora and pdftoppm
# (default 3), BENCH_PEER_RUNS those of k2pdfopt and krop (default 1: they
# take minutes).
# Writes BUILD_DIR/bench/scans.md.
set -eu
build=$(cd "${1:?usage: bench/scans.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
work=$build/bench/scans
mkdir -p "$work"
vellora=$build/bin/vellora
pages=${BENCH_SCAN_PAGES:-300}
runs=${BENCH_RUNS:-3}
peer_runs=${BENCH_PEER_RUNS:-1}
"$here/scripts/install-deps.sh" k2pdfopt krop >&2 ||
  echo "bench/scans.sh: k2pdfopt and krop could not be installed; their rows stay empty" >&2

wall() {
  /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "$@" >"$work/out.txt" 2>"$work/err.txt" || {
    echo "bench/scans.sh: failed: $*" >&2; tail -5 "$work/err.txt" >&2; return 1; }
  awk '{printf "%.2f %.2f\n", $1, $2 + $3}' "$work/time.txt"
}
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a <= 0) a = 0.001; printf "%.1f", b / a}'; }

# job NAME COMMAND...: median wall and processor seconds of $runs runs.
job() {
  name=$1; shift
  runs=${job_runs:-$runs}
  : >"$work/$name.w"; : >"$work/$name.c"
  i=0
  while [ $i -lt "$runs" ]; do
    t=$(wall "$@") || { echo "failed"; return 0; }
    echo "$t" | cut -d' ' -f1 >>"$work/$name.w"
    echo "$t" | cut -d' ' -f2 >>"$work/$name.c"
    i=$((i + 1))
  done
  echo "$(median <"$work/$name.w") $(median <"$work/$name.c")"
}

{
  echo "Machine: $(nproc) processors; medians of $runs runs (k2pdfopt, krop: $peer_runs); wall and processor seconds."
  echo
  for kind in mono jpeg; do
    book=$work/book-$pages-300-$kind.pdf
    [ -f "$book" ] || /usr/bin/python3 "$here/tools/scans/make_scans.py" book \
      "$build/samples/text-1000.pdf" "$pages" 300 "$kind" "$book"
    describe=$( [ $kind = mono ] && echo "bilevel, CCITT G4" || echo "greyscale, JPEG q75")
    size=$(pdfimages -list -f 1 -l 1 "$book" | awk 'NR == 3 {print $4 " x " $5 " pixels"}')
    echo "### $pages pages at 300 dpi ($size a page), $describe: $(($(stat -L -c %s "$book") / 1024)) KB"
    echo
    echo "| job | wall s | processor s | vellora faster by (wall) | (processor) |"
    echo "|---|---|---|---|---|"
    vb=$(job vb "$vellora" bbox "$book" -o "$work/out.pdf" --each)
    echo "| vellora bbox --each | ${vb% *} | ${vb#* } | | |"
    pp=$(job pp pdftoppm -r 72 "$book" "$work/ppm")
    rm -f "$work"/ppm*.ppm
    echo "| pdftoppm -r 72 | ${pp% *} | ${pp#* } | $(ratio "${vb% *}" "${pp% *}")x | $(ratio "${vb#* }" "${pp#* }")x |"
    if command -v k2pdfopt >/dev/null 2>&1; then
      k2=$(job_runs=$peer_runs job k2 k2pdfopt -ui- -x -mode crop -o "$work/k2.pdf" "$book")
      echo "| k2pdfopt -mode crop | ${k2% *} | ${k2#* } | $(ratio "${vb% *}" "${k2% *}")x | $(ratio "${vb#* }" "${k2#* }")x |"
    else
      echo "| k2pdfopt | not installed | | | |"
    fi
    if command -v krop >/dev/null 2>&1; then
      # krop trims the selection of its first page only when each page has
      # its own; one selection for every page, trimmed over all of them,
      # makes it look at every page.
      kr=$(QT_QPA_PLATFORM=offscreen job_runs=$peer_runs job kr krop --go --trim --selections all --trim-use all -o "$work/krop.pdf" "$book")
      echo "| krop --go --trim --trim-use all | ${kr% *} | ${kr#* } | $(ratio "${vb% *}" "${kr% *}")x | $(ratio "${vb#* }" "${kr#* }")x |"
    else
      echo "| krop | not installed | | | |"
    fi
    echo
  done
} | tee "$build/bench/scans.md"

#!/bin/sh
# SPDX-License-Identifier: AGPL-3.0-or-later
# Benchmarks, each job beside the tools a user would pick instead, in the
# same run, paired (the tools take turns), medians of processor time
# (user + system: the machine is shared, wall time says more about the
# neighbours), quoted as ratios:
#  - the plug-in and host cost a page, in-memory documents (Google Benchmark);
#  - a crop of every page through the command line against `qpdf IN OUT` and
#    qpdf's JSON route, with bytes appended a page, `qpdf --check`, and the
#    time to open the result again in mutool and in `vellora boxes`;
#  - bounding boxes of every page of the text sample and of the pgf manual
#    against `mutool draw -F bbox`, Ghostscript's bbox device and pdfcrop;
#  - how far this backend's boxes lie from Ghostscript's on the manual.
# Usage: bench/run.sh BUILD_DIR (make bench). BENCH_LARGE=1 adds the crop
# of 50,000 pages; BENCH_RUNS sets the pairs per job (default 3).
# Writes BUILD_DIR/bench/results.md.
set -eu
build=$(cd "${1:?usage: bench/run.sh BUILD_DIR}" && pwd)
work=$build/bench
mkdir -p "$work"
vellora=$build/bin/vellora
runs=${BENCH_RUNS:-3}
sizes="1000 10000"
[ "${BENCH_LARGE:-0}" = 1 ] && sizes="$sizes 50000"
manual=/usr/share/doc/texlive-doc/generic/pgf/pgfmanual.pdf
for tool in "$vellora" "$build/bin/samplegen"; do
  [ -x "$tool" ] || { echo "bench/run.sh: $tool is not built (cmake --build $build)" >&2; exit 1; }
done

# The manual comes from Debian's texlive-pictures-doc and pdfcrop from
# texlive-extra-utils, installed here when missing and allowed (root);
# otherwise their jobs are skipped with a note.
if { [ ! -f "$manual" ] || ! command -v pdfcrop >/dev/null 2>&1; } && [ "$(id -u)" = 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends texlive-pictures-doc texlive-extra-utils >/dev/null 2>&1 || true
fi

# cpu COMMAND...: processor seconds of one run (exits on failure).
cpu() {
  /usr/bin/time -f '%U %S %M %e' -o "$work/time.txt" "$@" >"$work/out.txt" 2>"$work/err.txt" || {
    echo "bench/run.sh: failed: $*" >&2; tail -5 "$work/err.txt" >&2; exit 1; }
  awk '{printf "%.3f\n", $1 + $2}' "$work/time.txt"
}
peak() { awk '{printf "%d", $3 / 1024}' "$work/time.txt"; }
wall() { awk '{printf "%.3f\n", $4}' "$work/time.txt"; }
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a <= 0) a = 0.001; printf "%.2f", b / a}'; }
size() { stat -c %s "$1"; }

# paired NAME COMMAND... : run it $runs times, taking turns with the other
# jobs of the table (the caller loops), the median in $work/NAME.median.
pair() {
  name=$1; shift
  cpu "$@" >>"$work/$name.times"
  peak >"$work/$name.peak"
  wall >>"$work/$name.walls"
}
medians() {
  for job in "$@"; do
    median <"$work/$job.times" >"$work/$job.median"
    median <"$work/$job.walls" >"$work/$job.wmedian"
  done
}
m() { cat "$work/$1.median"; }
w() { cat "$work/$1.wmedian"; }
reset_times() { for job in "$@"; do : >"$work/$job.times"; : >"$work/$job.walls"; done; }

{
  echo "Machine: $(nproc) processors, $(uname -m); load average at start: $(cut -d' ' -f1-3 /proc/loadavg)."
  echo "Medians of $runs paired runs, processor seconds (user + system)."
  echo

  if [ -x "$build/bin/host_bench" ]; then
    echo "## Plug-in and host cost a page (in-memory documents, crop of every page)"
    echo
    "$build/bin/host_bench" --benchmark_min_time=0.3 --benchmark_format=csv 2>/dev/null |
      awk -F, '/CropAllPages/ {split($1, n, "/"); for (i = 1; i <= NF; i++) if ($i ~ /^[0-9.e+-]+$/) last = $i;
        printf "- %s pages: %.2f µs a page (processor time)\n", n[2], last * 1e6}'
    echo
  fi

  echo "## Crop of every page through the command line"
  echo
  echo "| pages | vellora crop s | qpdf IN OUT s | ratio | qpdf JSON route s | ratio | bytes appended a page | qpdf --check | reopen in mutool s (uncropped) | vellora boxes s (uncropped) |"
  echo "|---|---|---|---|---|---|---|---|---|---|"
  for n in $sizes; do
    in=$work/text-$n.pdf
    [ -f "$in" ] || "$build/bin/samplegen" "$work" --text "$n" "text-$n.pdf" >/dev/null
    reset_times crop qpdf json show0 show1 boxes0 boxes1
    i=0
    while [ $i -lt "$runs" ]; do
      pair crop "$vellora" crop "$in" -o "$work/crop.pdf" --region 72,72,540,720 --pages all
      pair qpdf qpdf "$in" "$work/qpdf.pdf"
      pair json sh -c 'qpdf "$1" --json-output=2 "$2" && qpdf --json-input "$2" "$3"' - "$in" "$work/q.json" "$work/json.pdf"
      pair show0 mutool show "$in" trailer
      pair show1 mutool show "$work/crop.pdf" trailer
      pair boxes0 "$vellora" boxes "$in"
      pair boxes1 "$vellora" boxes "$work/crop.pdf"
      i=$((i + 1))
    done
    medians crop qpdf json show0 show1 boxes0 boxes1
    per=$(( ($(size "$work/crop.pdf") - $(size "$in")) / n ))
    check=$(qpdf --check "$work/crop.pdf" >/dev/null 2>&1 && echo clean || echo PROBLEMS)
    echo "| $n | $(m crop) | $(m qpdf) | $(ratio "$(m crop)" "$(m qpdf)")x faster | $(m json) | $(ratio "$(m crop)" "$(m json)")x faster | $per | $check | $(m show1) ($(m show0)) | $(m boxes1) ($(m boxes0)) |"
  done
  echo
  echo "Ratios are the peer's time over vellora's: above 1, vellora is faster."
  echo

  # Bounding boxes are found on every processor: the time a user waits is
  # the wall-clock time; processor time shows what the threads cost.

  # bbox_table NAME FILE GS_PAGES: vellora bbox --each against mutool on
  # every page, Ghostscript and pdfcrop on the first GS_PAGES pages (their
  # figures are scaled to a page so that the ratio compares like with like).
  bbox_table() {
    label=$1 file=$2 sub=$3
    pages=$(mutool info "$file" 2>/dev/null | awk '/^Pages:/ {print $2}')
    reset_times vb mu gs pc
    i=0
    while [ $i -lt "$runs" ]; do
      pair vb "$vellora" bbox "$file" -o "$work/bbox.pdf" --each
      vbpeak=$(peak)
      pair mu mutool draw -q -F bbox -o "$work/mutool.bbox" "$file"
      mupeak=$(peak)
      pair gs gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=bbox -dFirstPage=1 -dLastPage="$sub" "$file"
      gspeak=$(peak)
      cp "$work/err.txt" "$work/gs.bbox"
      if command -v pdfcrop >/dev/null 2>&1; then
        mutool merge -o "$work/sub.pdf" "$file" "1-$sub" 2>/dev/null
        pair pc pdfcrop "$work/sub.pdf" "$work/pdfcrop.pdf"
      fi
      i=$((i + 1))
    done
    medians vb mu gs
    echo "### $label ($pages pages, $(size "$file") bytes)"
    echo
    echo "| job | wall s | a page ms | ratio to vellora (wall, a page) | processor s | ratio (processor) | peak MB |"
    echo "|---|---|---|---|---|---|---|"
    # row LABEL JOB PAGES PEAK: a line of the table, the ratios against vellora's.
    row() {
      per=$(awk -v t="$(w "$2")" -v n="$3" 'BEGIN {printf "%.3f", t * 1000 / n}')
      cper=$(awk -v t="$(m "$2")" -v n="$3" 'BEGIN {printf "%.3f", t * 1000 / n}')
      echo "| $1 | $(w "$2") | $per | $(ratio "$vbp" "$per")x | $(m "$2") | $(ratio "$vbc" "$cper")x | $4 |"
    }
    vbp=$(awk -v t="$(w vb)" -v n="$pages" 'BEGIN {printf "%.3f", t * 1000 / n}')
    vbc=$(awk -v t="$(m vb)" -v n="$pages" 'BEGIN {printf "%.3f", t * 1000 / n}')
    row "vellora bbox --each" vb "$pages" "$vbpeak"
    row "mutool draw -F bbox" mu "$pages" "$mupeak"
    row "gs -sDEVICE=bbox (first $sub pages)" gs "$sub" "$gspeak"
    if [ -s "$work/pc.times" ]; then
      medians pc
      row "pdfcrop (first $sub pages)" pc "$sub" ""
    else
      echo "| pdfcrop | not installed (texlive-extra-utils) | | | | | |"
    fi
    echo
    echo "Peak memory against mutool's: $(ratio "$mupeak" "$vbpeak")x; vellora found the boxes on ${TRIMVEX_BBOX_THREADS:-$(nproc)} threads."
    echo
  }

  echo "## Bounding boxes of every page"
  echo
  bbox_table "text sample" "$build/samples/text-1000.pdf" 20
  if [ -f "$manual" ]; then
    bbox_table "pgfmanual.pdf" "$manual" 30
    # Agreement with Ghostscript (BENCH_AGREE_PAGES, every page with
    # BENCH_LARGE=1): its boxes are
    # whole-page HiRes boxes in default user space, as are the crop boxes
    # vellora bbox --each set.
    agree=${BENCH_AGREE_PAGES:-100}
    [ "${BENCH_LARGE:-0}" = 1 ] && agree=$(mutool info "$manual" | awk '/^Pages:/ {print $2}')
    gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=bbox -dFirstPage=1 -dLastPage="$agree" "$manual" 2>"$work/gs.bbox" >/dev/null
    "$vellora" boxes "$work/bbox.pdf" >"$work/boxes.txt"
    grep '^%%HiResBoundingBox' "$work/gs.bbox" | awk '{print NR, $2, $3, $4, $5}' >"$work/gs.txt"
    awk 'NR == FNR {g[$1] = $2 " " $3 " " $4 " " $5; next}
         {for (i = 1; i <= NF; i++) if ($i == "crop") {p = $2; c = $(i+1) " " $(i+2) " " $(i+3) " " $(i+4)}
          if (p in g) {split(g[p], a, " "); split(c, b, " "); d = 0
            for (k = 1; k <= 4; k++) {x = a[k] - b[k]; if (x < 0) x = -x; if (x > d) d = x}
            print p, d}}' "$work/gs.txt" "$work/boxes.txt" >"$work/agree.txt"
    echo "Agreement with Ghostscript on the manual's first $agree pages: largest side difference a page,"
    echo "median $(awk '{print $2}' "$work/agree.txt" | median) pt;" \
      "$(awk '$2 > 1' "$work/agree.txt" | wc -l) pages differ by more than 1 pt" \
      "($(awk '$2 > 1 {printf "%s%s", s, $1; s = ", "}' "$work/agree.txt"))."
    echo
  else
    echo "pgfmanual.pdf: not installed (Debian's texlive-pictures-doc; \`make bench\` installs it as root); skipped."
    echo
  fi
} | tee "$work/results.md"

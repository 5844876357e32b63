#!/bin/sh
# Benchmarks, side by side with other tools doing the same job:
#  - the bounding box of every page of a 1,000-page text document:
#    this backend, Ghostscript's bbox device, mutool draw -F bbox;
#  - a crop box on every page of a 10,000-page document, saved
#    incrementally and in full, beside a full rewrite by qpdf.
# Usage: bench/run.sh BUILD_DIR   (make bench). Writes BUILD_DIR/bench/results.md.
set -eu
build=$(cd "${1:?usage: bench/run.sh BUILD_DIR}" && pwd)
work=$build/bench
mkdir -p "$work"
bench=$build/bin/pdf_bench
text1000=$build/samples/text-1000.pdf
text10000=$work/text-10000.pdf
for tool in "$bench" "$build/bin/samplegen"; do
  [ -x "$tool" ] || { echo "bench/run.sh: $tool is not built (cmake --build $build)" >&2; exit 1; }
done
[ -f "$text1000" ] || { echo "bench/run.sh: $text1000 is missing (cmake --build $build)" >&2; exit 1; }
[ -f "$text10000" ] || "$build/bin/samplegen" "$work" --text 10000 text-10000.pdf

# timed LABEL COMMAND...: one table row from GNU time: wall, processor
# (user + system) and peak memory. The processor time is the figure to
# compare on a shared machine.
timed() {
  label=$1; shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >"$work/out.txt" 2>"$work/err.txt" || {
    echo "bench/run.sh: failed: $*" >&2; cat "$work/err.txt" >&2; exit 1; }
  read -r wall user sys peak <"$work/time.txt"
  cpu=$(echo "$user $sys" | awk '{printf "%.2f", $1 + $2}')
  printf '| %s | %s | %s | %s |' "$label" "$wall" "$cpu" "$(( peak / 1024 ))"
}

size() { stat -c %s "$1"; }

{
  echo "Machine: $(nproc) processors, $(uname -m); load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  echo "Bounding boxes of every page, $(basename "$text1000") ($(size "$text1000") bytes):"
  echo
  echo "| job | wall s | processor s | peak MB |"
  echo "|---|---|---|---|"
  echo "$(timed "this backend (MuPDF bbox device, exact strokes)" "$bench" bbox "$text1000")"
  echo "$(timed "mutool draw -F bbox" mutool draw -q -F bbox -o "$work/mutool.bbox" "$text1000")"
  echo "$(timed "gs -sDEVICE=bbox" gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=bbox "$text1000")"
  echo
  echo "A crop box on every page of $(basename "$text10000") ($(size "$text10000") bytes), saved:"
  echo
  echo "| job | wall s | processor s | peak MB | bytes written |"
  echo "|---|---|---|---|---|"
  row=$(timed "this backend, incremental" "$bench" crop "$text10000" "$work/inc.pdf" incremental)
  echo "$row $(size "$work/inc.pdf") ($(( $(size "$work/inc.pdf") - $(size "$text10000") )) appended) |"
  row=$(timed "this backend, full rewrite" "$bench" crop "$text10000" "$work/full.pdf" full)
  echo "$row $(size "$work/full.pdf") |"
  row=$(timed "qpdf in out (full rewrite, no crop)" qpdf "$text10000" "$work/qpdf.pdf")
  echo "$row $(size "$work/qpdf.pdf") |"
  echo
  for f in inc full; do
    qpdf --check "$work/$f.pdf" >/dev/null 2>&1 && echo "qpdf --check $f.pdf: clean" || echo "qpdf --check $f.pdf: PROBLEMS"
  done
} | tee "$work/results.md"

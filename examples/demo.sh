#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# The demo behind `make demo`: crops the odd pages of the mixed sample
# (page sizes and rotations of every kind) to a region, crops copies to the
# pages' bounding boxes (each its own; all to the biggest), and shows the
# page boxes and pictures before and after; then runs a host script with a
# trace of what the host saw.
#
#   examples/demo.sh BUILD_DIR        (writes into ./out/demo/)
set -euo pipefail

build=${1:?usage: examples/demo.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
vellora=$build/bin/vellora
sample=$build/samples/mixed.pdf
text=$build/samples/text-1000.pdf
out=out/demo
region=72,72,540,720

for needed in "$vellora" "$sample" "$text"; do
  [ -e "$needed" ] || { echo "demo: $needed is missing; build first (make demo)" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$out"

step() { printf '\n== %s\n' "$*"; }
vx() { printf '$ vellora %s\n' "$*" >&2; "$vellora" "$@"; }

step "Page boxes of $sample (page, rotation, media box, crop box, bounding box)"
vx boxes "$sample" | tee "$out/boxes-before.txt"

step "Page 1 before: the region $region and the red media box"
vx show "$sample" --page 1 -o "$out/page1-before.png" --region "$region" --media-box

step "Crop the odd pages to $region, drawn on page 1"
echo "   (page 3 is landscape and upside down: --mismatch crop answers the plug-in's question)"
vx crop "$sample" -o "$out/odd-pages.pdf" --region "$region" --pages odd --mismatch crop
vx boxes "$out/odd-pages.pdf" | tee "$out/boxes-odd-pages.txt"

step "Page 1 and page 3 after the crop, with the media box"
vx show "$out/odd-pages.pdf" --page 1 -o "$out/page1-after.png" --media-box
vx show "$out/odd-pages.pdf" --page 3 -o "$out/page3-after.png" --media-box

step "Every page of a copy cropped to its own bounding box"
vx bbox "$sample" -o "$out/each-bbox.pdf" --each
vx boxes "$out/each-bbox.pdf" | tee "$out/boxes-each-bbox.txt"

step "The 1000-page text sample cropped to the biggest bounding box of all its pages"
vx bbox "$text" -o "$out/text-biggest-bbox.pdf" --biggest
vx boxes "$out/text-biggest-bbox.pdf" > "$out/boxes-text-biggest-bbox.txt"
head -n 3 "$out/boxes-text-biggest-bbox.txt"; echo "   ... (all 1000 in $out/boxes-text-biggest-bbox.txt)"
vx show "$out/text-biggest-bbox.pdf" --page 1 -o "$out/text-page1-after.png" --media-box

step "The script the crop above ran (vellora crop ... --print-script)"
"$vellora" crop "$sample" -o "$out/odd-pages.pdf" --region "$region" --pages odd \
  --mismatch crop --print-script | tee "$out/crop-odd-pages.vscript"

step "A host script with a trace: $here/startup.vscript"
vx run "$here/startup.vscript" --trace "$out/startup-trace.txt"
echo "First lines of the trace ($(wc -l < "$out/startup-trace.txt") host operations):"
head -n 15 "$out/startup-trace.txt"

step "Written to $out/"
ls -l "$out"

#!/usr/bin/env python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""Bounding boxes of scanned pages that nobody here drew.

    scans_e2e.py VELLORA SAMPLES_DIR WORK_DIR CASE

Pages of the sample documents are rendered by Ghostscript at 150 and 300 dpi,
dust and a dark edge band are added, and the images are packed into PDF files
by img2pdf and tesseract (tools/scans/make_scans.py). The box of each scanned
page must hold the ink of the clean rendering (read from its pixels here) and
lie within the original page's vector box (as `vellora boxes` gives it for the
original) grown by two pixels of the rendering.
"""
import os
import re
import shutil
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "scans"))
import make_scans  # noqa: E402

VELLORA, SAMPLES, WORK, CASE = sys.argv[1:5]

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def vellora(*args):
    r = subprocess.run([VELLORA, *args], capture_output=True, text=True)
    check(r.returncode == 0, f"vellora {' '.join(args)}: status {r.returncode}: {r.stderr}")
    return r.stdout


def boxes(path, *options):
    """{page: {"rotate": R, "media": (l, b, r, t), "crop": ..., "bbox": ...}}"""
    found = {}
    for line in vellora("boxes", path, *options).splitlines():
        words = line.split()
        entry = {"rotate": int(words[3])}
        for name in ("media", "crop", "bbox"):
            at = words.index(name)
            entry[name] = tuple(float(v) for v in words[at + 1:at + 5])
        found[int(words[1])] = entry
    return found


def crop_boxes(path):
    r = subprocess.run(["pdfinfo", "-box", "-f", "1", "-l", "999", path], capture_output=True, text=True)
    return {int(m.group(1)): tuple(float(v) for v in m.groups()[1:])
            for m in re.finditer(r"^Page\s+(\d+) CropBox:\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+)", r.stdout, re.M)}


def in_rendering(box, media, rotation, height):
    """A user-space box where Ghostscript's rendering puts it: turned by the
    page's rotation, from the media box's top left, on an image `height`
    points tall."""
    x0, y0, x1, y1 = box
    ml, mb, mr, mt = media
    if rotation == 90:
        r = (y0 - mb, mr - x1, y1 - mb, mr - x0)
        page_height = mr - ml
    elif rotation == 180:
        r = (mr - x1, mt - y1, mr - x0, mt - y0)
        page_height = mt - mb
    elif rotation == 270:
        r = (mt - y1, x0 - ml, mt - y0, x1 - ml)
        page_height = mr - ml
    else:
        r = (x0 - ml, y0 - mb, x1 - ml, y1 - mb)
        page_height = mt - mb
    lift = height - page_height
    return (r[0], r[1] + lift, r[2], r[3] + lift)


def pixels_to_points(pixel_box, image, dpi):
    x0, y0, x1, y1 = pixel_box
    h = image.size[1]
    k = 72.0 / dpi
    return (x0 * k, (h - y1) * k, x1 * k, (h - y0) * k)


def contains(outer, inner, slack=0.01):
    return (outer[0] <= inner[0] + slack and outer[1] <= inner[1] + slack and
            outer[2] >= inner[2] - slack and outer[3] >= inner[3] - slack)


def grown(box, by):
    return (box[0] - by, box[1] - by, box[2] + by, box[3] + by)


class Scan:
    """One scanned page: the clean rendering's ink and the vector box where
    the scan should find its marks."""

    def __init__(self, source, page, dpi, kind, name, specks=30, band=0):
        self.dpi, self.name = dpi, f"{name} ({os.path.basename(source)} p{page}, {dpi} dpi {kind})"
        png = os.path.join(WORK, f"{name}-clean.png")
        image = make_scans.render(source, page, dpi, kind, png)
        self.height = image.size[1] * 72.0 / dpi
        self.ink = pixels_to_points(make_scans.ink_box(image), image, dpi)
        original = boxes(source)[page]
        self.vector = in_rendering(original["bbox"], original["media"], original["rotate"], self.height)
        make_scans.add_specks(image, zlib.crc32(name.encode()), specks, max(1, dpi // 150))
        if band:
            make_scans.add_band(image, band)
        self.file = make_scans.encode(image, kind, dpi, os.path.join(WORK, name))

    def check(self, box, what=""):
        pixel = 72.0 / self.dpi
        check(contains(box, self.ink), f"{self.name}{what}: box {box} does not hold the ink {self.ink}")
        check(contains(grown(self.vector, 2 * pixel), box),
              f"{self.name}{what}: box {box} exceeds the vector box {self.vector} by more than two pixels")


TEXT = "text-1000.pdf"
MIXED = "mixed.pdf"


def sample(name):
    return os.path.join(SAMPLES, name)


def case_img2pdf():
    scans = []
    for dpi in (150, 300):
        for kind in ("mono", "jpeg", "flate"):
            scans.append(Scan(sample(TEXT), 1, dpi, kind, f"text-{dpi}-{kind}"))
    scans.append(Scan(sample(TEXT), 7, 300, "mono", "text7-300-mono"))
    # A grey rectangle and text; a page turned by /Rotate 90; a white
    # background with a clipped fill.
    scans.append(Scan(sample(MIXED), 1, 150, "flate", "mixed1-150-flate"))
    scans.append(Scan(sample(MIXED), 2, 300, "jpeg", "mixed2-300-jpeg"))
    scans.append(Scan(sample(MIXED), 7, 150, "mono", "mixed7-150-mono"))
    pdf = os.path.join(WORK, "scans.pdf")
    make_scans.pack_img2pdf([s.file for s in scans], pdf)
    got = boxes(pdf)
    for number, scan in enumerate(scans, 1):
        scan.check(got[number]["bbox"])
    # The bilevel pages went in as CCITT Group 4, the others as JPEG and Flate.
    listed = subprocess.run(["pdfimages", "-list", pdf], capture_output=True, text=True).stdout
    for encoding in ("ccitt", "jpeg", "image"):
        check(f" {encoding} " in listed, f"pdfimages lists no {encoding} image:\n{listed}")


def case_dark_edges():
    scan = Scan(sample(TEXT), 3, 150, "flate", "band", band=40)
    pdf = os.path.join(WORK, "band.pdf")
    make_scans.pack_img2pdf([scan.file], pdf)
    kept = boxes(pdf)[1]["bbox"]
    check(abs(kept[0]) < 0.01, f"band kept: box {kept} should start at the left edge")
    scan.check(boxes(pdf, "--ignore-dark-edges")[1]["bbox"], " with the band ignored")


def case_tesseract():
    scan = Scan(sample(TEXT), 2, 150, "flate", "ocr", specks=10)
    pdf = os.path.join(WORK, "ocr.pdf")
    make_scans.pack_tesseract(scan.file, pdf)
    text = subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True).stdout
    check("Page" in text, f"tesseract recognised no text: {text[:200]!r}")
    scan.check(boxes(pdf)[1]["bbox"], " (tesseract)")


def case_each_and_margin():
    scans = [Scan(sample(TEXT), page, 150, "jpeg", f"each-{page}") for page in (4, 5, 6)]
    pdf = os.path.join(WORK, "book.pdf")
    make_scans.pack_img2pdf([s.file for s in scans], pdf)
    found = boxes(pdf)
    out = os.path.join(WORK, "each.pdf")
    vellora("bbox", pdf, "-o", out, "--each")
    crops = crop_boxes(out)
    for number, scan in enumerate(scans, 1):
        box = found[number]["bbox"]
        scan.check(box)
        check(all(abs(a - b) <= 0.005 for a, b in zip(crops[number], box)),
              f"--each: page {number} crop box {crops[number]}, its box {box}")

    media = found[1]["media"]
    for margin, sides in (("10", (10, 10, 10, 10)), ("5,10,5,10", (5, 10, 5, 10)), ("300", (300,) * 4)):
        out = os.path.join(WORK, "margin.pdf")
        vellora("bbox", pdf, "-o", out, "--margin", margin)
        crops = crop_boxes(out)
        for number in found:
            box = found[number]["bbox"]
            want = (max(media[0], box[0] - sides[0]), max(media[1], box[1] - sides[1]),
                    min(media[2], box[2] + sides[2]), min(media[3], box[3] + sides[3]))
            check(all(abs(a - b) <= 0.005 for a, b in zip(crops[number], want)),
                  f"--margin {margin}: page {number} crop box {crops[number]}, expected {want}")


def case_crop_kept():
    # Page 3 of the mixed sample shows 36 36 756 576; its red rectangle runs
    # to 850, off the crop box and the media box.
    source = sample(MIXED)
    out = os.path.join(WORK, "kept.pdf")
    vellora("bbox", source, "-o", out, "--each")
    crop = crop_boxes(out)[3]
    check(36 - 0.005 <= crop[0] and 36 - 0.005 <= crop[1] and crop[2] <= 756.005 and crop[3] <= 576.005,
          f"page 3: crop box {crop} shows more than its crop box did")
    check(abs(crop[2] - 756) < 0.005, f"page 3: the red rectangle reaches the crop box's side: {crop}")


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}

if __name__ == "__main__":
    if CASE not in CASES:
        sys.exit(f"unknown case {CASE}; cases: {', '.join(CASES)}")
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    CASES[CASE]()
    if failures:
        print(f"{len(failures)} failure(s) in {CASE}")
        sys.exit(1)
    print(f"{CASE}: passed")

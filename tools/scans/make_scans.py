#!/usr/bin/env python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""Scanned pages made from real ones, for the tests and the benchmarks.

Ghostscript renders pages of a PDF file; dust (isolated specks) and a dark
band along one edge (a scanner lid's shadow) are added; the pages are packed
into a PDF file by img2pdf (one image a page, at the rendering's resolution)
or by tesseract (image plus an invisible text layer). Kinds:

    mono   bilevel, CCITT Group 4 (libtiff through Pillow)
    jpeg   greyscale, JPEG at quality 75
    flate  greyscale, PNG (Flate in the PDF)

    make_scans.py book SOURCE.pdf PAGES DPI KIND OUT.pdf
        a book of PAGES scanned pages, cycling through SOURCE's pages
"""
import os
import random
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw


def render(source, page, dpi, kind, out_png):
    """Page `page` of `source` as Ghostscript renders it (the media box): a
    bilevel image for mono, greyscale otherwise."""
    device = "pngmono" if kind == "mono" else "pnggray"
    subprocess.run(["gs", "-q", "-dBATCH", "-dNOPAUSE", "-dSAFER", f"-sDEVICE={device}", f"-r{dpi}",
                    f"-dFirstPage={page}", f"-dLastPage={page}", f"-sOutputFile={out_png}", source],
                   check=True, capture_output=True)
    return Image.open(out_png).convert("L")


def ink_box(image, threshold=25.0):
    """(x0, y0, x1, y1) in pixels, rows from the top, of the pixels more than
    `threshold` percent from white; None when there are none."""
    cut = threshold * 255 / 100
    return image.point(lambda v: 255 if 255 - v > cut else 0).getbbox()


def add_specks(image, seed, count, size):
    """`count` dark squares of `size` pixels, kept 6 pixels apart from any ink."""
    rng = random.Random(seed)
    draw = ImageDraw.Draw(image)
    pixels = image.load()
    w, h = image.size
    placed = 0
    while placed < count:
        x, y = rng.randrange(8, w - 8 - size), rng.randrange(8, h - 8 - size)
        if any(pixels[x + dx, y + dy] < 250 for dx in range(-6, size + 6, 3) for dy in range(-6, size + 6, 3)):
            continue
        draw.rectangle([x, y, x + size - 1, y + size - 1], fill=0)
        placed += 1
    return image


def add_band(image, width):
    """A dark band down the left edge, darkest at the edge."""
    draw = ImageDraw.Draw(image)
    for x in range(width):
        draw.line([(x, 0), (x, image.size[1] - 1)], fill=int(20 + 60 * x / max(1, width - 1)))
    return image


def encode(image, kind, dpi, base):
    """The image file img2pdf packs as it is: G4 TIFF, JPEG or PNG."""
    if kind == "mono":
        path = base + ".tif"
        image.convert("1").save(path, compression="group4", dpi=(dpi, dpi))
    elif kind == "jpeg":
        path = base + ".jpg"
        image.save(path, quality=75, dpi=(dpi, dpi))
    else:
        path = base + ".png"
        image.save(path, dpi=(dpi, dpi))
    return path


def pack_img2pdf(images, out_pdf):
    subprocess.run(["img2pdf", "-o", out_pdf, *images], check=True, capture_output=True)


def pack_tesseract(image_path, out_pdf):
    """tesseract's PDF: the image with the text it recognised, invisible."""
    base = out_pdf[:-4] if out_pdf.endswith(".pdf") else out_pdf
    subprocess.run(["tesseract", image_path, base, "-l", "eng", "--dpi", "150", "pdf"],
                   check=True, capture_output=True)


def book(source, pages, dpi, kind, out_pdf):
    count = int(subprocess.run(["pdfinfo", source], capture_output=True, text=True, check=True)
                .stdout.split("Pages:")[1].split()[0])
    with tempfile.TemporaryDirectory() as tmp:
        files = []
        for i in range(pages):
            image = render(source, i % count + 1, dpi, kind, os.path.join(tmp, "page.png"))
            add_specks(image, i, 40, max(1, dpi // 150))
            files.append(encode(image, kind, dpi, os.path.join(tmp, f"p{i:04d}")))
        pack_img2pdf(files, out_pdf)


if __name__ == "__main__":
    if len(sys.argv) == 7 and sys.argv[1] == "book":
        book(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], sys.argv[6])
    else:
        sys.exit(__doc__)

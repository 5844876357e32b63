#!/usr/bin/env python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""End-to-end tests of the vellora command line on real PDF files.

    cli_e2e.py VELLORA SAMPLES_DIR SAMPLEGEN WORK_DIR CASE

Results are read back with independent tools: qpdf --check for soundness and
poppler's pdfinfo -box for the page boxes. Expected boxes come from the sample
documents' geometry (docs/samples.md) worked through by hand, not from the
plug-in's code.
"""
import hashlib
import os
import re
import fcntl
import shutil
import select
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import time
import zlib

VELLORA, SAMPLES, SAMPLEGEN, WORK, CASE = sys.argv[1:6]

# pdfinfo prints two decimals; the region is dragged out at 2000% zoom, where
# a device pixel is 1/20 pt, so a corner lands within 1/40 pt of the request.
TOLERANCE = 0.005 + 0.025 + 1e-6

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def run(*args, **kw):
    return subprocess.run([VELLORA, *args], capture_output=True, text=True, **kw)


def sha(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def fresh_copy(name, as_name=None):
    target = os.path.join(WORK, as_name or name)
    shutil.copyfile(os.path.join(SAMPLES, name), target)
    return target


def page_boxes(path, pages, kind, password=None):
    """{page: (l, b, r, t)} of one kind of box, as poppler reads them; {} for no file."""
    upw = ["-upw", password] if password else []
    r = subprocess.run(["pdfinfo", *upw, "-box", "-f", "1", "-l", str(pages), path],
                       capture_output=True, text=True)
    pattern = r"^Page\s+(\d+) " + kind + r":\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+)"
    return {int(m.group(1)): tuple(float(v) for v in m.groups()[1:])
            for m in re.finditer(pattern, r.stdout, re.M)}


def crop_boxes(path, pages, password=None):
    return page_boxes(path, pages, "CropBox", password)


def media_boxes(path, pages):
    return page_boxes(path, pages, "MediaBox")


def close(a, b, tol=TOLERANCE):
    return len(a) == len(b) and all(abs(x - y) <= tol for x, y in zip(a, b))


def qpdf_clean(path):
    r = subprocess.run(["qpdf", "--check", path], capture_output=True, text=True)
    return r.returncode == 0, r.stdout + r.stderr


def leftovers():
    """Staging files a run must never leave behind."""
    return [n for n in os.listdir(WORK) if ".vellora-" in n]


def expect_boxes(path, expected, what, password=None):
    got = crop_boxes(path, max(expected), password)
    for page, box in expected.items():
        check(close(got.get(page, ()), box), f"{what}: page {page} crop box {got.get(page)}, expected {box}")


def expect_refused(args, status, words, what):
    """A refused command: its status, one message naming the problem, no output."""
    before = set(os.listdir(WORK))
    r = run(*args)
    check(r.returncode == status, f"{what}: status {r.returncode}, expected {status}; stderr: {r.stderr}")
    for w in words:
        check(w in r.stderr, f"{what}: stderr lacks '{w}': {r.stderr}")
    # The host's own lines (progress, the plug-in's alerts and questions) may
    # come first; then the command says once, in its own words, what failed.
    own = [l for l in r.stderr.splitlines() if l and not l.startswith(("progress:", "alert:", "question:"))]
    check(len(own) == 1 and own[0].startswith("vellora: "), f"{what}: not one clear message: {r.stderr}")
    check(set(os.listdir(WORK)) == before, f"{what}: files changed: {set(os.listdir(WORK)) ^ before}")
    return r


# Region used on page 1 of mixed.pdf (Letter, 612 x 792, rotation 0). Three
# corners lie on the 1/20 pt device grid at 2000%; the top (720.125) lies half
# a pixel off it, so it shows the precision of the drag.
REGION = "72.5,72.25,540.75,720.125"
LETTER = (0.0, 0.0, 612.0, 792.0)
A4 = (0.0, 0.0, 595.28, 841.89)

# Odd pages of mixed.pdf with the region drawn on page 1, worked by hand:
#  1, 7: Letter, rotation 0, like page 1: the region itself.
#  3: 792 x 612, rotation 180: half sizes swapped but a half turn, so its
#     orientation differs; with "Crop" the half turn places the region about
#     the page centres (396+306 = 702 minus each side, sides exchanged):
#     left 702-540.75 = 161.25, right 702-72.5 = 629.5, bottom 702-720.125 =
#     -18.125, top 702-72.25 = 629.75; clipped to the media box 0 0 792 612.
#  5: media box 100 200 712 992 (Letter size), rotation 0: the region is
#     carried about the middles of the media boxes (306, 396 and 406, 596), so
#     it moves with the page's origin by 100, 200 and lies where it lies on page 1.
ODD_CROPPED = {
    1: (72.5, 72.25, 540.75, 720.125),
    2: A4,
    3: (161.25, 0.0, 629.5, 612.0),
    4: LETTER,
    5: (172.5, 272.25, 640.75, 920.125),
    6: LETTER,
    7: (72.5, 72.25, 540.75, 720.125),
}


def case_crop_odd():
    src = fresh_copy("mixed.pdf")
    digest = sha(src)
    out = os.path.join(WORK, "odd.pdf")
    r = run("crop", src, "-o", out, "--region", REGION, "--pages", "odd", "--mismatch", "crop")
    check(r.returncode == 0, f"crop odd: status {r.returncode}: {r.stderr}")
    ok, report = qpdf_clean(out)
    check(ok, f"crop odd: qpdf --check: {report}")
    expect_boxes(out, ODD_CROPPED, "crop odd, mismatch crop")
    check(sha(src) == digest, "crop odd: the input file changed")
    check(media_boxes(out, 7) == media_boxes(src, 7), "crop odd: media boxes changed")
    # The host reads the saved boxes to 1/65536 pt: every corner within half
    # a device pixel at 2000% of what was asked.
    saved = read_boxes(out)
    for page in (1, 7):
        got = saved.get(page, {}).get("crop", ())
        check(close(got, ODD_CROPPED[page], 1 / 40 + 2 / 65536),
              f"crop odd: page {page} crop box {got} not within 1/40 pt of {ODD_CROPPED[page]}")

    # Skip leaves the mismatching page 3 with its own crop box.
    skipped = os.path.join(WORK, "odd-skip.pdf")
    r = run("crop", src, "-o", skipped, "--region", REGION, "--pages", "odd", "--mismatch", "skip")
    check(r.returncode == 0, f"crop odd skip: status {r.returncode}: {r.stderr}")
    expect_boxes(skipped, {**ODD_CROPPED, 3: (36.0, 36.0, 756.0, 576.0)}, "crop odd, mismatch skip")

    # Nobody answers the orientation question: the run fails, nothing written.
    expect_refused(["crop", src, "-o", os.path.join(WORK, "unanswered.pdf"), "--region", REGION,
                    "--pages", "odd"], 1,
                   ["Some pages do not have same orientation", "answer it with --mismatch crop or --mismatch skip"],
                   "crop odd without --mismatch")

    # One page, drawn on page 5: the region keeps its page coordinates.
    one = os.path.join(WORK, "page5.pdf")
    # A standing answer nobody needs (a single page is never asked) is no error.
    r = run("crop", src, "-o", one, "--region", "150,250,600,900", "--page", "5", "--mismatch", "crop")
    check(r.returncode == 0, f"crop page 5: status {r.returncode}: {r.stderr}")
    expect_boxes(one, {4: LETTER, 5: (150.0, 250.0, 600.0, 900.0), 6: LETTER}, "crop page 5")
    check(sha(src) == digest, "crop: the input file changed")
    check(not leftovers(), f"crop: staging files left: {leftovers()}")


def case_crop_summary():
    # Drawn near the top of page 5 (media box 100 200 712 992): carried onto
    # the Letter pages about the middles of the media boxes it lands where it
    # lies on page 5, moved by the page's origin, and crops them.
    src = fresh_copy("mixed.pdf")
    out = os.path.join(WORK, "from-page5.pdf")
    r = run("crop", src, "-o", out, "--region", "150,800,400,980", "--page", "5", "--pages", "all",
            "--mismatch", "skip")
    check(r.returncode == 0, f"from page 5: status {r.returncode}: {r.stderr}")
    check("did not intersect" not in r.stderr, f"from page 5: a page was left out: {r.stderr}")
    expect_boxes(out, {1: (50.0, 600.0, 300.0, 780.0), 5: (150.0, 800.0, 400.0, 980.0),
                       7: (50.0, 600.0, 300.0, 780.0)}, "from page 5")

    # A strip along the top of page 1, turned onto the pages that stand
    # sideways or upside down, lies off their media boxes: they stay
    # uncropped and the run says so; the file is still written.
    out = os.path.join(WORK, "summary.pdf")
    r = run("crop", src, "-o", out, "--region", "100,700,500,780", "--pages", "all", "--mismatch", "crop")
    check(r.returncode == 0, f"summary: status {r.returncode}: {r.stderr}")
    check("did not intersect crop region" in r.stderr, f"summary: warning missing: {r.stderr}")
    expect_boxes(out, {1: (100.0, 700.0, 500.0, 780.0), 2: A4, 3: (36.0, 36.0, 756.0, 576.0), 4: LETTER,
                       5: (200.0, 900.0, 600.0, 980.0)}, "summary")

    # geometry.pdf's page 2 is turned 45 degrees: no rotation case fits it.
    geometry = fresh_copy("geometry.pdf")
    out = os.path.join(WORK, "geometry.pdf.out.pdf")
    r = run("crop", geometry, "-o", out, "--region", "100,100,300,300", "--mismatch", "crop")
    check(r.returncode == 0, f"bad rotation: status {r.returncode}: {r.stderr}")
    check("illegal rotation value" in r.stderr, f"bad rotation: warning missing: {r.stderr}")
    expect_boxes(out, {2: (50.0, 50.0, 450.0, 350.0)}, "bad rotation")


def case_refusals():
    src = fresh_copy("mixed.pdf")
    digest = sha(src)
    out = os.path.join(WORK, "out.pdf")
    crop = ["--region", REGION, "--pages", "odd", "--mismatch", "crop"]

    # -o naming the input, however it is written.
    os.makedirs(os.path.join(WORK, "sub"), exist_ok=True)
    os.link(src, os.path.join(WORK, "hard.pdf"))
    for name in [src, os.path.join(WORK, "sub", "..", "mixed.pdf"), os.path.join(WORK, "hard.pdf")]:
        expect_refused(["crop", src, "-o", name, *crop], 2, ["--in-place"], f"-o {name}")
    check(sha(src) == digest, "-o input: the input changed")
    os.unlink(os.path.join(WORK, "hard.pdf"))

    # Bad inputs, each one message and nothing written.
    expect_refused(["crop", os.path.join(WORK, "missing.pdf"), "-o", out, *crop], 3,
                   ["missing.pdf"], "missing input")
    text = os.path.join(WORK, "notes.pdf")
    with open(text, "w") as f:
        f.write("these are not the pages you are looking for\n" * 20)
    expect_refused(["crop", text, "-o", out, *crop], 3, ["notes.pdf"], "not a PDF")
    locked = os.path.join(WORK, "locked.pdf")
    subprocess.run(["qpdf", "--encrypt", "secret", "owner", "256", "--", src, locked], check=True)
    expect_refused(["bbox", locked, "-o", out], 3, ["locked.pdf"], "encrypted")
    readonly = os.path.join(WORK, "readonly.pdf")
    subprocess.run(["qpdf", "--encrypt", "", "owner", "256", "--modify=none", "--", src, readonly],
                   check=True)
    expect_refused(["reset", readonly, "-o", out], 3, ["readonly.pdf", "permit"], "no editing permission")
    expect_refused(["crop", src, "-o", out, "--region", "1,2,3"], 2, ["--region"], "short region")
    expect_refused(["crop", src, "-o", out, "--region", "300,20,100,400"], 2, ["--region"],
                   "inverted region")
    expect_refused(["crop", src, "-o", out, "--region", REGION, "--page", "8"], 2, ["--page 8", "7 pages"],
                   "page out of range")
    expect_refused(["show", src, "-o", os.path.join(WORK, "p.png"), "--page", "0"], 2, ["--page"],
                   "page zero")
    expect_refused(["crop", src, "-o", os.path.join(WORK, "nodir", "o.pdf"), *crop], 3, ["nodir"],
                   "missing output directory")
    expect_refused(["crop", src, "-o", out, "--frobnicate"], 2, ["--frobnicate"], "unknown option")

    expect_refused([], 2, ["no command"], "no command")
    expect_refused(["trim", src], 2, ["unknown command: trim"], "unknown command")
    expect_refused(["run", os.path.join(WORK, "missing.vscript")], 3, ["missing.vscript"],
                   "missing script")

    # Regions the plug-in refuses: its alert, a failure, no file.
    expect_refused(["crop", src, "-o", out, "--region", "100,100,150,300"], 1,
                   ["Minimum crop region is 1 inch by 1 inch.", "the plug-in refused the region"],
                   "small region")
    expect_refused(["crop", src, "-o", out, "--region", "560,100,800,300"], 1,
                   ["Crop region must include at least 1 inch by 1 inch of media box region."],
                   "region beside the page")
    check(sha(src) == digest, "refusals: the input changed")
    check(not leftovers(), f"refusals: staging files left: {leftovers()}")

    # --in-place replaces the input only when asked, and only on success.
    r = run("reset", src, "--in-place", "--page", "3")
    check(r.returncode == 0, f"--in-place: status {r.returncode}: {r.stderr}")
    check(close(crop_boxes(src, 3).get(3, ()), (0.0, 0.0, 792.0, 612.0)), "--in-place: page 3 not reset")


def case_bbox_reset():
    src = fresh_copy("mixed.pdf")
    boxes = read_boxes(src)
    check(len(boxes) == 7, f"boxes: {len(boxes)} lines for 7 pages")

    each = os.path.join(WORK, "each.pdf")
    r = run("bbox", src, "-o", each, "--each")
    check(r.returncode == 0, f"bbox each: status {r.returncode}: {r.stderr}")
    ok, report = qpdf_clean(each)
    check(ok, f"bbox each: qpdf --check: {report}")
    want = {p: clip(b["bbox"], b["media"]) for p, b in boxes.items()}
    expect_boxes(each, want, "bbox each")
    # Page 5's marks reach past its media box on the left and at the top.
    check(want[5][0] == 100.0 and want[5][3] == 992.0, f"bbox each: page 5 not clipped: {want[5]}")

    biggest = os.path.join(WORK, "biggest.pdf")
    r = run("bbox", src, "-o", biggest, "--biggest")
    check(r.returncode == 0, f"bbox biggest: status {r.returncode}: {r.stderr}")
    ok, report = qpdf_clean(biggest)
    check(ok, f"bbox biggest: qpdf --check: {report}")
    union = (min(b["bbox"][0] for b in boxes.values()), min(b["bbox"][1] for b in boxes.values()),
             max(b["bbox"][2] for b in boxes.values()), max(b["bbox"][3] for b in boxes.values()))
    expect_boxes(biggest, {p: clip(union, b["media"]) for p, b in boxes.items()}, "bbox biggest")

    one = os.path.join(WORK, "bbox-page2.pdf")
    r = run("bbox", src, "-o", one, "--page", "2")
    check(r.returncode == 0, f"bbox page 2: status {r.returncode}: {r.stderr}")
    expect_boxes(one, {1: LETTER, 2: want[2], 3: (36.0, 36.0, 756.0, 576.0)}, "bbox page 2")

    reset = os.path.join(WORK, "reset.pdf")
    r = run("reset", each, "-o", reset)
    check(r.returncode == 0, f"reset all: status {r.returncode}: {r.stderr}")
    ok, report = qpdf_clean(reset)
    check(ok, f"reset: qpdf --check: {report}")
    expect_boxes(reset, {p: b["media"] for p, b in boxes.items()}, "reset all")

    # A file MuPDF has to repair (its cross-reference offset is wrong): the
    # repair is shown as a warning and the result is written out whole.
    with open(src, "rb") as f:
        data = f.read()
    damaged = os.path.join(WORK, "damaged.pdf")
    with open(damaged, "wb") as f:
        f.write(data[:data.rindex(b"startxref")] + b"startxref\n999999\n%%EOF\n")
    repaired = os.path.join(WORK, "repaired.pdf")
    r = run("reset", damaged, "-o", repaired, "--page", "3")
    check(r.returncode == 0, f"reset damaged: status {r.returncode}: {r.stderr}")
    check("warning" in r.stderr and "damaged.pdf" in r.stderr, f"reset damaged: no warning: {r.stderr}")
    ok, report = qpdf_clean(repaired)
    check(ok, f"reset damaged: qpdf --check: {report}")
    expect_boxes(repaired, {2: A4, 3: (0.0, 0.0, 792.0, 612.0)}, "reset damaged")

    reset3 = os.path.join(WORK, "reset3.pdf")
    r = run("reset", src, "-o", reset3, "--page", "3")
    check(r.returncode == 0, f"reset page 3: status {r.returncode}: {r.stderr}")
    expect_boxes(reset3, {2: A4, 3: (0.0, 0.0, 792.0, 612.0)}, "reset page 3")


def clip(box, media):
    return (max(box[0], media[0]), max(box[1], media[1]), min(box[2], media[2]), min(box[3], media[3]))


def read_boxes(path):
    """`vellora boxes`: {page: {"rotation", "media", "crop", "bbox"}}."""
    r = run("boxes", path)
    check(r.returncode == 0, f"boxes: status {r.returncode}: {r.stderr}")
    pages = {}
    for line in r.stdout.splitlines():
        numbers = [float(v) for v in re.findall(r"-?\d+(?:\.\d+)?", line)]
        if len(numbers) != 14:
            continue
        pages[int(numbers[0])] = {"rotation": int(numbers[1]), "media": tuple(numbers[2:6]),
                                  "crop": tuple(numbers[6:10]), "bbox": tuple(numbers[10:14])}
    return pages


def case_print_script():
    src = fresh_copy("mixed.pdf")
    out = os.path.join(WORK, "never.pdf")
    r = run("crop", src, "-o", out, "--region", REGION, "--page", "3", "--pages", "even",
            "--mismatch", "skip", "--print-script")
    check(r.returncode == 0, f"print-script: status {r.returncode}: {r.stderr}")
    lines = [l for l in r.stdout.splitlines() if l and not l.startswith("#")]
    for want in ["load", "goto 3", 'button "ZUNO:TrimVex"', "pdrag 72.5 72.25 540.75 720.125",
                 'answer "Even Pages"', "pclick 306.625 396.1875", "expect region none",
                 'answer-when "Some pages do not have same orientation - Crop or Skip them?" Skip']:
        check(want in lines, f"print-script: no line '{want}' in:\n{r.stdout}")
    check(lines[-1] == f'save "{out}"', f"print-script: last line {lines[-1]}")
    check(not os.path.exists(out), "print-script: wrote the output")
    # The printed script runs as it stands and gives what the command gives.
    script = os.path.join(WORK, "printed.vscript")
    with open(script, "w") as f:
        f.write(r.stdout)
    r = run("run", script)
    check(r.returncode == 0, f"printed script: status {r.returncode}: {r.stderr}")
    # Even pages with the region drawn on page 3 (792 x 612, rotation 180):
    #  2 (A4, 90) and 6 (Letter, 0) differ in orientation and are skipped;
    #  4 (Letter, 270) is page 3 turned a quarter more with its sides
    #  swapped, so it passes and the quarter turn places the region:
    #  left 306+306-720.125, top 396-396+540.75, right 612-72.25,
    #  bottom 396-396+72.5, then clipped to 0 0 612 792.
    expect_boxes(out, {2: A4, 3: (36.0, 36.0, 756.0, 576.0), 4: (0.0, 72.5, 539.75, 540.75),
                       6: LETTER}, "printed script")


def case_interrupt():
    big = big_file()
    digest = sha(big)
    out = os.path.join(WORK, "stopped.pdf")
    # The command's own script, run with its trace going into a pipe that we
    # stop reading after the first line: the pipe fills within a few thousand
    # host calls and the host blocks in its next trace write, so the run is
    # certainly in the middle of the page loop when the signal lands. Then
    # we read on, the blocked write completes, and the plug-in sees the stop
    # at its next cancel check.
    printed = run("reset", big, "-o", out, "--all", "--print-script")
    check(printed.returncode == 0, f"interrupt: --print-script failed: {printed.stderr}")
    script = os.path.join(WORK, "interrupt.vscript")
    with open(script, "w") as f:
        f.write(printed.stdout)
    fifo = os.path.join(WORK, "interrupt.trace")
    if os.path.exists(fifo):
        os.unlink(fifo)
    os.mkfifo(fifo)
    # Opened before the host writes: its two openings of the trace (a check
    # that it can be written, then for the run) both find this reader.
    fd = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
    proc = subprocess.Popen([VELLORA, "run", script, "--trace", fifo],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)

    def read_some(size):
        if not select.select([fd], [], [], 0.1)[0]:
            return b""
        try:
            return os.read(fd, size)
        except BlockingIOError:
            return b""

    data = b""
    deadline = time.time() + 60
    while b"\n" not in data and proc.poll() is None and time.time() < deadline:
        data += read_some(64)
    check(b"\n" in data, "interrupt: no trace line before the run ended")
    time.sleep(2)
    check(proc.poll() is None, "interrupt: the run ended before the stop request")
    proc.send_signal(signal.SIGINT)
    while proc.poll() is None and time.time() < deadline:
        data += read_some(65536)
    while True:
        chunk = read_some(65536)
        if not chunk:
            break
        data += chunk
    os.close(fd)
    lines = data.decode().splitlines()
    rest = proc.stderr.read()
    status = proc.wait()
    os.unlink(fifo)
    check(status == 130, f"interrupt: status {status}, expected 130; stderr tail: {rest[-500:]}")
    check("Cancelled." in rest, f"interrupt: no 'Cancelled.' in: {rest[-500:]}")
    # Stopped in the middle: some pages were changed and given back.
    resets = sum(1 for l in lines if l.startswith("Model.SetCropBox"))
    check(0 < resets < 20000, f"interrupt: {resets} crop boxes set, not a run stopped midway")
    check(not os.path.exists(out), "interrupt: output written")
    check(sha(big) == digest, "interrupt: the input changed")


def read_png(path):
    """(width, height, rows of RGBA tuples) of an 8-bit RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length = int.from_bytes(data[pos:pos + 4], "big")
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height = int.from_bytes(body[0:4], "big"), int.from_bytes(body[4:8], "big")
            assert body[8] == 8 and body[9] == 6, "not 8-bit RGBA"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, rows, prev = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = prev[i], prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(width)])
        prev = line
    return width, height, rows


def case_show():
    src = fresh_copy("mixed.pdf")
    red = (255, 0, 0, 255)

    def red_pixels(rows):
        return sum(1 for row in rows for px in row if px == red)

    plain = os.path.join(WORK, "plain.png")
    r = run("show", src, "--page", "1", "-o", plain, "--zoom", "50")
    check(r.returncode == 0, f"show: status {r.returncode}: {r.stderr}")
    w, h, rows = read_png(plain)
    # Letter at 50% is 306 x 396 pixels, plus the view's margin on each side.
    check(w - 306 == h - 396 and w > 306, f"show: {w} x {h} is not Letter at 50%")
    check(red_pixels(rows) == 0, "show: a red outline without --media-box")

    boxed = os.path.join(WORK, "boxed.png")
    r = run("show", src, "--page", "1", "-o", boxed, "--zoom", "50", "--media-box")
    check(r.returncode == 0, f"show --media-box: status {r.returncode}: {r.stderr}")
    w, h, rows = read_png(boxed)
    margin = (w - 306) // 2
    check(rows[h // 2][margin] == red, f"show --media-box: no red at the media box's left edge")
    check(red_pixels(rows) >= 2 * (306 + 396) - 8, "show --media-box: outline incomplete")

    # The crop tool turns the outline on; without --media-box it goes again.
    region = os.path.join(WORK, "region.png")
    r = run("show", src, "--page", "1", "-o", region, "--zoom", "50", "--region", "72,72,540,720")
    check(r.returncode == 0, f"show --region: status {r.returncode}: {r.stderr}")
    w, h, rows = read_png(region)
    check(red_pixels(rows) == 0, "show --region: the media box outline stayed on")
    edge = [rows[y][margin + 36] for y in range(h // 4, 3 * h // 4)]  # x = 72 pt at 50%
    check(all(px[:3] == (0, 0, 0) for px in edge), "show --region: no region outline at x = 72 pt")

    expect_refused(["show", src, "--page", "1", "-o", os.path.join(WORK, "huge.png"), "--zoom", "6000"],
                   2, ["--zoom"], "show at a zoom beyond the device space")
    check(not leftovers(), f"show: staging files left: {leftovers()}")


def holds_open(pid, wanted):
    """True while process `pid` holds open a file whose path wanted(path) accepts."""
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                if wanted(os.readlink(f"/proc/{pid}/fd/{fd}")):
                    return True
            except OSError:
                pass
    except OSError:
        pass
    return False


def staging_open(pid, folder):
    """True while process `pid` holds a file of `folder` open (its staging file)."""
    return holds_open(pid, lambda path: path.startswith(folder + "/"))


def kill_during(args, saving, delay, env=None):
    """Runs vellora, kills it `delay` seconds after saving(pid) first holds;
    1 when it was still running then."""
    proc = subprocess.Popen([VELLORA, *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            env=env)
    while proc.poll() is None and not saving(proc.pid):
        time.sleep(0.0002)  # leaves the core to the run being watched
    time.sleep(delay)
    running = proc.poll() is None
    proc.kill()
    proc.wait()
    return 1 if running else 0


def complete_updates(data):
    """The file up to the end of its newest complete update: the first end
    line after the last objects that names the table readers start from."""
    newest = re.findall(rb"startxref\s+(\d+)\s+%%EOF", data)[-1]
    end = re.search(rb"startxref\s+" + newest + rb"\s+%%EOF\r?\n?", data[int(newest):])
    return data[:int(newest) + end.end()]


def case_killed_save():
    big = big_file()
    command = ["crop", big, "--pages", "all", "--region", "100,100,400,500", "-o"]
    reference = os.path.join(WORK, "reference.pdf")
    r = run(*command, reference)
    check(r.returncode == 0, f"killed save: reference run: {r.stderr[-300:]}")
    want = sha(reference)
    for mode in ("unnamed", "named"):
        folder = os.path.realpath(os.path.join(WORK, mode))
        os.makedirs(folder)
        out = os.path.join(folder, "cropped.pdf")
        env = dict(os.environ, VELLORA_STAGING=mode)
        mid_save = 0
        # A first save, then kills while saving over it: the target is always
        # the old file or the complete new one.
        for delay in (None, 0, 0.001, 0.004, 0.01, 0.03):
            if delay is None:
                subprocess.run([VELLORA, *command, out], capture_output=True, env=env)
            else:
                mid_save += kill_during([*command, out], lambda pid: staging_open(pid, folder),
                                        delay, env)
            check(os.path.exists(out) and sha(out) == want,
                  f"killed save ({mode}, {delay} s): the target is neither the old file nor the new one")
        check(mid_save >= 3, f"killed save ({mode}): only {mid_save} kills landed during a save")
        r = subprocess.run([VELLORA, *command, out], capture_output=True, text=True, env=env)
        check(r.returncode == 0, f"killed save ({mode}): the run after: {r.stderr[-300:]}")
        check(os.listdir(folder) == ["cropped.pdf"],
              f"killed save ({mode}): left in the folder: {os.listdir(folder)}")
        check(sha(out) == want, f"killed save ({mode}): the last run's output differs")
    ok, report = qpdf_clean(reference)
    check(ok, f"killed save: qpdf --check: {report}")

    # In place: the file is appended to; killed half-way, readers still find
    # the file as it was, whose bytes are as they were.
    folder = os.path.realpath(os.path.join(WORK, "in-place"))
    os.makedirs(folder)
    target = os.path.join(folder, "pages.pdf")
    shutil.copyfile(big, target)
    regions = ["100,100,400,500", "110,120,410,520", "120,140,420,540", "130,160,430,560",
               "140,180,440,580", "150,200,450,600"]
    last = None  # the region the file holds
    mid_save = 0
    for k, delay in enumerate((0, 0.002, 0.006, 0.02)):
        # What an earlier kill left after the last complete update is cut off
        # by this run before it appends.
        before = complete_updates(read_bytes(target))
        size = os.path.getsize(target)
        mid_save += kill_during(["crop", target, "--in-place", "--pages", "all", "--region", regions[k]],
                                lambda pid: os.path.getsize(target) != size, delay)
        with open(target, "rb") as f:
            after = f.read()
        check(after[:len(before)] == before, f"killed in place ({delay} s): the old bytes changed")
        boxes = crop_boxes(target, 1)
        held = [r for r in regions[:k + 1] if close(boxes.get(1, ()), tuple(float(v) for v in r.split(",")))]
        want = {last, regions[k]} - {None}
        check(held and held[-1] in want or not held and last is None,
              f"killed in place ({delay} s): page 1 holds {boxes.get(1)}, not the old or the new crop")
        last = held[-1] if held else last
        r = subprocess.run(["mutool", "show", target, "trailer"], capture_output=True, text=True)
        check(r.returncode == 0 and "error" not in r.stderr,
              f"killed in place ({delay} s): mutool: {r.stderr[-300:]}")
    check(mid_save >= 2, f"killed in place: only {mid_save} kills landed during the append")
    r = run("crop", target, "--in-place", "--pages", "all", "--region", regions[0])
    check(r.returncode == 0, f"killed in place: the run after: {r.stderr[-300:]}")
    check(os.listdir(folder) == ["pages.pdf"], f"killed in place: left: {os.listdir(folder)}")
    final = read_bytes(target)
    check(complete_updates(final) == final and b"\0" * 64 not in final[len(read_bytes(big)):],
          "killed in place: what the kills left is still in the file")
    ok, report = qpdf_clean(target)
    check(ok, f"killed in place: qpdf --check: {report}")


def case_cut_back():
    # What a killed append leaves after the file's last update: part of an
    # update, a stretch of NUL bytes the filesystem filled in, and the end
    # line that still names the old cross-reference table. The next save
    # puts its update where the killed one began, as on the file unharmed.
    clean = fresh_copy("mixed.pdf", "clean.pdf")
    valid = read_bytes(clean)
    newest = int(re.findall(rb"startxref\s+(\d+)", valid)[-1])
    left = (b"9 0 obj\n<< /Type /Page /Parent 2 0 R /CropBox [1 2 3" + b"\0" * 6000 +
            b"  startxref\n%d\n%%%%EOF\n" % newest)
    killed = os.path.join(WORK, "killed.pdf")
    region = ["--region", REGION, "--page", "1"]
    for mode in ("in place", "-o"):
        with open(killed, "wb") as f:
            f.write(valid + left)
        shutil.copyfile(os.path.join(SAMPLES, "mixed.pdf"), clean)
        if mode == "in place":
            for path in (clean, killed):
                r = run("crop", path, "--in-place", *region)
                check(r.returncode == 0, f"cut back ({mode}): status {r.returncode}: {r.stderr}")
            got, want = read_bytes(killed), read_bytes(clean)
        else:
            outs = [os.path.join(WORK, n) for n in ("from-clean.pdf", "from-killed.pdf")]
            for path, out in zip((clean, killed), outs):
                r = run("crop", path, "-o", out, *region)
                check(r.returncode == 0, f"cut back ({mode}): status {r.returncode}: {r.stderr}")
            got, want = read_bytes(outs[1]), read_bytes(outs[0])
        check(len(got) > len(valid) and got[:len(valid)] == valid and b"\0" * 64 not in got[len(valid):],
              f"cut back ({mode}): the old bytes changed, or the tail is still there")
        check(got == want, f"cut back ({mode}): {len(got)} bytes, not the {len(want)} of the file unharmed")
        ok, report = qpdf_clean(killed if mode == "in place" else outs[1])
        check(ok, f"cut back ({mode}): qpdf --check: {report}")


def case_standard_output():
    # -o - sends the result to standard output, made as a file would be: the
    # same bytes as -o FILE, nothing left behind in the temporary folder.
    src = fresh_copy("mixed.pdf")
    scratch = os.path.join(WORK, "tmp")
    os.makedirs(scratch)
    crop = ["crop", src, "--region", REGION, "--page", "1"]
    show = ["show", src, "--page", "1", "--media-box"]
    for args, name in ((crop, "crop.pdf"), (show, "page.png")):
        out = os.path.join(WORK, name)
        r = run_bytes(*args, "-o", out)
        check(r.returncode == 0, f"-o -: {args[0]} -o FILE: {r.stderr!r}")
        for staging in ("unnamed", "named"):
            env = dict(os.environ, TMPDIR=scratch, VELLORA_STAGING=staging)
            r = run_bytes(*args, "-o", "-", env=env)
            check(r.returncode == 0 and r.stdout == read_bytes(out),
                  f"-o - ({args[0]}, {staging}): status {r.returncode}, {len(r.stdout)} bytes: {r.stderr!r}")
            check(os.listdir(scratch) == [], f"-o - ({args[0]}, {staging}): left {os.listdir(scratch)}")
    ok, report = qpdf_clean(os.path.join(WORK, "crop.pdf"))
    check(ok, f"-o -: qpdf --check: {report}")
    # What another user leaves in the temporary folder at a name they can
    # foresee (here a FIFO at the process's number) does not fail the run.
    planted = os.path.join(scratch, "vellora-output-$$.pdf")
    r = subprocess.run(["sh", "-c", f'mkfifo "{planted}" && exec "$0" "$@"', VELLORA, *crop, "-o", "-"],
                       capture_output=True, env=dict(os.environ, TMPDIR=scratch))
    check(r.returncode == 0 and r.stdout == read_bytes(os.path.join(WORK, "crop.pdf")),
          f"-o - beside a planted FIFO: status {r.returncode}, {len(r.stdout)} bytes: {r.stderr!r}")
    check(len(os.listdir(scratch)) == 1, f"-o - beside a planted FIFO: left {os.listdir(scratch)}")
    # A failed run sends nothing.
    r = run_bytes("crop", src, "--region", "100,100,110,110", "--page", "1", "-o", "-")
    check(r.returncode == 1 and r.stdout == b"" and b"nothing written to standard output" in r.stderr,
          f"-o -, refused region: {r.returncode} {r.stdout[:40]!r} {r.stderr!r}")
    expect_refused(["crop", src, "--in-place", "-o", "-", "--region", REGION], 2, ["-o -", "--in-place"],
                   "-o - with --in-place")
    # A terminal gets no PDF: one message, nothing sent, no work done.
    for args in (crop, show):
        master, slave = os.openpty()
        r = subprocess.run([VELLORA, *args, "-o", "-"], stdout=slave, stderr=subprocess.PIPE, text=True)
        os.close(slave)
        os.set_blocking(master, False)
        try:
            sent = os.read(master, 1 << 16)
        except (BlockingIOError, OSError):
            sent = b""
        os.close(master)
        check(r.returncode == 3 and "standard output is a terminal" in r.stderr and sent == b"",
              f"-o - onto a terminal ({args[0]}): status {r.returncode}, sent {len(sent)} bytes: {r.stderr}")
        check(len(own_lines(r.stderr)) == 1 and "progress" not in r.stderr,
              f"-o - onto a terminal ({args[0]}): not one message before any work: {r.stderr}")


def own_lines(stderr):
    """The lines a command says in its own words (not the host's or the plug-in's)."""
    return [l for l in stderr.splitlines() if l and not l.startswith(("progress:", "alert:", "question:"))]


def case_links():
    real = fresh_copy("mixed.pdf", "real.pdf")
    link = os.path.join(WORK, "link.pdf")
    os.symlink("real.pdf", link)
    region = ["--region", REGION, "--page", "1"]
    # In place through a link: the file it names is cropped, the link stays.
    r = run("crop", link, "--in-place", *region)
    check(r.returncode == 0, f"in place through a link: status {r.returncode}: {r.stderr}")
    check(os.path.islink(link) and os.readlink(link) == "real.pdf", "in place: the link was replaced")
    expect_boxes(real, {1: ODD_CROPPED[1], 2: A4}, "in place through a link")

    # -o through a chain of links, one of them relative to its own folder.
    os.makedirs(os.path.join(WORK, "sub", "deeper"))
    target = os.path.join(WORK, "sub", "deeper", "result.pdf")
    with open(target, "wb") as f:
        f.write(b"old")
    os.symlink(os.path.join("deeper", "result.pdf"), os.path.join(WORK, "sub", "hop.pdf"))
    out_link = os.path.join(WORK, "out.pdf")
    os.symlink(os.path.join("sub", "hop.pdf"), out_link)
    r = run("reset", real, "-o", out_link, "--page", "1")
    check(r.returncode == 0, f"-o through links: status {r.returncode}: {r.stderr}")
    check(os.path.islink(out_link) and os.path.islink(os.path.join(WORK, "sub", "hop.pdf")),
          "-o through links: a link was replaced")
    expect_boxes(target, {1: LETTER}, "-o through links")
    ok, report = qpdf_clean(target)
    check(ok, f"-o through links: qpdf --check: {report}")

    # A dangling link names the file to make, when its folder exists.
    dangling = os.path.join(WORK, "dangling.pdf")
    os.symlink(os.path.join(WORK, "sub", "new.pdf"), dangling)
    r = run("bbox", real, "-o", dangling, "--page", "2")
    check(r.returncode == 0, f"dangling link: status {r.returncode}: {r.stderr}")
    check(os.path.islink(dangling) and os.path.isfile(os.path.join(WORK, "sub", "new.pdf")),
          "dangling link: the file it names was not written, or the link was replaced")
    nowhere = os.path.join(WORK, "nowhere.pdf")
    os.symlink(os.path.join(WORK, "missing", "x.pdf"), nowhere)
    expect_refused(["bbox", real, "-o", nowhere], 3, ["nowhere.pdf", "symbolic link", "missing"],
                   "dangling link into a missing folder")
    check(os.path.islink(nowhere), "dangling link into a missing folder: the link went")

    # Through a link, -o still may not name the input without --in-place.
    digest = sha(real)
    to_input = os.path.join(WORK, "to-input.pdf")
    os.symlink(real, to_input)
    expect_refused(["reset", real, "-o", to_input], 2, ["--in-place"], "-o a link to the input")
    expect_refused(["reset", link, "-o", real], 2, ["--in-place"], "input a link, -o the file")
    check(sha(real) == digest, "-o a link to the input: the input changed")
    r = run("reset", real, "-o", to_input, "--in-place")
    check(r.returncode == 0 and os.path.islink(to_input), f"-o a link to the input with --in-place: {r.stderr}")
    expect_boxes(real, {1: LETTER}, "-o a link to the input with --in-place")
    check(not leftovers() and not [n for n in os.listdir(os.path.join(WORK, "sub")) if n.startswith(".")],
          f"links: staging files left: {leftovers()}")

    # Line breaks in names, given directly or met through a link, reach the
    # script escaped; --print-script shows the path written, not the link.
    broken = os.path.join(WORK, "two\nlines\r.pdf")
    r = run("reset", real, "-o", broken, "--page", "1")
    check(r.returncode == 0 and os.path.isfile(broken), f"a name with line breaks: {r.returncode} {r.stderr}")
    via = os.path.join(WORK, "via-link.pdf")
    os.symlink("two\nlines\r.pdf", via)
    r = run("crop", via, "--in-place", *region, "--print-script")
    check(r.returncode == 0 and '"' + broken.replace("\n", "\\n").replace("\r", "\\r") + '"' in r.stdout,
          f"--print-script through a link: not the path written: {r.stdout}")
    r = run("crop", via, "--in-place", *region)
    check(r.returncode == 0 and os.path.islink(via), f"in place through a link to a name with a line break: {r.stderr}")
    expect_boxes(broken, {1: ODD_CROPPED[1]}, "a name with line breaks")
    # -o through a link to such a name: that name is written, the link stays.
    os.unlink(broken)
    r = run("reset", real, "-o", via, "--page", "1", "--print-script")
    check(r.returncode == 0 and '"' + broken.replace("\n", "\\n").replace("\r", "\\r") + '"' in r.stdout,
          f"-o through a link, --print-script: not the path written: {r.stdout}")
    r = run("reset", real, "-o", via, "--page", "1")
    check(r.returncode == 0 and os.path.islink(via) and os.path.isfile(broken),
          f"-o through a link to a name with line breaks: {r.returncode} {r.stderr}")


def run_bytes(*args, **kw):
    return subprocess.run([VELLORA, *args], capture_output=True, **kw)


def case_hostile_bytes():
    # Control bytes in what a user wrote are shown as escapes, never sent.
    script = os.path.join(WORK, "hostile.vscript")
    with open(script, "wb") as f:
        f.write(b'new doc 1\nexpect alert "\x1b[2J\x1b]0;owned\x07" # no such alert\n')
    r = run_bytes("run", script)
    check(r.returncode == 1, f"escape sequence: status {r.returncode}")
    check(b"\x1b" not in r.stderr and b"\x07" not in r.stderr, f"escape sequence: sent raw: {r.stderr!r}")
    check(b"\\x1b[2J\\x1b]0;owned\\x07" in r.stderr, f"escape sequence: not shown escaped: {r.stderr!r}")
    with open(script, "wb") as f:
        f.write(b"frob\0nicate 1\n")
    r = run_bytes("run", script)
    check(r.returncode == 1 and b'unknown command "frob\\0nicate"' in r.stderr and b"\0" not in r.stderr,
          f"NUL: status {r.returncode}: {r.stderr!r}")
    missing = os.path.join(WORK, "\x1b[31mred\tline.pdf")
    r = run_bytes("boxes", missing)
    check(r.returncode == 3 and b"\\x1b[31mred\\tline.pdf: no such file" in r.stderr
          and r.stderr.count(b"\n") == 1, f"file name: status {r.returncode}: {r.stderr!r}")

    # A byte-order mark before the first line is no part of the script.
    with open(script, "wb") as f:
        f.write(b"\xef\xbb\xbfnew doc 2\nexpect page-count 2\n")
    r = run("run", script)
    check(r.returncode == 0, f"byte-order mark: status {r.returncode}: {r.stderr}")

    # A folder is no script.
    expect_refused(["run", WORK], 3, ["is a directory"], "run DIRECTORY")


def case_numbers():
    src = fresh_copy("mixed.pdf")
    out = os.path.join(WORK, "out.pdf")
    r = run("crop", src, "-o", out, "--page", "1", "--region", "7.25e1,72.25,540.75,0.720125E3")
    check(r.returncode == 0, f"exponents: status {r.returncode}: {r.stderr}")
    expect_boxes(out, {1: ODD_CROPPED[1]}, "exponents")
    for region in ["nan,0,100,100", "0,0,inf,100", "0x10,0,100,100", "0,0,1e5,100"]:
        expect_refused(["crop", src, "-o", out, "--region", region], 2, ["--region"], f"region {region}")
    # Wider than page coordinates hold: refused before the plug-in sees it.
    r = expect_refused(["crop", src, "-o", out, "--region", "-16400,-16400,16400,16400"], 2,
                       ["32800 pt wide", "at most 32767.99998"], "over-wide region")
    check("alert:" not in r.stderr, f"over-wide region: reached the plug-in: {r.stderr}")
    expect_refused(["crop", src, "-o", out, "--region", "0,-16400,100,16400"], 2, ["32800 pt tall"],
                   "over-tall region")

    script = os.path.join(WORK, "zoom.vscript")
    with open(script, "w") as f:
        f.write("new doc 1\nzoom 99999999999\n")
    r = run("run", script)
    check(r.returncode == 1 and "percent" in r.stderr and "points" not in r.stderr,
          f"zoom: status {r.returncode}: {r.stderr}")

    for command, words in [("crop", ["--region L,B,R,T", "--pages", "--mismatch", "--password", "--in-place"]),
                           ("show", ["--zoom PERCENT", "--media-box"]), ("run", ["--trace FILE"])]:
        r = run(command, "--help")
        check(r.returncode == 0 and all(w in r.stdout for w in words) and not r.stderr,
              f"{command} --help: status {r.returncode}: {r.stdout}{r.stderr}")
    r = run("--version")
    check(r.returncode == 0 and re.match(r"vellora \d+\.\d+", r.stdout)
          and "plug-in interface 2.0" in r.stdout and re.search(r"MuPDF 1\.\d+", r.stdout),
          f"--version: status {r.returncode}: {r.stdout}{r.stderr}")


def show_encryption(path, password):
    r = subprocess.run(["qpdf", f"--password={password}", "--show-encryption", path],
                       capture_output=True, text=True)
    return r.returncode, r.stdout


def case_passwords():
    src = fresh_copy("mixed.pdf")
    out = os.path.join(WORK, "out.pdf")
    # qpdf writes RC4 only when told that weak cryptography is wanted.
    methods = {"aes256": ([], ["256"]), "aes128": ([], ["128", "--use-aes=y"]),
               "rc4": (["--allow-weak-crypto"], ["128", "--use-aes=n"])}
    for name, (weak, how) in methods.items():
        locked = os.path.join(WORK, f"locked-{name}.pdf")
        subprocess.run(["qpdf", *weak, "--encrypt", "user pw", "owner", *how, "--print=low", "--", src, locked],
                       check=True, capture_output=True)
        digest = sha(locked)
        r = run("crop", locked, "-o", out, "--password", "user pw", "--page", "1", "--region", REGION)
        check(r.returncode == 0, f"{name}: status {r.returncode}: {r.stderr}")
        expect_boxes(out, {1: ODD_CROPPED[1], 2: A4}, f"{name}: cropped", password="user pw")
        check(show_encryption(out, "user pw") == show_encryption(locked, "user pw"),
              f"{name}: encryption changed:\n{show_encryption(locked, 'user pw')[1]}\n"
              f"--- became\n{show_encryption(out, 'user pw')[1]}")
        r = subprocess.run(["qpdf", "--check", "--password=user pw", out], capture_output=True, text=True)
        check(r.returncode == 0, f"{name}: qpdf --check: {r.stdout}{r.stderr}")
        check(read_bytes(out).startswith(read_bytes(locked)), f"{name}: not an incremental update")
        check(sha(locked) == digest, f"{name}: the input changed")
        os.unlink(out)

    locked = os.path.join(WORK, "locked-aes256.pdf")
    secret = os.path.join(WORK, "secret.txt")
    with open(secret, "w") as f:
        f.write("user pw\n")
    r = run("reset", locked, "-o", out, "--password-file", secret)
    check(r.returncode == 0 and os.path.exists(out), f"--password-file: status {r.returncode}: {r.stderr}")
    os.unlink(out)
    r = run("bbox", locked, "-o", out, "--page", "1", env={**os.environ, "VELLORA_PASSWORD": "user pw"})
    check(r.returncode == 0 and os.path.exists(out), f"VELLORA_PASSWORD: status {r.returncode}: {r.stderr}")
    os.unlink(out)
    r = run("boxes", locked, "--password", "owner")
    check(r.returncode == 0 and r.stdout.count("\n") == 7, f"owner password: status {r.returncode}: {r.stderr}")

    expect_refused(["crop", locked, "-o", out, "--password", "guess", "--region", REGION], 3,
                   ["locked-aes256.pdf", "password is wrong"], "wrong password")
    expect_refused(["reset", locked, "-o", out], 3, ["without its password", "--password-file"],
                   "no password")
    # No-modify: the owner password lifts it, the user password alone does not;
    # the result keeps the encryption and its permission bits.
    for user in ("", "user pw"):
        closed = os.path.join(WORK, "no-modify.pdf")
        subprocess.run(["qpdf", "--encrypt", user, "owner", "256", "--modify=none", "--", src, closed],
                       check=True, capture_output=True)
        kind = f"no-modify, user password {user!r}"
        expect_refused(["bbox", closed, "-o", out, *(["--password", user] if user else [])], 3,
                       ["does not permit changes"], f"{kind}, without the owner password")
        r = run("bbox", closed, "-o", out, "--password", "owner", "--page", "1")
        check(r.returncode == 0, f"{kind}, owner password: status {r.returncode}: {r.stderr}")
        check(show_encryption(out, "owner") == show_encryption(closed, "owner"),
              f"{kind}: encryption changed: {show_encryption(out, 'owner')[1]}")
        check("modify anything: not allowed" in show_encryption(out, "owner")[1] or
              "modify: not allowed" in show_encryption(out, "owner")[1].lower(),
              f"{kind}: permission bits lost: {show_encryption(out, 'owner')[1]}")
        os.unlink(out)
        os.unlink(closed)
    r = run("reset", locked, "-o", out, "--password", "user pw", "--print-script")
    check("user pw" not in r.stdout and "password" in r.stdout, f"print-script shows the password: {r.stdout}")

    # A script opens it with its password.
    script = os.path.join(WORK, "locked.vscript")
    with open(script, "w") as f:
        f.write(f'open "{locked}" password "user pw"\nexpect page-count 7\n')
    r = run("run", script)
    check(r.returncode == 0, f"script open with password: status {r.returncode}: {r.stderr}")
    check(not leftovers(), f"passwords: staging files left: {leftovers()}")


def big_file():
    """The 10,000-page file, made once beside the cases' folders; they only read it."""
    shared = os.path.dirname(os.path.abspath(WORK))
    big = os.path.join(shared, "pages-10000.pdf")
    if not os.path.exists(big):
        # Made aside and renamed, so that a case running beside never reads half of it.
        scratch = tempfile.mkdtemp(dir=shared)
        subprocess.run([SAMPLEGEN, scratch, "--text", "10000", "pages-10000.pdf"], check=True)
        os.replace(os.path.join(scratch, "pages-10000.pdf"), big)
        os.rmdir(scratch)
    return big


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


PAGE_LOADS = re.compile(r"pages loaded: (\d+), (\d+) of them by their listed objects; "
                        r"page tree read (\d+) times?$", re.M)


def page_loads(args, threads, what):
    """(loaded, direct, tree reads) as `--verbose` reports them; None on failure."""
    r = run(*args, "--verbose", env=dict(os.environ, TRIMVEX_BBOX_THREADS=str(threads)))
    found = PAGE_LOADS.search(r.stderr)
    check(r.returncode == 0 and found, f"{what}: status {r.returncode}, no page-load line: {r.stderr[-300:]}")
    return tuple(int(v) for v in found.groups()) if found else None


def case_page_lookup():
    # Every page is found directly on the MuPDF release built against: a
    # walk of the page tree per page is quadratic over a flat tree, and a
    # port to a release where the lookup falls back to it fails here.
    pages = 400
    flat = os.path.join(WORK, "flat.pdf")
    subprocess.run([SAMPLEGEN, WORK, "--text", str(pages), "flat.pdf"], check=True)
    for threads in (1, 3):
        loads = page_loads(["boxes", flat], threads, f"boxes on {threads} thread(s)")
        if loads:
            loaded, direct, reads = loads
            check(loaded == pages and direct == pages,
                  f"boxes on {threads} thread(s): {direct} of {loaded} pages found directly, not {pages}")
            # One read of the tree a document at most (the workers' own).
            check(reads <= threads, f"boxes on {threads} thread(s): the page tree was read {reads} times")
    # Crop boxes set between pages leave the tree as it was: its cache stays.
    loads = page_loads(["bbox", flat, "--each", "-o", os.path.join(WORK, "each.pdf")], 1, "bbox --each")
    if loads:
        loaded, direct, reads = loads
        check(loaded == pages and direct == pages, f"bbox --each: {direct} of {loaded} pages found directly")
        check(reads <= 1, f"bbox --each: the page tree was read {reads} times")


# ---- Files other programs hold, or that are not files ----------------------

def write_pdf(path, bodies):
    """A PDF of the given object bodies, numbered from 1 (1 the catalog)."""
    out = bytearray(b"%PDF-1.7\n")
    offsets = []
    for number, body in enumerate(bodies, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body.encode())
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(bodies) + 1)
    for at in offsets:
        out += b"%010d 00000 n \n" % at
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(bodies) + 1, xref)
    with open(path, "wb") as f:
        f.write(out)


def case_special_targets():
    src = fresh_copy("mixed.pdf")
    device = os.path.join(WORK, "null")
    os.mknod(device, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
    fifo = os.path.join(WORK, "fifo")
    os.mkfifo(fifo)
    sock = os.path.join(WORK, "socket")
    server = socket.socket(socket.AF_UNIX)
    server.bind(sock)
    link = os.path.join(WORK, "to-null.pdf")
    os.symlink("null", link)
    kinds = {device: stat.S_ISCHR, fifo: stat.S_ISFIFO, sock: stat.S_ISSOCK, link: stat.S_ISCHR}
    for node, kind in kinds.items():
        for args in (["reset", src, "-o", node], ["show", src, "--page", "1", "-o", node],
                     ["crop", src, "-o", node, "--region", REGION, "--page", "1"]):
            r = expect_refused(args, 3, [os.path.basename(node), "writes only regular files"],
                               f"{args[0]} -o {os.path.basename(node)}")
            check(kind(os.stat(node).st_mode), f"{args[0]} -o {node}: no longer what it was")
            check("progress" not in r.stderr, f"{args[0]} -o {node}: work done before the refusal")
    server.close()
    # A script's save onto one is refused as well, with the node kept.
    script = os.path.join(WORK, "save.vscript")
    with open(script, "w") as f:
        f.write(f"load\nopen {src}\nsave {device} full\n")
    r = run("run", script)
    check(r.returncode == 3 and "not a regular file" in r.stderr, f"script save onto a device: {r.returncode} {r.stderr}")
    check(stat.S_ISCHR(os.stat(device).st_mode), "script save onto a device: replaced")
    # Scripts are small: an endless one stops at 16 MB, a large file is not read.
    start = time.time()
    r = run("run", "/dev/zero")
    check(r.returncode == 3 and "larger than 16 MB" in r.stderr, f"run /dev/zero: {r.returncode} {r.stderr}")
    large = os.path.join(WORK, "large.vscript")
    with open(large, "wb") as f:
        f.truncate((16 << 20) + 1)
    r = run("run", large)
    check(r.returncode == 3 and "larger than 16 MB" in r.stderr, f"run a large script: {r.returncode} {r.stderr}")
    os.unlink(large)
    check(time.time() - start < 30, "scripts: refusing took too long")
    check(not leftovers(), f"special targets: staging files left: {leftovers()}")


def case_early_stop():
    big = big_file()
    target = os.path.join(WORK, "target.pdf")
    shutil.copyfile(big, target)
    digest = sha(target)
    out = os.path.join(WORK, "out.pdf")
    for delay in (0.01, 0.01, 0.03, None, None, None):
        for args in (["crop", target, "--in-place", "--region", "100,100,400,500"],
                     ["reset", target, "-o", out]):
            proc = subprocess.Popen([VELLORA, *args], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            if delay is None:
                # The first instant the program catches the signal at all.
                while proc.poll() is None and not catches_sigint(proc.pid):
                    time.sleep(0.0002)
            else:
                time.sleep(delay)
            proc.send_signal(signal.SIGINT)
            err = proc.stderr.read()
            status = proc.wait()
            what = f"SIGINT {'as the handler is set' if delay is None else f'after {delay} s'}"
            # Before the program's handler is in place (on a loaded machine,
            # loading takes tens of ms) the signal ends it as it would any
            # program; from then on the run stops by its own rule.
            if delay is None:
                check(status == 130 and "stopped" in err, f"{what}: status {status}: {err[-300:]}")
            else:
                check(status in (130, -signal.SIGINT), f"{what}: status {status}: {err[-300:]}")
            check(not os.path.exists(out) and sha(target) == digest, f"{what}: a file was written")
    # While the input is being read: the script that follows does not start.
    proc = subprocess.Popen([VELLORA, "crop", target, "--in-place", "--region", "100,100,400,500"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    while proc.poll() is None and not holds_open(proc.pid, lambda path: path == target):
        time.sleep(0.0002)
    proc.send_signal(signal.SIGINT)
    err = proc.stderr.read()
    check(proc.wait() == 130 and "stopped" in err and "Model." not in err,
          f"SIGINT while opening: status {proc.returncode}: {err[-300:]}")
    check(sha(target) == digest, "SIGINT while opening: the file changed")
    # While waiting for another process's lock.
    with open(target, "rb") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        proc = subprocess.Popen([VELLORA, "reset", target, "--in-place", "--wait"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        # Waiting once it holds the file open (for its lock) and a moment has passed.
        while proc.poll() is None and not holds_open(proc.pid, lambda path: path == target):
            time.sleep(0.001)
        time.sleep(0.3)
        check(proc.poll() is None, "--wait: did not wait for the lock")
        proc.send_signal(signal.SIGINT)
        err = proc.stderr.read()
        check(proc.wait() == 130 and "stopped" in err, f"SIGINT while waiting: {proc.returncode}: {err}")
    check(sha(target) == digest and not leftovers(), "early stop: a file was written")


def catches_sigint(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            caught = [l for l in f if l.startswith("SigCgt:")]
        return bool(caught) and int(caught[0].split()[1], 16) & (1 << (signal.SIGINT - 1)) != 0
    except OSError:
        return False


def case_concurrent():
    src = os.path.join(SAMPLES, "mixed.pdf")
    odd = ["crop", "--pages", "odd", "--region", REGION, "--mismatch", "crop", "--in-place"]
    even = ["crop", "--pages", "even", "--region", "100,100,400,500", "--mismatch", "crop", "--in-place"]
    target = os.path.join(WORK, "shared.pdf")

    def boxes_after(*commands):
        shutil.copyfile(src, target)
        for c in commands:
            r = run(c[0], target, *c[1:])
            check(r.returncode == 0, f"concurrent: reference run: {r.stderr}")
        return crop_boxes(target, 7)

    both, only_odd, only_even = boxes_after(odd, even), boxes_after(odd), boxes_after(even)
    check(both != only_odd and both != only_even, "concurrent: the two crops are not told apart")
    refused = 0
    for k in range(50):
        shutil.copyfile(src, target)
        wait = ["--wait"] if k >= 40 else []
        procs = [subprocess.Popen([VELLORA, c[0], target, *c[1:], *wait], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, text=True) for c in (odd, even)]
        results = [(p.wait(), p.stderr.read()) for p in procs]
        got = crop_boxes(target, 7)
        statuses = [status for status, _ in results]
        if statuses == [0, 0]:
            check(got == both, f"concurrent pair {k}: both ran, but a crop is missing")
            continue
        refused += 1
        check(not wait, f"concurrent pair {k}: refused although --wait: {results}")
        check(sorted(statuses) == [0, 3], f"concurrent pair {k}: statuses {statuses}: {results}")
        loser = statuses.index(3)
        check("shared.pdf: is being changed by another vellora process" in results[loser][1],
              f"concurrent pair {k}: refusal without its message: {results[loser][1]}")
        check(got == (only_even if loser == 0 else only_odd), f"concurrent pair {k}: the winner's crop is missing")
        ok, report = qpdf_clean(target)
        check(ok, f"concurrent pair {k}: qpdf --check: {report}")
    print(f"concurrent: {refused} of 40 pairs had one run refused")
    check(not leftovers(), f"concurrent: staging files left: {leftovers()}")


def paused_run(args, change):
    """Runs a command's own script with its trace going into a pipe nobody
    reads for a while: the host blocks in the page loop, `change` runs, and
    the run goes on to its save. Returns (status, stderr)."""
    printed = run(*args, "--print-script")
    check(printed.returncode == 0, f"paused run: --print-script: {printed.stderr}")
    script = os.path.join(WORK, "paused.vscript")
    with open(script, "w") as f:
        f.write(printed.stdout)
    fifo = os.path.join(WORK, "paused.trace")
    os.mkfifo(fifo)
    fd = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
    proc = subprocess.Popen([VELLORA, "run", script, "--trace", fifo],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    data = b""
    deadline = time.time() + 60
    while b"Model.SetCropBox" not in data and proc.poll() is None and time.time() < deadline:
        if select.select([fd], [], [], 0.1)[0]:
            try:
                data += os.read(fd, 4096)
            except BlockingIOError:
                pass
    time.sleep(0.3)
    check(proc.poll() is None, "paused run: the run ended before the change")
    change()
    while proc.poll() is None:
        if select.select([fd], [], [], 0.1)[0]:
            try:
                os.read(fd, 1 << 16)
            except BlockingIOError:
                pass
    os.close(fd)
    os.unlink(fifo)
    return proc.returncode, proc.stderr.read()


def case_outside_changes():
    big = big_file()
    target = os.path.join(WORK, "pages.pdf")
    other = os.path.join(WORK, "other.pdf")
    out = os.path.join(WORK, "out.pdf")
    appended = b"\n% another program's line\n"

    def append():
        with open(target, "ab") as f:
            f.write(appended)

    def replace():
        shutil.copyfile(os.path.join(SAMPLES, "mixed.pdf"), other)
        os.rename(other, target)

    def cut():
        os.truncate(target, os.path.getsize(target) // 2)

    def touch():
        os.utime(target, (time.time() + 5, time.time() + 5))

    changes = {"append": (append, "added to the file"), "rename": (replace, "replaced the file"),
               "truncate": (cut, "cut the file short"), "touch": (touch, "written to the file")}
    for name, (change, words) in changes.items():
        for mode in ("in place", "-o"):
            shutil.copyfile(big, target)
            if os.path.exists(out):
                os.unlink(out)
            args = ["reset", target, "--all"] + (["--in-place"] if mode == "in place" else ["-o", out])
            status, err = paused_run(args, change)
            after = read_bytes(target)
            what = f"{name} during a run ({mode})"
            if name == "rename" and mode == "-o":
                # The file read is unchanged (the run holds it open): the
                # result is made from it, and nothing of the new file is lost.
                check(status == 0 and os.path.exists(out), f"{what}: status {status}: {err[-300:]}")
                check(after == read_bytes(os.path.join(SAMPLES, "mixed.pdf")), f"{what}: the new file changed")
                continue
            check(status == 3, f"{what}: status {status}: {err[-300:]}")
            check(words in err and "nothing written" in err, f"{what}: the message does not say so: {err[-300:]}")
            check(not os.path.exists(out), f"{what}: output written")
            if name == "append":
                check(after == read_bytes(big) + appended, f"{what}: the other program's change is lost")
            elif name == "rename":
                check(after == read_bytes(os.path.join(SAMPLES, "mixed.pdf")), f"{what}: the new file is lost")
            elif name == "touch":
                check(after == read_bytes(big), f"{what}: the file changed")
    check(not leftovers(), f"outside changes: staging files left: {leftovers()}")


def case_identity():
    with open(os.path.join(SAMPLES, "mixed.pdf"), "rb") as f:
        data = f.read()
    # A file MuPDF repairs is written whole: the file keeps what it was.
    damaged = os.path.join(WORK, "damaged.pdf")
    with open(damaged, "wb") as f:
        f.write(data[:data.rindex(b"startxref")] + b"startxref\n999999\n%%EOF\n")
    os.chown(damaged, 1234, 2345)
    os.chmod(damaged, 0o640)
    os.setxattr(damaged, "user.note", b"kept")
    r = subprocess.run(["setfacl", "-m", "u:4321:rw", damaged], capture_output=True, text=True)
    check(r.returncode == 0, f"identity: setfacl: {r.stderr}")
    acl = subprocess.run(["getfacl", "-c", damaged], capture_output=True, text=True).stdout
    r = run("reset", damaged, "--in-place", "--page", "3")
    check(r.returncode == 0, f"identity: status {r.returncode}: {r.stderr}")
    check("written whole, not appended to: it was damaged, and repaired on opening" in r.stderr,
          f"identity: the whole write is not told: {r.stderr}")
    st = os.stat(damaged)
    check((st.st_uid, st.st_gid) == (1234, 2345), f"identity: owner {st.st_uid}:{st.st_gid}")
    check(stat.S_IMODE(st.st_mode) & 0o707 == 0o600, f"identity: mode {oct(st.st_mode)}")
    check(os.getxattr(damaged, "user.note") == b"kept", "identity: the extended attribute is gone")
    now = subprocess.run(["getfacl", "-c", damaged], capture_output=True, text=True).stdout
    check("user:4321:rw-" in now and now == acl, f"identity: ACL {now!r}, was {acl!r}")
    expect_boxes(damaged, {3: (0.0, 0.0, 792.0, 612.0)}, "identity")
    ok, report = qpdf_clean(damaged)
    check(ok, f"identity: qpdf --check: {report}")

    # A second hard link: writing whole would split the two names.
    with open(damaged, "wb") as f:
        f.write(data[:data.rindex(b"startxref")] + b"startxref\n999999\n%%EOF\n")
    second = os.path.join(WORK, "second-name.pdf")
    os.link(damaged, second)
    before = read_bytes(damaged)
    r = run("reset", damaged, "--in-place", "--page", "3")
    check(r.returncode == 3 and "damaged.pdf: cannot write it whole: it has 2 hard links" in r.stderr,
          f"two links: status {r.returncode}: {r.stderr}")
    check(os.stat(damaged).st_ino == os.stat(second).st_ino and read_bytes(second) == before,
          "two links: split or changed")
    # A sound file is appended to: the links stay one file.
    sound = fresh_copy("mixed.pdf", "sound.pdf")
    os.link(sound, os.path.join(WORK, "sound-link.pdf"))
    r = run("reset", sound, "--in-place", "--page", "3")
    check(r.returncode == 0 and os.stat(sound).st_nlink == 2, f"sound file with two links: {r.stderr}")
    check(not leftovers(), f"identity: staging files left: {leftovers()}")


def case_listings():
    # One page object listed at every leaf of a tree of shared nodes.
    def tree(path, levels):
        bodies = ["<< /Type /Catalog /Pages 2 0 R >>"]
        for level in range(levels):
            kids = " ".join([f"{3 + level} 0 R"] * 10)
            parent = "" if level == 0 else f" /Parent {1 + level} 0 R"
            bodies.append(f"<< /Type /Pages /Kids [{kids}] /Count {10 ** (levels - level)}{parent} >>")
        bodies.append(f"<< /Type /Page /Parent {1 + levels} 0 R /MediaBox [0 0 612 792] >>")
        write_pdf(path, bodies)

    # MuPDF 1.27 and later refuse a page count past the number of objects
    # as they open the file.
    version = re.search(r"MuPDF (\d+)\.(\d+)", run("--version").stdout)
    counts_checked = bool(version) and (int(version[1]), int(version[2])) >= (1, 27)
    many = os.path.join(WORK, "many.pdf")
    tree(many, 7)
    expect_refused(["crop", many, "-o", os.path.join(WORK, "x.pdf"), "--region", "100,100,400,500"], 3,
                   ["many.pdf"] + (["Invalid number of pages"] if counts_checked else ["10000000 pages", "1000000"]),
                   "10,000,000 listings")
    some = os.path.join(WORK, "some.pdf")
    tree(some, 3)
    out = os.path.join(WORK, "some-cropped.pdf")
    if counts_checked:
        expect_refused(["crop", some, "-o", out, "--pages", "all", "--region", "100,100,400,500"], 3,
                       ["some.pdf", "Invalid number of pages"], "1000 listings on MuPDF 1.27 or later")
    else:
        r = run("crop", some, "-o", out, "--pages", "all", "--region", "100,100,400,500")
        check(r.returncode == 0, f"1000 listings: status {r.returncode}: {r.stderr[-300:]}")
        grown = os.path.getsize(out) - os.path.getsize(some)
        check(0 < grown < 1000, f"1000 listings: the update is {grown} bytes")
        # (poppler refuses a tree of more pages than objects: read the update.)
        update = read_bytes(out)[os.path.getsize(some):]
        check(update.count(b"/CropBox [100 100 400 500]") == 1 and update.count(b" obj") == 1,
              f"1000 listings: the update is not the page object once: {update!r}")

    # Rotations as readers take them: reduced to 0..359.
    rotated = os.path.join(WORK, "rotated.pdf")
    # (MuPDF reads an integer past 32 bits as 2147483647; the reduction of
    # larger ones is shown by the unit test.)
    values = ["32768", "-450", "2147483647", "-2147483648", "90"]
    write_pdf(rotated, ["<< /Type /Catalog /Pages 2 0 R >>",
                        "<< /Type /Pages /Kids [%s] /Count %d >>" % (
                            " ".join(f"{3 + i} 0 R" for i in range(len(values))), len(values))] +
              [f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Rotate {v} >>" for v in values])
    r = run("boxes", rotated)
    check(r.returncode == 0, f"rotations: boxes: {r.stderr}")
    shown = re.findall(r"rotat\w*\D*(-?\d+)", r.stdout)
    check(shown == ["8", "270", "127", "232", "90"], f"rotations: boxes shows {shown}: {r.stdout}")
    out = os.path.join(WORK, "rotated-cropped.pdf")
    r = run("crop", rotated, "-o", out, "--page", "2", "--pages", "all", "--region", "100,100,400,500",
            "--mismatch", "crop")
    check(r.returncode == 0, f"rotations: crop: status {r.returncode}: {r.stderr[-300:]}")
    expect_boxes(out, {2: (100.0, 100.0, 400.0, 500.0)}, "rotation -450")


def read_info(args, what):
    """`vellora info`: {"pages": n, "sizes": {(w, h): count}, "encrypted", "repaired", "library"}."""
    r = run("info", *args)
    check(r.returncode == 0, f"{what}: status {r.returncode}: {r.stderr}")
    info = {"sizes": {}}
    for line in r.stdout.splitlines():
        m = re.match(r"size (\S+) x (\S+) pt: (\d+)$", line)
        if m:
            info["sizes"][(float(m.group(1)), float(m.group(2)))] = int(m.group(3))
        else:
            key, _, value = line.partition(" ")
            info[key] = value
    return info


def case_info():
    src = fresh_copy("mixed.pdf")
    info = read_info([src], "mixed.pdf")
    pages = int(subprocess.run(["qpdf", "--show-npages", src], capture_output=True, text=True).stdout)
    check(info.get("pages") == str(pages), f"pages: {info.get('pages')}, qpdf counts {pages}")
    expected = {}
    for l, b, r, t in crop_boxes(src, pages).values():
        size = (round(r - l, 2), round(t - b, 2))
        expected[size] = expected.get(size, 0) + 1
    got = {(round(w, 2), round(h, 2)): n for (w, h), n in info["sizes"].items()}
    check(got == expected, f"sizes: {got}, poppler reads {expected}")
    check(info.get("encrypted") == "no" and info.get("repaired") == "no", f"plain file: {info}")
    check(info.get("library", "").startswith("MuPDF "), f"library: {info.get('library')}")

    locked = os.path.join(WORK, "locked.pdf")
    subprocess.run(["qpdf", "--encrypt", "user pw", "owner", "256", "--", src, locked],
                   check=True, capture_output=True)
    check(read_info([locked, "--password", "user pw"], "encrypted").get("encrypted") == "yes",
          "an encrypted file is not said to be")
    expect_refused(["info", locked], 3, ["without its password", "--password-file"], "info, no password")
    damaged = os.path.join(SAMPLES, "damaged", "bad-xref.pdf")
    check(read_info([damaged], "damaged").get("repaired") == "yes", "a repaired file is not said to be")
    expect_refused(["info", src, "-o", os.path.join(WORK, "x.pdf")], 2, ["info does not take -o"],
                   "info with -o")


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}


def clear_work():
    for name in os.listdir(WORK):
        path = os.path.join(WORK, name)
        shutil.rmtree(path) if os.path.isdir(path) else os.unlink(path)


if __name__ == "__main__":
    if CASE not in CASES:
        sys.exit(f"unknown case {CASE}; cases: {', '.join(CASES)}")
    os.makedirs(WORK, exist_ok=True)
    clear_work()  # a fresh start
    CASES[CASE]()
    if failures:
        print(f"{len(failures)} failure(s) in {CASE}; its files are kept in {WORK}")
        sys.exit(1)
    clear_work()  # a case that passed leaves nothing behind (some write 100 MB)
    print(f"{CASE}: passed")

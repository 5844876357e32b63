#!/usr/bin/python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""How fast the viewer answers the mouse and shows a page.

    viewer_bench.py BUILD_DIR [ROUNDS]

Runs `vellora view --no-browser` and talks to it as its page does (form
posts up, Server-Sent Events down), without a browser:

  - drag: the crop tool's region dragged out on mixed.pdf page 1 (612 x 792
    pt) at 100% and at 400%; for each mouse move, the time from sending the
    move to receiving the frame that shows the rubber band at that point.
  - page: text-1000.pdf (1,000 pages), pages chosen across the document; the
    time from asking for the page to having its frame and its rendered PNG.
  - overlay: View > Overlay on the pgf manual (1,321 pages, Debian's
    texlive-pictures-doc; skipped without it), all pages of its size: the
    time to the first picture with ink and to the complete one; beside it,
    in the same run, `mutool draw` rendering every page at the same
    resolution on one thread, as a ratio.
  - thumbnails: on the manual, a jump to a page (1,000 and others) with the
    page list asking for the pages then in sight: the time until the state
    carries every one of their pictures.

Prints a Markdown table of medians and 90th percentiles, in milliseconds.
"""
import http.client
import json
import os
import re
import socket
import statistics
import subprocess
import sys
import time
import urllib.parse

BUILD = sys.argv[1]
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 200
VELLORA = os.path.join(BUILD, "bin", "vellora")
MARGIN = 16


class Session:
    def __init__(self, pdf, zoom):
        self.proc = subprocess.Popen([VELLORA, "view", pdf, "--no-browser", "--zoom", str(zoom)],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        url = self.proc.stdout.readline().strip()
        m = re.match(r"http://127\.0\.0\.1:(\d+)(/\w+)/\?token=(\w+)", url)
        if not m:
            raise SystemExit(f"vellora view printed {url!r}")
        self.port, self.prefix, token = int(m.group(1)), m.group(2), m.group(3)
        self.host = f"127.0.0.1:{self.port}"
        self.cookie = f"vellora_{self.port}={token}"
        self.conn = http.client.HTTPConnection("127.0.0.1", self.port)
        # The event stream, read by hand: one frame event after another.
        self.events = socket.create_connection(("127.0.0.1", self.port))
        self.events.sendall(f"GET {self.prefix}/events HTTP/1.1\r\nHost: {self.host}\r\nCookie: {self.cookie}\r\n\r\n".encode())
        self.buffer = b""
        self.frame = None

    def post(self, **fields):
        try:
            self._post(fields)
        except (BrokenPipeError, ConnectionResetError, http.client.RemoteDisconnected):
            # The server closed the connection while it was idle.
            self.conn = http.client.HTTPConnection("127.0.0.1", self.port)
            self._post(fields)

    def _post(self, fields):
        self.conn.request("POST", self.prefix + "/input", urllib.parse.urlencode(fields),
                          {"Host": self.host, "Cookie": self.cookie, "Origin": f"http://{self.host}",
                           "Content-Type": "application/x-www-form-urlencoded"})
        r = self.conn.getresponse()
        r.read()
        assert r.status == 204, r.status

    def get(self, path):
        self.conn.request("GET", self.prefix + "/" + path.lstrip("/"), headers={"Host": self.host, "Cookie": self.cookie})
        r = self.conn.getresponse()
        body = r.read()
        assert r.status == 200, (path, r.status)
        return body

    def next_frame(self, accept):
        """Reads events until a frame for which accept(frame) holds."""
        return self.next_event("frame", accept)

    def next_event(self, kind, accept):
        """Reads events until one of that kind for which accept(data) holds."""
        while True:
            while b"\n\n" not in self.buffer:
                self.buffer += self.events.recv(1 << 20)
            block, self.buffer = self.buffer.split(b"\n\n", 1)
            text = block.decode("utf-8", "replace")
            if f"event: {kind}" not in text:
                continue
            data = json.loads(text.split("data: ", 1)[1].split("\r\n")[0].split("\n")[0])
            if kind == "frame":
                self.frame = data
            if accept(data):
                return data

    def close(self):
        self.proc.send_signal(2)
        self.proc.wait(10)


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(len(values) * p))]


def drag(pdf, zoom):
    s = Session(pdf, zoom)
    try:
        s.post(kind="button", name="ZUNO:TrimVex")
        scale = zoom / 100
        x0, y0 = MARGIN + int(100 * scale), MARGIN + int(100 * scale)
        s.post(kind="press", x=x0, y=y0, mods=0)
        s.next_frame(lambda f: f["band"] is not None)
        times = []
        for i in range(ROUNDS):
            x, y = x0 + 20 + (i * 7) % int(400 * scale), y0 + 20 + (i * 5) % int(500 * scale)
            start = time.perf_counter()
            s.post(kind="move", x=x, y=y, mods=0)
            s.next_frame(lambda f: f["band"] is not None and f["band"][2] == x and f["band"][3] == y)
            times.append((time.perf_counter() - start) * 1000)
        s.post(kind="release", x=x0 + 50, y=y0 + 50, mods=0)
        return times
    finally:
        s.close()


def pages(pdf):
    s = Session(pdf, 100)
    try:
        times = []
        for page in (500, 2, 999, 250, 750, 1000, 1, 333, 666, 123):
            start = time.perf_counter()
            s.post(kind="goto", page=page)
            f = s.next_frame(lambda f: f["page"] == page)
            s.get(f["image"])
            times.append((time.perf_counter() - start) * 1000)
        return times
    finally:
        s.close()


MANUAL = "/usr/share/doc/texlive-doc/generic/pgf/pgfmanual.pdf"


def processor_seconds(pid):
    """User and system time of a running process so far."""
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def overlay(pdf):
    """Seconds to the first overlay picture with ink and to the complete one
    (wall), and the viewer's processor time from the menu to the last."""
    s = Session(pdf, 100)
    try:
        s.next_frame(lambda f: f is not None)
        used = processor_seconds(s.proc.pid)
        start = time.perf_counter()
        s.post(kind="menu", name="Overlay")
        f = s.next_frame(lambda f: f.get("overlay") and f["overlay"]["done"] > 0)
        first = time.perf_counter() - start
        f = s.next_frame(lambda f: f.get("overlay") and f["overlay"]["done"] == f["overlay"]["total"])
        complete = time.perf_counter() - start
        return first, complete, processor_seconds(s.proc.pid) - used, f["overlay"]["total"]
    finally:
        s.close()


def mutool_all(pdf):
    """Wall and processor seconds of `mutool draw` of every page."""
    start = time.perf_counter()
    child = subprocess.Popen(["mutool", "draw", "-r", "36", "-F", "pgm", "-o", "/dev/null", pdf],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    assert child.returncode == 0, child.returncode
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime


def thumbnails(pdf):
    """Milliseconds from a jump to every thumbnail in sight being published."""
    s = Session(pdf, 100)
    try:
        s.next_frame(lambda f: f is not None)
        times = []
        for page in (1000, 200, 1300, 650, 20):
            first, last = page - 2, page + 2
            start = time.perf_counter()
            s.post(kind="goto", page=page)
            s.post(kind="thumbnails", first=first, last=last)
            s.next_event("state", lambda st: st.get("pages") and
                         {t[0] for t in st["pages"]["thumbs"]} >= set(range(first, last + 1)))
            times.append((time.perf_counter() - start) * 1000)
        return times
    finally:
        s.close()


def main():
    mixed = os.path.join(BUILD, "samples", "mixed.pdf")
    text = os.path.join(BUILD, "samples", "text-1000.pdf")
    rows = []
    for zoom in (100, 400):
        t = drag(mixed, zoom)
        rows.append((f"mouse move to pushed frame, mixed.pdf page 1 at {zoom}%", len(t), t))
    t = pages(text)
    rows.append(("a page of text-1000.pdf shown (frame and PNG)", len(t), t))
    manual = os.path.exists(MANUAL)
    if manual:
        t = thumbnails(MANUAL)
        rows.append(("a jump in the pgf manual to every thumbnail in sight (5 pages)", len(t), t))
    print(f"Machine: {os.cpu_count()} processors; load average {open('/proc/loadavg').read().split()[:3]}")
    print()
    print("| measure | samples | median ms | 90th percentile ms |")
    print("|---|---|---|---|")
    for label, n, t in rows:
        print(f"| {label} | {n} | {statistics.median(t):.2f} | {percentile(t, 0.9):.2f} |")
    if not manual:
        print(f"\nThe overlay and thumbnails of the pgf manual: skipped, {MANUAL} is missing.")
        return
    # The overlay and `mutool draw` take turns; medians of three each. The
    # processor times are the robust figures on a shared machine; wall
    # times stretch with the load.
    firsts, completes, used, peers, peers_used, loads = [], [], [], [], [], []
    for _ in range(3):
        loads.append(float(open("/proc/loadavg").read().split()[0]))
        first, complete, seconds, total = overlay(MANUAL)
        firsts.append(first)
        completes.append(complete)
        used.append(seconds)
        wall, seconds = mutool_all(MANUAL)
        peers.append(wall)
        peers_used.append(seconds)
    m = statistics.median
    print()
    print(f"Overlay of the pgf manual ({total} pages of its size), medians of 3, seconds; "
          f"load average {min(loads):.1f} to {max(loads):.1f} on {os.cpu_count()} processors:")
    print(f"- first picture with ink (wall): {m(firsts):.2f} (each: {', '.join(f'{t:.2f}' for t in firsts)})")
    print(f"- complete (wall): {m(completes):.2f}")
    print(f"- viewer's processor time, menu to complete: {m(used):.2f}")
    print(f"- `mutool draw -r 36` of every page on one thread, same run: {m(peers):.2f} wall, "
          f"{m(peers_used):.2f} processor (processor ratio overlay / mutool: {m(used) / m(peers_used):.2f})")
    # On an idle machine the workers, one a processor, share the work evenly.
    workers = min(os.cpu_count(), 4)
    print(f"- estimate on an idle machine with {workers} processors: viewer's processor time / {workers} "
          f"= {m(used) / workers:.2f} s")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""The viewer's server refuses what is not its own page's, and changes nothing.

    viewer_security.py VELLORA SAMPLES_DIR WORK_DIR

Raw HTTP requests to a running `vellora view`: no token, a wrong token, a
wrong Host (DNS rebinding), two Host headers, a cross-origin or origin-less
POST, a path as the Save As name, an oversized body, malformed input, a
flood without the token and a burst with it. Each gets its status;
afterwards the document, its file and the page's state are as they were,
and the server still answers. Then, with a display, the token is in no
process's arguments: the browser is handed a file only the user can read.
"""
import concurrent.futures
import hashlib
import http.client
import json
import os
import shutil
import socket
import stat
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from viewer_support import Viewer, check, finish  # noqa: E402

VELLORA, SAMPLES, WORK = sys.argv[1:4]


def sha(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class Client:
    def __init__(self, viewer):
        self.viewer = viewer
        self.cookie = None

    def request(self, method, path, body=None, headers=None, host=None, cookie=True):
        """`path` is under the run's prefix unless it starts with '//'."""
        path = path[1:] if path.startswith("//") else self.viewer.prefix + path
        conn = http.client.HTTPConnection("127.0.0.1", self.viewer.port, timeout=10)
        h = {"Host": host or f"127.0.0.1:{self.viewer.port}"}
        if cookie and self.cookie:
            h["Cookie"] = self.cookie
        if body is not None:
            h["Content-Type"] = "application/x-www-form-urlencoded"
        h.update(headers or {})
        conn.request(method, path, body=body, headers=h)
        r = conn.getresponse()
        data = r.read()
        set_cookie = r.getheader("Set-Cookie")
        self.location = r.getheader("Location")
        conn.close()
        return r.status, data, set_cookie

    def post(self, fields, origin="same", **kw):
        headers = {}
        if origin == "same":
            headers["Origin"] = self.viewer.origin
        elif origin is not None:
            headers["Origin"] = origin
        return self.request("POST", "/input", urllib.parse.urlencode(fields), headers, **kw)[0]

    def state(self):
        status, data, _ = self.request("GET", "/state")
        assert status == 200, f"GET /state: {status}"
        return json.loads(data)


def raw_status(viewer, request):
    """The status of a request sent byte for byte as given."""
    with socket.create_connection(("127.0.0.1", viewer.port), timeout=10) as sock:
        sock.sendall(request.encode())
        answer = b""
        while b"\r\n" not in answer:
            chunk = sock.recv(4096)
            if not chunk:
                break
            answer += chunk
    return int(answer.split(b" ", 2)[1]) if answer.startswith(b"HTTP/") else None


def settled_state(client):
    """The state once the host has taken everything sent so far."""
    time.sleep(0.4)
    doc = client.state()
    return doc["frame"]["page"], doc["state"]["chrome"]["windows"]


def main():
    os.makedirs(WORK, exist_ok=True)
    pdf = os.path.join(WORK, "mixed.pdf")
    shutil.copyfile(os.path.join(SAMPLES, "mixed.pdf"), pdf)
    digest = sha(pdf)
    viewer = Viewer(VELLORA, [pdf], WORK)
    try:
        c = Client(viewer)
        # Without the token: nothing, not even the page.
        check(c.request("GET", "/")[0] == 403, "no token: GET / was not refused with 403")
        check(c.request("GET", "/state")[0] == 403, "no token: GET /state was not refused with 403")
        check(c.request("GET", "/?token=" + "0" * len(viewer.token))[0] == 403, "wrong token: not refused with 403")
        check(c.request("GET", "/?token=" + viewer.token[:-1])[0] == 403, "short token: not refused with 403")
        # With it, a cookie for what follows, scoped to the run's prefix, and the
        # page again without the token in its address.
        status, body, cookie = c.request("GET", "/?token=" + viewer.token)
        check(status == 303 and c.location == viewer.prefix + "/", f"token: answered {status} to {c.location!r}")
        check(cookie is not None and "HttpOnly" in cookie and "SameSite=" in cookie and
              f"Path={viewer.prefix}/;" in cookie + ";", f"token: the cookie is {cookie!r}")
        c.cookie = cookie.split(";")[0]
        status, body, _ = c.request("GET", "/")
        check(status == 200 and b"<canvas" in body, f"cookie: the page was not served ({status})")
        check(c.request("GET", "/state")[0] == 200, "cookie: GET /state refused")
        check(c.request("GET", "//state")[0] in (403, 404), "the state is served outside the run's prefix")
        # The page's other parts and File > Open's listing: the same doors.
        check(c.request("GET", "/files", cookie=False)[0] == 403, "no token: the file listing was not refused")
        check(c.request("GET", "//files")[0] in (403, 404), "the file listing is served outside the run's prefix")
        status, body, _ = c.request("GET", "/files?dir=..")
        check(status == 200 and "error" in json.loads(body), f"files?dir=..: answered {status} {body[:80]!r}")
        for part in ("region_panel.js", "edit_keys.js", "open_dialog.js", "box_settings.js"):
            check(c.request("GET", "/" + part)[0] == 200, f"{part} is not served under the prefix")
            check(c.request("GET", "//" + part)[0] in (403, 404), f"{part} is served outside the run's prefix")
        # Two Host headers, the good one first or second: refused.
        good = f"127.0.0.1:{viewer.port}"
        for hosts in ((good, "evil.example"), ("evil.example", good), (good, good)):
            lines = "".join(f"Host: {h}\r\n" for h in hosts)
            status = raw_status(viewer, f"GET {viewer.prefix}/state HTTP/1.1\r\n{lines}Cookie: {c.cookie}\r\n"
                                        "Connection: close\r\n\r\n")
            check(status == 400, f"two Host headers {hosts} got {status}")
        check(raw_status(viewer, f"GET {viewer.prefix}/state HTTP/1.1\r\nHost: {good}\r\nCookie: {c.cookie}\r\n"
                                 "Connection: close\r\n\r\n") == 200, "one Host header was refused")
        # A flood without the token is refused before it counts: the page still works.
        with concurrent.futures.ThreadPoolExecutor(8) as pool:
            flood = list(pool.map(lambda _: c.request("GET", "/state", cookie=False)[0], range(400)))
        check(set(flood) == {403}, f"400 requests without the token got {sorted(set(flood))}")
        check(c.request("GET", "/state")[0] == 200, "the page's own request was refused after a flood without the token")
        before = settled_state(c)

        # DNS rebinding: another name for this address.
        for host in ("evil.example:%d" % viewer.port, "127.0.0.1:1", "localhost", "127.0.0.1.nip.io:%d" % viewer.port):
            check(c.request("GET", "/state", host=host)[0] == 403, f"Host {host!r} was not refused with 403")
        # State changes from another origin, or from no page at all.
        check(c.post({"kind": "goto", "page": "2"}, origin="http://evil.example") == 403, "cross-origin POST not refused")
        check(c.post({"kind": "goto", "page": "2"}, origin="null") == 403, "POST from origin null not refused")
        check(c.post({"kind": "goto", "page": "2"}, origin=None) == 403, "POST without Origin not refused")
        check(c.post({"kind": "goto", "page": "2"}, cookie=False) == 403, "POST without the cookie not refused")
        # Save As takes a file name, never a path.
        for name in ("../escaped.pdf", "/tmp/escaped.pdf", "sub/escaped.pdf", "..", ".hidden.pdf", ""):
            check(c.post({"kind": "save-as", "name": name}) == 400, f"Save As {name!r} was not refused with 400")
        # Bodies are bounded; malformed input is refused and the host goes on.
        check(c.post({"kind": "menu", "name": "x" * 100000}) == 413, "an oversized body was not refused with 413")
        for fields in ({"kind": "press", "x": "abc", "y": "1", "mods": "0"}, {"kind": "explode"}, {},
                       {"kind": "goto", "page": "-1"}, {"kind": "zoom", "percent": "99999"}):
            check(c.post(fields) == 400, f"malformed input {fields} was not refused with 400")
        status, _, _ = c.request("POST", "/input", "kind=quit", {"Origin": viewer.origin, "Content-Type": "text/plain"})
        check(status == 415, f"input that is not a form got {status}")
        check(c.request("GET", "//../../etc/passwd")[0] in (400, 403, 404), "a path outside the page's own was served")
        check(c.request("GET", "/view/..%2f..%2fetc%2fpasswd.png")[0] == 404, "an image path was served")

        # A burst is cut off, and the server answers again a moment later.
        with concurrent.futures.ThreadPoolExecutor(8) as pool:
            statuses = list(pool.map(lambda _: c.request("GET", "/state")[0], range(1200)))
        check(429 in statuses, "a burst of 1200 requests was never refused with 429")
        check(statuses.count(200) >= 100, "the burst's first requests were refused")
        time.sleep(1.5)
        check(c.request("GET", "/state")[0] == 200, "the server does not answer after the burst")

        check(settled_state(c) == before, "the refused requests changed the page's state")
        check(not any(os.path.exists(p) for p in ("/tmp/escaped.pdf", os.path.join(WORK, "..", "escaped.pdf"))),
              "Save As wrote a file outside the document's directory")
        # The page's own kind of request still works: page 2 is shown.
        check(c.post({"kind": "goto", "page": "2"}) == 204, "a same-origin POST was refused")
        # The page is drawn and compressed first: on a busy machine that takes a while.
        deadline = time.monotonic() + 10
        while settled_state(c)[0] != 2 and time.monotonic() < deadline:
            pass
        check(settled_state(c)[0] == 2, "a same-origin goto was not done")
    finally:
        status = viewer.stop()
    check(sha(pdf) == digest, "the document's file changed")
    check(status == 130, f"vellora view ended with {status} after Ctrl-C")
    token_not_in_arguments(pdf)
    finish()


def token_not_in_arguments(pdf):
    """With a display, the browser (a stand-in xdg-open here) is handed a file
    only the user can read; no process's arguments hold the token."""
    tools = os.path.join(WORK, "bin")
    os.makedirs(tools, exist_ok=True)
    record = os.path.join(WORK, "xdg-open-saw.txt")
    if os.path.exists(record):
        os.remove(record)
    opener = os.path.join(tools, "xdg-open")
    with open(opener, "w") as f:
        f.write(f"""#!/usr/bin/python3
import os, stat, sys, time
target = sys.argv[1]
path = target[len("file://"):] if target.startswith("file://") else target
try:
    mode = oct(stat.S_IMODE(os.stat(path).st_mode))
    with open(path) as page:
        text = page.read()
except OSError as e:
    mode, text = "unreadable", str(e)
with open({record!r}, "w") as out:
    out.write(repr(sys.argv) + "\\n" + path + "\\n" + mode + "\\n" + text)
time.sleep(3)  # alive while the test reads every process's arguments
""")
    os.chmod(opener, 0o755)
    env = dict(os.environ, DISPLAY=":97", PATH=tools + os.pathsep + os.environ.get("PATH", ""))
    env.pop("WAYLAND_DISPLAY", None)
    viewer = Viewer(VELLORA, [pdf], WORK, env=env, open_browser=True)
    path = None
    try:
        wait = time.monotonic() + 10
        while not os.path.exists(record) and time.monotonic() < wait:
            time.sleep(0.05)
        time.sleep(0.2)
        holders = []
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    if viewer.token.encode() in f.read():
                        holders.append(pid)
            except OSError:
                pass
        check(not holders, f"the token is in the arguments of processes {holders}")
        check(os.path.exists(record), "the viewer did not start xdg-open with a display set")
        if os.path.exists(record):
            with open(record) as f:
                argv, path, mode, text = f.read().split("\n", 3)
            check(viewer.token not in argv, f"xdg-open was given the token: {argv}")
            check(mode == "0o600", f"the page handed to the browser has mode {mode}")
            check(viewer.url in text, "the page handed to the browser does not lead to the viewer's address")
            parent = os.path.dirname(path)
            check(stat.S_IMODE(os.stat(parent).st_mode) == 0o700, "the page's directory is open to others")
    finally:
        viewer.stop()
    check(path is None or not os.path.exists(path), "the page handed to the browser is left behind")


if __name__ == "__main__":
    main()

# SPDX-License-Identifier: AGPL-3.0-or-later
"""What the viewer's tests share: starting `vellora view`, a headless
Chromium driven by WebDriver, reading PNG screenshots, and the command line
for the answers the viewer's results are compared with."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zlib

SKIP = 77  # CTest's SKIP_RETURN_CODE for these tests

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
# Without these, the closed network makes Chromium wait on services it cannot reach.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--window-size=1280,1000", "--force-device-scale-factor=1"]

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, flush=True)
    return condition


def finish():
    if failures:
        print(f"{len(failures)} check(s) failed")
        sys.exit(1)
    print("ok")
    sys.exit(0)


def axe_missing():
    path = os.environ.get("VELLORA_AXE", "")
    return not path or not os.path.exists(path)


def skip_without_browser():
    missing = [p for p in (CHROMIUM, CHROMEDRIVER) if not os.path.exists(p)]
    try:
        import selenium  # noqa: F401
    except ImportError:
        missing.append("python3-selenium")
    if missing:
        print("SKIP: the browser tests need Debian's chromium, chromium-driver and python3-selenium "
              f"(scripts/install-deps.sh installs them); missing: {', '.join(missing)}")
        sys.exit(SKIP)


def wait_for(what, condition, timeout=20.0, interval=0.05):
    """Polls until `condition()` is true; a test failure (and an exception) when it never is."""
    end = time.monotonic() + timeout
    last = None
    while time.monotonic() < end:
        try:
            value = condition()
            if value:
                return value
        except Exception as e:  # the page may be between two renderings
            last = e
        time.sleep(interval)
    raise AssertionError(f"timed out waiting for {what}" + (f" (last error: {last})" if last else ""))


class Viewer:
    """A `vellora view` process serving FILES, and its URL."""

    def __init__(self, vellora, files, work, *extra, env=None, open_browser=False):
        self.stderr_path = os.path.join(work, "viewer-stderr.txt")
        self.stderr = open(self.stderr_path, "w")
        flags = [] if open_browser else ["--no-browser"]
        self.proc = subprocess.Popen([vellora, "view", *files, *flags, *extra],
                                     stdout=subprocess.PIPE, stderr=self.stderr, text=True, env=env)
        line = self.proc.stdout.readline().strip()
        m = re.match(r"^http://127\.0\.0\.1:(\d+)(/[0-9a-f]{32})/\?token=([0-9a-f]{64})$", line)
        if not m:
            self.stop()
            raise AssertionError(f"vellora view printed {line!r}, not its address; stderr: {self.log()}")
        self.url = line
        self.port = int(m.group(1))
        self.prefix = m.group(2)  # the page and everything it asks for live under it
        self.token = m.group(3)
        self.origin = f"http://127.0.0.1:{self.port}"

    def log(self):
        if not self.stderr.closed:
            self.stderr.flush()
        with open(self.stderr_path) as f:
            return f.read()

    def stop(self, timeout=10):
        if self.proc.poll() is None:
            self.proc.send_signal(2)
            try:
                self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.stderr.close()
        return self.proc.returncode


class Browser:
    """Headless Chromium on a fresh profile, through chromedriver."""

    def __init__(self):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        self.profile = tempfile.mkdtemp(prefix="vellora-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in CHROMIUM_FLAGS + [f"--user-data-dir={self.profile}"]:
            options.add_argument(flag)
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        self.driver.set_script_timeout(20)

    def close(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def open(self, viewer):
        self.driver.get(viewer.url)
        # The page is up when it has drawn the page view once.
        wait_for("the first frame", lambda: self.js("return window.vellora && window.vellora.frames > 0"))

    # ---- What the page shows.
    def frame(self):
        return self.js("return window.vellora.frame")

    def state(self):
        return self.js("return window.vellora.state")

    def modal(self):
        return self.js("return window.vellora.state && window.vellora.state.live.modal")

    def element(self, css):
        from selenium.webdriver.common.by import By
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def elements(self, css):
        from selenium.webdriver.common.by import By
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def by_title(self, title):
        from selenium.webdriver.common.by import By
        return self.driver.find_element(By.XPATH, f"//*[@title={xpath_literal(title)}]")

    def canvas_origin(self):
        """The page view's top left corner in the window, in whole CSS pixels."""
        r = self.js("const r = document.getElementById('page-view').getBoundingClientRect();"
                    "return [r.left, r.top, r.width, r.height];")
        return r

    def screenshot(self):
        return decode_png(self.driver.get_screenshot_as_png())

    # ---- The mouse on the page view, in its device pixels.
    def _actions(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.actions.action_builder import ActionBuilder
        chain = ActionChains(self.driver, duration=0)
        return chain, ActionBuilder(self.driver, duration=0)

    def _client(self, x, y):
        left, top, _, _ = self.canvas_origin()
        return int(left) + x, int(top) + y

    def drag(self, x1, y1, x2, y2, steps=8, mods=()):
        from selenium.webdriver.common.actions.action_builder import ActionBuilder
        from selenium.webdriver.common.keys import Keys
        builder = ActionBuilder(self.driver, duration=0)
        for key in mods:
            builder.key_action.key_down(getattr(Keys, key))
        builder.pointer_action.move_to_location(*self._client(x1, y1))
        builder.pointer_action.pointer_down()
        for i in range(1, steps + 1):
            builder.pointer_action.move_to_location(*self._client(x1 + (x2 - x1) * i // steps,
                                                                  y1 + (y2 - y1) * i // steps))
            builder.pointer_action.pause(0.02)
        builder.pointer_action.pointer_up()
        for key in mods:
            builder.key_action.key_up(getattr(Keys, key))
        builder.perform()

    def click_at(self, x, y):
        from selenium.webdriver.common.actions.action_builder import ActionBuilder
        builder = ActionBuilder(self.driver, duration=0)
        builder.pointer_action.move_to_location(*self._client(x, y))
        builder.pointer_action.pointer_down()
        builder.pointer_action.pointer_up()
        builder.perform()

    def hover(self, x, y):
        from selenium.webdriver.common.actions.action_builder import ActionBuilder
        builder = ActionBuilder(self.driver, duration=0)
        builder.pointer_action.move_to_location(*self._client(x, y))
        builder.perform()

    def cursor(self):
        return self.js("return document.getElementById('page-view').style.cursor")

    # ---- The keyboard, to whatever has the focus.
    def keys(self, *keys):
        from selenium.webdriver.common.action_chains import ActionChains
        ActionChains(self.driver, duration=0).send_keys(*keys).perform()

    def chord(self, modifier, key):
        """`key` with `modifier` ("ALT", "CONTROL", "SHIFT") held."""
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        mod = getattr(Keys, modifier)
        ActionChains(self.driver, duration=0).key_down(mod).send_keys(key).key_up(mod).perform()

    def focused(self):
        """What has the focus: {id, key, text, name, inModal, role}."""
        return self.js("""const a = document.activeElement;
            return a ? {id: a.id, key: a.dataset.focusKey || '', text: (a.innerText || a.value || '').trim(),
                        name: a.dataset.name || '', inModal: a.closest('#modal-layer') !== null,
                        role: a.getAttribute('role') || a.tagName.toLowerCase(), checked: !!a.checked} : null""")

    def load_axe(self):
        """Puts axe-core into the page (a run during a short-lived state then
        does not wait for it). Needs VELLORA_AXE."""
        if not self.js("return typeof window.axe === 'object'"):
            with open(os.environ["VELLORA_AXE"]) as f:
                self.js(f.read())

    def accessibility_violations(self):
        """axe-core's violations of any impact on the page as it stands, as
        "rule (impact): first elements" texts."""
        self.load_axe()
        found = self.driver.execute_async_script("""const done = arguments[arguments.length - 1];
            axe.run(document, {resultTypes: ['violations']})
              .then((r) => done(r.violations.map((v) => `${v.id} (${v.impact}): ` +
                                v.nodes.slice(0, 3).map((n) => n.target.join(' ')).join(', '))))
              .catch((e) => done(['axe failed: ' + e]));""")
        return found


def xpath_literal(text):
    if '"' not in text:
        return f'"{text}"'
    return "concat('" + text.replace("'", "', \"'\", '") + "')"


def decode_png(data):
    """(width, height, rows of (r, g, b, a)) of an 8-bit RGB or RGBA PNG, any filters."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length = int.from_bytes(data[pos:pos + 4], "big")
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height = int.from_bytes(body[0:4], "big"), int.from_bytes(body[4:8], "big")
            depth, colour = body[8], body[9]
            assert depth == 8 and colour in (2, 6), f"PNG depth {depth} colour type {colour}"
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        prev = line
    return width, height, rows


def boxes(vellora, path):
    r = subprocess.run([vellora, "boxes", path], capture_output=True, text=True)
    if r.returncode != 0:
        raise AssertionError(f"vellora boxes {path}: {r.stderr}")
    return r.stdout


# ---- What several cases do on the page.


PLUGIN_BUTTON = "Trim Vex - used to crop pages"


def tab_text(browser):
    return browser.element("#tabs button.active").text


def press_plugin_button(browser):
    # The toolbar is drawn again when the document's state arrives; a button found
    # just before that is stale, so it is looked up again until a click lands.
    def attempt():
        browser.by_title(PLUGIN_BUTTON).click()
        return True
    wait_for("a click on the plug-in's button", attempt, timeout=10)
    wait_for("the red media box", lambda: any(op["color"] == "#ff0000" for op in browser.frame()["ops"]))


def click_button(browser, text):
    """Clicks the modal's button `text`, again if the page redrew it under the click."""
    def attempt():
        for b in browser.elements("#modal-layer button"):
            if b.text == text:
                b.click()
                return True
        raise AssertionError(f"no button {text!r} on the modal; it shows {browser.modal()}")
    wait_for(f"a click on {text!r}", attempt, timeout=10)


def crop_all(browser, inside):
    """A click inside the region, All Pages, and Crop to every orientation question."""
    browser.click_at(*inside)
    wait_for("the Pages To Crop dialog", lambda: len(browser.elements("#modal-layer label")) == 4)
    [label for label in browser.elements("#modal-layer label") if label.text.startswith("All Pages")][0].click()
    click_button(browser, "OK")

    def finished():
        m = browser.modal()
        buttons = [b.replace("&", "") for b in m["buttons"]] if m and not m.get("dialog") else []
        for answer in ("Crop", "OK"):
            if answer in buttons:
                click_button(browser, answer)
                break
        return browser.modal() is None and "*" in tab_text(browser)
    wait_for("the end of the run", finished, timeout=60)


def choose(browser, menu, item):
    browser.element(f'#menubar .menu-title[data-name="{menu}"]').click()
    wait_for(f"{item} enabled", lambda: browser.js(
        f"const e = document.querySelector('#menubar .menu-item[data-name=\"{item}\"]');"
        "return e && !e.classList.contains('pending') && !e.classList.contains('disabled')"))
    browser.element(f'#menubar .menu-item[data-name="{item}"]').click()


def fresh_copy(samples, name, folder):
    """A copy of the sample `name` in `folder`, so that a case changes only its own."""
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(folder, name)
    shutil.copyfile(os.path.join(samples, name), target)
    return target


def start_viewer(vellora, pdf, work):
    """`vellora view` on PDF and a browser showing it."""
    viewer = Viewer(vellora, [pdf], work)
    browser = Browser()
    browser.open(viewer)
    return viewer, browser

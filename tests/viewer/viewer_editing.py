#!/usr/bin/python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""Undo and Redo, exact numbers and File > Open in a real headless Chromium.

    viewer_editing.py VELLORA SAMPLES_DIR WORK_DIR CASE

Each case opens fresh copies of the samples in `vellora view`, drives the
page as a person does, and reads back what was saved with `vellora boxes`,
compared with the command line's own crop of the same numbers.
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from viewer_support import (Browser, Viewer, axe_missing, boxes, check, choose, click_button,  # noqa: E402
                            crop_all, finish, fresh_copy, press_plugin_button, skip_without_browser,
                            start_viewer, tab_text, wait_for)

VELLORA, SAMPLES, WORK, CASE = sys.argv[1:5]
MARGIN = 16
# On page 1 of mixed.pdf at 100%, one device pixel a point.
START = (MARGIN + 100, MARGIN + 100)
END = (MARGIN + 400, MARGIN + 400)


def fresh(name, folder=WORK):
    return fresh_copy(SAMPLES, name, folder)


def start(pdf):
    return start_viewer(VELLORA, pdf, WORK)


def save(browser):
    browser.by_title("Save").click()
    wait_for("the save", lambda: "*" not in tab_text(browser))


def keys(browser, *chord):
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys
    chain = ActionChains(browser.driver)
    for k in chord[:-1]:
        chain.key_down(getattr(Keys, k))
    chain.send_keys(chord[-1])
    for k in reversed(chord[:-1]):
        chain.key_up(getattr(Keys, k))
    chain.perform()


def case_undo_redo():
    """Undo puts back every page's box (saved and read back), Redo the crop; by menu and by keys."""
    pdf = fresh("mixed.pdf")
    original = boxes(VELLORA, pdf)
    viewer, browser = start(pdf)
    try:
        press_plugin_button(browser)
        browser.drag(*START, *END)
        wait_for("the region", lambda: browser.frame()["region"] is not None)
        crop_all(browser, ((START[0] + END[0]) // 2, (START[1] + END[1]) // 2))
        save(browser)
        cropped = boxes(VELLORA, pdf)
        check(cropped != original, "undo_redo: the crop changed nothing")

        choose(browser, "Edit", "Undo")
        wait_for("the undone crop", lambda: "*" in tab_text(browser))
        save(browser)
        check(boxes(VELLORA, pdf) == original, "undo_redo: Undo did not put back every page's crop box")

        choose(browser, "Edit", "Redo")
        wait_for("the crop again", lambda: "*" in tab_text(browser))
        save(browser)
        check(boxes(VELLORA, pdf) == cropped, "undo_redo: Redo did not bring the crop back")

        # The keys: Ctrl+Z undoes, Ctrl+Y and Ctrl+Shift+Z redo.
        for chord, want in ((("CONTROL", "z"), original), (("CONTROL", "y"), cropped),
                            (("CONTROL", "z"), original), (("CONTROL", "SHIFT", "z"), cropped)):
            keys(browser, *chord)
            wait_for("+".join(chord), lambda: "*" in tab_text(browser))
            save(browser)
            check(boxes(VELLORA, pdf) == want, f"undo_redo: {'+'.join(chord)} left the wrong boxes")
        # Undo then Redo comes back to the saved boxes: nothing to save.
        keys(browser, "CONTROL", "z")
        wait_for("Ctrl+Z", lambda: "*" in tab_text(browser))
        keys(browser, "CONTROL", "y")
        wait_for("the saved boxes again", lambda: "*" not in tab_text(browser))
    finally:
        browser.close()
        viewer.stop()


def case_region_numbers():
    """Four typed numbers give the crop boxes the command line gives for them."""
    numbers = ("72", "144", "500", "700")
    pdf = fresh("mixed.pdf")
    viewer, browser = start(pdf)
    try:
        check("1 pt" in browser.element("#region-precision").text,
              f"region_numbers: the precision at 100% reads {browser.element('#region-precision').text!r}")
        press_plugin_button(browser)
        # A region drawn first is let go by Set, not cropped or moved.
        browser.drag(*START, *END)
        wait_for("the drawn region", lambda: browser.frame()["region"] == [100, 392, 400, 692])
        check(browser.element("#region-left").get_attribute("value") == "100",
              "region_numbers: the panel does not show the drawn region")
        for side, value in zip(("left", "bottom", "right", "top"), numbers):
            field = browser.element(f"#region-{side}")
            field.clear()
            field.send_keys(value)
        browser.element("#region-set").click()
        want = [float(n) for n in numbers]
        wait_for("the region set", lambda: browser.frame()["region"] == want)
        check(browser.modal() is None, "region_numbers: Set brought up a modal")
        x = MARGIN + 200
        y = MARGIN + 792 - 400
        crop_all(browser, (x, y))
        save(browser)
        # Wrong input is refused with a message.
        browser.element("#region-left").clear()
        browser.element("#region-left").send_keys("wide")
        browser.element("#region-set").click()
        wait_for("the refusal", lambda: "not a number" in browser.element("#message").text)
    finally:
        browser.close()
        viewer.stop()
    expected = os.path.join(WORK, "by-command-line.pdf")
    r = subprocess.run([VELLORA, "crop", os.path.join(SAMPLES, "mixed.pdf"), "-o", expected, "--region",
                        ",".join(numbers), "--pages", "all", "--mismatch", "crop"], capture_output=True, text=True)
    check(r.returncode == 0, f"region_numbers: the command line's crop failed: {r.stderr}")
    check(boxes(VELLORA, pdf) == boxes(VELLORA, expected),
          "region_numbers: the typed region's boxes differ from the command line's")


def case_open_chooser():
    """File > Open lists the root, opens a second file in a new tab, refuses ../ and a link out."""
    root = os.path.join(WORK, "root")
    shutil.rmtree(root, ignore_errors=True)
    first = fresh("mixed.pdf", root)
    fresh("letter-11.pdf", os.path.join(root, "more"))
    outside = fresh("geometry.pdf", os.path.join(WORK, "outside"))
    os.symlink(outside, os.path.join(root, "link-out.pdf"))
    viewer, browser = start(first)
    try:
        choose(browser, "File", "Open")
        wait_for("the chooser", lambda: browser.elements("#open-list .open-entry"))
        names = [e.text for e in browser.elements("#open-list .open-entry")]
        check(browser.focused()["inModal"], "open_chooser: the chooser does not hold the focus")
        check(not axe_missing(), "open_chooser: axe-core is not installed (the viewer.axe_install test installs it)")
        if not axe_missing():
            found = browser.accessibility_violations()
            check(found == [], f"open_chooser: accessibility with the chooser open: {found}")
        check(names[:1] == ["more/"] and "mixed.pdf" in names, f"open_chooser: the root lists {names}")
        browser.element('#open-list .open-entry[title="more/"]').click()
        wait_for("the folder", lambda: "letter-11.pdf" in [e.text for e in browser.elements("#open-list .open-entry")])
        browser.element('#open-list .open-entry[title="letter-11.pdf"]').click()
        wait_for("the second tab", lambda: len(browser.elements("#tabs button")) == 2 and
                 browser.state()["chrome"]["active"] == "letter-11.pdf")
        wait_for("its first page", lambda: browser.frame() and browser.frame()["window"] == "letter-11.pdf")

        for typed, why in (("../outside/geometry.pdf", "leads out of the root"),
                           ("link-out.pdf", "link leading out of the root"),
                           (outside, "not a path under the root")):
            choose(browser, "File", "Open")
            field = wait_for("the chooser's field", lambda: browser.element("#open-path"))
            field.send_keys(typed)
            browser.element("#open-path").send_keys("\n")
            wait_for(f"the refusal of {typed}", lambda: why in browser.element("#message").text)
            check(len(browser.elements("#tabs button")) == 2, f"open_chooser: {typed} was opened")
        # A folder outside through a link is not listed either.
        listing = browser.js("return fetch('files?dir=..').then(r => r.json())")
        check("error" in listing, f"open_chooser: /files?dir=.. answered {listing}")
    finally:
        browser.close()
        viewer.stop()


def case_open_on_start():
    """`vellora view` with no file starts on the chooser."""
    root = os.path.join(WORK, "start")
    fresh("letter-11.pdf", root)
    viewer = Viewer(VELLORA, [], WORK, "--root", root)
    browser = Browser()
    try:
        browser.driver.get(viewer.url)
        entry = wait_for("the chooser", lambda: browser.element('#open-list .open-entry[title="letter-11.pdf"]'))
        entry.click()
        wait_for("the file shown", lambda: browser.js("return window.vellora.frames > 0"))
        check(browser.frame()["window"] == "letter-11.pdf", "open_on_start: the chosen file is not shown")
    finally:
        browser.close()
        viewer.stop()


def case_bbox_margin():
    """The box settings' margin grows the crop the bounding-box command makes, as --margin does."""
    expected = {}
    for margin in ("0", "10"):
        source = fresh("mixed.pdf", os.path.join(WORK, "cli-" + margin))
        out = source + ".out.pdf"
        subprocess.run([VELLORA, "bbox", source, "-o", out, "--page", "1", "--margin", margin], check=True,
                       capture_output=True)
        expected[margin] = boxes(VELLORA, out)
    check(expected["0"] != expected["10"], "bbox_margin: --margin 10 changed nothing on the command line")
    pdf = fresh("mixed.pdf")
    viewer, browser = start(pdf)
    try:
        field = browser.element("#box-margin")
        field.clear()
        field.send_keys("10")
        browser.element("#box-apply").click()
        wait_for("the margin set", lambda: browser.state()["chrome"]["boxSettings"]["margin"] == [10, 10, 10, 10])
        browser.js("send({kind: 'menu', name: 'ZUNO:TrimVexBBox'})")

        def cropped():
            m = browser.modal()
            buttons = [b.replace("&", "") for b in m["buttons"]] if m and not m.get("dialog") else []
            if "Current" in buttons:
                click_button(browser, "Current")
            return browser.modal() is None and "*" in tab_text(browser)
        wait_for("the page cropped to its bounding box", cropped, timeout=60)
        save(browser)
        check(boxes(VELLORA, pdf) == expected["10"],
              "bbox_margin: the viewer's crop to the bounding box is not the command line's with --margin 10")
    finally:
        browser.close()
        viewer.stop()


CASES = {"undo_redo": case_undo_redo, "region_numbers": case_region_numbers, "open_chooser": case_open_chooser,
         "open_on_start": case_open_on_start, "bbox_margin": case_bbox_margin}

if __name__ == "__main__":
    skip_without_browser()
    CASES[CASE]()
    finish()

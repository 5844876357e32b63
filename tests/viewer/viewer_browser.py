#!/usr/bin/python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""The viewer in a real headless Chromium, as a person uses it.

    viewer_browser.py VELLORA SAMPLES_DIR SAMPLEGEN WORK_DIR CASE

Each case opens a fresh copy of a sample in `vellora view`, drives the page
with WebDriver's pointer and key actions, and checks what the page shows
(screenshot pixels, labels, cursors) and what ends up in the saved file,
read back with `vellora boxes` and compared with the command line's own
crop of the same region.
"""
import hashlib
import http.client
import http.server
import os
import re
import shutil
import socket
import subprocess
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from viewer_support import (PLUGIN_BUTTON, Browser, Viewer, axe_missing, boxes, check, click_button,  # noqa: E402
                            decode_png, finish, fresh_copy, press_plugin_button, skip_without_browser, tab_text, wait_for)

VELLORA, SAMPLES, SAMPLEGEN, WORK, CASE = sys.argv[1:6]
MARGIN = 16  # device pixels around the page at every zoom
BLACK, RED = (0, 0, 0), (255, 0, 0)

# A region on page 1 of mixed.pdf (612 x 792 pt, upright, at 100%: one
# device pixel a point), dragged out, then its bottom right corner moved.
START = (MARGIN + 100, MARGIN + 100)      # page point (100, 692)
END = (MARGIN + 400, MARGIN + 400)        # page point (400, 392)
MOVED = (MARGIN + 430, MARGIN + 440)      # page point (430, 352)
REGION = "100,352,430,692"


def fresh(name):
    return fresh_copy(SAMPLES, name, WORK)


def ops(browser):
    return (browser.frame() or {}).get("ops", [])


def region_shown(browser, corner):
    """True when the page view shows a region outline ending at `corner`, with its handles."""
    f = browser.frame()
    if not f or f.get("band"):
        return False
    rects = [tuple(op["rect"]) for op in f["ops"]]
    return (START[0], START[1], corner[0], corner[1]) in rects and len(rects) >= 6


def open_submenu_item(browser, title):
    """Opens Extensions > Trim Vex and gives the item titled `title`, as the page shows it."""
    browser.element('#menubar .menu-title[data-name="Extensions"]').click()
    wait_for("the Extensions menu's answer",
             lambda: browser.js("return document.querySelector('#menubar .menu-item:not(.pending)') !== null"))
    from selenium.webdriver.common.action_chains import ActionChains

    # The menu is drawn again when the host's answer comes: hover again until
    # the submenu shows.
    def hover():
        holder = browser.element('#menubar .menu-item[data-name="ZUNO:Trim Vex"]')
        ActionChains(browser.driver).move_to_element(holder).perform()
        return browser.by_title(title).is_displayed()
    wait_for(f"the item {title!r}", hover)
    return browser.by_title(title)


def drag_region(browser):
    browser.drag(*START, *END)
    wait_for("the dragged region", lambda: region_shown(browser, END))


def dialog_labels(browser):
    return [label.text for label in browser.elements("#modal-layer label")]


def wait_dialog(browser):
    return wait_for("the Pages To Crop dialog", lambda: (browser.modal() or {}).get("dialog") and
                    len(browser.elements("#modal-layer label")) == 4)


def answer_questions(browser, answer, until):
    """Answers every question that comes up with `answer` until `until()` holds."""
    def step():
        m = browser.modal()
        if m and not m.get("dialog") and any(b.replace("&", "") == answer for b in m["buttons"]):
            click_button(browser, answer)
            time.sleep(0.1)
        return until()
    wait_for("the end of the run", step, timeout=60)


def pixel(image, x, y):
    return image[2][y][x]


def canvas_image(browser):
    return decode_png(browser.element("#page-view").screenshot_as_png)


def case_crop_flow():
    pdf = fresh("mixed.pdf")
    original = boxes(VELLORA, pdf)
    viewer = Viewer(VELLORA, [pdf], WORK)
    browser = Browser()
    try:
        browser.open(viewer)
        # The page view is the largest element while a document is shown.
        largest = browser.js("""
            const view = document.getElementById('page-view');
            let best = null, area = 0;
            for (const e of document.querySelectorAll('body *')) {
              if (e !== view && e.contains(view)) continue;  // what holds it
              const r = e.getBoundingClientRect();
              if (r.width * r.height > area) { area = r.width * r.height; best = e; }
            }
            return best === view;""")
        check(largest, "crop_flow: the page view is not the largest element of the page")
        check(browser.by_title("Save").tag_name == "button", "crop_flow: no Save button titled 'Save'")
        icon = browser.by_title(PLUGIN_BUTTON).find_element("css selector", "img")
        check(icon.get_attribute("src").endswith("/asset/bitmap-101.png") and
              browser.js("return arguments[0].naturalWidth > 0", icon), "crop_flow: the button shows no bitmap 101")

        press_plugin_button(browser)
        image = canvas_image(browser)
        f = browser.frame()
        # The media box outline runs along the page's edge.
        check(pixel(image, MARGIN, MARGIN + 300) == RED and pixel(image, f["width"] - MARGIN, MARGIN + 300) == RED,
              "crop_flow: no red media box in the screenshot")
        item = open_submenu_item(browser, "Hide Media Box")
        check(item.is_displayed(), "crop_flow: the submenu does not show 'Hide Media Box'")
        browser.element('#menubar .menu-title[data-name="Extensions"]').click()  # closes the menu

        drag_region(browser)
        image = canvas_image(browser)
        l, t = START
        r, b = END
        check(all(pixel(image, x, t) == BLACK for x in range(l + 4, r - 3, 7)), "crop_flow: the region's top edge is not drawn")
        check(all(pixel(image, l, y) == BLACK for y in range(t + 4, b - 3, 7)), "crop_flow: the region's left edge is not drawn")
        for cx, cy in ((l, t), (r, t), (r, b), (l, b)):
            # A 7 x 7 square centred on each corner, hollow.
            check(pixel(image, cx - 3, cy - 3) == BLACK and pixel(image, cx + 3, cy + 3) == BLACK,
                  f"crop_flow: no handle drawn at the corner {cx},{cy}")
            check(pixel(image, cx - 2, cy - 2) != BLACK, f"crop_flow: the handle at {cx},{cy} is not hollow")
        check(pixel(image, (l + r) // 2, (t + b) // 2) != BLACK, "crop_flow: the region is filled")
        # The README's picture: the viewer with a region and the red media box.
        with open(os.path.join(WORK, "viewer-screenshot.png"), "wb") as out:
            out.write(browser.driver.get_screenshot_as_png())

        # Cursors: the arrow on a corner, the scissors inside, the crop cursor elsewhere.
        browser.hover(r, b)
        wait_for("the arrow on a corner", lambda: browser.cursor() == "default")
        browser.hover((l + r) // 2, (t + b) // 2)
        scissors = wait_for("the scissors inside", lambda: "cursor-112.png" in browser.cursor() and browser.cursor())
        browser.hover(l - 40, t - 40)
        crop = wait_for("the crop cursor outside", lambda: "cursor-102.png" in browser.cursor() and browser.cursor())
        for shown in (scissors, crop):
            check(shown.rstrip().endswith("auto") and any(c.isdigit() for c in shown.split(")")[-1]),
                  f"crop_flow: the cursor {shown!r} has no hot spot")

        # The bottom right corner is dragged further out.
        browser.drag(*END, *MOVED)
        wait_for("the moved corner", lambda: region_shown(browser, MOVED))

        browser.click_at((l + MOVED[0]) // 2, (t + MOVED[1]) // 2)
        wait_dialog(browser)
        labels = dialog_labels(browser)
        check("Current Page: (1)" in labels and "All Pages: (1-7)" in labels,
              f"crop_flow: the dialog shows {labels}")
        check([b.text for b in browser.elements("#modal-layer button.control")] == ["OK", "Cancel"],
              "crop_flow: the dialog's push buttons are not OK and Cancel")
        # While the dialog is up nothing else on the page reacts.
        check(browser.js("return document.elementFromPoint(5, 5).closest('#modal-layer') !== null"),
              "crop_flow: the menubar is not covered while the dialog is up")
        odd = [label for label in browser.elements("#modal-layer label") if label.text == "Odd Pages"][0]
        odd.click()
        wait_for("Odd Pages checked", lambda: any(c["checked"] and c["text"] == "Odd Pages"
                                                  for c in browser.modal()["dialog"]["controls"]))
        click_button(browser, "OK")
        answer_questions(browser, "Crop", lambda: browser.modal() is None and "*" in tab_text(browser))

        browser.by_title("Save").click()
        wait_for("the saved document", lambda: "*" not in tab_text(browser))
    finally:
        browser.close()
        status = viewer.stop()
    check(status == 130, f"crop_flow: vellora view ended with {status} after Ctrl-C")

    expected = os.path.join(WORK, "by-command-line.pdf")
    r = subprocess.run([VELLORA, "crop", os.path.join(SAMPLES, "mixed.pdf"), "-o", expected, "--region", REGION,
                        "--pages", "odd", "--mismatch", "crop"], capture_output=True, text=True)
    check(r.returncode == 0, f"crop_flow: the command line's crop failed: {r.stderr}")
    saved = boxes(VELLORA, pdf)
    check(saved != original, "crop_flow: the saved file has the boxes it had")
    check(saved == boxes(VELLORA, expected),
          f"crop_flow: saved boxes differ from the command line's:\n{saved}\n{boxes(VELLORA, expected)}")


def start_with_region(name):
    pdf = fresh(name)
    viewer = Viewer(VELLORA, [pdf], WORK)
    browser = Browser()
    browser.open(viewer)
    press_plugin_button(browser)
    drag_region(browser)
    return pdf, viewer, browser


def case_dialog_cancel():
    pdf, viewer, browser = start_with_region("mixed.pdf")
    before = boxes(VELLORA, pdf)
    try:
        inside = ((START[0] + END[0]) // 2, (START[1] + END[1]) // 2)
        for how in ("escape", "close"):
            browser.click_at(*inside)
            wait_dialog(browser)
            if how == "escape":
                from selenium.webdriver.common.keys import Keys
                from selenium.webdriver.common.action_chains import ActionChains
                ActionChains(browser.driver).send_keys(Keys.ESCAPE).perform()
            else:
                browser.element("#modal-layer .close-box").click()
            wait_for(f"the dialog gone after {how}", lambda: browser.modal() is None)
            check("*" not in tab_text(browser), f"dialog_cancel: {how} changed the document")
            # A cancelled crop lets go of the region, as a finished one does.
            wait_for(f"the region let go after {how}", lambda: len(ops(browser)) == 1)
            drag_region(browser)
        # File > Save writes the document's own file: nothing changed, so nothing differs.
        browser.element('#menubar .menu-title[data-name="File"]').click()
        wait_for("the File menu's answer", lambda: browser.elements('#menubar .menu-item[data-name="Save"]:not(.pending)'))
        browser.element('#menubar .menu-item[data-name="Save"]').click()
        time.sleep(0.5)
    finally:
        browser.close()
        viewer.stop()
    check(boxes(VELLORA, pdf) == before, "dialog_cancel: the file's boxes changed")


def crop_boxes(path):
    """Every page's crop box as poppler reads it (vellora boxes would also find 10,000 bounding boxes)."""
    r = subprocess.run(["pdfinfo", "-box", "-f", "1", "-l", "100000", path], capture_output=True, text=True)
    return re.findall(r"^Page\s+\d+ CropBox:.*$", r.stdout, re.M)


def case_stop():
    os.makedirs(WORK, exist_ok=True)
    pristine = os.path.join(WORK, "turned-10000.pdf")
    if not os.path.exists(pristine):
        # The last page but one is turned: the run asks about it there and
        # waits for the answer, so Stop is sure to land while the run is on
        # even when a loaded machine shows the progress bar late.
        made = os.path.join(WORK, "made-10000.pdf")
        subprocess.run([SAMPLEGEN, WORK, "--text", "10000", "made-10000.pdf"], check=True)
        subprocess.run(["qpdf", made, "--rotate=+90:9999", pristine], check=True)
        os.remove(made)
    big = os.path.join(WORK, "pages-10000.pdf")
    shutil.copyfile(pristine, big)
    before = crop_boxes(big)
    check(len(before) == 10000, f"stop: pdfinfo read {len(before)} crop boxes")
    viewer = Viewer(VELLORA, [big], WORK)
    browser = Browser()
    try:
        browser.open(viewer)
        # The moment the progress bar shows, the page itself presses Stop (the
        # button with the focus) and runs axe-core.
        # From here each step waits for the browser: the run could be over first.
        if axe_missing():
            check(False, "stop: axe-core is not installed")
        else:
            browser.load_axe()
        browser.js("""window.progressAxe = null;
            window.stopFocused = null;
            new MutationObserver((changes, observer) => {
              const box = document.getElementById('progress-box');
              if (!box) return;
              observer.disconnect();
              const stop = () => {
                if (!box.isConnected) { window.stopFocused = 'the run ended first'; return; }
                window.stopFocused = document.activeElement.textContent;
                document.activeElement.click();
              };
              // Stop first: on a loaded machine axe-core could outlast the run.
              // The bar stays up while the pages are given back.
              stop();
              if (typeof axe !== 'object') return;
              axe.run(document, {resultTypes: ['violations']}).then((r) => {
                window.progressAxe = r.violations.map((v) => `${v.id} (${v.impact})`);
              });
            }).observe(document.getElementById('modal-layer'), {childList: true, subtree: true});""")
        press_plugin_button(browser)
        drag_region(browser)
        browser.click_at((START[0] + END[0]) // 2, (START[1] + END[1]) // 2)
        wait_dialog(browser)
        [label for label in browser.elements("#modal-layer label") if label.text.startswith("All Pages")][0].click()
        click_button(browser, "OK")
        # The page presses Stop when it shows the bar. A machine that stalls
        # the browser for longer than the run shows the bar late or not at
        # all; then the run's question about the turned page comes first, and
        # it is answered with Stop pressed right after.
        def reached():
            if browser.js("return window.stopFocused"):
                return "stop"
            m = browser.modal()
            return "question" if m and not m.get("dialog") and "orientation" in m["text"] else None
        path = wait_for("Stop pressed or the run's question", reached, timeout=120)
        if path == "stop":
            check(browser.js("return window.stopFocused") == "Stop", "stop: the progress box's focus is not on Stop")
        m = wait_for("the stop note", lambda: browser.modal(), timeout=120)
        if "orientation" in m["text"]:
            # Stop, then Skip: the run stops at the page after the question.
            browser.js("""const serial = String(window.vellora.state.live.modal.serial);
                const post = (fields) => fetch('input', {method: 'POST',
                  headers: {'Content-Type': 'application/x-www-form-urlencoded'},
                  body: new URLSearchParams(fields).toString()});
                post({kind: 'stop'}).then(() => post({kind: 'answer', modal: serial, number: '2'}));""")
            m = wait_for("the stop note", lambda: (browser.modal() or {}).get("text", "").find("orientation") < 0
                         and browser.modal(), timeout=120)
            path = "question"
        print(f"stop: Stop reached the run through {'the progress bar' if path == 'stop' else 'the question'}")
        # The plug-in tells the person it stopped; the note is answered.
        check("ancel" in m["text"], f"stop: the note says {m['text']!r}")
        click_button(browser, "OK")
        wait_for("the run's end", lambda: browser.modal() is None and browser.state()["live"]["progress"] is None,
                 timeout=120)
        if not axe_missing() and path == "stop":
            found = wait_for("axe-core's run during the progress bar",
                             lambda: browser.js("return window.progressAxe && [window.progressAxe]"), timeout=30)[0]
            check(found == [], f"accessibility, a run with its progress bar: {found}")
        # Every page was given back: nothing is changed, so nothing is marked.
        time.sleep(0.5)
        check("*" not in tab_text(browser), f"stop: the tab shows {tab_text(browser)!r} after a stopped run")
    finally:
        browser.close()
        viewer.stop()
        log = viewer.log()
    check("unsaved" not in log, f"stop: the end names unsaved changes after a stopped run: {log[-300:]}")
    check(crop_boxes(big) == before, "stop: pages were not given back after Stop")


def case_revert():
    pdf, viewer, browser = start_with_region("mixed.pdf")
    try:
        inside = ((START[0] + END[0]) // 2, (START[1] + END[1]) // 2)
        pale = (START[0] - 20, START[1] - 20)  # on the page, outside the region
        check(pixel(canvas_image(browser), *pale) == (255, 255, 255), "revert: the page is not white outside the region")
        browser.click_at(*inside)
        wait_dialog(browser)
        click_button(browser, "OK")  # Current Page is checked
        wait_for("the crop", lambda: browser.modal() is None and "*" in tab_text(browser))
        wait_for("the cropped page's pale margin", lambda: pixel(canvas_image(browser), *pale) == (208, 208, 208), timeout=10)
        browser.element('#menubar .menu-title[data-name="File"]').click()
        wait_for("the File menu's answer", lambda: browser.js(
            "const e = document.querySelector('#menubar .menu-item[data-name=\"ZUNO:TVRevert\"]');"
            "return e && !e.classList.contains('pending') && !e.classList.contains('disabled')"))
        browser.element('#menubar .menu-item[data-name="ZUNO:TVRevert"]').click()
        m = wait_for("the revert question", lambda: browser.modal())
        check("revert" in m["text"], f"revert: the question is {m['text']!r}")
        click_button(browser, "Yes")
        wait_for("the saved file shown again", lambda: browser.modal() is None and "*" not in tab_text(browser))
        wait_for("the page white again", lambda: pixel(canvas_image(browser), *pale) == (255, 255, 255), timeout=10)
    finally:
        browser.close()
        viewer.stop()


def case_files_and_keys():
    """The tool's shortcut, Save As beside the file (asking before it replaces), and Close asking first."""
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys
    pdf = fresh("mixed.pdf")
    copy = os.path.join(WORK, "copy.pdf")
    if os.path.exists(copy):
        os.remove(copy)
    viewer = Viewer(VELLORA, [pdf], WORK)
    browser = Browser()
    try:
        browser.open(viewer)
        # Shift+9 chooses Tools > Trim Vex: the crop tool, with its media box.
        ActionChains(browser.driver).key_down(Keys.SHIFT).send_keys("9").key_up(Keys.SHIFT).perform()
        wait_for("the crop tool from its shortcut", lambda: browser.state()["chrome"]["tool"] == "ZUNO:Trim Vex")
        browser.element('#menubar .menu-title[data-name="Tools"]').click()
        item = wait_for("the Tools menu's answer", lambda: browser.elements(
            '#menubar .menu-item[data-name="ZUNO:TrimVexSelTool"]:not(.pending)'))
        check(browser.by_title(PLUGIN_BUTTON).get_attribute("aria-pressed") == "true",
              "files_and_keys: the plug-in's button is not shown pressed for its tool")
        check("Shift+9" in item[0].text, f"files_and_keys: the tool's item shows {item[0].text!r}")
        browser.element('#menubar .menu-title[data-name="Tools"]').click()

        for attempt in ("new", "exists"):
            browser.element('#menubar .menu-title[data-name="File"]').click()
            wait_for("the File menu's answer", lambda: browser.elements('#menubar .menu-item[data-name="SaveAs"]:not(.pending)'))
            browser.element('#menubar .menu-item[data-name="SaveAs"]').click()
            field = browser.element("#save-as-name")
            field.clear()
            field.send_keys("copy.pdf", Keys.ENTER)
            if attempt == "exists":
                m = wait_for("the question before replacing", lambda: browser.modal())
                check("already exists" in m["text"], f"files_and_keys: the question is {m['text']!r}")
                click_button(browser, "Yes")
            wait_for(f"copy.pdf written ({attempt})", lambda: os.path.exists(copy) and browser.modal() is None)
        check(boxes(VELLORA, copy) == boxes(VELLORA, pdf), "files_and_keys: the copy's boxes differ")

        # A change, then File > Close: the host asks first; Cancel keeps the window.
        drag_region(browser)
        browser.click_at((START[0] + END[0]) // 2, (START[1] + END[1]) // 2)
        wait_dialog(browser)
        click_button(browser, "OK")
        wait_for("the crop", lambda: browser.modal() is None and "*" in tab_text(browser))
        browser.element('#menubar .menu-title[data-name="File"]').click()
        wait_for("the File menu's answer", lambda: browser.elements('#menubar .menu-item[data-name="Close"]:not(.pending)'))
        browser.element('#menubar .menu-item[data-name="Close"]').click()
        m = wait_for("the question before closing", lambda: browser.modal())
        check("before closing" in m["text"], f"files_and_keys: the question is {m['text']!r}")
        click_button(browser, "Cancel")
        wait_for("the window kept", lambda: browser.modal() is None and browser.frame() is not None)
    finally:
        browser.close()
        status = viewer.stop()
        log = viewer.log()
    check("unsaved changes to \"mixed.pdf\"" in log, f"files_and_keys: the unsaved changes are not named: {log[-300:]}")
    check(status == 130, f"files_and_keys: ended with {status}")


def accessible(browser, state):
    """axe-core finds nothing, of any impact, with the page in `state`."""
    if axe_missing():
        check(False, f"axe-core is not installed (VELLORA_AXE={os.environ.get('VELLORA_AXE')!r}): "
                     "the viewer.axe_install test installs it")
        return
    found = browser.accessibility_violations()
    check(found == [], f"accessibility, {state}: {found}")


def sha(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def focus_where(browser, what, test, limit=40, key=None):
    """Presses `key` (Tab) until test(focused) holds."""
    from selenium.webdriver.common.keys import Keys
    for _ in range(limit):
        f = browser.focused()
        if f and test(f):
            return f
        browser.keys(key or Keys.TAB)
        time.sleep(0.03)
    raise AssertionError(f"the keyboard never reached {what}; the focus is on {browser.focused()}")


def choose_trim_vex_item(browser, item_key="c"):
    """Alt+X, down to the Trim Vex submenu, Right, then the item's access key."""
    from selenium.webdriver.common.keys import Keys
    browser.chord("ALT", "x")
    wait_for("the Extensions menu focused", lambda: browser.focused()["role"] == "menuitem" and
             browser.js("return window.vellora.openMenu") == "Extensions")
    focus_where(browser, "the Trim Vex submenu", lambda f: f["name"] == "ZUNO:Trim Vex", key=Keys.ARROW_DOWN, limit=12)
    browser.keys(Keys.ARROW_RIGHT)
    wait_for("the submenu's first item focused", lambda: browser.focused()["name"].startswith("ZUNO:TrimVexBBox"))
    wait_for("the submenu's answer", lambda: browser.js(
        "return document.querySelector('#menubar .menu-item.pending') === null"))
    browser.keys(item_key)


def case_keyboard():
    """The whole page by keyboard: the crop of the odd pages from the menu to
    the saved file, Cancel and Don't Save by Tab and Enter, and axe-core in
    every state on the way."""
    from selenium.webdriver.common.keys import Keys
    pdf = fresh("mixed.pdf")
    expected_file = os.path.join(WORK, "by-command-line.pdf")
    subprocess.run([VELLORA, "crop", pdf, "-o", expected_file, "--region", "100,392,400,692", "--pages", "odd",
                    "--mismatch", "crop"], check=True, capture_output=True)
    viewer = Viewer(VELLORA, [pdf], WORK)
    browser = Browser()
    try:
        browser.open(viewer)
        accessible(browser, "the page loaded")

        # The page view is reached by Tab; its keys turn pages and zoom.
        focus_where(browser, "the page view", lambda f: f["id"] == "page-view")
        label = browser.element("#page-view").get_attribute("aria-label")
        check(label.startswith("Page 1 of 7, 612 by 792 points") and "Crop box" in label,
              f"keyboard: the page view's text alternative is {label!r}")
        for key, page in ((Keys.PAGE_DOWN, 2), (Keys.END, 7), (Keys.PAGE_UP, 6), (Keys.HOME, 1)):
            browser.keys(key)
            wait_for(f"page {page} after a key", lambda: browser.frame()["page"] == page, timeout=10)
        browser.chord("CONTROL", "=")
        wait_for("a zoom in by Ctrl+plus", lambda: browser.frame()["zoom"] == 125, timeout=10)
        browser.chord("CONTROL", "0")
        wait_for("100% by Ctrl+0", lambda: browser.frame()["zoom"] == 100, timeout=10)
        check(browser.js("return [...document.querySelectorAll('#toolbar button')].filter(b => b.tabIndex === 0).length")
              == 1, "keyboard: the toolbar is not one tab stop")

        # F10 and the arrows in the menubar; Escape gives the focus back.
        browser.keys(Keys.F10)
        wait_for("the menubar focused", lambda: browser.focused()["key"] == "menu:File")
        browser.keys(Keys.ARROW_RIGHT)
        wait_for("the next menu focused", lambda: browser.focused()["key"] == "menu:Edit")
        browser.keys(Keys.ARROW_DOWN)
        wait_for("the Edit menu open", lambda: browser.focused()["role"] == "menuitem" and
                 browser.js("return window.vellora.openMenu") == "Edit")
        accessible(browser, "a menu open")
        browser.keys(Keys.ESCAPE)
        wait_for("the menu closed", lambda: browser.js("return window.vellora.openMenu") is None and
                 browser.focused()["key"] == "menu:Edit")
        browser.keys(Keys.ESCAPE)
        wait_for("the focus back on the page view", lambda: browser.focused()["id"] == "page-view")

        # The crop tool from Tools by its arrows, a region drawn with the
        # keyboard pointer, Enter inside it: Pages To Crop.
        browser.chord("ALT", "t")
        wait_for("the Tools menu focused", lambda: browser.js("return window.vellora.openMenu") == "Tools")
        focus_where(browser, "the crop tool's item", lambda f: f["name"] == "ZUNO:TrimVexSelTool", key=Keys.ARROW_DOWN)
        wait_for("the Tools menu's answer", lambda: browser.js(
            "return document.querySelector('#menubar .menu-item.pending') === null"))
        browser.keys(Keys.ENTER)
        wait_for("the crop tool", lambda: browser.state()["chrome"]["tool"] == "ZUNO:Trim Vex")
        wait_for("the focus back on the page view", lambda: browser.focused()["id"] == "page-view")

        def pointer(dx, dy):
            for key, n in ((Keys.ARROW_RIGHT, dx // 10), (Keys.ARROW_DOWN, dy // 10),
                           (Keys.ARROW_LEFT, -dx // 10), (Keys.ARROW_UP, -dy // 10)):
                for _ in range(max(0, n)):
                    browser.chord("SHIFT", key)
        pointer(START[0] - MARGIN, START[1] - MARGIN)  # the pointer starts at the page's corner
        browser.keys(" ")
        pointer(END[0] - START[0], END[1] - START[1])
        browser.keys(" ")
        wait_for("the region drawn by keyboard", lambda: region_shown(browser, END))
        check("Region: left 100, bottom 392, right 400, top 692" in
              browser.element("#page-view").get_attribute("aria-label"),
              f"keyboard: the text alternative does not name the region: "
              f"{browser.element('#page-view').get_attribute('aria-label')}")
        pointer(-150, -150)

        def crop_dialog():
            browser.keys(Keys.ENTER)
            wait_dialog(browser)
            wait_for("the dialog's focus", lambda: browser.focused()["inModal"])

        # Tab to Cancel and Enter crops nothing.
        crop_dialog()
        accessible(browser, "Pages To Crop open")
        focus_where(browser, "Cancel", lambda f: f["text"] == "Cancel")
        browser.keys(Keys.ENTER)
        wait_for("the dialog gone", lambda: browser.modal() is None)
        time.sleep(0.5)
        check("*" not in tab_text(browser), "keyboard: Tab to Cancel and Enter cropped pages")
        wait_for("the focus given back", lambda: browser.focused()["id"] == "page-view")
        # A cancelled crop lets go of the region: drawn again.
        pointer(-150, -150)
        browser.keys(" ")
        pointer(END[0] - START[0], END[1] - START[1])
        browser.keys(" ")
        wait_for("the region drawn again", lambda: region_shown(browser, END))
        pointer(-150, -150)
        crop_dialog()
        # Tab stays inside a modal.
        for _ in range(6):
            browser.keys(Keys.TAB)
            check(browser.focused()["inModal"], "keyboard: Tab left the dialog")
        # The arrows move the choice and the focus stays on the group.
        focus_where(browser, "the checked radio button", lambda f: f["key"].startswith("control:") and f["checked"])
        for _ in range(4):
            if any(c["checked"] and c["text"] == "Odd Pages" for c in browser.modal()["dialog"]["controls"]):
                break
            browser.keys(Keys.ARROW_DOWN)
            time.sleep(0.3)
            f = browser.focused()
            check(f["inModal"] and f["key"].startswith("control:"), f"keyboard: an arrow lost the focus: {f}")
        wait_for("Odd Pages chosen", lambda: any(c["checked"] and c["text"] == "Odd Pages"
                                                 for c in browser.modal()["dialog"]["controls"]))
        check(browser.focused()["checked"], "keyboard: the focus is not on the chosen radio button")
        browser.keys(Keys.ENTER)  # the default push button: OK

        def settled(answer):
            def step():
                m = browser.modal()
                if m and not m.get("dialog"):
                    focus_where(browser, answer, lambda f: f["text"] == answer)
                    browser.keys(Keys.ENTER)
                    time.sleep(0.2)
                    return False
                return m is None and "*" in tab_text(browser)
            return step
        wait_for("the odd pages cropped", settled("Crop"), timeout=60)

        # Alt+F, S: saved, and the page says so.
        browser.chord("ALT", "f")
        wait_for("the File menu's answer", lambda: browser.elements('#menubar .menu-item[data-name="Save"]:not(.pending)'))
        browser.keys("s")
        wait_for("the saved document", lambda: "*" not in tab_text(browser), timeout=20)
        wait_for("the note that it saved", lambda: "Saved mixed.pdf" in browser.element("#message").text, timeout=5)
        check(boxes(VELLORA, pdf) == boxes(VELLORA, expected_file),
              f"keyboard: the saved boxes differ from the command line's:\n{boxes(VELLORA, pdf)}")

        # A change, then File > Close: Tab to Don't Save and Enter writes nothing.
        # Page 2 is not cropped: its marks reach past the crop box it shows.
        focus_where(browser, "the page view", lambda f: f["id"] == "page-view")
        browser.keys(Keys.PAGE_DOWN)
        wait_for("page 2 after a key", lambda: browser.frame()["page"] == 2, timeout=10)
        choose_trim_vex_item(browser, "c")  # Crop Page(s) to Bounding Box asks which
        m = wait_for("the question", lambda: browser.modal())
        wait_for("the question's focus", lambda: browser.focused()["inModal"])
        accessible(browser, "a question open")
        browser.keys(Keys.ENTER)  # Enter on the focused first button: Current
        wait_for("page 2 cropped to its marks", settled(m["buttons"][0].replace("&", "")), timeout=60)
        before_close = sha(pdf)
        browser.chord("ALT", "f")
        wait_for("the File menu's answer", lambda: browser.elements('#menubar .menu-item[data-name="Close"]:not(.pending)'))
        browser.keys("c")
        m = wait_for("the question before closing", lambda: browser.modal())
        check("before closing" in m["text"], f"keyboard: the question is {m['text']!r}")
        wait_for("the question's focus", lambda: browser.focused()["inModal"])
        focus_where(browser, "Don't Save", lambda f: f["text"] == "Don't Save")
        browser.keys(Keys.ENTER)
        wait_for("the window closed", lambda: browser.modal() is None and browser.frame() is None)
        check(sha(pdf) == before_close, "keyboard: Tab to Don't Save and Enter changed the file")
        wait_for("the empty state", lambda: browser.element("#empty-state").is_displayed())
        check("No document is open" in browser.element("#empty-state").text, "keyboard: the empty state says nothing")
        accessible(browser, "no document open")
    finally:
        browser.close()
        viewer.stop()


def start_drag(browser, x1, y1, x2, y2):
    """Presses on the page view and moves, without letting go."""
    from selenium.webdriver.common.actions.action_builder import ActionBuilder
    builder = ActionBuilder(browser.driver, duration=0)
    builder.pointer_action.move_to_location(*browser._client(x1, y1))
    builder.pointer_action.pointer_down()
    for i in range(1, 5):
        builder.pointer_action.move_to_location(*browser._client(x1 + (x2 - x1) * i // 4, y1 + (y2 - y1) * i // 4))
        builder.pointer_action.pause(0.02)
    builder.perform()


def post(viewer, fields):
    conn = http.client.HTTPConnection("127.0.0.1", viewer.port, timeout=10)
    conn.request("POST", f"{viewer.prefix}/input?token={viewer.token}", urllib.parse.urlencode(fields),
                 {"Origin": viewer.origin, "Content-Type": "application/x-www-form-urlencoded"})
    status = conn.getresponse().status
    conn.close()
    return status


class Recorder(http.server.BaseHTTPRequestHandler):
    """Another server on the loopback address: writes down what it is sent."""
    seen = []

    def do_GET(self):
        Recorder.seen.append(f"{self.path}\n{self.headers}")
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.end_headers()
        self.wfile.write(b"<!doctype html><title>other</title><p>another server")

    def log_message(self, *args):
        pass


def case_reload():
    """Reloads recover: a drag the page lost is cancelled, ten reloads leave a
    page that follows the host, a dropped stream comes back by itself; the
    zoom field, Fit Width and Fit Page fit, a drag scrolls the view; and the
    token reaches no other server on the same address."""
    from selenium.webdriver.common.keys import Keys
    pdf = fresh("mixed.pdf")
    viewer = Viewer(VELLORA, [pdf], WORK)
    browser = Browser()
    other = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Recorder)
    threading.Thread(target=other.serve_forever, daemon=True).start()
    try:
        browser.open(viewer)
        check("token" not in browser.driver.current_url, f"reload: the address bar shows {browser.driver.current_url}")
        press_plugin_button(browser)
        start_drag(browser, *START, *END)
        wait_for("the rubber band", lambda: browser.frame()["band"] is not None)
        browser.driver.refresh()
        wait_for("the page again", lambda: browser.js("return window.vellora && window.vellora.frames > 0"))
        browser.element("#nav-next").click()
        wait_for("page 2 after the reload", lambda: browser.frame()["page"] == 2, timeout=5)
        browser.element("#nav-prev").click()
        wait_for("page 1 again", lambda: browser.frame()["page"] == 1, timeout=5)
        f = browser.frame()
        check(f["band"] is None and f["region"] is None and len(f["ops"]) == 1,
              f"reload: a region or band is left after a drag the page lost: {f['region']}, {f['ops']}")

        for _ in range(10):
            browser.driver.refresh()
        wait_for("the page after ten reloads", lambda: browser.js(
            "return window.vellora && window.vellora.frames > 0 && window.vellora.connected"))
        # Timed in the page: from its request to the frame that shows page 3.
        took = browser.driver.execute_async_script("""const done = arguments[arguments.length - 1];
            const started = performance.now();
            fetch('input', {method: 'POST', headers: {'Content-Type': 'application/x-www-form-urlencoded'},
                            body: 'kind=goto&page=3'});
            const poll = setInterval(() => {
              if (window.vellora.frame && window.vellora.frame.page === 3) {
                clearInterval(poll);
                done((performance.now() - started) / 1000);
              } else if (performance.now() - started > 10000) {
                clearInterval(poll);
                done(null);
              }
            }, 5);""")
        # A stale stream would leave the page behind for good; the drawing of
        # the page itself is the rest, and on a shared machine that alone can
        # take a second.
        print(f"reload: after ten reloads the page followed a page turn in {took} s")
        check(took is not None and took < 3.0, f"reload: after ten reloads the page followed a page turn in {took} s")

        # The stream taken away (four other streams open): the page says so and gets it back.
        browser.js("""window.connectionNotes = [];
            new MutationObserver(() => window.connectionNotes.push(document.getElementById('connection').textContent))
              .observe(document.getElementById('connection'), {childList: true, characterData: true, subtree: true});""")
        connects = browser.js("return window.vellora.connects")
        streams = []
        for _ in range(4):
            sock = socket.create_connection(("127.0.0.1", viewer.port), timeout=10)
            sock.sendall(f"GET {viewer.prefix}/events?token={viewer.token} HTTP/1.1\r\n"
                         f"Host: 127.0.0.1:{viewer.port}\r\n\r\n".encode())
            streams.append(sock)
        wait_for("the page reconnected", lambda: browser.js("return window.vellora.connects") > connects and
                 browser.js("return window.vellora.connected"), timeout=10)
        notes = browser.js("return window.connectionNotes")
        check(any("Reconnecting" in n for n in notes), f"reload: no reconnecting note was shown: {notes}")
        wait_for("the note cleared", lambda: browser.element("#connection").text == "")
        check(post(viewer, {"kind": "goto", "page": "4"}) == 204, "reload: a goto was refused")
        wait_for("the reconnected page follows", lambda: browser.frame()["page"] == 4, timeout=5)
        for sock in streams:
            sock.close()

        # The zoom field, Fit Width (no horizontal scroll bar), Fit Page (no scroll bar at all).
        def zoom_field(percent):
            # Focused first: a frame arriving meanwhile leaves a focused field alone.
            field = browser.element("#zoom-field")
            field.click()
            browser.chord("CONTROL", "a")
            browser.keys(percent, Keys.ENTER)
        zoom_field("150")
        wait_for("150% from the zoom field", lambda: browser.frame()["zoom"] == 150, timeout=10)
        view = "const v = document.getElementById('viewport'); "
        browser.element("#zoom-fit").click()
        wait_for("Fit Width", lambda: browser.frame()["zoom"] != 150 and browser.js(
            view + "return v.scrollWidth <= v.clientWidth && v.scrollHeight > v.clientHeight"), timeout=5)
        browser.element("#zoom-page").click()
        wait_for("Fit Page", lambda: browser.js(
            view + "return v.scrollWidth <= v.clientWidth && v.scrollHeight <= v.clientHeight"), timeout=5)
        # At 400% a drag held at the view's bottom edge scrolls it, and the band follows.
        zoom_field("400")
        wait_for("400%", lambda: browser.frame()["zoom"] == 400, timeout=10)
        bottom = browser.js(view + "return v.clientHeight")
        start_drag(browser, 200, 200, 300, bottom - 4)
        time.sleep(1.5)
        scrolled = browser.js(view + "return v.scrollTop")
        band = (browser.frame() or {}).get("band")
        check(scrolled > 100, f"reload: a drag held at the edge did not scroll the view ({scrolled})")
        check(band is not None and max(band[1], band[3]) > bottom + 50,
              f"reload: the band did not follow past the first screen: {band}, view {bottom}")
        from selenium.webdriver.common.actions.action_builder import ActionBuilder
        builder = ActionBuilder(browser.driver, duration=0)
        builder.pointer_action.pointer_up()
        builder.perform()

        # Another server on 127.0.0.1, opened later in the same browser, is sent no token.
        port = other.server_address[1]
        for host in ("127.0.0.1", "localhost"):
            browser.driver.get(f"http://{host}:{port}/")
            browser.driver.get(f"http://{host}:{port}/{viewer.prefix.strip('/')[:4]}/events")
        seen = "\n".join(Recorder.seen)
        check(len(Recorder.seen) >= 4, f"reload: the other server saw {len(Recorder.seen)} requests")
        check(viewer.token not in seen and "vellora_" not in seen,
              f"reload: another server on the loopback address was sent the token:\n{seen}")
    finally:
        other.shutdown()
        browser.close()
        viewer.stop()


CASES = {"crop_flow": case_crop_flow, "dialog_cancel": case_dialog_cancel, "stop": case_stop, "revert": case_revert,
         "files_and_keys": case_files_and_keys, "keyboard": case_keyboard, "reload": case_reload}

if __name__ == "__main__":
    skip_without_browser()
    CASES[CASE]()
    finish()

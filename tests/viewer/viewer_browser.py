#!/usr/bin/python3
"""The viewer in a real headless Chromium, as a person uses it.

    viewer_browser.py VELLORA SAMPLES_DIR SAMPLEGEN WORK_DIR CASE

Each case opens a fresh copy of a sample in `vellora view`, drives the page
with WebDriver's pointer and key actions, and checks what the page shows
(screenshot pixels, labels, cursors) and what ends up in the saved file,
read back with `vellora boxes` and compared with the command line's own
crop of the same region.
"""
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from viewer_support import (PLUGIN_BUTTON, Browser, Viewer, boxes, check, click_button, decode_png,  # noqa: E402
                            finish, press_plugin_button, skip_without_browser, tab_text, wait_for)

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
    os.makedirs(WORK, exist_ok=True)
    target = os.path.join(WORK, name)
    shutil.copyfile(os.path.join(SAMPLES, name), target)
    return target


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
    holder = browser.element('#menubar .menu-item[data-name="ZUNO:Trim Vex"]')
    ActionChains(browser.driver).move_to_element(holder).perform()
    return wait_for(f"the item {title!r}", lambda: browser.by_title(title))


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
    pristine = os.path.join(WORK, "generated-10000.pdf")
    if not os.path.exists(pristine):
        subprocess.run([SAMPLEGEN, WORK, "--text", "10000", "generated-10000.pdf"], check=True)
    big = os.path.join(WORK, "pages-10000.pdf")
    shutil.copyfile(pristine, big)
    before = crop_boxes(big)
    check(len(before) == 10000, f"stop: pdfinfo read {len(before)} crop boxes")
    viewer = Viewer(VELLORA, [big], WORK)
    browser = Browser()
    try:
        browser.open(viewer)
        press_plugin_button(browser)
        drag_region(browser)
        browser.click_at((START[0] + END[0]) // 2, (START[1] + END[1]) // 2)
        wait_dialog(browser)
        [label for label in browser.elements("#modal-layer label") if label.text.startswith("All Pages")][0].click()
        click_button(browser, "OK")
        wait_for("the progress bar", lambda: browser.state()["live"]["progress"] is not None, timeout=60)
        click_button(browser, "Stop")
        # The plug-in tells the person it stopped; the note is answered.
        m = wait_for("the stop note", lambda: browser.modal(), timeout=120)
        check("ancel" in m["text"], f"stop: the note says {m['text']!r}")
        click_button(browser, "OK")
        wait_for("the run's end", lambda: browser.modal() is None and browser.state()["live"]["progress"] is None,
                 timeout=120)
        browser.by_title("Save").click()
        time.sleep(1)
        wait_for("the save", lambda: "*" not in tab_text(browser), timeout=60)
    finally:
        browser.close()
        viewer.stop()
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


CASES = {"crop_flow": case_crop_flow, "dialog_cancel": case_dialog_cancel, "stop": case_stop, "revert": case_revert,
         "files_and_keys": case_files_and_keys}

if __name__ == "__main__":
    skip_without_browser()
    CASES[CASE]()
    finish()

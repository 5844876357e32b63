#!/usr/bin/python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""Thumbnails, badges and the overlay in a real headless Chromium.

    viewer_pages.py VELLORA SAMPLES_DIR WORK_DIR CASE

thumbnails: the crop tool's region drawn on page 1 of the mixed sample shows
    on the thumbnail of every page (screenshot pixels, before and after);
    after a crop of all pages a badge marks each page whose marks the region
    cut, and the status bar counts them; a click on a thumbnail goes to it.
overlay: View > Overlay on the 1,000-page text sample shows ink where some
    page has ink, also where the page shown has none, and nothing in the
    margins no page writes in; axe-core finds nothing with the thumbnails
    and the overlay on.
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from viewer_support import (axe_missing, boxes, check, choose, crop_all, finish, fresh_copy,  # noqa: E402
                            press_plugin_button, skip_without_browser, start_viewer, wait_for)

VELLORA, SAMPLES, WORK, CASE = sys.argv[1:5]
MARGIN = 16
START = (MARGIN + 100, MARGIN + 100)
END = (MARGIN + 400, MARGIN + 400)


def fresh(name):
    return fresh_copy(SAMPLES, name, WORK)


def start(pdf):
    return start_viewer(VELLORA, pdf, WORK)


def page_boxes(text):
    """{page: (crop, bbox)} from `vellora boxes`, boxes as (l, b, r, t)."""
    found = {}
    for line in text.splitlines():
        m = re.match(r"page (\d+) rotate \S+ media (?:\S+ ){4}crop ((?:\S+ ){3}\S+) bbox ((?:\S+ ){3}\S+)", line)
        if m:
            found[int(m.group(1))] = tuple(tuple(float(v) for v in m.group(k).split()) for k in (2, 3))
    return found


def thumbnail_url(browser, page):
    return browser.js("const i = document.querySelector(`.page-thumb[data-page='${arguments[0]}'] img`);"
                      "return i && i.complete && i.naturalWidth > 0 ? i.getAttribute('src') : null;", page)


def thumbnail(browser, page, other_than=None):
    """The pixels of PAGE's thumbnail in a screenshot, once a picture other
    than `other_than` is shown, and its address."""
    def shown():
        browser.js("document.querySelector(`.page-thumb[data-page='${arguments[0]}']`)"
                   ".scrollIntoView({block: 'center'});", page)
        url = thumbnail_url(browser, page)
        return url is not None and url != other_than
    wait_for(f"the thumbnail of page {page}", shown)
    url = thumbnail_url(browser, page)
    left, top, width, height = browser.js(
        "const r = document.querySelector(`.page-thumb[data-page='${arguments[0]}'] img`).getBoundingClientRect();"
        "return [Math.round(r.left), Math.round(r.top), Math.round(r.width), Math.round(r.height)];", page)
    _, _, rows = browser.screenshot()
    return [row[left:left + width] for row in rows[top:top + height]], url


def dark(pixel, limit=60):
    return all(c < limit for c in pixel)


def case_thumbnails():
    pdf = fresh("mixed.pdf")
    original = page_boxes(boxes(VELLORA, pdf))
    viewer, browser = start(pdf)
    try:
        wait_for("the page list", lambda: len(browser.elements(".page-thumb")) == 7)
        check(browser.element(".page-thumb[data-page='1']").get_attribute("aria-current") == "page",
              "thumbnails: page 1 is not marked as the page shown")
        press_plugin_button(browser)
        before = {p: thumbnail(browser, p) for p in range(1, 8)}
        browser.drag(*START, *END)
        wait_for("the region", lambda: browser.frame()["region"] is not None)
        for page in range(1, 8):
            pixels, _ = thumbnail(browser, page, other_than=before[page][1])
            old = before[page][0]
            # The region's outline and handles: pixels dark now that were not.
            new = sum(1 for y, row in enumerate(pixels) for x, p in enumerate(row)
                      if dark(p) and y < len(old) and x < len(old[y]) and not dark(old[y][x]))
            check(new >= 80, f"thumbnails: page {page} shows no region after the drag ({new} new dark pixels)")
        # The picture in docs/viewer.md: the page list beside the region.
        browser.js("document.getElementById('side-panels').scrollTop = 0")
        wait_for("page 1 in sight", lambda: thumbnail_url(browser, 1) is not None)
        with open(os.path.join(WORK, "thumbnails-screenshot.png"), "wb") as out:
            out.write(browser.driver.get_screenshot_as_png())

        crop_all(browser, ((START[0] + END[0]) // 2, (START[1] + END[1]) // 2))
        cropped = page_boxes(boxes_after_save(browser, pdf))
        # Marks the region cut: the page's marks as the file had them, outside its new crop box.
        # A page whose bounding box is its whole crop box may be blank: no marks to cut.
        unsure = {p for p, (crop, bbox) in original.items() if crop == bbox} | {3}
        cut = {p for p, (crop, _) in cropped.items() if p not in unsure
               and any(a < b for a, b in ((original[p][1][0], crop[0]), (original[p][1][1], crop[1]),
                                         (crop[2], original[p][1][2]), (crop[3], original[p][1][3])))}
        check(len(cut) > 0, "thumbnails: the crop cut no page's marks; the case tests nothing")

        def badges():
            return {int(b.get_attribute("data-page")) for b in browser.elements(".page-thumb")
                    if not b.find_element("css selector", ".marks-badge").get_attribute("hidden")}
        try:
            wait_for("a badge on every page cut", lambda: cut <= badges())
        except AssertionError:
            raise AssertionError(f"badges on {sorted(badges())}, marks cut on {sorted(cut)}; "
                                 f"the host says {browser.state()['pages']['badges']}") from None
        # Page 3's file crop box hides marks its bounding box does not count.
        check(not (badges() - cut - unsure), f"thumbnails: badges on {sorted(badges())}, marks cut on {sorted(cut)}")
        status = browser.element("#marks-status").text
        check(status.startswith(f"{len(badges())} page"), f"thumbnails: the status bar says {status!r}")

        browser.element(".page-thumb[data-page='6']").click()
        wait_for("page 6", lambda: browser.frame()["page"] == 6)
        wait_for("page 6 marked", lambda: browser.element(".page-thumb[data-page='6']")
                 .get_attribute("aria-current") == "page")
        # The keyboard: Down moves to the next thumbnail, Enter goes to its page.
        from selenium.webdriver.common.keys import Keys
        browser.element(".page-thumb[data-page='6']").send_keys(Keys.ARROW_DOWN)
        wait_for("the focus on page 7", lambda: browser.js(
            "return document.activeElement.dataset.page") == "7")
        browser.element(".page-thumb[data-page='7']").send_keys(Keys.ENTER)
        wait_for("page 7", lambda: browser.frame()["page"] == 7)
    finally:
        browser.close()
        viewer.stop()


def boxes_after_save(browser, pdf):
    browser.by_title("Save").click()
    wait_for("the save", lambda: "*" not in browser.element("#tabs button.active").text)
    return boxes(VELLORA, pdf)


def case_overlay():
    pdf = fresh("text-1000.pdf")
    pages = page_boxes(boxes(VELLORA, pdf))
    viewer, browser = start(pdf)
    try:
        wait_for("the page list", lambda: len(browser.elements(".page-thumb")) == 1000)
        # The whole page in the window's screenshot.
        browser.js("zoomTo(50)")
        wait_for("50%", lambda: browser.frame()["zoom"] == 50)
        plain = browser.frame()["image"]
        choose(browser, "View", "Overlay")
        wait_for("the whole overlay", lambda: (browser.frame().get("overlay") or {}).get("done", -1) ==
                 (browser.frame().get("overlay") or {}).get("total"), timeout=120)
        wait_for("its picture drawn", lambda: browser.frame()["image"] != plain and browser.js(
            "return window.vellora.frames > 0 && document.getElementById('page-view').width > 1"))
        frame = browser.frame()
        with open(os.path.join(WORK, "overlay-screenshot.png"), "wb") as out:
            out.write(browser.driver.get_screenshot_as_png())
        check(frame["overlay"]["total"] == 1000, f"overlay: {frame['overlay']['total']} pages, not the 1,000")
        scale = frame["zoom"] / 100
        left, top, _, _ = browser.canvas_origin()
        _, _, rows = browser.screenshot()
        media_top = 792

        def pixel(x, y):
            return rows[int(top) + MARGIN + round((media_top - y) * scale)][int(left) + MARGIN + round(x * scale)]

        def darkest(box):
            l, b, r, t = box
            return min(min(pixel(x, y)) for x in range(int(l), int(r), 2) for y in range(int(b), int(t), 2))

        union = tuple(f(v[1][k] for v in pages.values()) for k, f in enumerate((min, min, max, max)))
        first = pages[1][1]
        # Ink where the pages have it, also below page 1's last line.
        check(darkest(first) < 200, "overlay: no ink where page 1 has its text")
        if union[1] < first[1] - 12:
            check(darkest((first[0], union[1] + 2, first[2], first[1] - 4)) < 200,
                  "overlay: no ink below page 1's text, where other pages have theirs")
        # Nothing where no page has ink: the margins.
        for box in ((4, 4, union[0] - 6, 788), (union[2] + 6, 4, 608, 788), (4, union[3] + 6, 608, 788)):
            if box[2] > box[0] and box[3] > box[1]:
                check(darkest(box) > 240, f"overlay: ink in {box}, where no page has any")
        if not axe_missing():
            found = browser.accessibility_violations()
            check(found == [], f"overlay: axe-core with thumbnails and the overlay on: {found}")
        # Off again: the page's own rendering.
        choose(browser, "View", "Overlay")
        wait_for("the page's own rendering", lambda: browser.frame()["overlay"] is None)
    finally:
        browser.close()
        viewer.stop()


CASES = {"thumbnails": case_thumbnails, "overlay": case_overlay}

if __name__ == "__main__":
    skip_without_browser()
    CASES[CASE]()
    finish()

"""The tab strip at the fractional scales of office laptops, with the real
engine: drawn at the screen's own resolution, nothing cut off, and the close
buttons where they are drawn."""

import os
import subprocess
import time
import unittest

from harness import ARTIFACTS, ClientTestCase, devtools_pages, open_devtools, wait_for

TAB_WIDTH = 178  # logical pixels
TAB_HEIGHT = 29


def crop(path, left, top, width, height, name):
    out = os.path.join(ARTIFACTS, name)
    subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % (width, height, left, top), "+repage", out],
                   check=True, timeout=20)
    return out


def pixels(path):
    """Rows of (r, g, b) of a small picture."""
    text = subprocess.run(["convert", path, "-depth", "8", "txt:-"], capture_output=True, text=True, check=True,
                          timeout=20).stdout
    rows = {}
    for line in text.splitlines()[1:]:
        place, _, rest = line.partition(":")
        x, y = (int(v) for v in place.split(","))
        values = rest.split("(")[1].split(")")[0].split(",")
        rows.setdefault(y, {})[x] = tuple(int(float(v)) for v in values[:3])
    return [[row[x] for x in sorted(row)] for _, row in sorted(rows.items())]


class FractionalScale(ClientTestCase):

    def strip_at(self, scale):
        """Starts the client at scale with a second tab; returns the window's
        handle and the screenshot of its top."""
        self.start_client(QT_SCALE_FACTOR=str(scale))
        first = self.login_page()
        handle = self.wait_handle()
        first.evaluate("void window.open('/listings')")
        wait_for(lambda: len([p for p in devtools_pages() if p.get("type") == "page"]) == 2, 20,
                 what="the second tab")
        second = open_devtools(lambda p: "/listings" in p.get("url", ""))
        self.addCleanup(second.close)
        wait_for(lambda: second.evaluate("document.readyState") == "complete", 20, what="the second page")
        # The strip has caught up with the page's title and the end of its loading.
        self.desktop.xdotool("mousemove", "--window", handle, 600, 300)
        time.sleep(1)
        return handle, second

    def check_scale(self, scale):
        handle, _ = self.strip_at(scale)
        left, top, width, _ = self.desktop.geometry(handle)
        shot = self.desktop.screenshot("scaling-%s-screen.png" % scale)
        strip = crop(shot, left, top, int(width), int(TAB_HEIGHT * scale) + 4, "scaling-%s-strip.png" % scale)
        rows = pixels(crop(shot, left, top, int(2 * TAB_WIDTH * scale) + 2, int(TAB_HEIGHT * scale) + 2,
                           "scaling-%s-tabs.png" % scale))
        # The strip's bottom line lies at the scaled height: nothing above it
        # cut off, nothing drawn at the logical size.
        line = next(y for y in range(len(rows) - 1, 0, -1)
                    if sum(sum(p) for p in rows[y][:50]) < sum(sum(p) for p in rows[1][:50]) - 150)
        self.assertAlmostEqual(line, TAB_HEIGHT * scale, delta=2, msg=strip)

        # The second tab's close button, pressed where it shows on the screen,
        # closes the tab.
        self.desktop.xdotool("mousemove", left + int((2 * TAB_WIDTH - 14) * scale), top + int(12 * scale),
                             "click", 1)
        wait_for(lambda: len([p for p in devtools_pages() if p.get("type") == "page"]) == 1, 20,
                 what="the second tab to close")

    def test_at_125_percent_the_strip_is_drawn_at_the_screens_resolution_and_its_close_buttons_follow(self):
        self.check_scale(1.25)

    def test_at_150_percent_the_strip_is_drawn_at_the_screens_resolution_and_its_close_buttons_follow(self):
        self.check_scale(1.5)


if __name__ == "__main__":
    unittest.main()

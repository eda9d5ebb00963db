"""The about window from the tray: the service's about page in a borderless,
rounded, silver-framed window without a context menu, closed by Esc or by the
page, with its tray entry disabled while it is open."""

import subprocess
import time
import unittest

from harness import ClientTestCase, devtools_pages, open_devtools, tray_icon_center, wait_for

ABOUT_PATH = "/pcClient/about.html"
SILVER = (192, 192, 192)


class About(ClientTestCase):

    def visible_windows(self):
        return {int(w) for w in self.desktop.program_windows()}

    def geometry(self, window):
        return self.desktop.geometry(window)

    def pixels(self, left, top, width, height):
        """Rows of (r, g, b) of a screen rectangle."""
        data = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, left, top),
                               "-depth", "8", "rgb:-"], capture_output=True, timeout=20,
                              env=self.client_env()).stdout
        self.assertEqual(len(data), width * height * 3)
        return [[tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
                for y in range(height)]

    def about_pages(self):
        return [p for p in devtools_pages() if p.get("url", "").endswith(ABOUT_PATH)]

    def open_tray_menu(self, icon, known):
        self.desktop.xdotool("mousemove", icon[0], icon[1], "click", "3")
        return wait_for(lambda: next(iter(self.visible_windows() - known), None), 10, what="the tray menu")

    def open_about(self, icon, main):
        menu = self.open_tray_menu(icon, {main})
        self.desktop.keys(None, "Up", "Up", "Return")  # "退出", then "关于"
        about = wait_for(lambda: next((w for w in self.visible_windows() - {main}
                                       if self.geometry(w)[2:] == (488, 433)), None), 20, what="the about window")
        page = open_devtools(lambda p: p.get("url", "").endswith(ABOUT_PATH))
        self.addCleanup(page.close)
        wait_for(lambda: page.evaluate("document.readyState === 'complete' && !!document.getElementById('close')"),
                 20, what="the about page")
        return about, page

    def menu_text_bands(self, menu):
        """(first row, last row, darkest luminance) of each text line of a menu, top to bottom."""
        left, top, width, height = self.geometry(menu)
        rows = self.pixels(left, top, width, height)
        background = rows[height // 2][2]
        bands, current = [], None
        for y, row in enumerate(rows[2:height - 2], start=2):
            inner = row[4:width - 4]
            ink = [sum(p) / 3 for p in inner if max(abs(a - b) for a, b in zip(p, background)) > 40]
            # A separator is a line across the menu; text covers only a part of it.
            is_text = ink and len(ink) < 0.6 * len(inner)
            if is_text:
                if current is None:
                    current = [y, y, min(ink)]
                current[1], current[2] = y, min(current[2], min(ink))
            elif current is not None:
                bands.append(tuple(current))
                current = None
        return bands

    def test_tray_opens_the_about_page_without_menu_esc_and_page_close_it(self):
        self.start_client()
        main = self.wait_handle()
        icon = wait_for(lambda: tray_icon_center(self.desktop), 20, what="the tray icon")

        about, page = self.open_about(icon, main)
        self.assertEqual(len(self.about_pages()), 1)
        self.assertIn("Velmar", page.evaluate("document.body.innerText"))
        self.desktop.screenshot("about-window.png")

        # Centred, borderless, rounded: silver edges, the corners cut away.
        left, top, width, height = self.geometry(about)
        self.assertLessEqual(abs(left + width // 2 - 640), 1)
        frame = self.pixels(left, top, width, height)
        for x, y in ((width // 2, 0), (width // 2, height - 1), (0, height // 2), (width - 1, height // 2)):
            self.assertEqual(frame[y][x], SILVER, (x, y))
        for x, y in ((0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1)):
            self.assertNotEqual(frame[y][x], SILVER, (x, y))
        self.assertNotEqual(frame[height // 2][1], SILVER)  # the page starts right inside the border

        # A right-click on the page reaches it but opens no menu.
        page.evaluate("window.__menus = 0; document.addEventListener('contextmenu', function(){ window.__menus++; });")
        before = self.visible_windows()
        self.desktop.xdotool("mousemove", left + width // 2, top + height // 3, "click", "3")
        wait_for(lambda: page.evaluate("window.__menus") == 1, 10, what="the right-click at the page")
        deadline = time.monotonic() + 2
        while time.monotonic() < deadline:
            self.assertEqual(self.visible_windows(), before, "a menu opened on the about page")
            time.sleep(0.1)

        # The tray menu meanwhile shows "关于" disabled, and clicking it opens nothing.
        menu = self.open_tray_menu(icon, before)
        bands = self.menu_text_bands(menu)
        self.desktop.screenshot("about-tray-menu.png")
        self.assertEqual(len(bands), 4, bands)  # 显示窗口, 重新登录, 关于, 退出
        shown, relogin, about_entry, exit_entry = bands
        self.assertGreater(about_entry[2], max(shown[2], relogin[2], exit_entry[2]) + 40, bands)
        menu_left, menu_top, menu_width, _ = self.geometry(menu)
        self.desktop.xdotool("mousemove", menu_left + menu_width // 2, menu_top + (about_entry[0] + about_entry[1]) // 2,
                             "click", "1")
        self.desktop.keys(None, "Escape")
        wait_for(lambda: menu not in self.visible_windows(), 10, what="the tray menu to close")
        self.assertEqual(len(self.about_pages()), 1)
        self.assertIn(about, self.visible_windows())

        # Esc closes the window right after a click into the page.
        self.desktop.xdotool("mousemove", left + width // 2, top + height - 20, "click", "1")
        wait_for(lambda: page.evaluate("document.hasFocus()"), 10, what="the page to have the focus")
        self.desktop.xdotool("key", "Escape")
        wait_for(lambda: about not in self.visible_windows() and not self.about_pages(), 10,
                 what="Esc to close the about window")

        # The entry works again; the page's own close button closes the window.
        about, page = self.open_about(icon, main)
        page.click("#close")
        wait_for(lambda: about not in self.visible_windows() and not self.about_pages(), 10,
                 what="the page to close the about window")

    def test_a_page_that_cannot_load_still_leaves_a_window_esc_closes(self):
        self.start_client()
        main = self.wait_handle()
        icon = wait_for(lambda: tray_icon_center(self.desktop), 20, what="the tray icon")
        self.service.close()
        menu = self.open_tray_menu(icon, {main})
        self.desktop.keys(None, "Up", "Up", "Return")
        about = wait_for(lambda: next((w for w in self.visible_windows() - {main}
                                       if self.geometry(w)[2:] == (488, 433)), None), 20, what="the about window")
        self.desktop.screenshot("about-window-unreachable.png")
        self.desktop.xdotool("windowactivate", "--sync", about)
        self.desktop.xdotool("key", "Escape")
        wait_for(lambda: about not in self.visible_windows(), 10, what="Esc to close the about window")


if __name__ == "__main__":
    unittest.main()

"""Keys as a browser user presses them, sent as real X key events: reload,
closing and switching tabs, a page that keeps F5, find in page and zoom."""

import re
import time
import unittest
import urllib.parse

from harness import ClientTestCase, devtools_pages, read_ini, wait_for

CAPTION = " - Velmar房产ERP 1.0.0.2"


class Keys(ClientTestCase):

    def start(self):
        self.start_client()
        page = self.login_page()
        handle = self.wait_handle()
        return page, handle

    def focus_page(self, handle, click=True):
        """Activates the window and clicks an empty spot of the page, so the
        keys that follow go where a user's would."""
        self.desktop.xdotool("windowactivate", "--sync", handle)
        if not click:
            time.sleep(0.3)
            return
        geometry = self.desktop.xdotool("getwindowgeometry", "--shell", handle).stdout
        values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
        x, y = int(values["X"]), int(values["Y"])
        width, height = int(values["WIDTH"]), int(values["HEIGHT"])
        self.desktop.xdotool("mousemove", x + 40, y + height // 2, "click", "1")
        time.sleep(0.3)

    def key(self, *keys):
        for key in keys:
            self.desktop.xdotool("key", "--delay", "60", key)
            time.sleep(0.15)

    def caption(self, handle):
        return self.desktop.window_title(handle)

    def requests(self, path):
        return [e for e in self.service.log() if e["path"] == path]

    def find_results(self):
        return re.findall(r"Find in tab \d+: (\S+)", self.client_log())

    def test_reload_close_and_switch_tabs_and_a_page_that_keeps_f5(self):
        page, handle = self.start()
        self.focus_page(handle)

        # F5: the service sees the login address a second time.
        self.assertEqual(len(self.requests("/")), 1)
        self.key("F5")
        wait_for(lambda: len(self.requests("/")) == 2, 20, what="the reloaded login page")

        # Ctrl+W on the first tab does nothing.
        self.key("ctrl+w")
        time.sleep(1)
        self.assertEqual(self.desktop.map_state(handle), "IsViewable")
        self.assertEqual(len([p for p in devtools_pages() if "ComputerName=" in p["url"]]), 1)

        # A popup tab: Ctrl+Tab goes to the next tab (wrapping) and shows its caption.
        wait_for(lambda: page.evaluate("document.readyState") == "complete", 20, what="the reloaded page")
        page.evaluate("void window.open('/pages/child.html?n=1')")
        wait_for(lambda: self.caption(handle) == "子页面 1" + CAPTION, 20, what="the popup's tab")
        self.focus_page(handle)
        self.key("ctrl+Tab")
        wait_for(lambda: self.caption(handle) == "Velmar房产ERP" + CAPTION, 10,
                 what="the first tab's caption (now %r)" % self.caption(handle))
        self.key("ctrl+Tab")
        wait_for(lambda: self.caption(handle) == "子页面 1" + CAPTION, 10, what="the popup's caption again")

        # Ctrl+W on the popup's tab closes it.
        self.key("ctrl+w")
        wait_for(lambda: not any("child.html" in p["url"] for p in devtools_pages()), 20,
                 what="the popup's page to go")
        wait_for(lambda: self.caption(handle) == "Velmar房产ERP" + CAPTION, 10, what="the first tab again")

        # A page that handles F5 itself keeps it: no reload, its own count goes up.
        page.navigate(self.service.base + "/pages/keys.html")
        self.focus_page(handle)
        self.key("F5")
        wait_for(lambda: page.evaluate("document.getElementById('f5-count').textContent") == "1", 10,
                 what="the page's own F5")
        time.sleep(1)
        self.assertEqual(len(self.requests("/pages/keys.html")), 1)
        # Its Ctrl+F too: the page's search box, not the find bar.
        self.key("ctrl+f")
        wait_for(lambda: page.evaluate("document.getElementById('ctrlf-count').textContent") == "1", 10,
                 what="the page's own Ctrl+F")
        self.assertEqual(page.evaluate("document.activeElement.id"), "search")

    def test_find_in_page_counts_and_steps(self):
        page, handle = self.start()
        page.navigate(self.service.base + "/pages/find.html")
        # No click: a click would move the point the search starts from.
        self.focus_page(handle, click=False)
        self.key("ctrl+f")
        self.desktop.xdotool("type", "--delay", "80", "Marigold")
        wait_for(lambda: self.find_results()[-1:] == ["1/2"], 10, what="1/2")
        # While typing, the bar never claimed that nothing matched.
        self.assertNotIn("无结果", self.find_results())
        self.key("Return")
        wait_for(lambda: self.find_results()[-1:] == ["2/2"], 10, what="2/2")
        time.sleep(0.3)
        self.desktop.screenshot("keys-find-2-of-2.png")
        self.key("Return")
        wait_for(lambda: self.find_results()[-1:] == ["1/2"], 10, what="1/2 after wrapping")
        self.key("ctrl+a", "BackSpace")
        self.desktop.xdotool("type", "--delay", "80", "Marigoldx")
        wait_for(lambda: self.find_results()[-1:] == ["无结果"], 10, what="无结果")
        # Esc closes the bar; the page has the keys again.
        self.key("Escape")
        time.sleep(0.5)
        self.desktop.xdotool("type", "zz")
        time.sleep(0.5)
        self.assertEqual(self.find_results()[-1:], ["无结果"])

    def test_zoom_is_kept_per_host_across_a_restart(self):
        page, handle = self.start()
        host = urllib.parse.urlparse(self.service.base).hostname
        self.assertEqual(page.evaluate("window.devicePixelRatio"), 1)
        self.focus_page(handle)
        self.key("ctrl+plus", "ctrl+plus")
        wait_for(lambda: page.evaluate("window.devicePixelRatio") == 1.25, 10,
                 what="125%% (now %r)" % page.evaluate("window.devicePixelRatio"))
        wait_for(lambda: read_ini(self.config_path).get("ZOOM", {}).get(host.upper()) == "125", 10,
                 what="the level in config.ini")
        time.sleep(0.3)
        self.desktop.screenshot("keys-zoom-125.png")

        self.kill_clients()
        self.start_client()
        again = self.login_page()
        wait_for(lambda: again.evaluate("window.devicePixelRatio") == 1.25, 20,
                 what="125% after the restart")
        handle = self.wait_handle()
        self.focus_page(handle)
        self.key("ctrl+0")
        wait_for(lambda: again.evaluate("window.devicePixelRatio") == 1, 10, what="100% again")
        # Ctrl+wheel, one notch away from the user: the next step.
        self.desktop.xdotool("keydown", "ctrl", "click", "4", "keyup", "ctrl")
        wait_for(lambda: abs(again.evaluate("window.devicePixelRatio") - 1.1) < 0.001, 10,
                 what="110%% by the wheel (now %r)" % again.evaluate("window.devicePixelRatio"))

    def window_size(self, handle):
        values = dict(line.split("=", 1) for line in
                      self.desktop.xdotool("getwindowgeometry", "--shell", handle).stdout.split() if "=" in line)
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def test_f11_full_screen_is_never_the_saved_placement(self):
        with open(self.config_path, "w") as config:
            config.write("[WIN]\nLEFT=100\nTOP=80\nRIGHT=900\nBOTTOM=680\nSTATE=0\n")
        page, handle = self.start()
        self.focus_page(handle)
        normal = self.window_size(handle)
        self.assertNotEqual(normal, (1280, 800))
        self.key("F11")
        wait_for(lambda: self.window_size(handle) == (1280, 800), 10,
                 what="full screen (now %r)" % (self.window_size(handle),))
        self.key("F11")
        wait_for(lambda: self.window_size(handle) == normal, 10, what="the window as it was")
        self.key("F11")
        wait_for(lambda: self.window_size(handle) == (1280, 800), 10, what="full screen again")
        # Closed while full screen: hidden, and the placement written is the one before.
        self.desktop.keys(handle, "alt+F4")
        wait_for(lambda: self.desktop.map_state(handle) != "IsViewable", 10, what="the window to hide")
        placement = read_ini(self.config_path).get("WIN", {})
        self.assertEqual(placement.get("STATE"), "0", placement)
        # The window manager may shift the frame by its title bar.
        width = int(placement["RIGHT"]) - int(placement["LEFT"])
        height = int(placement["BOTTOM"]) - int(placement["TOP"])
        self.assertLessEqual(abs(width - 800), 10, placement)
        self.assertLessEqual(abs(height - 600), 30, placement)
        self.assertLessEqual(abs(int(placement["LEFT"]) - 100), 30, placement)


if __name__ == "__main__":
    unittest.main()

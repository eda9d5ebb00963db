"""Popups become tabs, which a screen reader sees; every request of every
view carries the language header."""

import json
import os
import subprocess
import time
import unittest

from harness import ClientTestCase, devtools_pages, wait_for


class Tabs(ClientTestCase):

    def window_title(self, handle):
        return self.desktop.window_title(handle)

    def page_with(self, fragment):
        return next((p for p in devtools_pages() if fragment in p.get("url", "")), None)

    def test_links_and_window_open_become_tabs_and_ctrl_click_stays_behind(self):
        self.start_client()
        first = self.login_page()
        handle = self.wait_handle()
        base = self.service.base
        first.navigate(base + "/pages/popups.html")
        first_title = "Velmar房产ERP - Velmar房产ERP 1.0.0.2"
        wait_for(lambda: self.window_title(handle) == first_title, 10,
                 what="the first tab's caption (now %r)" % self.window_title(handle))

        # Ctrl+click: a tab of its own, in the background.
        first.click("#link-blank", modifiers=2)
        wait_for(lambda: self.page_with("child.html?n=1"), 20, what="the background tab")
        time.sleep(1)
        self.assertEqual(self.window_title(handle), first_title)

        # A link with a target: a new tab in front, captioned with its title.
        first.click("#link-named")
        wait_for(lambda: self.page_with("child.html?n=2"), 20, what="the target link's tab")
        wait_for(lambda: self.window_title(handle) == "子页面 2 - Velmar房产ERP 1.0.0.2", 20,
                 what="the new tab's caption")

        # window.open from the page that is now behind, with and without features.
        first.evaluate("document.getElementById('btn-open').click()")
        wait_for(lambda: self.window_title(handle) == "子页面 3 - Velmar房产ERP 1.0.0.2", 20,
                 what="the window.open tab")
        first.evaluate("document.getElementById('btn-open-features').click()")
        wait_for(lambda: self.window_title(handle) == "子页面 4 - Velmar房产ERP 1.0.0.2", 20,
                 what="the window.open tab with features")
        children = [p for p in devtools_pages() if "child.html" in p["url"]]
        self.assertEqual(sorted(p["url"].rsplit("=", 1)[1] for p in children), ["1", "2", "3", "4"])

        # One more that keeps loading, for the picture of the strip.
        first.evaluate("void window.open('/pages/slow.html?delay=8')")
        wait_for(lambda: self.page_with("slow.html"), 20, what="the loading tab")
        time.sleep(0.8)
        self.desktop.screenshot("tabs-strip-one-loading.png")

    def test_a_screen_reader_sees_the_tab_list_with_named_tabs_and_the_active_one_selected(self):
        bus = self.start_accessibility_bus()
        proc = self.start_client(**bus)
        first = self.login_page()
        first.evaluate("void window.open('/pages/find.html')")
        wait_for(lambda: any("/pages/find.html" in p.get("url", "") for p in devtools_pages()), 20,
                 what="the second tab")
        env = dict(os.environ, DISPLAY=self.desktop.display, HOME=self.home, XDG_RUNTIME_DIR=self.runtime,
                   DBUS_SESSION_BUS_ADDRESS=bus["DBUS_SESSION_BUS_ADDRESS"])
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "atspi_tabs.py")

        def seen():
            out = subprocess.run(["/usr/bin/python3", script, str(proc.pid)], env=env, capture_output=True,
                                 text=True, timeout=30).stdout
            lists = json.loads(out or "[]")
            return lists if lists and len(lists[0]) == 2 and lists[0][1][0] == "页内查找" else None
        lists = wait_for(seen, 30, step=1, what="the tab list through AT-SPI")
        self.assertEqual(lists[0], [["Velmar房产ERP", False], ["页内查找", True]])

    def test_every_request_carries_the_language_header(self):
        self.start_client()
        first = self.login_page()
        first.evaluate("void window.open('/pages/resources.html')")  # a popup's view, too
        wait_for(lambda: any(e["path"] == "/api/ping" for e in self.service.log()), 20, what="the page's XHR")
        first.evaluate("fetch('/api/ping?from=first').then(function(r){return r.text();})")

        engine_requests = [e for e in self.service.log()
                           if any(n.lower() == "user-agent" and "QtWebEngine" in v for n, v in e["headers"])]
        paths = {e["path"] for e in engine_requests}
        self.assertTrue({"/", "/pages/resources.html", "/static/globe.png", "/static/app.js", "/api/ping"} <= paths,
                        paths)
        for entry in engine_requests:
            values = [v for n, v in entry["headers"] if n.lower() == "accept-language"]
            self.assertEqual(values, ["zh-CN"], entry["target"])


if __name__ == "__main__":
    unittest.main()

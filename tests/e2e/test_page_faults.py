"""Pages that once broke the shell: a popup that closes itself, and an older
GB-encoded page that declares no charset."""

import time
import unittest

from harness import ClientTestCase, devtools_pages, open_devtools, wait_for

TITLE = "Velmar房产ERP"
CAPTION = " - Velmar房产ERP 1.0.0.2"
GBK_TEXT = "旧版系统公告：房源编号 GB-2312 的紫荆花园已售出，请各门店及时更新房源状态。"


class PageFaults(ClientTestCase):

    def caption(self, handle):
        return self.desktop.window_title(handle)

    def wait_caption(self, handle, tab_caption):
        wait_for(lambda: self.caption(handle) == tab_caption + CAPTION, 20,
                 what="the caption %r (now %r)" % (tab_caption, self.caption(handle)))

    def page_with(self, fragment):
        return next((p for p in devtools_pages() if fragment in p.get("url", "")), None)

    def windows(self):
        return set(self.desktop.xdotool("search", "--onlyvisible", "--class", "VelmarERP").stdout.split())

    def new_box(self, before):
        """The client's window titled like its message boxes that came up after the snapshot before."""
        return wait_for(lambda: next((w for w in self.windows() - before if self.caption(w) == TITLE), None), 20,
                        what="the confirm box")

    def test_popup_closing_itself_closes_its_tab_and_the_shell_goes_on(self):
        client = self.start_client()
        first = self.login_page()
        handle = self.wait_handle()
        base = self.service.base

        first.evaluate("void window.open('/pages/close_self.html')")
        self.wait_caption(handle, "自行关闭")
        popup = open_devtools(lambda p: "/pages/close_self.html" in p.get("url", ""))
        self.addCleanup(popup.close)
        popup.click("#btn-close")
        wait_for(lambda: not self.page_with("/pages/close_self.html"), 20, what="the popup's page to go")
        # Its tab went with it; the first tab (whose caption is always the
        # program's title) is in front again and the window stays open.
        self.wait_caption(handle, TITLE)
        self.assertEqual(self.desktop.map_state(handle), "IsViewable")
        self.assertIsNone(client.poll())

        # A confirm still asks with the shell's box, and the answer reaches the page.
        before = self.windows()
        first.evaluate("window.answer = 'none'; setTimeout(function(){ window.answer = confirm('继续吗？'); }, 0); true")
        box = self.new_box(before)
        self.desktop.screenshot("page-faults-confirm-after-self-close.png")
        self.desktop.xdotool("windowactivate", "--sync", box)
        self.desktop.xdotool("key", "Return")  # Yes
        wait_for(lambda: first.evaluate("window.answer") is True, 20, what="the page to get Yes")

        # A link with a target still becomes a tab of its own, in front.
        first.navigate(base + "/pages/popups.html")
        first.click("#link-named")
        wait_for(lambda: self.page_with("child.html?n=2"), 20, what="the target link's tab")
        self.wait_caption(handle, "子页面 2")

        # Titles still reach the captions.
        child = open_devtools(lambda p: "child.html?n=2" in p.get("url", ""))
        self.addCleanup(child.close)
        child.evaluate("document.title = '标题已更新'")
        self.wait_caption(handle, "标题已更新")
        self.desktop.screenshot("page-faults-tab-after-self-close.png")

    def test_popups_that_open_popups_stop_at_one_tabs_limit(self):
        client = self.start_client()
        first = self.login_page()
        handle = self.wait_handle()

        def popups():
            return [p for p in devtools_pages()
                    if "depth=1" in p.get("url", "") or "depth=0" in p.get("url", "") or "n=flood-" in p.get("url", "")]

        # Ten popups without a click, each opening ten more, each of those ten
        # more: 1,110 windows unless the chain counts against the first tab.
        first.navigate(self.service.base + "/pages/flood.html?auto=1&n=10&depth=2")
        wait_for(lambda: self.client_log().count("Popup refused") >= 20, 60, what="popups to be refused")
        opened = len(popups())
        # The engine reports the first popups after a navigation as asked for
        # by the user (two, here), and those are never counted.
        self.assertLessEqual(opened, 50 + 5)
        time.sleep(2)
        self.assertEqual(len(popups()), opened)  # nothing more comes
        self.assertIsNone(client.poll())
        self.assertEqual(self.desktop.map_state(handle), "IsViewable")

    def test_a_page_that_keeps_raising_alerts_can_be_stopped_and_its_tab_closed(self):
        client = self.start_client()
        first = self.login_page()
        handle = self.wait_handle()
        first.evaluate("void window.open('/pages/child.html?n=loop')")
        self.wait_caption(handle, "子页面 loop")
        popup = open_devtools(lambda p: "child.html?n=loop" in p.get("url", ""))
        self.addCleanup(popup.close)
        # Taken before the loop starts: its first box may come up at once.
        before = self.windows()
        popup.evaluate("window.shown = 0; setTimeout(function(){ for (var i = 0; i < 1000; i++) "
                       "{ alert('第 ' + (i + 1) + ' 次'); window.shown = i + 1; } }, 0); true")
        # Five alerts, each answered; then the offer to stop the page's boxes,
        # answered 是 (the default button).
        for answered in range(6):
            box = self.new_box(before)
            if answered == 5:
                self.desktop.screenshot("page-faults-stop-boxes.png")
            self.desktop.xdotool("windowactivate", "--sync", box)
            self.desktop.xdotool("key", "Return")
            wait_for(lambda: box not in self.windows(), 10, what="the box to close")
        # The rest of the loop runs without a box, and the tab can be closed.
        wait_for(lambda: popup.evaluate("window.shown") == 1000, 20, what="the loop to end")
        self.assertEqual([w for w in self.windows() - before if self.caption(w) == TITLE], [])
        self.desktop.xdotool("windowactivate", "--sync", handle)
        self.desktop.xdotool("key", "ctrl+w")
        wait_for(lambda: not self.page_with("child.html?n=loop"), 20, what="the tab to close")
        self.assertIsNone(client.poll())

    def test_page_without_charset_reads_as_gb_text(self):
        self.start_client()
        first = self.login_page()
        handle = self.wait_handle()
        url = self.service.base + "/pages/gbk.html"

        # In the first tab...
        first.navigate(url)
        self.assertEqual(first.evaluate("document.getElementById('notice').textContent"), GBK_TEXT)
        self.assertEqual(first.evaluate("document.title"), "旧版公告")

        # ...and in a popup's tab.
        first.evaluate("void window.open('/pages/gbk.html?popup=1')")
        popup = open_devtools(lambda p: "/pages/gbk.html?popup=1" in p.get("url", ""))
        self.addCleanup(popup.close)
        # A new window first holds an empty document that is "complete" too:
        # wait for the page itself.
        wait_for(lambda: popup.evaluate("location.pathname == '/pages/gbk.html' && document.readyState") == "complete",
                 20, what="the popup's page")
        self.assertEqual(popup.evaluate("document.getElementById('notice').textContent"), GBK_TEXT)
        self.assertEqual(popup.evaluate("document.title"), "旧版公告")
        self.wait_caption(handle, "旧版公告")
        self.desktop.screenshot("page-faults-gb-page.png")


if __name__ == "__main__":
    unittest.main()

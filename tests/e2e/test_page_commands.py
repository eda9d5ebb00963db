"""Page dialogs and commands, relogin, cache reset, the context menu, image
saving and downloads, with the real engine."""

import os
import time
import unittest

from harness import ClientTestCase, devtools_pages, http_get, wait_for

TITLE = "Velmar房产ERP"


def read_file(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


class PageCommands(ClientTestCase):

    def open_page(self, path):
        self.start_client()
        page = self.login_page()
        page.navigate(self.service.base + path)
        return page

    def windows(self):
        """(id, title) of the client's visible windows, the main window left out."""
        found = []
        for window in self.desktop.xdotool("search", "--onlyvisible", "--class", "VelmarERP").stdout.split():
            title = self.desktop.window_title(window)
            if not title.startswith(TITLE + " - "):
                found.append((window, title))
        return found

    def box(self, before):
        """The client's window that came up after the snapshot before, and its title."""
        known = {w for w, _ in before}
        return wait_for(lambda: next(((w, t) for w, t in self.windows() if w not in known), None), 20,
                        what="a new window (have %r)" % (self.windows(),))

    def press(self, window, key):
        self.desktop.xdotool("windowactivate", "--sync", window)
        self.desktop.xdotool("key", key)

    def reports(self, kind):
        return [e["query"] for e in self.service.log() if e["path"] == "/api/report" and "kind=" + kind in e["query"]]

    def logins(self):
        return [e for e in self.service.log() if e["path"] == "/" and e["query"].startswith("ComputerName=")]

    def later(self, page, call):
        # The dialog blocks the page's script: start it after the evaluation returns.
        page.evaluate("setTimeout(function(){ %s; }, 0); true" % call)

    def answer(self, box, key):
        """Presses key in the box and waits until the box is gone."""
        self.press(box, key)
        wait_for(lambda: box not in [w for w, _ in self.windows()], 20, what="the box to close")

    def test_ordinary_dialogs_are_the_shells_boxes(self):
        page = self.open_page("/pages/dialogs.html")

        before = self.windows()
        self.later(page, "doAlert('普通提示')")
        box, title = self.box(before)
        self.assertEqual(title, TITLE)
        self.desktop.screenshot("page-commands-alert.png")
        self.answer(box, "Return")
        wait_for(lambda: self.reports("alert"), 20, what="the page going on after the alert")
        self.assertIn("value=after", self.reports("alert")[0])

        before = self.windows()
        self.later(page, "doConfirm('确定吗？')")
        self.answer(self.box(before)[0], "Return")  # Yes
        wait_for(lambda: len(self.reports("confirm")) == 1, 20, what="the confirm answered Yes")
        before = self.windows()
        self.later(page, "doConfirm('确定吗？')")
        self.answer(self.box(before)[0], "Escape")  # No
        wait_for(lambda: len(self.reports("confirm")) == 2, 20, what="the confirm answered No")
        self.assertEqual([q.split("value=")[1] for q in self.reports("confirm")], ["true", "false"])

        before = self.windows()
        self.later(page, "doPrompt('请输入')")
        box, title = self.box(before)
        self.assertEqual(title, TITLE)
        self.answer(box, "Return")
        wait_for(lambda: self.reports("prompt"), 20, what="the prompt's answer")
        self.assertIn("value=null", self.reports("prompt")[0])

    def test_links_to_other_programs_ask_after_a_click_only(self):
        self.start_client()
        page = self.login_page()
        handle = self.wait_handle()
        page.navigate(self.service.base + "/pages/dialogs.html")
        page.evaluate("document.body.insertAdjacentHTML('afterbegin', '<a id=\"mail\" href=\"mailto:sales@example.com\" "
                      "style=\"display:block;font-size:40px\">邮件</a>'); true")
        # From script alone: nothing asked, nothing opened.
        before = self.windows()
        page.evaluate("setTimeout(function(){ location.href = 'weixin://dl/chat'; }, 0); true", gesture=False)
        time.sleep(2)
        self.assertEqual(self.windows(), before)
        # The user's own key on the link: the question, No by default
        # (Escape), and the page stays.
        page.evaluate("document.getElementById('mail').focus(); true")
        self.press(handle, "Return")
        box, title = self.box(before)
        self.assertEqual(title, TITLE)
        self.desktop.screenshot("page-commands-external-link.png")
        self.answer(box, "Escape")
        self.assertTrue(page.evaluate("location.href").endswith("/pages/dialogs.html"))
        self.assertIsNone(self.clients[0].poll())

    def test_relogin_asks_and_a_new_instance_logs_in_again(self):
        page = self.open_page("/pages/dialogs.html")
        first = self.clients[0]
        self.assertEqual(len(self.logins()), 1)
        before = self.windows()
        self.later(page, "doAlert('NERITH:RELOGIN:')")
        box, title = self.box(before)
        self.assertEqual(title, TITLE)
        self.desktop.screenshot("page-commands-relogin-question.png")
        self.press(box, "Return")  # Yes
        first.wait(timeout=30)
        wait_for(lambda: len(self.logins()) == 2, 60, what="the second login")
        successors = wait_for(lambda: self.client_pids(), 30, what="the new instance")
        self.assertNotIn(first.pid, successors)
        # It is the main instance: its window came up and loaded the login page.
        self.wait_handle()
        # Started with the user's environment, not the engine's switches of
        # the instance before it.
        with open("/proc/%d/environ" % successors[0], "rb") as f:
            names = [entry.split(b"=", 1)[0] for entry in f.read().split(b"\0")]
        self.assertFalse([n for n in names if n.startswith(b"QTWEBENGINE_")], names)

    def test_commands_from_another_origin_are_ordinary_boxes(self):
        # localhost is another origin than the service's 127.0.0.1.
        other = self.service.base.replace("127.0.0.1", "localhost")
        self.assertNotEqual(other, self.service.base)
        page = self.open_page("/pages/dialogs.html")
        page.navigate(other + "/pages/dialogs.html")
        marker = os.path.join(self.program, "cache", "marker")
        with open(marker, "w") as f:
            f.write("x")
        for text in ("NERITH:CLEAR_CACHE:x", "NERITH:RELOGIN:"):
            before = self.windows()
            self.later(page, "doAlert('%s')" % text)
            box, title = self.box(before)
            self.assertEqual(title, TITLE)
            self.answer(box, "Return")
        self.assertIsNone(self.clients[0].poll())
        self.assertTrue(os.path.exists(marker))
        self.assertEqual(len(self.logins()), 1)

    def test_clear_cache_empties_the_cache_keeps_the_cookie_and_restarts(self):
        self.start_client()
        page = self.login_page()
        self.sign_in(page, "缓存测试")
        page.navigate(self.service.base + "/pages/dialogs.html")
        first = self.clients[0]
        cookie = page.evaluate("document.cookie")
        self.assertIn("velmar_session=", cookie)
        cache = os.path.join(self.program, "cache")
        os.makedirs(os.path.join(cache, "extra", "deeper"), exist_ok=True)
        for name in ("marker", os.path.join("extra", "deeper", "marker")):
            with open(os.path.join(cache, name), "w") as f:
                f.write("x")
        self.later(page, "doAlert('NERITH:CLEAR_CACHE:x')")
        first.wait(timeout=30)
        wait_for(lambda: len(self.logins()) == 2, 60, what="the login of the new instance")
        self.assertFalse(os.path.exists(os.path.join(cache, "marker")))
        self.assertFalse(os.path.exists(os.path.join(cache, "extra", "deeper", "marker")))
        self.assertTrue(os.path.isdir(os.path.join(cache, "extra", "deeper")))
        self.assertTrue(os.path.exists(os.path.join(cache, "Cookies")))
        self.assertFalse(os.path.exists(os.path.join(self.program, "Cookies")))
        self.assertFalse(os.path.exists(os.path.join(self.program, "CookieChanges")))  # put back once
        second = self.logins()[1]
        sent = [v for n, v in second["headers"] if n.lower() == "cookie"]
        self.assertEqual(sent, [cookie], second["headers"])
        # The service still knows the session: the login page greets the user.
        page = self.login_page()
        self.assertEqual(page.evaluate("document.getElementById('signed-in').textContent"), "缓存测试")

    def save_through_dialog(self, path):
        dialog = wait_for(lambda: next((w for w, t in self.windows() if "另存为" in t), None), 20,
                          what="the save dialog")
        self.desktop.screenshot("page-commands-save-dialog.png")
        self.desktop.xdotool("windowactivate", "--sync", dialog)
        self.desktop.xdotool("key", "ctrl+a")
        self.desktop.xdotool("type", "--delay", "20", path)
        self.desktop.xdotool("key", "Return")

    def test_image_menu_and_saving_and_downloads(self):
        page = self.open_page("/pages/images.html")
        wait_for(lambda: page.evaluate("document.getElementById('img-png').complete"), 20, what="the image")
        box = page.evaluate("(function(){var r=document.getElementById('img-png').getBoundingClientRect();"
                            "return [r.left + r.width / 2, r.top + r.height / 2];})()")
        for kind in ("mousePressed", "mouseReleased"):
            page.call("Input.dispatchMouseEvent", type=kind, x=box[0], y=box[1], button="right", clickCount=1)
        wait_for(lambda: self.windows(), 20, what="the menu")
        self.desktop.screenshot("page-commands-image-menu.png")
        self.desktop.xdotool("key", "Up", "Return")  # the last entry: 图片另存为...
        target = os.path.join(self.work, "saved-photo.png")
        self.save_through_dialog(target)
        expected = http_get(self.service.base + "/img/photo.png")[1]
        wait_for(lambda: read_file(target) == expected, 30,
                 what="the saved image")

        download = os.path.join(self.work, "report-saved.csv")
        page.click("#download")
        self.save_through_dialog(download)
        wait_for(lambda: read_file(download) == "编号,名称\n1,样例\n".encode(),
                 30, what="the downloaded file")


if __name__ == "__main__":
    unittest.main()

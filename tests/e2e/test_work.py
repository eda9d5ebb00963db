"""No typed work lost, with the real engine: a page with unsaved input is
asked before its tab closes."""

import os
import time
import unittest

from harness import ClientTestCase, devtools_pages, open_devtools, wait_for

class UnsavedInput(ClientTestCase):

    def open_form_tab(self, first):
        first.evaluate("void window.open('/pages/draft.html')")
        form = open_devtools(lambda p: "/pages/draft.html" in p.get("url", ""))
        self.addCleanup(form.close)
        wait_for(lambda: form.evaluate("location.pathname == '/pages/draft.html' && document.readyState == 'complete'"),
                 20, what="the draft page")
        # Typed by the user: a page asks before leaving only after the user used it.
        form.click("#draft")
        form.call("Input.insertText", text="甲方：张三")
        self.assertEqual(form.evaluate("document.getElementById('draft').value"), "甲方：张三")
        return form

    def form_is_open(self):
        return any("/pages/draft.html" in p.get("url", "") for p in devtools_pages())

    def question(self, baseline):
        return wait_for(lambda: next(iter(self.desktop.program_windows(tooltips=False) - baseline), None), 20,
                        what="the page's leave question")

    def test_ctrl_w_and_the_close_button_ask_and_staying_keeps_the_page_and_its_input(self):
        self.start_client()
        first = self.login_page()
        handle = self.wait_handle()
        form = self.open_form_tab(first)
        baseline = self.desktop.program_windows(tooltips=False)

        self.desktop.keys(handle, "ctrl+w")
        box = self.question(baseline)
        self.desktop.screenshot("work-leave-question.png")
        self.desktop.keys(box, "Escape")  # stay
        wait_for(lambda: box not in self.desktop.program_windows(), 10, what="the question to close")
        time.sleep(1)
        self.assertTrue(self.form_is_open())
        self.assertEqual(form.evaluate("document.getElementById('draft').value"), "甲方：张三")

        # The second tab's close button (tabs are 178 pixels wide, the button
        # 12 pixels square near the tab's right end).
        # The user writes on (the engine asks again only after the page was
        # used again, as browsers do), then clicks the tab's close button.
        form.click("#draft")
        form.call("Input.insertText", text="，乙方：李四")
        self.desktop.xdotool("mousemove", "--window", handle, 2 * 178 - 14, 12, "click", 1)
        box = self.question(baseline)
        self.desktop.keys(box, "Return")  # leave
        wait_for(lambda: not self.form_is_open(), 20, what="the tab to close")

    def test_the_trays_exit_asks_the_page_and_staying_keeps_the_program(self):
        self.start_client()
        first = self.login_page()
        self.wait_handle()
        form = self.open_form_tab(first)
        proc = self.clients[-1]

        def exit_and_answer_the_pages_question(key):
            baseline = self.desktop.program_windows(tooltips=False)
            self.choose_tray_exit()
            exit_box = self.question(baseline)  # "确定要退出吗？"
            self.desktop.keys(exit_box, "Return")
            wait_for(lambda: exit_box not in self.desktop.program_windows(), 10, what="the exit question to close")
            page_box = self.question(baseline)
            self.desktop.screenshot("work-exit-leave-question.png")
            self.desktop.keys(page_box, key)

        exit_and_answer_the_pages_question("Escape")  # stay
        time.sleep(1.5)
        self.assertIsNone(proc.poll())
        self.assertEqual(form.evaluate("document.getElementById('draft').value"), "甲方：张三")

        form.click("#draft")
        form.call("Input.insertText", text="。")
        exit_and_answer_the_pages_question("Return")  # leave
        wait_for(lambda: proc.poll() is not None, 30, what="the client to end")

    def test_ctrl_shift_t_brings_back_the_closed_tab_with_its_history(self):
        self.start_client()
        first = self.login_page()
        handle = self.wait_handle()
        first.evaluate("void window.open('/pages/find.html')")
        tab = open_devtools(lambda p: "/pages/find.html" in p.get("url", ""))
        self.addCleanup(tab.close)
        wait_for(lambda: tab.evaluate("location.pathname == '/pages/find.html' && document.readyState == 'complete'"),
                 20, what="the first page of the tab")
        tab.navigate(self.service.base + "/pages/keys.html")
        self.desktop.keys(handle, "ctrl+w")
        wait_for(lambda: not any("/pages/keys.html" in p.get("url", "") for p in devtools_pages()), 20,
                 what="the tab to close")

        self.desktop.keys(handle, "ctrl+shift+t")
        back = open_devtools(lambda p: "/pages/keys.html" in p.get("url", ""))
        self.addCleanup(back.close)
        wait_for(lambda: back.evaluate("document.readyState") == "complete", 20, what="the reopened page")
        self.assertEqual(back.evaluate("history.length"), 2)
        back.evaluate("history.back(); true")
        wait_for(lambda: back.evaluate("location.pathname") == "/pages/find.html", 20, what="the page before it")

    def test_after_a_kill_the_next_start_offers_the_tabs_once_and_after_a_normal_exit_it_does_not(self):
        self.start_client()
        first = self.login_page()
        first.evaluate("void window.open('/pages/find.html?kept=1')")
        wait_for(lambda: any("kept=1" in p.get("url", "") for p in devtools_pages()), 20, what="the second tab")
        session = os.path.join(self.program, "session.json")
        wait_for(lambda: os.path.exists(session) and "kept=1" in open(session).read(), 10, what="the kept tabs")
        self.kill_clients()

        self.start_client()
        self.login_page()
        wait_for(lambda: "The last run did not end normally: 1 pages to offer" in self.client_log(), 20,
                 what="the offer")
        # The new run's windows are all new: the offer is the one box among them.
        offer = wait_for(lambda: next((w for w in self.desktop.program_windows(tooltips=False)
                                       if "DIALOG" in self.desktop.run(["xprop", "-id", w,
                                                                        "_NET_WM_WINDOW_TYPE"]).stdout), None),
                         20, what="the offer's box")
        self.desktop.screenshot("work-restore-offer.png")
        self.desktop.keys(offer, "Return")  # 是
        wait_for(lambda: any("kept=1" in p.get("url", "") for p in devtools_pages()), 20, what="the reopened tab")

        # A normal exit: the next start offers nothing.
        proc = self.clients[-1]
        baseline = self.desktop.program_windows(tooltips=False)
        self.choose_tray_exit()
        exit_box = self.question(baseline)
        self.desktop.keys(exit_box, "Return")
        wait_for(lambda: proc.poll() is not None, 30, what="the client to end")
        self.assertFalse(os.path.exists(session))
        self.start_client()
        self.login_page()
        time.sleep(3)
        self.assertNotIn("did not end normally", self.client_log())


if __name__ == "__main__":
    unittest.main()

"""What support and IT need, with the real engine: the support log and the
diagnostic report."""

import os
import subprocess
import time
import unittest

from harness import ClientTestCase, devtools_pages, open_devtools, wait_for


class SupportLog(ClientTestCase):

    @staticmethod
    def read(path):
        with open(path, encoding="utf-8") as log:
            return log.read()

    def test_the_log_holds_the_start_the_login_load_and_a_crash_but_no_secrets(self):
        with open(self.config_path, "w") as config:
            config.write("[LOG]\nEnabled=1\nConsoleErrors=1\n")
        self.start_client()
        first = self.login_page()
        log_path = os.path.join(self.program, "logs", "client.log")
        # A user signs in (the service sets its session cookie) and a page
        # reports an error on its console.
        self.sign_in(first, name="王小明")
        cookie = first.evaluate("document.cookie")
        self.assertTrue(cookie)
        first.evaluate("console.error('报表加载失败 password=hunter2')")
        # A page's process crashes.
        first.evaluate("void window.open('/pages/child.html?n=5', '_blank', 'noopener')")
        target = wait_for(lambda: next((p for p in devtools_pages() if "child.html?n=5" in p["url"]), None), 20,
                          what="the second tab")
        child = open_devtools(lambda p: p["id"] == target["id"])
        wait_for(lambda: child.evaluate("location.pathname == '/pages/child.html' && document.readyState")
                 == "complete", 20, what="the second tab's page")
        try:
            child.call("Page.crash")
        except (RuntimeError, OSError):
            pass  # the page goes before it answers
        child.close()
        wait_for(lambda: "Page process of tab" in self.read(log_path), 20, what="the crash in the log")
        # And a load fails (nothing listens there).
        first.evaluate("void window.open('http://127.0.0.1:59999/?ComputerName=LEAK', '_blank')")
        wait_for(lambda: "Page load failed" in self.read(log_path), 30, what="the failed load")
        text = self.read(log_path)
        self.assertIn("Start: VelmarERP 1.0.0.2", text)
        self.assertIn("Page console error", text)
        self.assertIn("报表加载失败 password=…", text)
        self.assertEqual(text.count("报表加载失败"), 1)
        self.assertRegex(text, r"Page process of tab \d+ ended by a crash \(exit status -?\d+\)|"
                               r"Page process of tab \d+ ended (abnormally|killed) \(exit status -?\d+\)")
        self.assertRegex(text, r"Page load failed: http://127\.0\.0\.1:59999/\S* -\d+")
        # Never the secrets: the session cookie, the password, the machine's values.
        self.assertNotIn(cookie.split("=", 1)[1], text)
        self.assertNotIn("hunter2", text)
        self.assertNotIn("ComputerName=", text)
        self.assertNotIn("LEAK", text)
        self.assertEqual(os.stat(log_path).st_mode & 0o077, 0)

        # The report names the log and what the settings are.
        report = subprocess.run([self.executable, "--diagnose"], env=self.client_env(), capture_output=True,
                                text=True, timeout=30)
        self.assertEqual(report.returncode, 0, report.stderr)
        self.assertIn("日志：已开启（%s）" % log_path, report.stdout)
        self.assertRegex(report.stdout, r"浏览器引擎：Chromium \d+\.\d+\.\d+\.\d+（安全补丁 \d+\.\d+\.\d+\.\d+）")
        self.assertIn("管理员策略：无", report.stdout)

    def test_log_file_on_the_command_line(self):
        path = os.path.join(self.work, "support.log")
        with open(os.path.join(self.work, "client-0.log"), "w") as out:
            proc = subprocess.Popen([self.executable, "--log-file", path], cwd=self.program, env=self.client_env(),
                                    stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        self.clients.append(proc)
        self.login_page()
        wait_for(lambda: os.path.exists(path) and "Start: VelmarERP" in self.read(path), 20,
                 what="the log named on the command line")
        self.assertFalse(os.path.exists(os.path.join(self.program, "logs")))


if __name__ == "__main__":
    unittest.main()

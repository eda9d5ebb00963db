"""Typing into pages with the real engine: Chinese through the desktop's
input methods, and a barcode scanner's burst of keys."""

import os
import subprocess
import time
import unittest

from harness import ClientTestCase, open_devtools, wait_for

FCITX5_PROFILE = """[Groups/0]
Name=Default
Default Layout=us
DefaultIM=pinyin

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=pinyin
Layout=

[GroupOrder]
0=Default
"""


# What a scanner sends for one label: 40 characters, shifted and not, then Enter.
SCANNED = "VLM-2026-0042-KX7P9QZ3W8RT5YB2NC6HD4JF1G"


class ChineseInput(ClientTestCase):

    def scan_burst(self, first, handle):
        """Types a label into the demo's scan page as a scanner does (a key
        every 5 ms) and returns what the page recorded."""
        first.evaluate("void window.open('/pages/scan.html')")
        scan = open_devtools(lambda p: "/pages/scan.html" in p.get("url", ""))
        self.addCleanup(scan.close)
        wait_for(lambda: scan.evaluate("location.pathname == '/pages/scan.html' && document.readyState == 'complete'"),
                 20, what="the scan page")
        self.desktop.xdotool("windowactivate", "--sync", handle)
        scan.click("#code")
        wait_for(lambda: scan.evaluate("document.activeElement.id") == "code", 10, what="the scan field's focus")
        self.desktop.xdotool("type", "--delay", "5", SCANNED)
        self.desktop.xdotool("key", "Return")
        wait_for(lambda: scan.evaluate("document.querySelectorAll('#codes li').length") >= 1, 10,
                 what="the scan's Enter (the field holds %r)" % scan.evaluate("document.getElementById('code').value"))
        time.sleep(0.5)
        return scan.evaluate("Array.from(document.querySelectorAll('#codes li'), li => li.textContent)"), \
            scan.evaluate("document.getElementById('code').value")

    def focus_name_field(self, page, handle):
        """The login form's name field, focused as a user's click would."""
        page.evaluate("document.getElementById('name').value = ''")
        self.desktop.xdotool("windowactivate", "--sync", handle)
        page.click("#name")
        wait_for(lambda: page.evaluate("document.activeElement && document.activeElement.id") == "name", 10,
                 what="the name field to have the focus")

    def test_fcitx5_pinyin_types_chinese_into_a_page(self):
        env = self.start_session_bus()
        config = os.path.join(self.home, ".config", "fcitx5")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "profile"), "w") as profile:
            profile.write(FCITX5_PROFILE)
        env.update(DISPLAY=self.desktop.display, XDG_CONFIG_HOME=os.path.join(self.home, ".config"))
        with open(os.path.join(self.work, "fcitx5.log"), "w") as log:
            fcitx = subprocess.Popen(["fcitx5", "--verbose=*=2"], env=env, stdout=log, stderr=subprocess.STDOUT)
        self.addCleanup(lambda: (fcitx.terminate(), fcitx.wait(timeout=10)))
        remote = lambda *a: subprocess.run(["fcitx5-remote"] + list(a), env=env, capture_output=True, text=True,
                                           timeout=10)
        wait_for(lambda: remote().stdout.strip() in ("0", "1", "2"), 20, what="fcitx5 on the session bus")

        # The desktop names no module for the toolkit (QT_IM_MODULE unset):
        # the client finds the running fcitx5 itself, and says so.
        report = subprocess.run([self.executable, "--diagnose"], env=self.client_env(
            DBUS_SESSION_BUS_ADDRESS=env["DBUS_SESSION_BUS_ADDRESS"]), capture_output=True, text=True, timeout=30)
        self.assertEqual(report.returncode, 0, report.stderr)
        self.assertIn("输入法模块：fcitx（环境未指定，按正在运行的输入法选用）", report.stdout)
        self.assertIn("输入法插件：已安装（", report.stdout)
        self.assertIn("libfcitx5platforminputcontextplugin.so）", report.stdout)
        self.assertIn("正在运行的输入法程序：fcitx5", report.stdout)
        self.assertFalse(os.path.exists(self.config_path))  # the report writes nothing
        self.start_client(DBUS_SESSION_BUS_ADDRESS=env["DBUS_SESSION_BUS_ADDRESS"])
        page = self.login_page()
        handle = self.wait_handle()
        self.focus_name_field(page, handle)
        wait_for(lambda: remote("-o").returncode == 0 and remote().stdout.strip() == "2", 10,
                 what="pinyin to be active in the field")
        self.desktop.xdotool("type", "--delay", "60", "nihao")
        time.sleep(0.5)
        self.desktop.screenshot("input-fcitx5-candidates.png")
        self.desktop.xdotool("key", "space")
        wait_for(lambda: page.evaluate("document.getElementById('name').value") == "你好", 10,
                 what="你好 in the field (it holds %r)" % page.evaluate("document.getElementById('name').value"))

        # The input method switched off, as for a scanner's labels: every key
        # still passes through it, and none may be lost or overtaken.
        remote("-c")
        self.assertEqual(self.scan_burst(page, handle), ([SCANNED], ""))

    def test_a_scanners_burst_arrives_whole_without_an_input_method(self):
        self.start_client()
        page = self.login_page()
        self.assertEqual(self.scan_burst(page, self.wait_handle()), ([SCANNED], ""))

    def test_ibus_pinyin_types_chinese_into_a_page(self):
        env = self.start_session_bus()
        env.update(DISPLAY=self.desktop.display, XDG_CONFIG_HOME=os.path.join(self.home, ".config"))
        with open(os.path.join(self.work, "ibus.log"), "w") as log:
            daemon = subprocess.Popen(["ibus-daemon", "--panel=disable", "--verbose"], env=env, stdout=log,
                                      stderr=subprocess.STDOUT)
        self.addCleanup(lambda: (daemon.terminate(), daemon.wait(timeout=10)))
        ibus = lambda *a: subprocess.run(["ibus"] + list(a), env=env, capture_output=True, text=True, timeout=10)
        # (Setting the engine exits with 1 even when it worked: ask which is set.)
        wait_for(lambda: ibus("engine", "libpinyin") and ibus("engine").stdout.strip() == "libpinyin", 30,
                 what="IBus with its pinyin engine")

        self.start_client(QT_IM_MODULE="ibus", DBUS_SESSION_BUS_ADDRESS=env["DBUS_SESSION_BUS_ADDRESS"])
        page = self.login_page()
        handle = self.wait_handle()
        self.focus_name_field(page, handle)
        time.sleep(1)
        self.desktop.xdotool("type", "--delay", "60", "nihao")
        time.sleep(0.5)
        self.desktop.screenshot("input-ibus-candidates.png")
        self.desktop.xdotool("key", "space")
        wait_for(lambda: page.evaluate("document.getElementById('name').value") == "你好", 10,
                 what="你好 in the field (it holds %r)" % page.evaluate("document.getElementById('name').value"))


if __name__ == "__main__":
    unittest.main()

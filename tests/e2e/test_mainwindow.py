"""The main window with the tray: closing hides, the tray brings it back, the
exit asks first and saves the placement."""

import time
import unittest

from harness import ClientTestCase, read_ini, tray_icon_center, until, wait_for


class MainWindow(ClientTestCase):

    def test_close_hides_tray_shows_and_exit_asks_and_saves(self):
        client = self.start_client()
        handle = self.wait_handle()
        wait_for(lambda: self.desktop.map_state(handle) == "IsViewable", 20, what="the main window")
        wait_for(lambda: tray_icon_center(self.desktop), 20, what="the tray icon")
        # The program's icon, every size of it, for the task bar and the window switcher.
        icon = self.desktop.run(["xprop", "-id", str(handle), "-notype", "_NET_WM_ICON"]).stdout
        self.assertIn("128x128", icon.replace(" ", ""))
        self.assertIn("16x16", icon.replace(" ", ""))

        self.hide_window(handle)
        self.assertIsNone(client.poll())
        self.assertTrue(tray_icon_center(self.desktop))
        self.assertIn("STATE", read_ini(self.config_path).get("WIN", {}))  # written by the hiding close

        self.show_from_tray(handle)

        with open(self.config_path, "w") as config:  # the exit must write the placement again
            config.write("[SYSTEM]\nHANDLE=%d\n" % handle)
        known = self.desktop.program_windows(tooltips=False)  # the main window and the tray icon's own
        question = until(
            lambda: known.add(self.choose_tray_exit()),
            lambda: sorted(self.desktop.program_windows(tooltips=False) - known), 10, "the exit question")
        self.desktop.screenshot("mainwindow-exit-question.png")

        def answer_yes():
            # 是 is clicked, as a user would: on this test desktop a key sent
            # to the box after the tray menu's click is now and then dropped,
            # while the pointer always reaches it.
            time.sleep(0.5)
            left, top, width, height = self.desktop.geometry(question[0])
            self.desktop.xdotool("mousemove", left + width * 27 // 100, top + height - 24, "click", "1")
        until(answer_yes, lambda: client.poll() is not None, 10, "the program to end")
        self.assertEqual(client.wait(timeout=20), 0)
        placement = read_ini(self.config_path).get("WIN", {})
        self.assertEqual(sorted(placement), ["BOTTOM", "LEFT", "RIGHT", "STATE", "TOP"])
        self.assertEqual(placement["STATE"], "2")  # first start: maximised


if __name__ == "__main__":
    unittest.main()

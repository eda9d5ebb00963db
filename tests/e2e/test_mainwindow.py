"""The main window with the tray: closing hides, the tray brings it back, the
exit asks first and saves the placement."""

import unittest

from harness import ClientTestCase, read_ini, tray_icon_center, wait_for


class MainWindow(ClientTestCase):

    def test_close_hides_tray_shows_and_exit_asks_and_saves(self):
        client = self.start_client()
        handle = self.wait_handle()
        wait_for(lambda: self.desktop.map_state(handle) == "IsViewable", 20, what="the main window")
        icon = wait_for(lambda: tray_icon_center(self.desktop), 20, what="the tray icon")

        self.desktop.xdotool("windowactivate", "--sync", handle)
        self.desktop.xdotool("key", "--window", handle, "alt+F4")
        wait_for(lambda: self.desktop.map_state(handle) == "IsUnMapped", 10, what="the window to hide")
        self.assertIsNone(client.poll())
        self.assertTrue(tray_icon_center(self.desktop))
        self.assertIn("STATE", read_ini(self.config_path).get("WIN", {}))  # written by the hiding close

        self.desktop.xdotool("mousemove", icon[0], icon[1], "click", "1")
        wait_for(lambda: self.desktop.map_state(handle) == "IsViewable", 10, what="the tray to show the window")

        with open(self.config_path, "w") as config:  # the exit must write the placement again
            config.write("[SYSTEM]\nHANDLE=%d\n" % handle)
        self.desktop.xdotool("mousemove", icon[0], icon[1], "click", "3")
        wait_for(lambda: self.desktop.xdotool("search", "--onlyvisible", "--class", "VelmarERP").stdout.count("\n") > 1,
                 10, what="the tray menu")
        self.desktop.xdotool("key", "Up", "Return")  # the last entry: "退出"
        question = wait_for(
            lambda: [w for w in self.desktop.xdotool("search", "--onlyvisible", "--name", "Velmar").stdout.split()
                     if int(w) != handle], 10, what="the exit question")
        self.desktop.screenshot("mainwindow-exit-question.png")
        self.desktop.xdotool("windowactivate", "--sync", question[0])
        self.desktop.xdotool("key", "Return")  # Yes is the default answer
        self.assertEqual(client.wait(timeout=20), 0)
        placement = read_ini(self.config_path).get("WIN", {})
        self.assertEqual(sorted(placement), ["BOTTOM", "LEFT", "RIGHT", "STATE", "TOP"])
        self.assertEqual(placement["STATE"], "2")  # first start: maximised


if __name__ == "__main__":
    unittest.main()

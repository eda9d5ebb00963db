"""A window saved in the normal state comes back at its saved outer rectangle,
start after start, under a window manager that adds a frame."""

import os
import signal
import unittest

from harness import ClientTestCase, read_ini, wait_for

SAVED = {"LEFT": "100", "TOP": "80", "RIGHT": "900", "BOTTOM": "680", "STATE": "0"}


class Placement(ClientTestCase):

    def frame_extents(self, window):
        """(left, right, top, bottom) of the window manager's frame, or None."""
        out = self.desktop.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"]).stdout
        if "=" not in out:
            return None
        values = [int(v) for v in out.split("=", 1)[1].replace(" ", "").split(",") if v]
        return tuple(values) if len(values) == 4 else None

    def outer_rectangle(self, window):
        """(left, top, right, bottom) of the window with its frame, as on screen."""
        info = {}
        for line in self.desktop.run(["xwininfo", "-id", str(window)]).stdout.splitlines():
            if ":" in line:
                key, value = line.split(":", 1)
                info[key.strip()] = value.strip()
        extents = self.frame_extents(window)
        if extents is None or "Width" not in info:
            return None
        left, right, top, bottom = extents
        x, y = int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"])
        width, height = int(info["Width"]), int(info["Height"])
        return (x - left, y - top, x + width + right, y + height + bottom)

    def run_once(self, expected):
        """Starts the client, waits until it shows the saved rectangle, hides it
        (which saves the placement) and ends it. Returns the saved "WIN"."""
        client = self.start_client()
        handle = self.wait_handle()
        wait_for(lambda: self.desktop.map_state(handle) == "IsViewable", 60, what="the main window")
        wait_for(lambda: self.frame_extents(handle), 60, what="the window manager's frame")
        try:
            wait_for(lambda: self.outer_rectangle(handle) == expected, 10, what="the saved rectangle on screen")
        except AssertionError:
            self.fail("on screen %r, saved %r" % (self.outer_rectangle(handle), expected))
        # The hiding close must write the placement anew.
        with open(self.config_path, "w") as config:
            config.write("[SYSTEM]\nHANDLE=%d\n" % handle)
        self.hide_window(handle)
        placement = wait_for(lambda: read_ini(self.config_path).get("WIN"), 10, what="the placement to be saved")
        os.killpg(client.pid, signal.SIGKILL)
        client.wait(timeout=10)
        wait_for(lambda: not self.client_pids(), 10, what="the client to end")
        return placement

    def test_normal_state_comes_back_at_its_outer_rectangle(self):
        with open(self.config_path, "w") as config:
            config.write("[WIN]\n" + "".join("%s=%s\n" % item for item in SAVED.items()))
        expected = (100, 80, 900, 680)
        written = [self.run_once(expected) for _ in range(3)]
        self.assertEqual(written[0], SAVED)
        self.assertEqual(written[1], written[0])
        self.assertEqual(written[2], written[0])


if __name__ == "__main__":
    unittest.main()

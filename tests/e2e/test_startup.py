"""Start-up, engine start options and the one-instance rule, with the real client."""

import os
import signal
import socket
import subprocess
import time
import unittest

from harness import ClientTestCase, DEVTOOLS, http_get, wait_for


def listening_addresses(port):
    """Local addresses with a listening TCP socket on port, from /proc."""
    found = []
    for table, width in (("/proc/net/tcp", 8), ("/proc/net/tcp6", 32)):
        try:
            lines = open(table).read().splitlines()[1:]
        except OSError:
            continue
        for line in lines:
            fields = line.split()
            address, port_hex = fields[1].split(":")
            if fields[3] == "0A" and int(port_hex, 16) == port:
                found.append(address if len(address) == width else "?" + address)
    return found


def own_addresses():
    out = subprocess.run(["hostname", "-I"], capture_output=True, text=True).stdout.split()
    return [a for a in out if ":" not in a and not a.startswith("127.")]


class StartUp(ClientTestCase):

    def test_first_start_writes_its_handle_and_debugs_on_loopback_only(self):
        client = self.start_client()
        handle = self.wait_handle()
        wait_for(lambda: self.desktop.map_state(handle) == "IsViewable", 20, what="the main window")
        version = self.wait_devtools()
        self.assertIn("QtWebEngine", version.get("User-Agent", ""))
        self.assertTrue(os.path.isdir(os.path.join(self.program, "cache")))

        addresses = listening_addresses(9000)
        self.assertTrue(addresses)
        loopback = {"0100007F", "00000000000000000000000001000000"}
        self.assertTrue(set(addresses) <= loopback, addresses)
        for address in own_addresses():
            with self.assertRaises(OSError):
                socket.create_connection((address, 9000), timeout=2).close()
        self.assertIsNone(client.poll())
        self.desktop.screenshot("startup-first-window.png")

    def test_second_start_hands_over_and_brings_the_window_back(self):
        self.start_client()
        handle = self.wait_handle()
        self.wait_devtools()
        self.desktop.xdotool("windowminimize", handle)
        wait_for(lambda: self.desktop.map_state(handle) == "IsUnMapped", 10, what="the window to go away")

        started = time.monotonic()
        second = self.start_client()
        self.assertEqual(second.wait(timeout=20), 0)
        self.assertLess(time.monotonic() - started, 20)
        wait_for(lambda: self.desktop.map_state(handle) == "IsViewable", 10, what="the first window to come back")
        self.assertEqual(len(self.client_pids()), 1)
        # A window that comes back from minimised comes back maximised.
        geometry = self.desktop.xdotool("getwindowgeometry", handle).stdout
        self.assertIn("1280x", geometry.replace(" ", ""))

        # Hidden to the tray by a close, it comes back the same way.
        self.desktop.keys(handle, "alt+F4")
        wait_for(lambda: self.desktop.map_state(handle) == "IsUnMapped", 10, what="the window to hide")
        self.assertEqual(self.start_client().wait(timeout=20), 0)
        wait_for(lambda: self.desktop.map_state(handle) == "IsViewable", 10, what="the hidden window to come back")
        self.assertEqual(len(self.client_pids()), 1)

    def test_second_start_with_a_stale_or_missing_handle_still_exits_zero(self):
        self.start_client()
        handle = self.wait_handle()
        wait_for(lambda: self.desktop.map_state(handle) == "IsViewable", 20, what="the main window")
        for text in ("[SYSTEM]\nHANDLE=0\n", "[SYSTEM]\nHANDLE=-4\n", "[SYSTEM]\nHANDLE=12345\n", ""):
            with open(self.config_path, "w") as config:
                config.write(text)
            self.assertEqual(self.start_client().wait(timeout=20), 0, text)
        self.assertEqual(len(self.client_pids()), 1)
        self.assertEqual(self.desktop.map_state(handle), "IsViewable")

    def test_killed_instance_leaves_no_lock_behind(self):
        first = self.start_client()
        handle = self.wait_handle()
        self.wait_devtools()
        os.killpg(first.pid, signal.SIGKILL)
        first.wait(timeout=10)
        wait_for(lambda: not self.client_pids(), 10, what="the killed client to be gone")

        os.remove(self.config_path)  # the X server may hand out the same window id again
        successor = self.start_client()
        new_handle = self.wait_handle()
        self.wait_devtools()
        wait_for(lambda: self.desktop.map_state(new_handle) == "IsViewable", 20, what="the successor's window")
        self.assertIsNone(successor.poll())

    def test_two_starts_at_once_end_with_one_main_instance(self):
        starts = [self.start_client(), self.start_client()]
        handle = self.wait_handle()
        exited = wait_for(lambda: [p for p in starts if p.poll() is not None], 30, what="one start to hand over")
        self.assertEqual([p.returncode for p in exited], [0])
        time.sleep(1)
        self.assertEqual(len(self.client_pids()), 1)
        wait_for(lambda: self.desktop.map_state(handle) == "IsViewable", 20, what="the main window")

    def test_engine_that_cannot_start_says_so_and_exits_non_zero(self):
        client = self.start_client(QTWEBENGINEPROCESS_PATH="/nonexistent/QtWebEngineProcess")
        box = wait_for(lambda: self.desktop.xdotool("search", "--onlyvisible", "--name", "Velmar").stdout.split(),
                       20, what="the error message box")
        self.desktop.screenshot("startup-engine-missing.png")
        self.desktop.keys(box[0], "Return")
        self.assertEqual(client.wait(timeout=20), 1)
        self.assertFalse(os.path.exists(self.config_path))


if __name__ == "__main__":
    unittest.main()

"""The version check: quiet when current or failing, the question when a
different version is published, and the hand-over to the updater on Yes."""

import base64
import json
import os
import shutil
import time
import unittest

from harness import SOURCE_DIR, ClientTestCase, read_ini, wait_for


class Update(ClientTestCase):

    def setUp(self):
        super().setUp()
        # A stand-in that records what the client hands over (the real
        # updater is tried with the installed package).
        shutil.copy2(os.path.join(SOURCE_DIR, "tools", "demo_updater", "Update"), os.path.join(self.program, "Update"))
        self.received = os.path.join(self.program, "update-received.log")

    def manifest_requests(self):
        return [e for e in self.service.log() if e["path"] == "/ver/ver.html"]

    def question_windows(self, handle):
        found = self.desktop.xdotool("search", "--onlyvisible", "--name", "Velmar").stdout.split()
        return [w for w in found if int(w) != handle]

    def test_request_bytes_and_quiet_when_current(self):
        client = self.start_client()
        handle = self.wait_handle()
        request = wait_for(self.manifest_requests, 20, what="the manifest request")[0]
        self.assertEqual(request["method"], "GET")
        self.assertEqual(request["target"], "/ver/ver.html")
        self.assertEqual([name for name, _ in request["headers"]], ["Host", "Accept", "Accept-Encoding", "User-Agent"])
        self.assertEqual(dict(request["headers"])["Host"], self.service.base[len("http://"):])
        time.sleep(2)
        self.assertEqual(self.question_windows(handle), [])
        self.assertIsNone(client.poll())
        # The check brought the transfer library in with it.
        self.assertTrue(self.maps_transfer_library(client.pid))

    def maps_transfer_library(self, pid):
        with open("/proc/%d/maps" % pid) as maps:
            return "libcurl" in maps.read()

    def test_managed_updates_neither_check_nor_load_the_transfer_library(self):
        with open(self.config_path, "w") as config:
            config.write("[UPDATE]\nManaged=1\n")
        client = self.start_client()
        self.wait_handle()
        self.login_page()
        time.sleep(1.5)
        self.assertEqual(self.manifest_requests(), [])
        # Loaded with the first fetch, never at start: it costs every start
        # before the login page is asked for.
        self.assertFalse(self.maps_transfer_library(client.pid))
        self.assertIsNone(client.poll())

    def test_failing_checks_show_nothing(self):
        for mode in ("404", "hang", "malformed", "redirect"):
            with self.subTest(mode=mode):
                self.service.control("/__control/ver", {"mode": mode})
                client = self.start_client()
                handle = self.wait_handle()
                wait_for(self.manifest_requests, 20, what="the manifest request")
                time.sleep(1.5)
                self.assertEqual(self.question_windows(handle), [])
                self.assertIsNone(client.poll())
                self.kill_clients()
                self.clients.clear()
        # No service at all.
        self.service.close()
        client = self.start_client()
        handle = self.wait_handle(settled=False)
        time.sleep(2)
        self.assertEqual(self.question_windows(handle), [])
        self.assertIsNone(client.poll())

    def test_newer_version_asks_no_keeps_running_yes_hands_over(self):
        self.service.control("/__control/ver", {"mode": "newer"})
        client = self.start_client()
        handle = self.wait_handle()
        question = wait_for(lambda: self.question_windows(handle), 20, what="the update question")
        self.desktop.screenshot("update-question.png")
        self.desktop.xdotool("windowactivate", "--sync", question[0])
        self.desktop.xdotool("key", "n")  # 否(N)
        wait_for(lambda: not self.question_windows(handle), 10, what="the question to close")
        time.sleep(1)
        self.assertIsNone(client.poll())
        self.assertFalse(os.path.exists(self.received))
        self.kill_clients()
        self.clients.clear()

        os.remove(self.config_path)
        client = self.start_client()
        handle = self.wait_handle()
        question = wait_for(lambda: self.question_windows(handle), 20, what="the update question")
        self.desktop.xdotool("windowactivate", "--sync", question[0])
        self.desktop.xdotool("key", "Return")  # Yes
        self.assertEqual(client.wait(timeout=20), 0)  # no exit question on the way out
        entry = json.loads(wait_for(lambda: os.path.exists(self.received) and open(self.received).read(), 10,
                                    what="the updater").splitlines()[0])
        self.assertEqual(len(entry["argv"]), 1)
        self.assertEqual(os.path.realpath(entry["cwd"]), os.path.realpath(self.program))
        self.assertEqual(entry["document_text"], '{"ExeName":"VelmarERP","FileName":"update.rar"}')
        self.assertEqual(base64.b64decode(entry["argv"][0]).decode(), entry["document_text"])
        self.assertIn("STATE", read_ini(self.config_path).get("WIN", {}))

    def test_yes_without_an_updater_says_so_and_keeps_running(self):
        os.remove(os.path.join(self.program, "Update"))
        self.service.control("/__control/ver", {"mode": "newer"})
        client = self.start_client()
        handle = self.wait_handle()
        question = wait_for(lambda: self.question_windows(handle), 20, what="the update question")
        self.desktop.xdotool("windowactivate", "--sync", question[0])
        self.desktop.xdotool("key", "Return")  # Yes
        # A second box (the notice) instead of the program closing.
        notice = wait_for(lambda: [w for w in self.question_windows(handle) if w != question[0]], 10,
                          what="the notice")
        self.desktop.screenshot("update-no-updater.png")
        self.assertIsNone(client.poll())
        self.desktop.xdotool("windowactivate", "--sync", notice[0])
        self.desktop.xdotool("key", "Return")
        wait_for(lambda: not self.question_windows(handle), 10, what="the notice to close")
        time.sleep(1)
        self.assertIsNone(client.poll())
        self.assertEqual(self.desktop.map_state(handle), "IsViewable")
        self.assertFalse(os.path.exists(self.received))


if __name__ == "__main__":
    unittest.main()

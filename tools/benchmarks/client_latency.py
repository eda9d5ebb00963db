#!/usr/bin/env python3
"""Benchmarks with the real client under Xvfb (not tests):
- start: from starting the process to the login request reaching the service;
- popup: from a page's window.open to the new tab being the visible one.

Usage: VELMAR_CLIENT=build/bin/VelmarERP tools/benchmarks/client_latency.py [runs]
"""

import os
import statistics
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))

import harness  # noqa: E402

RUNS = int(sys.argv[1]) if len(sys.argv) > 1 else 5
results = {"start": [], "popup": []}


class Latency(harness.ClientTestCase):

    def test_measure(self):
        for _ in range(RUNS):
            started = time.time()
            self.start_client()
            login = harness.wait_for(
                lambda: [e for e in self.service.log() if e["query"].startswith("ComputerName=")], 60,
                what="the login request")[0]
            results["start"].append(login["time"] - started)
            handle = self.wait_handle()
            page = harness.open_devtools(lambda p: p["url"].startswith(self.service.base + "/?ComputerName="))
            for n in range(3):
                title = "子页面 %d - Velmar房产ERP 1.0.0.2" % (100 + n)
                opened = time.time()
                page.evaluate("void window.open('/pages/child.html?n=%d')" % (100 + n))
                harness.wait_for(lambda: self.desktop.window_title(handle) == title, 20, step=0.005,
                                 what="the popup's tab")
                results["popup"].append(time.time() - opened)
            page.close()
            self.kill_clients()
            self.clients.clear()
            os.remove(self.config_path)
            self.service.control("/__log/clear", {})


if __name__ == "__main__":
    outcome = unittest.main(argv=[sys.argv[0]], exit=False).result
    for name, values in results.items():
        if values:
            print("%-6s median %.0f ms, min %.0f ms, max %.0f ms over %d" % (
                name, 1000 * statistics.median(values), 1000 * min(values), 1000 * max(values), len(values)))
    sys.exit(0 if outcome.wasSuccessful() else 1)

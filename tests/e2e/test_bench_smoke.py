"""A short run of the side-by-side benchmarks: the tools work and produce
numbers for both programs (the numbers themselves are not judged here)."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("VELMAR_SOURCE_DIR", os.path.join(HERE, "..", ".."))
CLIENT = os.environ.get("VELMAR_CLIENT", "")
BARE = os.environ.get("VELMAR_BARE_VIEW", "")
MINIMAL = os.environ.get("VELMAR_MINIMAL_VIEW", "")
TAB_STRIP = os.environ.get("VELMAR_TAB_STRIP_BENCHMARK", "")


class BenchSmoke(unittest.TestCase):

    def test_one_short_run_gives_numbers_for_both_sides(self):
        for binary in (CLIENT, BARE, MINIMAL):
            self.assertTrue(binary and os.path.exists(binary), "not built: %r" % binary)
        with tempfile.TemporaryDirectory() as work:
            out = os.path.join(work, "bench.json")
            args = [sys.executable, os.path.join(SOURCE_DIR, "tools", "benchmarks", "side_by_side.py"),
                    "--client", CLIENT, "--bare", BARE, "--minimal", MINIMAL, "--minimal-runs", "1",
                    "--runs", "1", "--popups", "1", "--tabs", "1,2",
                    "--idle-seconds", "1", "--settle", "0.5", "--out", out]
            if TAB_STRIP and os.path.exists(TAB_STRIP):
                args += ["--tab-strip", TAB_STRIP, "--tab-strip-repetitions", "1", "--tab-strip-min-time", "0.01"]
            # The driver takes the machine's e2e lock itself, per pair of runs.
            run = subprocess.run(args, capture_output=True, text=True, timeout=500)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            with open(out) as source:
                report = json.load(source)
        self.assertEqual(report["errors"], [])
        self.assertIn("ComputerName=", report["login_address"])
        rows = {row["key"]: row for row in report["table"]}
        for key in ("start_cold", "start_warm", "start_cold_request", "popup", "memory_rss_1", "memory_rss_2"):
            for side in ("client", "bare"):
                self.assertGreater(rows[key][side]["median"], 0, "%s %s" % (key, side))
            self.assertGreater(rows[key]["ratio"], 0, key)
        for side in ("client", "bare"):
            self.assertGreaterEqual(rows["idle_main_thread"][side]["median"], 0)
            # The whole tree is counted, not just the program's own process:
            # the engine has at least a renderer beside it.
            self.assertGreaterEqual(min(report["samples"]["processes_2"][side]), 2)
        self.assertIn("ratio: client median / bare median", run.stdout)
        # Against the minimal view: both phases of the start and the memory,
        # from the service's log and the process table.
        self.assertIn("ratio: client median / minimal median", run.stdout)
        minimal = {row["key"]: row for row in report["minimal_table"]}
        for key in ("minimal_request", "minimal_first_own", "minimal_request_to_first_own", "minimal_memory_rss_1",
                    "minimal_memory_pss_1"):
            for side in ("client", "minimal"):
                self.assertGreater(minimal[key][side]["median"], 0, "%s %s" % (key, side))
        for side in ("client", "minimal"):
            # The page's own request comes after the login request, never before.
            self.assertEqual(len(report["samples"]["minimal_request"][side]), 1)
            start, own = report["samples"]["minimal_request"][side][0], report["samples"]["minimal_first_own"][side][0]
            self.assertGreater(own, start, side)
        if TAB_STRIP and os.path.exists(TAB_STRIP):
            for tabs in (1, 10, 100, 1000):
                self.assertGreater(rows["tab_strip_%d" % tabs]["client"]["median"], 0)


if __name__ == "__main__":
    unittest.main()

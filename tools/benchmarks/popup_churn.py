#!/usr/bin/env python3
"""Memory over a working day of popups: opens popup tabs from the login page
and lets each page close itself (like an edit form's "保存并关闭"), in
rounds, and prints the RSS of the whole process tree after every round.

    python3 tools/benchmarks/popup_churn.py --client build/bin/VelmarERP [--rounds 6 --per-round 25]

Not part of the tests: the numbers depend on the machine."""

import argparse
import os
import shutil
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import side_by_side  # noqa: E402
from side_by_side import harness  # noqa: E402


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--client", required=True)
    parser.add_argument("--rounds", type=int, default=6)
    parser.add_argument("--per-round", type=int, default=25)
    parser.add_argument("--settle", type=float, default=3.0)
    parser.add_argument("--timeout", type=float, default=60.0)
    args = parser.parse_args(argv)

    work = tempfile.mkdtemp(prefix="velmar-churn-")
    desktop = harness.Desktop(work)
    program = side_by_side.Program("client", args.client, desktop, work)
    rows = []
    try:
        with side_by_side.machine_lock():
            side_by_side.wait_ports_free([9000], 300)
            service = harness.Service(tempfile.mkdtemp(prefix="service-", dir=work))
            try:
                program.fresh_folder()
                program.start(None)
                prefix = service.base + "/?ComputerName="
                login = side_by_side.wait_page(lambda p: p.get("url", "").startswith(prefix), args.timeout,
                                               "the login page")
                opener = harness.DevToolsPage(login["webSocketDebuggerUrl"])
                side_by_side.wait_loaded(opener, args.timeout, painted=True)
                time.sleep(args.settle)
                rows.append((0, side_by_side.tree_memory(program.proc.pid)))
                number = 0
                for round_ in range(1, args.rounds + 1):
                    for _ in range(args.per_round):
                        number += 1
                        url = service.base + "/pages/child.html?n=%d" % number
                        opener.evaluate("window.open('/pages/child.html?n=%d'); true" % number)
                        page_info = side_by_side.wait_page(lambda p: p.get("url") == url, args.timeout, url)
                        page = harness.DevToolsPage(page_info["webSocketDebuggerUrl"])
                        try:
                            side_by_side.wait_loaded(page, args.timeout, painted=True)
                            page.evaluate("setTimeout(function(){ window.close(); }, 0); true")
                        finally:
                            page.close()
                        harness.wait_for(lambda: not any(p.get("url") == url for p in harness.devtools_pages()),
                                         args.timeout, step=0.05, what="the popup to close")
                    time.sleep(args.settle)
                    rows.append((number, side_by_side.tree_memory(program.proc.pid)))
                    print("after %3d popups: %6.0f MiB RSS, %6.0f MiB PSS (main process %4.0f), %d processes, "
                          "RSS each: %s" % (
                              number, rows[-1][1]["rss_kib"] / 1024, rows[-1][1]["pss_kib"] / 1024,
                              rows[-1][1]["root_pss_kib"] / 1024, rows[-1][1]["processes"],
                              " ".join("%.0f" % (side_by_side.status_fields("/proc/%d/status" % pid, {"VmRSS"})
                                                 .get("VmRSS", 0) / 1024)
                                       for pid in side_by_side.process_tree(program.proc.pid))), flush=True)
                opener.close()
            finally:
                program.stop()
                service.close()
    finally:
        desktop.close()
        shutil.rmtree(work, True)
    first, last = rows[0][1]["rss_kib"], rows[-1][1]["rss_kib"]
    print("start %.0f MiB -> end %.0f MiB (%.2fx)" % (first / 1024, last / 1024, last / first))
    return 0


if __name__ == "__main__":
    sys.exit(main())

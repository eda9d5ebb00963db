#!/usr/bin/env python3
"""The client's benchmarks, side by side with two baselines.

The bare engine view (--bare) is built from the client's own engine-start
code and options, so the difference to it is what the shell itself costs.
The minimal view (--minimal) is the simplest client there can be (a
persistent profile, a maximised view, one address) and shares no code with
the client, so the difference to it is the whole cost of the client's start,
engine options included.

Against the bare view, both programs run on the same Xvfb desktop against the same demo service,
alternating (client first in even pairs, bare view first in odd ones), and
each pair holds the machine-wide end-to-end lock only while it runs, since
both use the engine's debugging port and the service's port.

Every time is read the same way on both sides, from inside the engine: the
page's own navigation and paint timing (performance.timeOrigin + entries,
on the wall clock) read through the DevTools endpoint once the page is
done, set against the wall clock at which this script spawned the process
or called window.open. The client writes nothing to stdout, so nothing of
either program is trusted but the engine; the bare view's own stdout events
are kept in the JSON as a cross-check.

Measures:
  start        spawn -> the login page's load event ended (cold and warm profile)
  popup        window.open in the login page -> the new page's load ended and
               its first contentful paint (so it is shown); client: a tab,
               bare view: its own new window
  memory       RSS (and PSS) of the whole process tree with N tabs / N stacked views
  idle         context switches of the main thread over a quiet spell, per second
  tab strip    paint time for 1/10/100/1000 tabs (Google Benchmark, no baseline)

Against the minimal view (cold profiles, alternating pairs as above), only
what the service sees and the process table are used, since the minimal view
has no debugging port and says nothing:
  request      spawn -> the login request reaching the service
  first own    the login request -> the login page's first request of its own
               (its stylesheet, the first thing its parser asks for)
  memory       RSS and PSS of the process tree with the login page, settled
"""

import argparse
import contextlib
import fcntl
import json
import os
import platform
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))
os.environ.setdefault("VELMAR_SOURCE_DIR", SOURCE_DIR)

import harness  # noqa: E402

LOCK_PATH = os.path.join(tempfile.gettempdir(), "velmar-e2e.lock")

TIMING_SCRIPT = """(() => {
  const n = performance.getEntriesByType('navigation')[0];
  const fcp = performance.getEntriesByType('paint').find(e => e.name === 'first-contentful-paint');
  return {origin: performance.timeOrigin, readyState: document.readyState,
          visibility: document.visibilityState,
          requestStart: n ? n.requestStart : 0, responseEnd: n ? n.responseEnd : 0,
          domContentLoaded: n ? n.domContentLoadedEventEnd : 0, load: n ? n.loadEventEnd : 0,
          fcp: fcp ? fcp.startTime : null};
})()"""


def log(text):
    print(text, file=sys.stderr, flush=True)


@contextlib.contextmanager
def machine_lock():
    """The lock every end-to-end test takes: one user of port 9000 at a time."""
    with open(LOCK_PATH, "w") as lock:
        waited = time.monotonic()
        fcntl.flock(lock, fcntl.LOCK_EX)
        if time.monotonic() - waited > 1:
            log("  (waited %.0f s for the machine's e2e lock)" % (time.monotonic() - waited))
        try:
            yield
        finally:
            fcntl.flock(lock, fcntl.LOCK_UN)


def port_busy(port):
    with contextlib.suppress(OSError), socket.create_connection(("127.0.0.1", port), 0.2):
        return True
    return False


def wait_ports_free(ports, timeout):
    """Under the lock the ports should be free; a program left behind by
    someone's killed test may still hold them for a while. Measuring another
    program's engine would be worse than waiting."""
    busy = [p for p in ports if port_busy(p)]
    if busy:
        log("  (ports %s are busy without the lock; waiting)" % busy)
        harness.wait_for(lambda: not any(port_busy(p) for p in ports), timeout, step=0.5,
                         what="ports %s to be free" % busy)


def process_table():
    """{pid: (ppid, session)} of every process."""
    table = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            table[int(entry)] = (int(fields[1]), int(fields[3]))
        except (OSError, IndexError, ValueError):
            pass
    return table


def process_tree(root):
    """root and all its descendants, and whatever else runs in its session."""
    table = process_table()
    tree = {root}
    changed = True
    while changed:
        changed = False
        for pid, (ppid, session) in table.items():
            if pid not in tree and (ppid in tree or session == root):
                tree.add(pid)
                changed = True
    return sorted(p for p in tree if p in table)


def status_fields(path, names):
    values = {}
    try:
        with open(path) as status:
            for line in status:
                key, _, rest = line.partition(":")
                if key in names:
                    values[key] = int(rest.split()[0])
    except OSError:
        pass
    return values


def tree_memory(root):
    """RSS and PSS of the whole tree in KiB, the PSS of the root process alone
    (the rest is the engine's helpers), and how many processes there are."""
    rss = pss = 0
    root_pss = 0
    pids = process_tree(root)
    for pid in pids:
        rss += status_fields("/proc/%d/status" % pid, {"VmRSS"}).get("VmRSS", 0)
        own = status_fields("/proc/%d/smaps_rollup" % pid, {"Pss"}).get("Pss", 0)
        pss += own
        if pid == root:
            root_pss = own
    return {"rss_kib": rss, "pss_kib": pss, "root_pss_kib": root_pss, "processes": len(pids)}


def context_switches(path):
    values = status_fields(path, {"voluntary_ctxt_switches", "nonvoluntary_ctxt_switches"})
    return values.get("voluntary_ctxt_switches", 0) + values.get("nonvoluntary_ctxt_switches", 0)


def thread_switches(pid):
    total = 0
    try:
        tids = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return 0
    for tid in tids:
        total += context_switches("/proc/%d/task/%s/status" % (pid, tid))
    return total


def page_timing(page):
    return page.evaluate(TIMING_SCRIPT, gesture=False)


def wait_page(predicate, timeout, what):
    """The first DevTools page that predicate accepts."""
    return harness.wait_for(lambda: next((p for p in harness.devtools_pages() if predicate(p)), None), timeout,
                            step=0.05, what=what)


def wait_loaded(page, timeout, painted):
    """Page timing once the load event has ended (and, if asked, the page has painted)."""
    def done():
        timing = page_timing(page)
        if not timing or timing["load"] <= 0:
            return None
        if painted and timing["fcp"] is None:
            return None
        return timing
    return harness.wait_for(done, timeout, step=0.05, what="the page's load and paint")


class Program:
    """One of the two programs, copied into a program folder of its own (its
    profile lives there, so a fresh folder is a cold profile)."""

    def __init__(self, kind, binary, desktop, workdir):
        self.kind = kind
        self.binary = os.path.abspath(binary)
        self.desktop = desktop
        self.workdir = workdir
        self.folder = None
        self.proc = None
        self.events = []
        self.spawn_wall = self.spawn_mono = 0.0
        self.serial = 0
        self.extra_args = []
        self.sample_cpu = False
        self.cpu_samples = []
        self.cpu_sampled = threading.Event()

    @property
    def executable(self):
        return os.path.join(self.folder, os.path.basename(self.binary))

    def fresh_folder(self):
        self.serial += 1
        self.folder = os.path.join(self.workdir, "%s-%d" % (self.kind, self.serial))
        for sub in ("", "runtime", "home"):
            os.makedirs(os.path.join(self.folder, sub), mode=0o700)
        shutil.copy2(self.binary, self.executable)

    def start(self, address, stack=False):
        env = dict(os.environ, DISPLAY=self.desktop.display, XDG_RUNTIME_DIR=os.path.join(self.folder, "runtime"),
                   HOME=os.path.join(self.folder, "home"),
                   XDG_CONFIG_HOME=os.path.join(self.folder, "home", ".config"))
        env.pop("QT_QPA_PLATFORM", None)
        args = [self.executable]
        if self.kind == "bare":
            args += self.extra_args + (["--stack"] if stack else []) + [address]
        elif self.kind == "minimal":
            args.append(address)
            # The engine's sandbox cannot start as root; the client turns it
            # off there itself, the minimal view is told as any browser is.
            if os.geteuid() == 0:
                env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
        self.events = []
        self.output = open(os.path.join(self.folder, "output-%d.log" % time.monotonic_ns()), "w")
        self.spawn_wall, self.spawn_mono = time.time(), time.monotonic()
        self.proc = subprocess.Popen(args, cwd=self.folder, env=env, stdout=subprocess.PIPE,
                                     stderr=self.output, start_new_session=True, text=True)
        threading.Thread(target=self._read_events, args=(self.proc,), daemon=True).start()
        self.cpu_samples = []
        self.cpu_sampled = threading.Event()
        if self.sample_cpu:
            threading.Thread(target=self._sample_cpu, args=(self.proc,), daemon=True).start()

    def _sample_cpu(self, proc):
        """(seconds since spawn, CPU seconds of the main thread, of the whole
        process) every 10 ms until the start has been measured."""
        tick = os.sysconf("SC_CLK_TCK")

        def cpu_of(path):
            with open(path) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / tick

        while self.proc is proc and not self.cpu_sampled.is_set():
            try:
                main = cpu_of("/proc/%d/task/%d/stat" % (proc.pid, proc.pid))
                # The process's own stat counts its ended threads too.
                whole = cpu_of("/proc/%d/stat" % proc.pid)
            except (OSError, IndexError, ValueError):
                return
            self.cpu_samples.append((time.time() - self.spawn_wall, main, whole))
            time.sleep(0.01)

    def cpu_between(self, begin, end, which):
        """CPU seconds used between two times since spawn: which 1 is the main
        thread, 2 the whole process."""
        inside = [sample[which] for sample in list(self.cpu_samples) if begin <= sample[0] <= end]
        return inside[-1] - inside[0] if len(inside) > 1 else None

    def _read_events(self, proc):
        for line in proc.stdout:
            parts = line.rstrip("\n").split(" ", 3)
            if len(parts) >= 3 and parts[0].isdigit():
                self.events.append({"t": int(parts[0]) / 1e6, "event": parts[1], "view": int(parts[2]),
                                    "text": parts[3] if len(parts) > 3 else ""})

    def stop(self):
        if not self.proc:
            return
        tree = process_tree(self.proc.pid)
        with contextlib.suppress(OSError):
            os.killpg(self.proc.pid, signal.SIGKILL)
        for pid in tree:
            with contextlib.suppress(OSError):
                os.kill(pid, signal.SIGKILL)
        with contextlib.suppress(subprocess.TimeoutExpired):
            self.proc.wait(timeout=10)
        # The engine's helpers must be gone before the next program takes the port.
        harness.wait_for(lambda: not [p for p in tree if os.path.exists("/proc/%d" % p)
                                      and process_table().get(p) is not None], 15, what="the process tree to end")
        self.output.close()
        self.proc = None

    def event_time(self, event, view=None):
        """Seconds from spawn to the first such stdout event (bare view only)."""
        for e in list(self.events):
            if e["event"] == event and (view is None or e["view"] == view):
                return e["t"] - self.spawn_mono
        return None


class Bench:
    def __init__(self, args):
        self.args = args
        self.work = tempfile.mkdtemp(prefix="velmar-bench-")
        self.desktop = harness.Desktop(self.work)
        self.programs = {"client": Program("client", args.client, self.desktop, self.work)}
        if args.bare:
            self.programs["bare"] = Program("bare", args.bare, self.desktop, self.work)
            self.programs["bare"].extra_args = list(args.bare_arg)
        if args.minimal:
            self.programs["minimal"] = Program("minimal", args.minimal, self.desktop, self.work)
        for program in self.programs.values():
            program.sample_cpu = args.main_thread_cpu
        self.samples = {}
        self.loads = []
        self.errors = []
        self.address = None
        self.service = None

    def close(self):
        for program in self.programs.values():
            with contextlib.suppress(Exception):
                program.stop()
        self.desktop.close()
        shutil.rmtree(self.work, True)

    def add(self, measure, side, value):
        if value is not None:
            self.samples.setdefault(measure, {}).setdefault(side, []).append(value)

    @contextlib.contextmanager
    def session(self):
        """The lock and a fresh demo service, for one pair of runs."""
        with machine_lock():
            wait_ports_free([9000, int(harness.SERVICE_HOST.partition(":")[2] or 80)], 300)
            self.service = harness.Service(tempfile.mkdtemp(prefix="service-", dir=self.work))
            try:
                yield
            finally:
                self.service.close()
                self.service = None

    def login_page(self, program):
        if program.kind == "client":
            prefix = self.service.base + "/?ComputerName="
            return wait_page(lambda p: p.get("url", "").startswith(prefix), self.args.timeout, "the login page")
        return wait_page(lambda p: p.get("url") == self.address, self.args.timeout, "the login page")

    def measure_start(self, program, label):
        """Spawn -> the login page's load event ended, with the phases on the way."""
        description = self.login_page(program)
        page = harness.DevToolsPage(description["webSocketDebuggerUrl"])
        try:
            timing = wait_loaded(page, self.args.timeout, painted=False)
        finally:
            page.close()
        origin = timing["origin"] / 1000.0
        program.cpu_sampled.set()
        side = program.kind
        self.add("start_" + label, side, origin + timing["load"] / 1000.0 - program.spawn_wall)
        self.add("start_%s_navigation" % label, side, origin - program.spawn_wall)
        requests = [e for e in self.service.log() if e["path"] == "/" and e["query"].startswith("ComputerName=")]
        if requests:
            request = requests[0]["time"] - program.spawn_wall
            self.add("start_%s_request" % label, side, request)
            if program.sample_cpu:
                navigation = origin - program.spawn_wall
                self.add("start_%s_cpu_to_navigation" % label, side, program.cpu_between(0, navigation, 1))
                self.add("start_%s_cpu_to_request" % label, side, program.cpu_between(navigation, request, 1))
                self.add("start_%s_process_cpu_to_request" % label, side,
                         program.cpu_between(navigation, request, 2))
        if side == "bare":
            self.add("start_%s_loadfinished_event" % label, side, program.event_time("load-finished", 0))
        else:
            version = [e for e in self.service.log() if e["path"] == "/ver/ver.html"]
            if version:
                self.add("start_%s_version_request" % label, side, version[0]["time"] - program.spawn_wall)
        return description

    def measure_idle(self, program):
        time.sleep(self.args.settle)
        pid = program.proc.pid
        main_before, all_before = context_switches("/proc/%d/task/%d/status" % (pid, pid)), thread_switches(pid)
        time.sleep(self.args.idle_seconds)
        main_after, all_after = context_switches("/proc/%d/task/%d/status" % (pid, pid)), thread_switches(pid)
        self.add("idle_main_thread", program.kind, (main_after - main_before) / self.args.idle_seconds)
        self.add("idle_all_threads", program.kind, (all_after - all_before) / self.args.idle_seconds)

    def open_popup(self, opener, number, timeout):
        """window.open in the opener; the wall time of the call and the new page's description."""
        path = "/pages/child.html?n=%d" % number
        called = opener.evaluate("(() => { const t = performance.timeOrigin + performance.now();"
                                 " window.open(%s); return t; })()" % json.dumps(path))
        url = self.service.base + path
        description = wait_page(lambda p: p.get("url") == url, timeout, "the popup " + path)
        return called / 1000.0, description

    def measure_popups(self, program, login):
        opener = harness.DevToolsPage(login["webSocketDebuggerUrl"])
        try:
            for number in range(1, self.args.popups + 1):
                called, description = self.open_popup(opener, number, self.args.timeout)
                page = harness.DevToolsPage(description["webSocketDebuggerUrl"])
                try:
                    timing = wait_loaded(page, self.args.timeout, painted=True)
                finally:
                    page.close()
                origin = timing["origin"] / 1000.0
                self.add("popup", program.kind, origin + max(timing["load"], timing["fcp"]) / 1000.0 - called)
                self.add("popup_load", program.kind, origin + timing["load"] / 1000.0 - called)
                time.sleep(0.3)
        finally:
            opener.close()

    def measure_memory(self, program, login):
        opener = harness.DevToolsPage(login["webSocketDebuggerUrl"])
        try:
            opened = 1
            for count in self.args.tabs:
                while opened < count:
                    opened += 1
                    called, description = self.open_popup(opener, 100 + opened, self.args.timeout)
                    title = "子页面 %d" % (100 + opened)
                    harness.wait_for(lambda: any(p.get("id") == description["id"] and p.get("title") == title
                                                 for p in harness.devtools_pages()),
                                     self.args.timeout, step=0.05, what="the popup's title")
                time.sleep(self.args.settle)
                memory = tree_memory(program.proc.pid)
                self.add("memory_rss_%d" % count, program.kind, memory["rss_kib"] / 1024.0)
                self.add("memory_pss_%d" % count, program.kind, memory["pss_kib"] / 1024.0)
                self.add("memory_pss_main_%d" % count, program.kind, memory["root_pss_kib"] / 1024.0)
                self.add("processes_%d" % count, program.kind, memory["processes"])
        finally:
            opener.close()

    def run(self, program, label, stack=False):
        """One run of one program; a failed run is recorded and the bench goes on."""
        log("  %s, %s profile" % (program.kind, label))
        try:
            wait_ports_free([9000], 300)
            program.start(self.address, stack=stack)
            login = self.measure_start(program, label)
            if label == "cold":
                self.measure_idle(program)
                self.measure_popups(program, login)
            else:
                self.measure_memory(program, login)
        except Exception as error:  # noqa: BLE001 - one failed run must not lose the others
            self.errors.append("%s %s: %s" % (program.kind, label, error))
            log("    failed: %s" % error)
        finally:
            program.stop()
            self.service.control("/__log/clear", {})

    def learn_address(self):
        """One unmeasured start of each program (it also warms the file cache):
        the client's login address is the one the baselines will load."""
        client = self.programs["client"]
        with self.session():
            client.fresh_folder()
            client.start(None)
            prefix = self.service.base + "/?ComputerName="
            try:
                page = wait_page(lambda p: p.get("url", "").startswith(prefix), self.args.timeout, "the login page")
                self.address = page["url"]
            finally:
                client.stop()
            if "bare" in self.programs:
                bare = self.programs["bare"]
                bare.fresh_folder()
                bare.start(self.address)
                try:
                    wait_page(lambda p: p.get("url") == self.address, self.args.timeout, "the bare view's page")
                finally:
                    bare.stop()
            if "minimal" in self.programs:
                minimal = self.programs["minimal"]
                minimal.fresh_folder()
                minimal.start(self.address)
                try:
                    self.wait_own_requests(minimal)
                finally:
                    minimal.stop()
                    self.service.control("/__log/clear", {})

    def wait_own_requests(self, program):
        """The service's log entries of the login request and of the login
        page's first request of its own, once both have arrived."""
        def found():
            entries = self.service.log()
            request = next((e for e in entries if e["path"] == "/" and e["query"].startswith("ComputerName=")), None)
            own = next((e for e in entries if e["path"] == FIRST_OWN_REQUEST), None)
            return (request, own) if request and own else None
        return harness.wait_for(found, self.args.timeout, step=0.02,
                                what="the login page's requests (%s)" % program.kind)

    def run_against_minimal(self, program):
        """One cold start measured as the service and the process table see it."""
        log("  %s, cold profile (against the minimal view)" % program.kind)
        try:
            wait_ports_free([9000], 300)
            program.fresh_folder()
            program.start(self.address)
            request, own = self.wait_own_requests(program)
            side = program.kind
            self.add("minimal_request", side, request["time"] - program.spawn_wall)
            self.add("minimal_first_own", side, own["time"] - program.spawn_wall)
            self.add("minimal_request_to_first_own", side, own["time"] - request["time"])
            time.sleep(self.args.settle)
            memory = tree_memory(program.proc.pid)
            self.add("minimal_memory_rss_1", side, memory["rss_kib"] / 1024.0)
            self.add("minimal_memory_pss_1", side, memory["pss_kib"] / 1024.0)
            self.add("minimal_memory_pss_main_1", side, memory["root_pss_kib"] / 1024.0)
        except Exception as error:  # noqa: BLE001 - one failed run must not lose the others
            self.errors.append("%s against the minimal view: %s" % (program.kind, error))
            log("    failed: %s" % error)
        finally:
            program.stop()
            self.service.control("/__log/clear", {})

    def run_all(self):
        self.learn_address()
        log("login address: %s" % self.address)
        if "minimal" in self.programs:
            for pair in range(self.args.minimal_runs):
                order = ["client", "minimal"] if pair % 2 == 0 else ["minimal", "client"]
                log("pair %d of %d against the minimal view" % (pair + 1, self.args.minimal_runs))
                self.loads.append(os.getloadavg()[0])
                with self.session():
                    for kind in order:
                        self.run_against_minimal(self.programs[kind])
        if "bare" not in self.programs:
            return
        for pair in range(self.args.runs):
            order = ["client", "bare"] if pair % 2 == 0 else ["bare", "client"]
            log("pair %d of %d" % (pair + 1, self.args.runs))
            self.loads.append(os.getloadavg()[0])
            with self.session():
                for kind in order:
                    self.programs[kind].fresh_folder()
                    self.run(self.programs[kind], "cold")
            with self.session():
                for kind in order:
                    self.run(self.programs[kind], "warm", stack=True)


def tab_strip(binary, repetitions, min_time):
    """{tabs: [microseconds per paint, one per repetition]} from Google Benchmark."""
    out = subprocess.run([binary, "--benchmark_format=json", "--benchmark_repetitions=%d" % repetitions,
                          "--benchmark_min_time=%g" % min_time],
                         capture_output=True, text=True, timeout=900, check=True).stdout
    results = {}
    for entry in json.loads(out)["benchmarks"]:
        if entry.get("run_type") == "iteration":
            tabs = int(entry["name"].split("/")[1])
            scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[entry["time_unit"]]
            results.setdefault(tabs, []).append(entry["real_time"] * scale)
    return results


def summary(values):
    return {"samples": values, "median": statistics.median(values), "min": min(values), "max": max(values)}


ROWS = [
    ("start_cold", "start, cold profile", "ms", 1000),
    ("start_cold_navigation", "  to navigation start", "ms", 1000),
    ("start_cold_request", "  to login request", "ms", 1000),
    ("start_cold_cpu_to_navigation", "  main thread CPU to nav.", "ms", 1000),
    ("start_cold_cpu_to_request", "  main thread CPU nav. to req.", "ms", 1000),
    ("start_cold_process_cpu_to_request", "  process CPU nav. to req.", "ms", 1000),
    ("start_warm", "start, warm profile", "ms", 1000),
    ("start_warm_navigation", "  to navigation start", "ms", 1000),
    ("start_warm_request", "  to login request", "ms", 1000),
    ("start_warm_cpu_to_navigation", "  main thread CPU to nav.", "ms", 1000),
    ("start_warm_cpu_to_request", "  main thread CPU nav. to req.", "ms", 1000),
    ("start_warm_process_cpu_to_request", "  process CPU nav. to req.", "ms", 1000),
    ("popup", "popup to shown page", "ms", 1000),
    ("popup_load", "  to its load end", "ms", 1000),
    ("idle_main_thread", "idle wake-ups, main thread", "/s", 1),
    ("idle_all_threads", "  all threads of the process", "/s", 1),
]


MINIMAL_ROWS = [
    ("minimal_request", "start to login request", "ms", 1000),
    ("minimal_first_own", "start to page's first own req.", "ms", 1000),
    ("minimal_request_to_first_own", "  login req. to first own req.", "ms", 1000),
    ("minimal_memory_rss_1", "memory RSS, 1 tab, settled", "MiB", 1),
    ("minimal_memory_pss_1", "  PSS", "MiB", 1),
    ("minimal_memory_pss_main_1", "  PSS of the program's process", "MiB", 1),
]

# The login page's first request of its own: its stylesheet, asked for as
# soon as the parser reaches the page's head.
FIRST_OWN_REQUEST = "/static/demo.css"


def build_table(samples, tab_tabs, tab_strip_results, baseline="bare", rows=None):
    if rows is None:
        rows = list(ROWS)
        for count in tab_tabs:
            rows.append(("memory_rss_%d" % count, "memory RSS, %d tab%s" % (count, "s" if count > 1 else ""), "MiB", 1))
            rows.append(("memory_pss_%d" % count, "  PSS", "MiB", 1))
            rows.append(("memory_pss_main_%d" % count, "  PSS of the program's process", "MiB", 1))
    table = []
    for key, label, unit, scale in rows:
        sides = samples.get(key, {})
        if not sides:
            continue
        row = {"key": key, "label": label, "unit": unit}
        for side in ("client", baseline):
            if sides.get(side):
                row[side] = summary([v * scale for v in sides[side]])
        if "client" in row and baseline in row:
            if unit == "/s":
                # Wake-ups are compared by how many more there are.
                row["difference"] = row["client"]["median"] - row[baseline]["median"]
            elif row[baseline]["median"] > 0:
                row["ratio"] = row["client"]["median"] / row[baseline]["median"]
        table.append(row)
    for tabs, values in sorted(tab_strip_results.items()):
        table.append({"key": "tab_strip_%d" % tabs, "label": "tab strip paint, %d tabs" % tabs, "unit": "us",
                      "client": summary(values)})
    return table


def format_table(table, baseline="bare"):
    def number(value):
        return "%.1f" % value if abs(value) < 100 else "%.0f" % value
    lines = ["%-30s %5s | %8s %8s %8s | %8s %8s %8s | %6s" % (
        "measure (medians, min, max)", "unit", "client", "min", "max", baseline, "min", "max", "ratio")]
    lines.append("-" * len(lines[0]))
    for row in table:
        cells = []
        for side in ("client", baseline):
            if side in row:
                cells += [number(row[side]["median"]), number(row[side]["min"]), number(row[side]["max"])]
            else:
                cells += ["-", "-", "-"]
        ratio = "-"
        if "ratio" in row:
            ratio = "%.2f" % row["ratio"]
        elif "difference" in row:
            ratio = "%+.1f" % row["difference"]
        lines.append("%-30s %5s | %8s %8s %8s | %8s %8s %8s | %6s" % ((row["label"], row["unit"]) + tuple(cells)
                                                                      + (ratio,)))
    lines.append("ratio: client median / %s median; for wake-ups (/s) the difference client - %s" % (baseline, baseline))
    return "\n".join(lines)


def machine_state():
    return {"uptime": subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip(),
            "loadavg": os.getloadavg(), "cpus": os.cpu_count(), "kernel": platform.release()}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--client", required=True, help="the built client")
    parser.add_argument("--bare", help="the built bare engine view (the client's engine start, without the shell)")
    parser.add_argument("--minimal", help="the built minimal view (none of the client's code)")
    parser.add_argument("--minimal-runs", type=int, default=6, help="pairs of cold runs against the minimal view")
    parser.add_argument("--bare-arg", action="append", default=[],
                        help="an extra argument of the bare view (e.g. --interceptor), repeatable")
    parser.add_argument("--tab-strip", help="the built tab strip benchmark (left out when not given)")
    parser.add_argument("--runs", type=int, default=5, help="pairs of runs (each pair: a cold and a warm run of both)")
    parser.add_argument("--popups", type=int, default=3, help="popups measured per cold run")
    parser.add_argument("--tabs", default="1,10,30", help="tab counts at which memory is measured")
    parser.add_argument("--idle-seconds", type=float, default=10.0)
    parser.add_argument("--settle", type=float, default=2.0, help="seconds of quiet before idle and memory")
    parser.add_argument("--main-thread-cpu", action="store_true",
                        help="also sample the main thread's CPU time during the start (every 10 ms; this "
                        "sampling itself takes some CPU, on both sides alike)")
    parser.add_argument("--timeout", type=float, default=60.0, help="bound of every wait")
    parser.add_argument("--tab-strip-repetitions", type=int, default=10)
    parser.add_argument("--tab-strip-min-time", type=float, default=0.2)
    parser.add_argument("--out", help="JSON file to write")
    args = parser.parse_args(argv)
    if not args.bare and not args.minimal:
        parser.error("give --bare, --minimal or both")
    args.tabs = sorted({int(n) for n in args.tabs.split(",")})

    before = machine_state()
    log("machine: " + before["uptime"])
    tab_strip_results = {}
    errors = []
    if args.tab_strip:
        log("tab strip benchmark")
        try:
            tab_strip_results = tab_strip(args.tab_strip, args.tab_strip_repetitions, args.tab_strip_min_time)
        except Exception as error:  # noqa: BLE001
            errors.append("tab strip: %s" % error)

    bench = Bench(args)
    try:
        bench.run_all()
    except Exception as error:  # noqa: BLE001
        errors.append("bench: %s" % error)
    finally:
        bench.close()
    errors = bench.errors + errors
    after = machine_state()

    table = build_table(bench.samples, args.tabs, tab_strip_results) if args.bare else []
    minimal_table = build_table(bench.samples, [], {}, "minimal", MINIMAL_ROWS) if args.minimal else []
    if minimal_table:
        print("Against the minimal view (%d pairs, cold profiles): the whole cost of the client" % args.minimal_runs)
        print(format_table(minimal_table, "minimal"))
        print()
    if table:
        print("Against the bare engine view (%d pairs): what the shell adds to the client's engine start" % args.runs)
        print(format_table(table))
    print("machine before: %s" % before["uptime"])
    print("machine after:  %s" % after["uptime"])
    if bench.loads:
        print("1-minute load at the pairs' start: %.2f to %.2f on %d CPUs"
              % (min(bench.loads), max(bench.loads), os.cpu_count()))
    report = {"machine_before": before, "machine_after": after, "runs": args.runs,
              "minimal_runs": args.minimal_runs if args.minimal else 0, "popups": args.popups,
              "idle_seconds": args.idle_seconds, "login_address": bench.address, "table": table,
              "minimal_table": minimal_table, "loads": bench.loads, "samples": bench.samples, "errors": errors}
    if args.out:
        os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
        with open(args.out, "w") as out:
            json.dump(report, out, indent=1, ensure_ascii=False)
        print("written: %s" % args.out)
    for error in errors:
        print("error: %s" % error, file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())

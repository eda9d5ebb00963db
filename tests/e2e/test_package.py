"""The Debian package end to end: installed with apt, started by an ordinary
user with the engine's sandbox on, handed over on a second start, updated
while running and removed without a trace. Needs root (apt, a user account)
and a package made by scripts/package first."""

import fcntl
import glob
import os
import pwd
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest
import urllib.request

from harness import Desktop, Service, devtools_pages, read_ini, wait_for

PACKAGE_DIR = os.environ.get("VELMAR_PACKAGE_DIR", "")
# The signed apt repository scripts/package --repo made beside the package.
APT_REPOSITORY = os.environ.get("VELMAR_APT_REPOSITORY", "")
# A newer signed demo version for the updater (scripts/package --update-folder).
UPDATE_FOLDER = os.environ.get("VELMAR_UPDATE_FOLDER", "")
USER = "velmar-e2e"
INSTALL_DIR = "/opt/velmar-erp"
CLIENT = INSTALL_DIR + "/VelmarERP"
DESKTOP_ENTRY = "/usr/share/applications/com.velmar.VelmarERP.desktop"
APT_ENV = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
POLICY = "/etc/velmar-erp/policy.ini"
SYSTEM_BUS = "/run/dbus/system_bus_socket"
POLKIT_RULES = "/etc/polkit-1/rules.d/49-velmar-e2e.rules"


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=300, **kwargs)


def installed():
    return "install ok installed" in run(["dpkg-query", "-W", "-f=${Status}", "velmar-erp"]).stdout


def tree(root):
    """{path: (size, mtime)} of everything under root, root itself included."""
    found = {}
    for folder, dirs, files in os.walk(root):
        for name in [""] + dirs + files:
            path = os.path.join(folder, name) if name else folder
            st = os.lstat(path)
            found[path] = (st.st_size, st.st_mtime_ns)
    return found


def processes_of(uid):
    pids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if os.stat("/proc/" + entry).st_uid == uid:
                    pids.append(int(entry))
            except OSError:
                pass
    return pids


def cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as source:
            return source.read().split(b"\0")
    except OSError:
        return []


def exe_of(pid):
    try:
        return os.readlink("/proc/%d/exe" % pid)
    except OSError:
        return ""


def engine_facts(pid):
    try:
        return {"type": next((a for a in cmdline(pid) if a.startswith(b"--type=")), b""),
                "pid_ns": os.readlink("/proc/%d/ns/pid" % pid), "user_ns": os.readlink("/proc/%d/ns/user" % pid),
                "seccomp": status_field(pid, "Seccomp")}
    except OSError:
        return {}


def status_field(pid, name):
    with open("/proc/%d/status" % pid) as source:
        for line in source:
            if line.startswith(name + ":"):
                return line.split(":", 1)[1].strip()
    return None


@unittest.skipUnless(os.geteuid() == 0, "installing a package and adding a user need root")
class InstalledPackage(unittest.TestCase):

    def setUp(self):
        debs = sorted(glob.glob(os.path.join(PACKAGE_DIR, "velmar-erp_*.deb")))
        if len(debs) != 1:
            self.fail("expected one package in %r; run scripts/package first" % PACKAGE_DIR)
        self.deb = os.path.abspath(debs[0])
        self.machine_lock = open(os.path.join(tempfile.gettempdir(), "velmar-e2e.lock"), "w")
        fcntl.flock(self.machine_lock, fcntl.LOCK_EX)
        self.addCleanup(self.machine_lock.close)
        if installed():
            self.fail("velmar-erp is installed on this machine already; this test will not replace it")
        self.work = tempfile.mkdtemp(prefix="velmar-e2e-package-")
        if not os.environ.get("VELMAR_KEEP_WORK"):
            self.addCleanup(shutil.rmtree, self.work, True)

        self.remove_user()
        self.assertEqual(run(["useradd", "--create-home", "--shell", "/bin/sh", USER]).returncode, 0)
        self.addCleanup(self.remove_user)
        account = pwd.getpwnam(USER)
        self.uid, self.gid, self.home = account.pw_uid, account.pw_gid, account.pw_dir
        self.runtime = os.path.join(self.home, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        os.chown(self.runtime, self.uid, self.gid)
        self.data = os.path.join(self.home, ".local", "share", "VelmarERP")

        self.addCleanup(self.remove_package)
        self.desktop = Desktop(self.work)
        self.addCleanup(self.desktop.close)
        # The service serves a copy of the repository (a test may spoil it).
        self.repository = os.path.join(self.work, "apt")
        if os.path.isdir(APT_REPOSITORY):
            shutil.copytree(APT_REPOSITORY, self.repository)
        self.updates = os.path.join(self.work, "updates")
        if os.path.isdir(UPDATE_FOLDER):
            shutil.copytree(UPDATE_FOLDER, self.updates)
        else:
            os.makedirs(self.updates)
        self.service = Service(self.work, ["--apt-repository", self.repository, "--updates", self.updates])
        self.addCleanup(self.service.close)
        self.addCleanup(self.kill_user_processes)
        self.clients = []

    def remove_user(self):
        self.kill_user_processes()
        if run(["id", "-u", USER]).returncode == 0:
            run(["userdel", "--remove", "--force", USER])

    def remove_package(self):
        if installed():
            run(["apt-get", "purge", "-y", "-q", "velmar-erp"], env=APT_ENV)

    def kill_user_processes(self):
        try:
            uid = pwd.getpwnam(USER).pw_uid
        except KeyError:
            return
        for pid in processes_of(uid):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        for proc in getattr(self, "clients", []):
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass

    def as_user(self, args, **popen):
        # What a desktop session gives a user, and nothing that turns the
        # engine's sandbox off.
        env = {"HOME": self.home, "USER": USER, "LOGNAME": USER, "PATH": "/usr/local/bin:/usr/bin:/bin",
               "DISPLAY": self.desktop.display, "XDG_RUNTIME_DIR": self.runtime, "LANG": "C.UTF-8"}
        return subprocess.Popen(args, cwd=self.home, env=env, user=self.uid, group=self.gid, extra_groups=[],
                                **popen)

    def start_client(self):
        log = open(os.path.join(self.work, "client-%d.log" % len(self.clients)), "w")
        self.addCleanup(log.close)
        proc = self.as_user(["velmar-erp"], stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        self.clients.append(proc)
        return proc

    def client_pids(self):
        pids = []
        for pid in processes_of(self.uid):
            try:
                # A client still running from a replaced file reads "... (deleted)".
                if os.readlink("/proc/%d/exe" % pid) in (CLIENT, CLIENT + " (deleted)"):
                    pids.append(pid)
            except OSError:
                pass
        return pids

    def test_install_run_as_a_user_with_the_sandbox_hand_over_update_and_remove(self):
        result = run(["apt-get", "install", "-y", "-q", "--no-install-recommends", self.deb], env=APT_ENV)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        files = [f for f in run(["dpkg", "-L", "velmar-erp"]).stdout.splitlines() if os.path.isfile(f)]
        self.assertIn(CLIENT, files)
        self.assertIn("/usr/bin/velmar-erp", files)
        opt_before = tree(INSTALL_DIR)
        opt_listing = sorted(os.listdir("/opt"))

        # --version answers at once and writes nothing, not even the data folder.
        version = self.as_user(["velmar-erp", "--version"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, _ = version.communicate(timeout=10)
        self.assertEqual(version.returncode, 0)
        # A package for the demo service says so.
        self.assertEqual(out.decode(), "VelmarERP 1.0.0.2（演示版：服务地址 127.0.0.1:8765，仅供试用）\n")
        self.assertFalse(os.path.exists(os.path.join(self.home, ".local")))
        # Chinese input needs fcitx5's module for the toolkit; the package asks for it.
        recommends = run(["dpkg-deb", "-f", self.deb, "Recommends"]).stdout
        self.assertIn("fcitx5-frontend-qt6", recommends)
        # The diagnostic report names versions and the input method, and writes nothing either.
        report = self.as_user(["velmar-erp", "--diagnose"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, err = report.communicate(timeout=30)
        self.assertEqual(report.returncode, 0, err)
        self.assertIn("浏览器引擎：Chromium ", out.decode())
        self.assertIn("输入法模块：", out.decode())
        self.assertIn("数据文件夹：尚未建立", out.decode())
        self.assertIn("更新程序：/opt/velmar-erp/Update；发布者公钥：/opt/velmar-erp/velmar-erp-archive-keyring.gpg",
                      out.decode())
        self.assertFalse(os.path.exists(os.path.join(self.home, ".local")))

        # First start: the login request reaches the service, and no
        # debugging port opens.
        first = self.start_client()
        wait_for(lambda: [e for e in self.service.log() if e["path"] == "/"
                          and e["query"].startswith("ComputerName=")], 60, what="the login request")
        time.sleep(1)
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", 9000), timeout=5).close()
        os.killpg(first.pid, signal.SIGKILL)
        first.wait(timeout=10)
        wait_for(lambda: not self.client_pids(), 20, what="the first client to end")

        # The user's setting opens it.
        config = os.path.join(self.data, "config.ini")
        with open(config, "a") as f:
            f.write("\n[SECURITY]\nRemoteDebuggingPort=9000\n")
        os.chown(config, self.uid, self.gid)
        first = self.start_client()
        wait_for(lambda: len([e for e in self.service.log() if e["path"] == "/"
                              and e["query"].startswith("ComputerName=")]) == 2, 60, what="the second login request")
        wait_for(lambda: any(p.get("url", "").startswith(self.service.base + "/?ComputerName=")
                             and "登录" in p.get("title", "") for p in devtools_pages()), 60, what="the login tab")
        self.assertIsNone(first.poll())

        # The engine's renderers run sandboxed: no switch turns it off, they
        # live in namespaces of their own and under a seccomp filter.
        client = self.client_pids()
        self.assertEqual(len(client), 1)
        helpers = {pid: engine_facts(pid) for pid in processes_of(self.uid)
                   if os.path.basename(exe_of(pid)) == "QtWebEngineProcess"}
        described = "\n".join("%d %r" % item for item in helpers.items())
        self.assertTrue(helpers, "no engine process of the user")
        for pid in [client[0]] + list(helpers):
            self.assertNotIn(b"--no-sandbox", cmdline(pid), described)
        client_ns = os.readlink("/proc/%d/ns/pid" % client[0])
        sandboxed = [pid for pid, facts in helpers.items() if facts["pid_ns"] != client_ns and facts["seccomp"] == "2"]
        self.assertTrue(sandboxed, "no engine process in a namespace of its own under seccomp:\n" + described)

        # The user's data folder holds what the program writes; /opt is untouched.
        handle = int(wait_for(lambda: read_ini(config).get("SYSTEM", {}).get("HANDLE"), 30,
                              what="the window handle in the user's config.ini"))
        self.assertTrue(os.path.isdir(os.path.join(self.data, "cache")))
        self.assertEqual(os.stat(self.data).st_uid, self.uid)
        self.assertEqual(os.stat(self.data).st_mode & 0o077, 0)
        self.assertEqual(tree(INSTALL_DIR), opt_before)
        self.assertEqual(sorted(os.listdir("/opt")), opt_listing)

        # The window's class is the desktop entry's StartupWMClass, so task
        # bars group it with the entry.
        wm_class = self.desktop.run(["xprop", "-id", str(handle), "WM_CLASS"]).stdout
        with open(DESKTOP_ENTRY, encoding="utf-8") as entry:
            startup_class = [line.split("=", 1)[1].strip() for line in entry if line.startswith("StartupWMClass=")]
        self.assertEqual(len(startup_class), 1)
        self.assertIn('"%s"' % startup_class[0], wm_class.split("=", 1)[1].split(",")[-1])

        # A second start by the same user hands over and ends.
        second = self.start_client()
        self.assertEqual(second.wait(timeout=30), 0)
        self.assertEqual(self.client_pids(), client)

        # The package installed again over the running client: it keeps running.
        result = run(["apt-get", "install", "-y", "-q", "--reinstall", "--no-install-recommends", self.deb],
                     env=APT_ENV)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        time.sleep(1)
        self.assertIsNone(first.poll())
        self.assertEqual(self.client_pids(), client)
        self.assertEqual(sorted(tree(INSTALL_DIR)), sorted(opt_before))

        # Removed: nothing of the package remains; the user's data stays the user's.
        self.kill_user_processes()
        result = run(["apt-get", "purge", "-y", "-q", "velmar-erp"], env=APT_ENV)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertFalse(os.path.exists(INSTALL_DIR))
        self.assertEqual([f for f in files if os.path.lexists(f)], [])
        self.assertTrue(os.path.isfile(config))

    def test_an_administrators_policy_fixes_settings_the_user_cannot_change(self):
        result = run(["apt-get", "install", "-y", "-q", "--no-install-recommends", self.deb], env=APT_ENV)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        # The service by another name, no debugging port, no update question,
        # no proxy, and a log for support.
        os.makedirs(os.path.dirname(POLICY), exist_ok=True)
        self.addCleanup(shutil.rmtree, os.path.dirname(POLICY), True)
        with open(POLICY, "w") as policy:
            policy.write("[SYSTEM]\nServiceHost=localhost:8765\n[SECURITY]\nRemoteDebuggingPort=0\n"
                         "[UPDATE]\nManaged=1\n[PROXY]\nMode=direct\n[LOG]\nEnabled=1\n"
                         "[PERMISSIONS]\nnotifications@http://localhost:8765=maybe\n")
        # The user's own settings say otherwise.
        os.makedirs(self.data, mode=0o700)
        config = os.path.join(self.data, "config.ini")
        with open(config, "w") as f:
            f.write("[SYSTEM]\nServiceHost=127.0.0.1:9\n[SECURITY]\nRemoteDebuggingPort=9000\n"
                    "[PROXY]\nMode=manual\nServer=127.0.0.1:9\n")
        for path in (os.path.dirname(os.path.dirname(self.data)), os.path.dirname(self.data), self.data, config):
            os.chown(path, self.uid, self.gid)
        self.service.control("/__control/ver", {"mode": "newer"})

        self.start_client()
        wait_for(lambda: [e for e in self.service.log() if e["path"] == "/" and e["query"].startswith("ComputerName=")
                          and dict(e["headers"]).get("Host") == "localhost:8765"], 60,
                 what="the login request to the policy's host, directly")
        time.sleep(2)
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", 9000), timeout=5).close()
        self.assertEqual([e for e in self.service.log() if e["path"] == "/ver/ver.html"], [])
        log = os.path.join(self.data, "logs", "client.log")
        with open(log, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("Updates are managed by the administrator", text)
        self.assertIn("PERMISSIONS/notifications@http://localhost:8765: \"maybe\" is not valid; ignored", text)

        # 高级设置 shows the proxy fixed by the administrator.
        handle = int(wait_for(lambda: read_ini(config).get("SYSTEM", {}).get("HANDLE"), 30,
                              what="the window handle in the user's config.ini"))
        self.desktop.xdotool("windowactivate", "--sync", handle)
        self.desktop.xdotool("key", "ctrl+comma")
        window = wait_for(lambda: self.desktop.xdotool("search", "--onlyvisible", "--name", "^高级设置$").stdout.split(),
                          20, what="the advanced settings")[0]
        self.desktop.xdotool("windowactivate", "--sync", window)
        for _ in range(3):
            self.desktop.xdotool("key", "ctrl+Tab")
        time.sleep(1)
        self.desktop.screenshot("package-policy-proxy-locked.png")

        # The report names the policy in force.
        report = self.as_user(["velmar-erp", "--diagnose"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, err = report.communicate(timeout=30)
        self.assertEqual(report.returncode, 0, err)
        self.assertIn("管理员策略：%s，生效 5 项" % POLICY, out.decode())
        self.assertIn("  PROXY/Mode=direct", out.decode())
        self.assertIn("  未采用：PERMISSIONS/notifications@http://localhost:8765", out.decode())
        self.assertIn("服务地址：localhost:8765", out.decode())
        self.assertIn("更新：由管理员管理", out.decode())

    def start_polkit(self):
        """The system bus and polkit, as a desktop has them, with a rule that
        stands in for the administrator typing the password at the prompt."""
        started = []
        if not os.path.exists(SYSTEM_BUS):
            os.makedirs(os.path.dirname(SYSTEM_BUS), exist_ok=True)
            bus = subprocess.Popen(["dbus-daemon", "--system", "--nofork", "--nopidfile"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            started.append(bus)
            wait_for(lambda: os.path.exists(SYSTEM_BUS), 10, what="the system bus")
        with open(POLKIT_RULES, "w") as rules:
            rules.write('polkit.addRule(function(action, subject) {\n'
                        '  if (action.id == "com.velmar.erp.update" && subject.user == "%s")\n'
                        '    return polkit.Result.YES;\n});\n' % USER)
        self.addCleanup(os.remove, POLKIT_RULES)
        polkit_log = open(os.path.join(self.work, "polkitd.log"), "w")
        self.addCleanup(polkit_log.close)
        polkit = subprocess.Popen(["/usr/lib/polkit-1/polkitd", "--no-debug"],
                                  stdout=subprocess.DEVNULL, stderr=polkit_log)
        started.append(polkit)
        wait_for(lambda: "org.freedesktop.PolicyKit1" in run(
            ["dbus-send", "--system", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
             "org.freedesktop.DBus.ListNames"]).stdout, 20, what="polkit on the system bus")

        def stop():
            for proc in reversed(started):
                proc.terminate()
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
            if started and started[0].args[0] == "dbus-daemon" and os.path.exists(SYSTEM_BUS):
                os.remove(SYSTEM_BUS)
        self.addCleanup(stop)

    def installed_version(self):
        return run(["dpkg-query", "-W", "-f=${Version}", "velmar-erp"]).stdout

    def updater_pids(self):
        return [pid for pid in processes_of(self.uid) if exe_of(pid) == INSTALL_DIR + "/Update"]

    def say_yes_to_the_update(self, config):
        """Starts the client, answers Yes to the update question and waits
        for the client to hand over to the updater."""
        # The handle of this start, not the one an earlier run left there
        # (the display may give the new window the same number).
        with open(config, encoding="utf-8") as f:
            kept = [line for line in f if not line.startswith("HANDLE=")]
        with open(config, "w", encoding="utf-8") as f:
            f.writelines(kept)
        client = self.start_client()
        handle = int(wait_for(lambda: read_ini(config).get("SYSTEM", {}).get("HANDLE"), 60,
                              what="the window handle in the user's config.ini"))

        def others():
            found = self.desktop.xdotool("search", "--onlyvisible", "--name", "Velmar").stdout.split()
            return [w for w in found if int(w) != handle]
        question = wait_for(others, 60, what="the update question")
        self.desktop.xdotool("windowactivate", "--sync", question[0])
        self.desktop.xdotool("key", "Return")  # Yes
        self.assertEqual(client.wait(timeout=30), 0)

    def test_the_updater_installs_the_newer_signed_version_and_refuses_a_broken_one(self):
        debs = glob.glob(os.path.join(self.updates, "velmar-erp_1.0.0.3_*.deb"))
        if len(debs) != 1 or not os.path.isfile(debs[0] + ".sig"):
            self.fail("no signed newer version in %r; run scripts/package --update-folder first" % UPDATE_FOLDER)
        signature = debs[0] + ".sig"
        with open(signature, "rb") as f:
            good_signature = f.read()
        self.start_polkit()
        result = run(["apt-get", "install", "-y", "-q", "--no-install-recommends", self.deb], env=APT_ENV)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(self.installed_version(), "1.0.0.2")
        # The updater's steps go to the log, for support.
        os.makedirs(self.data, mode=0o700)
        config = os.path.join(self.data, "config.ini")
        with open(config, "w") as f:
            f.write("[LOG]\nEnabled=1\n")
        for path in (os.path.dirname(os.path.dirname(self.data)), os.path.dirname(self.data), self.data, config):
            os.chown(path, self.uid, self.gid)
        log = os.path.join(self.data, "logs", "client.log")
        self.service.control("/__control/ver", {"mode": "newer"})

        # A signature that does not match: refused, said, nothing installed,
        # and the user's client comes back.
        with open(signature, "wb") as f:
            f.write(good_signature[:-8] + bytes(b ^ 0x55 for b in good_signature[-8:]))
        self.say_yes_to_the_update(config)
        box = wait_for(lambda: self.updater_pids() and self.desktop.xdotool(
            "search", "--onlyvisible", "--name", "^Velmar房产ERP$").stdout.split(), 60, what="the updater's refusal")
        self.desktop.screenshot("package-update-refused.png")
        self.desktop.xdotool("windowactivate", "--sync", box[0])
        self.desktop.xdotool("key", "Return")
        wait_for(lambda: not self.updater_pids(), 30, what="the updater to end")
        wait_for(self.client_pids, 30, what="the client started again")
        self.assertEqual(self.installed_version(), "1.0.0.2")
        with open(log, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("Update: the signature of /ver/velmar-erp_1.0.0.3_", text)
        self.assertNotIn("Update: 1.0.0.3 installed", text)
        self.kill_user_processes()

        # The publisher's signature: installed through pkexec, and the new
        # version is the one running.
        with open(signature, "wb") as f:
            f.write(good_signature)
        self.say_yes_to_the_update(config)
        wait_for(lambda: self.installed_version() == "1.0.0.3", 120, what="the newer version installed")
        wait_for(lambda: not self.updater_pids(), 60, what="the updater to end")
        wait_for(self.client_pids, 30, what="the new client running")
        self.assertEqual([exe_of(pid) for pid in self.client_pids()], [CLIENT])
        self.desktop.screenshot("package-updated.png")
        version = self.as_user(["velmar-erp", "--version"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, _ = version.communicate(timeout=10)
        self.assertTrue(out.decode().startswith("VelmarERP 1.0.0.3"), out)
        with open(log, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("Update: velmar-erp 1.0.0.3 is signed by the publisher; installing", text)
        self.assertIn("Update: 1.0.0.3 installed", text)

    def test_apt_installs_from_the_signed_repository_and_refuses_a_spoiled_one(self):
        if not os.path.isfile(os.path.join(self.repository, "InRelease")):
            self.fail("no apt repository in %r; run scripts/package --repo first" % APT_REPOSITORY)
        # What the README tells an administrator: the key, the source line, apt.
        keyring = os.path.join(self.work, "velmar-erp-archive-keyring.gpg")
        urllib.request.urlretrieve(self.service.base + "/apt/velmar-erp-archive-keyring.gpg", keyring)
        sources = os.path.join(self.work, "velmar-erp.list")
        with open(sources, "w") as f:
            f.write("deb [signed-by=%s] %s/apt/ ./\n" % (keyring, self.service.base))
        lists = os.path.join(self.work, "lists")
        os.makedirs(os.path.join(lists, "partial"))
        apt = ["-o", "Dir::Etc::sourcelist=" + sources, "-o", "Dir::Etc::sourceparts=-",
               "-o", "Dir::State::Lists=" + lists, "-o", "APT::Get::List-Cleanup=0",
               "-o", "APT::Sandbox::User=root"]

        # A release file changed after signing is refused.
        with open(os.path.join(self.repository, "InRelease"), "r+") as release:
            text = release.read()
            release.seek(0)
            release.write(text.replace("Label: Velmar ERP client", "Label: Velmar ERP clienT"))
        result = run(["apt-get", "update"] + apt, env=APT_ENV)
        self.assertNotEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("BADSIG", result.stdout + result.stderr)
        self.assertNotEqual(run(["apt-get", "install", "-y", "-q", "--no-install-recommends", "velmar-erp"] + apt,
                                env=APT_ENV).returncode, 0)
        self.assertFalse(installed())

        # The repository as made: apt takes it with its key and installs.
        shutil.copy2(os.path.join(APT_REPOSITORY, "InRelease"), os.path.join(self.repository, "InRelease"))
        shutil.rmtree(lists)
        os.makedirs(os.path.join(lists, "partial"))
        result = run(["apt-get", "update"] + apt, env=APT_ENV)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertNotIn("NO_PUBKEY", result.stderr)
        result = run(["apt-get", "install", "-y", "-q", "--no-install-recommends", "velmar-erp"] + apt, env=APT_ENV)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertTrue(installed())
        version = self.as_user(["velmar-erp", "--version"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, _ = version.communicate(timeout=10)
        self.assertTrue(out.decode().startswith("VelmarERP 1.0.0.2"))


if __name__ == "__main__":
    unittest.main()

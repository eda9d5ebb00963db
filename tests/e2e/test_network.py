"""The office network with the real engine: a service that is down, sign-in
boxes for servers and proxies, a PAC file and the clipboard, against small
servers of this test."""

import base64
import re
import http.server
import socket
import ssl
import subprocess
import threading
import time
import unittest

from harness import ClientTestCase, Service, open_devtools, read_ini, wait_for

APP_TITLE = "Velmar房产ERP"


class TestServer:
    """An HTTP server on 127.0.0.1 whose answers come from respond(handler),
    which returns (status, headers, body); every request is recorded."""

    def __init__(self, respond):
        self.requests = []
        server_self = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server_self.requests.append({"path": self.path, "headers": dict(self.headers)})
                status, headers, body = respond(self)
                body = body.encode()
                self.send_response(status)
                for name, value in headers.items():
                    self.send_header(name, value)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def page(title):
    return "<!doctype html><meta charset=utf-8><title>%s</title><p id=text>%s</p>" % (title, title)


def basic(user, password):
    return "Basic " + base64.b64encode(("%s:%s" % (user, password)).encode()).decode()


class Network(ClientTestCase):

    def serve(self, respond):
        server = TestServer(respond)
        self.addCleanup(server.close)
        return server

    def write_config(self, text):
        with open(self.config_path, "w") as config:
            config.write(text)

    def windows(self):
        return [(w, self.desktop.window_title(w)) for w in self.desktop.program_windows(tooltips=False)]

    def wait_window(self, title, seen=(), timeout=30):
        return wait_for(lambda: next((w for w, t in self.windows() if t == title and w not in seen), None),
                        timeout, what="a window titled %r (have %r)" % (title, self.windows()))

    def go(self, devtools, url):
        # Not navigate(): the load waits on the sign-in box.
        devtools.evaluate("setTimeout(function(){ location.href = %r; }, 0); true" % url)

    def sign_in(self, user, password, remember=False, seen=(), screenshot=None):
        box = self.wait_window("需要登录", seen)
        self.desktop.xdotool("windowactivate", "--sync", box)
        time.sleep(0.3)
        if screenshot:
            self.desktop.screenshot(screenshot)
        self.desktop.xdotool("key", "ctrl+a")
        self.desktop.xdotool("type", "--delay", "20", user)
        self.desktop.xdotool("key", "Tab")
        self.desktop.xdotool("type", "--delay", "20", password)
        if remember:
            self.desktop.xdotool("key", "Tab", "space")
        self.desktop.keys(box, "Return")
        wait_for(lambda: box not in self.desktop.program_windows(), 10, what="the sign-in box to close")
        return box

    def test_a_server_sign_in_box_loads_the_page_and_the_kept_password_signs_in_after_a_restart(self):
        realm = "Velmar Reports"
        server = self.serve(lambda h: (200, {"Content-Type": "text/html; charset=utf-8"}, page("报表页"))
                            if h.headers.get("Authorization") == basic("zhang", "s3cret")
                            else (401, {"WWW-Authenticate": 'Basic realm="%s"' % realm}, "no"))
        url = "http://127.0.0.1:%d/report" % server.port
        bus = self.start_keyring()
        self.start_client(**bus)
        first = self.login_page()

        self.go(first, url)
        self.sign_in("zhang", "s3cret", remember=True, screenshot="network-sign-in-box.png")
        wait_for(lambda: first.evaluate("document.title") == "报表页", 20, what="the signed-in page")
        saved = read_ini(self.config_path).get("SAVED_SIGN_INS", {})
        self.assertEqual(list(saved.values()), ["zhang"], saved)
        with open(self.config_path, encoding="utf-8") as config:
            self.assertNotIn("s3cret", config.read())

        # Another start: the kept password signs in without a box.
        self.kill_clients()
        self.start_client(**bus)
        first = self.login_page()
        before = len(server.requests)
        first.navigate(url)
        self.assertEqual(first.evaluate("document.title"), "报表页")
        self.assertNotIn("需要登录", [t for _, t in self.windows()])
        reports = [r for r in server.requests[before:] if r["path"] == "/report"]
        self.assertEqual([r["headers"].get("Authorization") for r in reports][-1:], [basic("zhang", "s3cret")])
        self.assertEqual(self.client_log().count("Sign-in asked by"), 1)

    def test_a_proxy_asks_for_its_password_a_few_times_then_stops_and_the_right_one_goes_through(self):
        seen_hosts = []

        def proxy(h):
            if h.headers.get("Proxy-Authorization") != basic("li", "right"):
                return 407, {"Proxy-Authenticate": 'Basic realm="Office Proxy"'}, "who are you"
            seen_hosts.append(h.headers.get("Host"))
            return 200, {"Content-Type": "text/html; charset=utf-8"}, page("经代理的页面")
        proxy_server = self.serve(proxy)
        self.write_config("[PROXY]\nMode=manual\nServer=127.0.0.1:%d\n" % proxy_server.port)
        self.start_client()
        first = self.login_page()  # the service itself is on the loopback: never through the proxy

        already = {w for w, t in self.windows() if t == APP_TITLE}
        self.go(first, "http://erp-reports.test/page")
        boxes = []
        for attempt in range(3):
            boxes.append(self.sign_in("li", "wrong%d" % attempt, seen=boxes))
        message = self.wait_window(APP_TITLE, seen=already)
        self.desktop.screenshot("network-proxy-gave-up.png")
        self.desktop.keys(message, "Return")
        # Three answers refused; the fourth question is given up, not asked.
        self.assertIn("Sign-in asked by 127.0.0.1 (attempt 4)", self.client_log())
        self.assertNotIn("(attempt 5)", self.client_log())
        self.assertEqual(seen_hosts, [])

        self.go(first, "http://erp-reports.test/page")
        self.sign_in("li", "right")
        wait_for(lambda: first.evaluate("document.title") == "经代理的页面", 20, what="the page through the proxy")
        self.assertEqual(set(seen_hosts), {"erp-reports.test"})  # the page, and maybe its icon

    def test_a_pac_file_sends_one_host_through_the_proxy_and_another_direct(self):
        own_name = socket.gethostname()
        try:
            socket.gethostbyname(own_name)
        except OSError:
            self.skipTest("this machine's own name does not resolve")
        through = []
        proxy_server = self.serve(lambda h: (through.append(h.headers.get("Host")) or 200,
                                             {"Content-Type": "text/html; charset=utf-8"}, page("经代理")))
        pac = ('function FindProxyForURL(url, host) {'
               ' if (host == "via-proxy.test") return "PROXY 127.0.0.1:%d"; return "DIRECT"; }' % proxy_server.port)
        files = self.serve(lambda h: (200, {"Content-Type": "application/x-ns-proxy-autoconfig"}, pac)
                           if h.path == "/proxy.pac" else (200, {"Content-Type": "text/html; charset=utf-8"},
                                                           page("直连")))
        self.write_config("[PROXY]\nMode=pac\nPacUrl=http://127.0.0.1:%d/proxy.pac\n" % files.port)
        self.start_client()
        first = self.login_page()
        first.navigate("http://via-proxy.test/")
        self.assertEqual(first.evaluate("document.title"), "经代理")
        direct = "http://%s:%d/direct" % (own_name, files.port)
        first.navigate(direct)
        self.assertEqual(first.evaluate("document.title"), "直连")
        self.assertEqual(set(through), {"via-proxy.test"})
        self.assertIn("/direct", [r["path"] for r in files.requests])

    def test_only_the_services_pages_write_to_the_clipboard_by_themselves(self):
        other = self.serve(lambda h: (200, {"Content-Type": "text/html; charset=utf-8"}, page("别的网站")))
        self.start_client()
        first = self.login_page()
        handle = self.wait_handle()
        button = ("var b = document.createElement('button'); b.id = 'copy'; b.textContent = '复制';"
                  "b.style = 'position:fixed;left:10px;top:10px;width:120px;height:40px';"
                  "b.onclick = function(){ navigator.clipboard.writeText(%r).then("
                  "function(){ window.copied = 'yes'; }, function(e){ window.copied = 'no: ' + e; }); };"
                  "document.body.appendChild(b); true")

        def copy(devtools, text):
            devtools.evaluate(button % text)
            self.desktop.xdotool("windowactivate", "--sync", handle)
            devtools.click("#copy")
            return wait_for(lambda: devtools.evaluate("window.copied || ''"), 10, what="the copy's result")

        def clipboard():
            return self.desktop.run(["xclip", "-o", "-selection", "clipboard"]).stdout

        first.navigate(self.service.base + "/pages/dialogs.html")
        self.assertEqual(copy(first, "合同编号 HT-2026-001"), "yes")
        wait_for(lambda: clipboard() == "合同编号 HT-2026-001", 10, what="the text in the clipboard")

        first.navigate("http://127.0.0.1:%d/" % other.port)
        self.assertTrue(copy(first, "from elsewhere").startswith("no"))
        self.assertEqual(clipboard(), "合同编号 HT-2026-001")


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, capture_output=True)


class ClientCertificates(ClientTestCase):
    """An https server that lets in only clients with a certificate from its
    authority, which it names when it asks."""

    def setUp(self):
        super().setUp()
        d = self.work
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/ca.key", "-out", d + "/ca.pem",
                "-days", "2", "-subj", "/CN=Test Client CA", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/client.key", "-out", d + "/client.csr",
                "-subj", "/CN=Test Clerk")
        with open(d + "/client.ext", "w") as ext:
            ext.write("basicConstraints=CA:FALSE\nextendedKeyUsage=clientAuth\n")
        openssl("x509", "-req", "-in", d + "/client.csr", "-CA", d + "/ca.pem", "-CAkey", d + "/ca.key",
                "-CAcreateserial", "-out", d + "/client.pem", "-days", "2", "-extfile", d + "/client.ext")
        openssl("pkcs12", "-export", "-inkey", d + "/client.key", "-in", d + "/client.pem", "-out", d + "/client.p12",
                "-passout", "pass:p12-pass")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/server.key", "-out",
                d + "/server.pem", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1")

        def fingerprint(path):
            out = subprocess.run(["openssl", "x509", "-in", path, "-noout", "-fingerprint", "-sha256"],
                                 check=True, capture_output=True, text=True).stdout
            return out.strip().split("=", 1)[1]
        self.server_fingerprint = fingerprint(d + "/server.pem")
        self.client_fingerprint = fingerprint(d + "/client.pem")

        self.peers = []
        peers = self.peers

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                peers.append(self.connection.getpeercert())
                body = page("凭证书进入").encode()
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(d + "/server.pem", d + "/server.key")
        context.verify_mode = ssl.CERT_REQUIRED
        # TLS 1.2 refuses a missing certificate in the handshake itself; a TLS
        # 1.3 server does it after, which the engine reports as a dropped
        # connection (the client's page then says only that).
        context.maximum_version = ssl.TLSVersion.TLSv1_2
        context.load_verify_locations(d + "/ca.pem")
        class Server(http.server.ThreadingHTTPServer):
            def handle_error(self, request, client_address):
                pass  # refused handshakes are what this server is for

        self.httpd = Server(("127.0.0.1", 0), Handler)
        # The handshake in the request's own thread: a connection the engine
        # opens ahead and leaves idle must not hold up the server's accept.
        self.httpd.socket = context.wrap_socket(self.httpd.socket, server_side=True, do_handshake_on_connect=False)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        self.addCleanup(self.httpd.server_close)
        self.addCleanup(self.httpd.shutdown)
        self.url = "https://127.0.0.1:%d/" % self.httpd.server_address[1]

    def write_config(self, text):
        with open(self.config_path, "w") as config:
            config.write("[SECURITY]\nServiceCertificate=%s\n" % self.server_fingerprint + text)

    def test_the_configured_certificate_opens_the_page_and_without_it_the_page_says_why(self):
        self.write_config("[CLIENT_CERTIFICATES]\nPkcs12=%s/client.p12\n127.0.0.1=%s\n"
                          % (self.work, self.client_fingerprint))
        self.start_client()
        # The file's password is asked once at start.
        box = wait_for(lambda: next((w for w in self.desktop.program_windows(tooltips=False)
                                     if self.desktop.window_title(w) == "客户端证书密码"), None), 30,
                       what="the certificate's password box")
        self.desktop.xdotool("windowactivate", "--sync", box)
        time.sleep(0.3)
        self.desktop.xdotool("type", "--delay", "20", "p12-pass")
        self.desktop.keys(box, "Return")
        first = self.login_page()
        self.assertIn("Client certificate loaded: Test Clerk", self.client_log())
        first.navigate(self.url)
        self.assertEqual(first.evaluate("document.title"), "凭证书进入")
        self.assertIn(("commonName", "Test Clerk"), [entry for rdn in self.peers[-1]["subject"] for entry in rdn])

        # Without one, the client's page says what is missing.
        self.kill_clients()
        self.write_config("")
        self.start_client()
        first = self.login_page()
        first.evaluate("setTimeout(function(){ location.href = %r; }, 0); true" % self.url)
        wait_for(lambda: "Page load failed: %s" % self.url in self.client_log(), 30, what="the refused load")
        self.assertRegex(self.client_log(), r"Page load failed: %s: -1(10|17) " % re.escape(self.url))
        time.sleep(0.5)
        self.desktop.screenshot("network-client-certificate-missing.png")


class ServiceDown(ClientTestCase):

    def test_the_first_tab_waits_for_the_service_and_then_shows_the_login_page_by_itself(self):
        self.service.close()
        self.start_client()
        failed = "Page load failed: %s/: -102" % self.service.base
        wait_for(lambda: failed in self.client_log(), 40, what="the failed login load in the log")
        handle = self.wait_handle(settled=False)
        time.sleep(1)
        self.desktop.screenshot("network-service-down.png")
        # The fingerprint never shows up in what is logged about the failure.
        self.assertNotIn("ComputerName=", "".join(l for l in self.client_log().splitlines() if "load failed" in l))

        # The service comes up: the login page follows without a key or a click.
        self.service = Service(self.work)
        self.addCleanup(self.service.close)
        page = self.login_page()
        self.assertIn("登录", page.evaluate("document.title"))
        self.assertEqual(self.wait_handle(), handle)


if __name__ == "__main__":
    unittest.main()

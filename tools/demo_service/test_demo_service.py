#!/usr/bin/env python3
"""End-to-end checks for the demo service, run against a real subprocess."""

import html
import http.client
import json
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "demo_service.py")
CURRENT = b'{"Version":"1.0.0.2","Info":""}'


def start_server(tmpdir, *extra):
    ready = os.path.join(tmpdir, "ready-%d" % len(os.listdir(tmpdir)))
    log = ready + ".jsonl"
    proc = subprocess.Popen(
        [sys.executable, SCRIPT, "--port", "0", "--ready-file", ready,
         "--log", log, *extra],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        if os.path.exists(ready):
            with open(ready) as f:
                return proc, int(f.read()), log
        if proc.poll() is not None:
            break
        time.sleep(0.02)
    stop_server(proc)
    raise RuntimeError("demo service did not become ready")


def stop_server(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(timeout=5)
    return proc.returncode


def raw_exchange(port, request, timeout=5.0):
    """Send raw bytes and read until the server closes the connection."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(request)
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return data
            data += chunk


class DemoServiceTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.addClassCleanup(cls.tmp.cleanup)
        cls.proc, cls.port, cls.log_path = start_server(cls.tmp.name)
        cls.addClassCleanup(stop_server, cls.proc)

    def request(self, method, target, headers=(), body=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            conn.putrequest(method, target, skip_host=True,
                            skip_accept_encoding=True)
            for name, value in headers:
                conn.putheader(name, value)
            if body is not None:
                conn.putheader("Content-Length", str(len(body)))
            conn.endheaders(body)
            resp = conn.getresponse()
            return resp, resp.read()
        finally:
            conn.close()

    def get(self, target, headers=()):
        return self.request("GET", target,
                            [("Host", "127.0.0.1:%d" % self.port), *headers])

    def last_seq(self):
        # a marker request guarantees a fresh entry even after a clear
        self.get("/__marker")
        _, body = self.get("/__log")
        return json.loads(body)[-1]["seq"]

    def set_ver(self, **params):
        resp, body = self.request(
            "POST", "/__control/ver",
            [("Host", "x"), ("Content-Type", "application/json")],
            json.dumps(params).encode())
        self.assertEqual((resp.status, body), (200, b"ok\n"))
        self.addCleanup(self.get, "/__control/ver?mode=current")

    def test_login_address_logs_raw_query_and_diag_shows_it_in_order(self):
        since = self.last_seq()
        query = ("ComputerName=PC%2D01&MacAddress=AA-BB-CC&RT=2"
                 "&IpOut=203.0.113.9&IpIn=%E4%B8%AD+x%3Cb%3E")
        headers = [("X-Zeta", "z"), ("Host", "h.example"),
                   ("User-Agent", "Velmar/1"), ("X-Alpha", "a<&>")]
        resp, body = self.request("GET", "/?" + query, headers)
        self.assertEqual(resp.status, 200)
        self.assertEqual(resp.getheader("Content-Type"),
                         "text/html; charset=utf-8")
        self.assertEqual(resp.getheader("Cache-Control"), "no-store")
        self.assertEqual(int(resp.getheader("Content-Length")), len(body))
        self.assertIsNone(resp.getheader("Set-Cookie"))
        text = body.decode("utf-8")
        self.assertIn("<title>Velmar房产ERP 登录</title>", text)
        self.assertIn('id="login-form"', text)
        self.assertIn('href="/diag"', text)

        _, body = self.get("/__log?since=%d" % since)
        entries = [e for e in json.loads(body) if e["path"] == "/"]
        self.assertEqual(len(entries), 1)
        entry = entries[0]
        self.assertEqual(entry["method"], "GET")
        self.assertEqual(entry["query"], query)
        self.assertEqual(entry["target"], "/?" + query)
        self.assertEqual(entry["headers"], [list(h) for h in headers])
        self.assertEqual(entry["body"], "")

        with open(self.log_path, encoding="utf-8") as f:
            on_disk = [json.loads(line) for line in f]
        self.assertIn(entry, on_disk)

        # The diagnostic view shows that request: decoded values, escaped,
        # in the order sent, and its headers; then its own request's headers.
        resp, body = self.get("/diag?probe=%3Cp%3E", [("X-Own", "mine")])
        self.assertEqual(resp.status, 200)
        text = body.decode("utf-8")
        login_part, _, own_part = text.partition('id="this-query"')
        order = [login_part.index("<td>%s</td>" % v) for v in
                 ("PC-01", "AA-BB-CC", "203.0.113.9", "中 x&lt;b&gt;")]
        self.assertEqual(order, sorted(order))
        self.assertIn("<td>a&lt;&amp;&gt;</td>", login_part)
        self.assertIn("<td>&lt;p&gt;</td>", own_part)
        self.assertIn("<td>mine</td>", own_part)

    def sign_in(self, name="张三"):
        body = urllib.parse.urlencode({"name": name, "password": ""}).encode()
        resp, _ = self.request("POST", "/login", [("Host", "x"), (
            "Content-Type", "application/x-www-form-urlencoded")], body)
        return resp

    def test_sign_in_sets_its_cookie_and_screens_check_it(self):
        resp, _ = self.get("/home")
        self.assertEqual((resp.status, resp.getheader("Location")), (303, "/"))

        resp = self.sign_in("张三")
        self.assertEqual((resp.status, resp.getheader("Location")), (303, "/home"))
        cookie = resp.getheader("Set-Cookie")
        self.assertRegex(
            cookie, r"^velmar_session=[0-9a-f]{32}; Path=/; Max-Age=2592000$")
        pair = cookie.split(";")[0]
        other = self.sign_in("李四").getheader("Set-Cookie").split(";")[0]
        self.assertNotEqual(pair, other)

        for path in ("/home", "/listings", "/clients", "/contracts", "/receipts"):
            with self.subTest(path=path):
                resp, body = self.get(path, [("Cookie", "other=1; " + pair)])
                self.assertEqual(resp.status, 200)
                self.assertIn("张三", body.decode("utf-8"))
                resp, _ = self.get(path, [("Cookie", "velmar_session=0123456789abcdef")])
                self.assertEqual((resp.status, resp.getheader("Location")), (303, "/"))

        # The login address recognises the session and offers to go on.
        resp, body = self.get("/?RT=1", [("Cookie", pair)])
        self.assertIsNone(resp.getheader("Set-Cookie"))
        text = body.decode("utf-8")
        self.assertIn("<title>Velmar房产ERP 登录</title>", text)
        self.assertIn('<b id="signed-in">张三</b>', text)
        self.assertIn('id="enter" href="/home"', text)

        # Signing out ends the session and clears the cookie.
        resp, _ = self.get("/logout", [("Cookie", pair)])
        self.assertEqual((resp.status, resp.getheader("Location")), (303, "/"))
        self.assertEqual(resp.getheader("Set-Cookie"), "velmar_session=; Path=/; Max-Age=0")
        self.assertEqual(self.get("/home", [("Cookie", pair)])[0].status, 303)
        self.assertEqual(self.get("/home", [("Cookie", other)])[0].status, 200)

    def test_sign_in_refuses_an_empty_or_overlong_name(self):
        for name in ("", "   ", "名" * 41):
            with self.subTest(name=name):
                resp = self.sign_in(name)
                self.assertEqual(resp.status, 400)
                self.assertIsNone(resp.getheader("Set-Cookie"))
        resp, _ = self.get("/login")
        self.assertEqual((resp.status, resp.getheader("Location")), (303, "/"))

    def test_log_since_and_clear(self):
        since = self.last_seq()
        self.get("/one?a=1")
        self.request("POST", "/two", [("Host", "x")], "体".encode("utf-8"))
        resp, body = self.get("/__log?since=%d" % since)
        self.assertEqual(resp.getheader("Content-Type"),
                         "application/json; charset=utf-8")
        entries = json.loads(body)
        self.assertEqual([(e["seq"], e["method"], e["path"], e["query"], e["body"])
                          for e in entries],
                         [(since + 1, "GET", "/one", "a=1", ""),
                          (since + 2, "POST", "/two", "", "体")])
        _, body = self.get("/__log?since=%d" % (since + 1))
        self.assertEqual([e["path"] for e in json.loads(body)], ["/two"])

        self.get("/__log/clear")
        _, body = self.get("/__log")
        self.assertEqual(json.loads(body), [])

    def check_ver(self, status, body, ctype=None):
        resp, got = self.get("/ver/ver.html")
        self.assertEqual(resp.version, 11)
        self.assertEqual((resp.status, got), (status, body))
        self.assertEqual(resp.getheader("Connection"), "close")
        self.assertEqual(resp.getheader("Cache-Control"), "no-store")
        self.assertEqual(int(resp.getheader("Content-Length")), len(got))
        if ctype:
            self.assertEqual(resp.getheader("Content-Type"), ctype)
        return resp

    def test_ver_modes(self):
        self.check_ver(200, CURRENT)
        self.set_ver(mode="newer")
        self.check_ver(200, '{"Version":"1.0.0.3","Info":"有新版本"}'.encode())
        self.set_ver(mode="custom", body="坏了", status=503,
                     content_type="text/plain; charset=utf-8")
        self.check_ver(503, "坏了".encode(), "text/plain; charset=utf-8")
        self.set_ver(mode="malformed")
        self.check_ver(200, b'{"Version":"1.0')
        self.set_ver(mode="404")
        self.assertEqual(self.get("/ver/ver.html")[0].status, 404)
        self.set_ver(mode="redirect")
        resp, _ = self.get("/ver/ver.html")
        self.assertEqual(resp.status, 302)
        self.assertEqual(resp.getheader("Location"), "/ver/ver2.html")
        self.set_ver(mode="slow", delay=0.2)
        self.check_ver(200, CURRENT)
        # control through the query string works too
        resp, _ = self.get("/__control/ver?mode=html")
        self.assertEqual(resp.status, 200)
        resp, body = self.get("/ver/ver.html")
        self.assertIn(b"<meta charset=\"utf-8\">", body)
        resp, _ = self.get("/__control/ver?mode=bogus")
        self.assertEqual(resp.status, 400)

    def test_ver_chunked(self):
        self.set_ver(mode="chunked")
        resp, body = self.get("/ver/ver.html")
        self.assertEqual(resp.getheader("Transfer-Encoding"), "chunked")
        self.assertIsNone(resp.getheader("Content-Length"))
        self.assertEqual(body, CURRENT)
        # and it really comes in more than one chunk
        raw = raw_exchange(self.port, b"GET /ver/ver.html HTTP/1.1\r\n"
                                      b"Host: x\r\n\r\n")
        head, _, rest = raw.partition(b"\r\n\r\n")
        self.assertTrue(head.startswith(b"HTTP/1.1 200"))
        chunks = []
        while True:
            size_line, _, rest = rest.partition(b"\r\n")
            size = int(size_line, 16)
            if size == 0:
                break
            chunks.append(rest[:size])
            self.assertEqual(rest[size:size + 2], b"\r\n")
            rest = rest[size + 2:]
        self.assertGreater(len(chunks), 1)
        self.assertEqual(b"".join(chunks), CURRENT)

    def test_ver_hang_sends_nothing(self):
        self.set_ver(mode="hang")
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as s:
            s.sendall(b"GET /ver/ver.html HTTP/1.1\r\nHost: x\r\n\r\n")
            s.settimeout(0.5)
            with self.assertRaises(socket.timeout):
                s.recv(1)

    def test_unknown_path_and_png(self):
        resp, body = self.get("/nope/<x>.html")
        self.assertEqual(resp.status, 404)
        self.assertEqual(resp.getheader("Cache-Control"), "no-store")
        self.assertNotIn(b"<x>", body)

        resp, png = self.get("/static/globe.png")
        self.assertEqual(resp.getheader("Content-Type"), "image/png")
        self.assertIsNone(resp.getheader("Cache-Control"))
        self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        pos, kinds, idat = 8, [], b""
        while pos < len(png):
            length, kind = struct.unpack(">I4s", png[pos:pos + 8])
            data = png[pos + 8:pos + 8 + length]
            crc, = struct.unpack(">I", png[pos + 8 + length:pos + 12 + length])
            self.assertEqual(crc, zlib.crc32(kind + data) & 0xFFFFFFFF)
            kinds.append(kind)
            if kind == b"IHDR":
                self.assertEqual(struct.unpack(">II", data[:8]), (16, 16))
            if kind == b"IDAT":
                idat += data
            pos += 12 + length
        self.assertEqual(kinds, [b"IHDR", b"IDAT", b"IEND"])
        self.assertEqual(len(zlib.decompress(idat)), 16 * (1 + 16 * 3))


    # ---- the demo ERP's pages ---------------------------------------------

    def signed_in_cookie(self):
        return self.sign_in("测试员").getheader("Set-Cookie").split(";")[0]

    def test_every_address_the_pages_lead_to_answers(self):
        """Walks every link and window.open target from the home page two
        clicks deep: each one answers, so every feature is reachable."""
        cookie = [("Cookie", self.signed_in_cookie())]
        slow = ("/files/big.bin", "/files/broken.bin", "/files/stall.bin", "/docs/huge.pdf", "/pages/slow.html")
        seen, frontier = set(), ["/home"]
        for depth in range(3):
            found = []
            for target in frontier:
                if target in seen or target in ("/logout", "/"):
                    continue  # signing out would end the walk's session
                seen.add(target)
                path = target.split("?")[0].split("#")[0]
                method = "HEAD" if path in slow else "GET"
                resp, body = self.request(method, target, [("Host", "x"), *cookie])
                self.assertEqual(resp.status, 200, target)
                if resp.getheader("Content-Type", "").startswith("text/html") and depth < 2:
                    text = body.decode("utf-8", "replace")
                    found += re.findall(r'(?:href|src)="(/[^"]*)"', text)
                    found += re.findall(r"window\.open\('(/[^']*)'", text)
            frontier = [html.unescape(t) for t in found]
        for path, _, _ in FEATURE_PAGES:
            self.assertIn(path, {t.split("#")[0] for t in seen})

    def test_feature_pages(self):
        for path, ctype, markers in FEATURE_PAGES:
            with self.subTest(path=path):
                resp, body = self.get(path)
                self.assertEqual(resp.status, 200)
                self.assertEqual(resp.getheader("Content-Type"), ctype)
                text = body.decode("utf-8") if "utf-8" in ctype else body.decode("latin-1")
                for marker in markers:
                    self.assertIn(marker, text)

    def test_find_page_holds_each_word_exactly_twice(self):
        _, body = self.get("/pages/find.html")
        text = body.decode("utf-8")
        visible = re.sub(r"<[^>]*>", " ", re.sub(r"<(script|style|title)[^>]*>.*?</\1>", " ", text, flags=re.S))
        for word in ("Marigold", "紫藤苑"):
            self.assertEqual(visible.lower().count(word.lower()), 2, word)

    def test_gbk_page_has_no_charset_anywhere(self):
        resp, body = self.get("/pages/gbk.html")
        self.assertEqual(resp.getheader("Content-Type"), "text/html")
        self.assertNotIn(b"charset", body.lower())
        with self.assertRaises(UnicodeDecodeError):
            body.decode("utf-8")
        self.assertIn("旧版系统公告：房源编号 GB-2312 的紫荆花园已售出", body.decode("gbk"))

    def test_listing_photos_are_pictures(self):
        for ident in range(1, 7):
            resp, png = self.get("/img/listing/%d.png" % ident)
            self.assertEqual(resp.getheader("Content-Type"), "image/png")
            self.assertEqual(png_size(png), (320, 200))
        self.assertEqual(self.get("/img/listing/7.png")[0].status, 404)

    def check_pdf(self, data):
        """A PDF whose cross-reference table points at its objects."""
        self.assertTrue(data.startswith(b"%PDF-1.4\n"))
        self.assertTrue(data.endswith(b"%%EOF\n"))
        xref = int(re.search(rb"startxref\n(\d+)\n%%EOF\n$", data).group(1))
        self.assertEqual(data[xref:xref + 5], b"xref\n")
        count = int(re.match(rb"xref\n0 (\d+)\n", data[xref:]).group(1))
        table = data[xref:].split(b"\n")[2:2 + count]
        self.assertEqual(table[0], b"0000000000 65535 f ")
        for number, line in enumerate(table[1:], start=1):
            offset = int(line[:10])
            self.assertTrue(data[offset:].startswith(b"%d 0 obj\n" % number), number)
        for match in re.finditer(rb"<< /Length (\d+) >>\nstream\n", data):
            end = match.end() + int(match.group(1))
            self.assertEqual(data[end:end + 10], b"\nendstream")

    def test_contract_pdfs(self):
        resp, pdf = self.get("/docs/contract.pdf?id=2")
        self.assertEqual(resp.getheader("Content-Type"), "application/pdf")
        self.check_pdf(pdf)
        self.assertIn(b"(VELMAR-CONTRACT-HT20240902002) Tj", pdf)

        resp, huge = self.get("/docs/huge.pdf?mb=2")
        self.assertEqual(int(resp.getheader("Content-Length")), len(huge))
        self.assertGreater(len(huge), 2 * 1024 * 1024)
        self.check_pdf(huge)

        resp, whole = self.get("/docs/contract.pdf")
        resp, cut = self.get("/docs/truncated.pdf")
        self.assertEqual(resp.getheader("Content-Type"), "application/pdf")
        self.assertTrue(whole.startswith(cut) and 0 < len(cut) < len(whole))
        resp, fake = self.get("/docs/not-a-pdf.pdf")
        self.assertEqual(resp.getheader("Content-Type"), "application/pdf")
        self.assertFalse(fake.startswith(b"%PDF"))

    def raw_download(self, target, timeout=10.0):
        """(headers, body, how it ended) of a download read off the socket."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as s:
            s.sendall(b"GET %s HTTP/1.1\r\nHost: x\r\n\r\n" % target.encode())
            data, ending = b"", "closed"
            while True:
                try:
                    chunk = s.recv(65536)
                except socket.timeout:
                    ending = "stalled"
                    break
                except ConnectionResetError:
                    ending = "reset"
                    break
                if not chunk:
                    break
                data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        headers = dict(line.split(": ", 1) for line in head.decode().split("\r\n")[1:])
        return headers, body, ending

    def test_downloads(self):
        started = time.monotonic()
        headers, body, ending = self.raw_download("/files/big.bin?size=300000&seconds=1")
        self.assertGreaterEqual(time.monotonic() - started, 0.9)  # paced, not sent at once
        self.assertEqual((int(headers["Content-Length"]), len(body), ending), (300000, 300000, "closed"))
        self.assertIn("attachment", headers["Content-Disposition"])

        cases = (
            # target, announced, received, ending
            ("/files/broken.bin", 3 * 1024 * 1024, 1024 * 1024, ("closed",)),
            ("/files/broken.bin?reset=1", 3 * 1024 * 1024, None, ("reset",)),
            ("/files/overlong.bin", 64 * 1024, 128 * 1024, ("closed",)),
        )
        for target, announced, received, endings in cases:
            with self.subTest(target=target):
                headers, body, ending = self.raw_download(target)
                self.assertEqual(int(headers["Content-Length"]), announced)
                self.assertIn(ending, endings)
                if received is not None:
                    self.assertEqual(len(body), received)
                else:
                    self.assertLess(len(body), announced)
        headers, body, ending = self.raw_download("/files/stall.bin", timeout=2.5)
        self.assertEqual((int(headers["Content-Length"]), len(body), ending),
                         (2 * 1024 * 1024, 1024 * 1024, "stalled"))

    def test_control_page_publishes_a_version_and_goes_back(self):
        resp, body = self.get("/__control")
        self.assertEqual(resp.status, 200)
        self.assertIn('id="ver-mode">current<', body.decode("utf-8"))
        self.addCleanup(self.get, "/__control/ver?mode=current")

        form = urllib.parse.urlencode({"version": "1.0.0.9", "info": "新增<合同>模板"}).encode()
        resp, _ = self.request("POST", "/__control/publish",
                               [("Host", "x"), ("Content-Type", "application/x-www-form-urlencoded")], form)
        self.assertEqual((resp.status, resp.getheader("Location")), (303, "/__control"))
        resp, manifest = self.get("/ver/ver.html")
        self.assertEqual(json.loads(manifest), {"Version": "1.0.0.9", "Info": "新增<合同>模板"})
        text = self.get("/__control")[1].decode("utf-8")
        self.assertIn('id="ver-mode">custom<', text)
        self.assertIn("新增&lt;合同&gt;模板", text)
        self.assertNotIn("新增<合同>", text)

        resp, _ = self.request("POST", "/__control/revert", [("Host", "x")], b"")
        self.assertEqual(resp.status, 303)
        self.check_ver(200, CURRENT)

        # The log on the page: newest first, and the clear button empties it.
        self.get("/pages/find.html?from=control")
        text = self.get("/__control")[1].decode("utf-8")
        log = text[text.index('id="log"'):]
        self.assertLess(log.index("/__control"), log.index("/pages/find.html?from=control"))
        self.request("POST", "/__control/clear-log", [("Host", "x")], b"")
        _, body = self.get("/__log")
        self.assertEqual(json.loads(body), [])


FEATURE_PAGES = (
    # address, content type, what the page must hold
    ("/pages/receipt.html?id=1", "text/html; charset=utf-8",
     ('onclick="window.print()"', "打印收据", "VELMAR-RECEIPT-SJ20240815001")),
    ("/pages/permissions.html", "text/html; charset=utf-8",
     ("Notification.requestPermission()", "new Notification(", "getCurrentPosition", "id=\"result-geo\"",
      "id=\"result-notify-permission\"", "document.title")),
    ("/pages/downloads.html", "text/html; charset=utf-8",
     ("/files/report.csv", "/files/big.bin", "/files/broken.bin", "/files/overlong.bin", "/files/stall.bin")),
    ("/pages/close_self.html", "text/html; charset=utf-8", ('onclick="window.close()">保存并关闭<',)),
    ("/pages/close_self.html?auto=1", "text/html; charset=utf-8", ("window.close(); }, 300)",)),
    ("/pages/dialogs.html", "text/html; charset=utf-8",
     ("doAlert(&#x27;&lt;a href=&quot;file:///etc/passwd&quot;&gt;点此继续&lt;/a&gt;&#x27;)", "doConfirm(",
      "doPrompt(", "NERITH:RELOGIN:", "NERITH:CLEAR_CACHE:")),
    ("/pages/find.html", "text/html; charset=utf-8", ("Marigold", "紫藤苑")),
    ("/pages/draft.html", "text/html; charset=utf-8", ("beforeunload", 'id="draft"')),
    ("/pages/scan.html", "text/html; charset=utf-8", ('id="code"', "e.key !== 'Enter'")),
    ("/pages/receipt_framed.html?id=1", "text/html; charset=utf-8",
     ('src="/pages/receipt_frame.html?id=1"', "VELMAR-OUTSIDE-FRAME")),
    ("/pages/receipt_frame.html?id=1", "text/html; charset=utf-8",
     ('onclick="window.print()"', 'id="note"', "VELMAR-FRAMED-RECEIPT-")),
    ("/pages/keys.html", "text/html; charset=utf-8", ("e.key === 'F5'", "preventDefault()", "document.title")),
    ("/pages/crash.html", "text/html; charset=utf-8", ('onclick="exhaust()"', "new Array(131072)")),
    ("/pages/flood.html", "text/html; charset=utf-8", ("setInterval(", "window.open(")),
    ("/pages/fullscreen.html", "text/html; charset=utf-8", ("requestFullscreen()",)),
    ("/pages/popups.html", "text/html; charset=utf-8", ('target="_blank"', "window.open(")),
    ("/pages/titles.html", "text/html; charset=utf-8", ("document.title = titles[i]",)),
    ("/pages/images.html", "text/html; charset=utf-8", ('id="img-png"', 'id="download"')),
    ("/listings/view?id=3", "text/html; charset=utf-8", ("金桂公寓", 'src="/img/listing/3.png"')),
    ("/features", "text/html; charset=utf-8", ()),
    ("/diag", "text/html; charset=utf-8", ()),
    ("/static/demo.css", "text/css; charset=utf-8", ("@media print",)),
    ("/files/listings.csv", "text/csv; charset=utf-8", ()),
)


def png_size(png):
    assert png[:8] == b"\x89PNG\r\n\x1a\n"
    return struct.unpack(">II", png[16:24])


class StartupAndShutdownTest(unittest.TestCase):

    def test_cli_ver_mode_and_sigterm_with_hung_client(self):
        with tempfile.TemporaryDirectory() as tmp:
            proc, port, _ = start_server(tmp, "--ver-mode", "custom",
                                         "--ver-body", "hello")
            try:
                conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
                conn.request("GET", "/ver/ver.html")
                self.assertEqual(conn.getresponse().read(), b"hello")
                conn.close()
                conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
                conn.request("GET", "/__control/ver?mode=hang")
                conn.getresponse().read()
                conn.close()
                with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
                    s.sendall(b"GET /ver/ver.html HTTP/1.1\r\nHost: x\r\n\r\n")
                    s.settimeout(0.3)
                    with self.assertRaises(socket.timeout):
                        s.recv(1)
                    proc.send_signal(signal.SIGTERM)
                    self.assertEqual(proc.wait(timeout=10), 0)
            finally:
                stop_server(proc)


class PackageFoldersTest(unittest.TestCase):

    def test_the_repository_and_update_folders_are_served_file_by_file_and_nothing_else(self):
        with tempfile.TemporaryDirectory() as tmp:
            repo = os.path.join(tmp, "repo")
            updates = os.path.join(tmp, "updates")
            os.mkdir(repo)
            os.mkdir(updates)
            with open(os.path.join(repo, "InRelease"), "wb") as f:
                f.write(b"signed release")
            with open(os.path.join(updates, "velmar-erp_1.0.0.3_amd64.deb.sig"), "wb") as f:
                f.write(b"signature")
            with open(os.path.join(tmp, "secret"), "wb") as f:
                f.write(b"outside")
            proc, port, _ = start_server(tmp, "--apt-repository", repo, "--updates", updates)
            self.addCleanup(stop_server, proc)
            for target, status, body in (("/apt/InRelease", 200, b"signed release"),
                                         ("/apt/./InRelease", 200, b"signed release"),
                                         ("/apt/../secret", 404, None), ("/apt/%2e%2e/secret", 404, None),
                                         ("/apt/.hidden", 404, None), ("/apt/Packages", 404, None),
                                         ("/ver/velmar-erp_1.0.0.3_amd64.deb.sig", 200, b"signature"),
                                         ("/ver/velmar-erp_1.0.0.3_amd64.deb", 404, None),
                                         ("/ver/../secret", 404, None), ("/ver/InRelease", 404, None)):
                conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
                conn.request("GET", target)
                reply = conn.getresponse()
                data = reply.read()
                conn.close()
                self.assertEqual(reply.status, status, target)
                if body is not None:
                    self.assertEqual(data, body)
                self.assertNotIn(b"outside", data)


if __name__ == "__main__":
    unittest.main()

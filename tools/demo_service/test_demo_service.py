#!/usr/bin/env python3
"""End-to-end checks for the demo service, run against a real subprocess."""

import http.client
import json
import os
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest
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

    def test_login_logs_raw_query_and_headers_in_order(self):
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
        text = body.decode("utf-8")
        self.assertIn("<title>Velmar房产ERP 登录</title>", text)
        # decoded values, escaped, in the order sent
        order = [text.index("<td>%s</td>" % v) for v in
                 ("PC-01", "AA-BB-CC", "203.0.113.9", "中 x&lt;b&gt;")]
        self.assertEqual(order, sorted(order))
        self.assertIn("<td>a&lt;&amp;&gt;</td>", text)

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

    def test_session_cookie_set_once_then_recognised(self):
        resp, _ = self.get("/")
        cookie = resp.getheader("Set-Cookie")
        self.assertRegex(
            cookie, r"^velmar_session=[0-9a-f]{16,}; Path=/; Max-Age=2592000$")
        pair = cookie.split(";")[0]
        value = pair.split("=", 1)[1]

        resp, body = self.get("/?RT=1", [("Cookie", "other=1; " + pair)])
        self.assertIsNone(resp.getheader("Set-Cookie"))
        self.assertIn("已登录 (cookie)", body.decode("utf-8"))
        self.assertIn(value, body.decode("utf-8"))

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

    def test_gb_page_declares_no_charset(self):
        resp, body = self.get("/pages/gbk.html")
        self.assertEqual(resp.status, 200)
        self.assertEqual(resp.getheader("Content-Type"), "text/html")
        self.assertNotIn(b"charset", body.lower())
        self.assertIn("紫荆花园已售出", body.decode("gbk"))
        with self.assertRaises(UnicodeDecodeError):
            body.decode("utf-8")

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


if __name__ == "__main__":
    unittest.main()

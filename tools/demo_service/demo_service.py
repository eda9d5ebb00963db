#!/usr/bin/env python3
"""Loopback stand-in for the Velmar ERP web service.

Serves the login page, the version manifest and a few test pages, and
records every request it sees so end-to-end tests can check exactly what
the client sent. Standard library only.
"""

import argparse
import html
import json
import os
import secrets
import select
import signal
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import demo_pages
from demo_content import LISTINGS, STYLESHEET, contract_pdf, find, house_png, make_png, pdf_parts
from demo_pages import APP_NAME, page

CURRENT_VERSION_BODY = '{"Version":"1.0.0.2","Info":""}'
NEWER_VERSION_BODY = '{"Version":"1.0.0.3","Info":"有新版本"}'
MALFORMED_VERSION_BODY = '{"Version":"1.0'
SESSION_COOKIE = "velmar_session"
SESSION_MAX_AGE = 30 * 24 * 3600
HTML_TYPE = "text/html; charset=utf-8"
# Garbled beyond recognition when read as anything but GB text.

VER_MODES = ("current", "newer", "custom", "malformed", "html", "404",
             "redirect", "chunked", "slow", "hang")


GLOBE_PNG = make_png()
PHOTO_PNG = make_png(48, 48, (0xd0, 0x60, 0x20))
REPORT_CSV = "编号,名称\n1,样例\n".encode("utf-8")
LISTING_PHOTOS = {ident: house_png(*colours) for ident, *_, colours in LISTINGS}


class RequestLog:
    """In-memory request log, mirrored to a JSON-lines file if asked."""

    def __init__(self, path=None):
        self._lock = threading.Lock()
        self._entries = []
        self._seq = 0
        self._file = open(path, "a", encoding="utf-8") if path else None

    def add(self, entry):
        with self._lock:
            # seq keeps counting across clears so ?since=N stays meaningful
            self._seq += 1
            entry = {"seq": self._seq, **entry}
            self._entries.append(entry)
            if self._file:
                self._file.write(json.dumps(entry, ensure_ascii=False) + "\n")
                self._file.flush()
            return entry

    def since(self, seq):
        with self._lock:
            return [e for e in self._entries if e["seq"] > seq]

    def clear(self):
        with self._lock:
            self._entries.clear()

    def close(self):
        with self._lock:
            if self._file:
                self._file.close()
                self._file = None


class VersionControl:
    """What /ver/ver.html answers right now."""

    def __init__(self):
        self._lock = threading.Lock()
        self._state = self.make_state({})

    @staticmethod
    def make_state(params):
        mode = str(params.get("mode") or "current")
        if mode not in VER_MODES:
            raise ValueError("unknown mode: %s" % mode)
        body = params.get("body")
        status = int(params.get("status") or 200)
        if not 100 <= status <= 999:
            raise ValueError("bad status: %s" % status)
        delay = params.get("delay")
        delay = 30.0 if delay in (None, "") else float(delay)
        if delay < 0:
            raise ValueError("bad delay: %s" % delay)
        return {
            "mode": mode,
            "body": None if body is None else str(body),
            "status": status,
            "content_type": str(params.get("content_type") or HTML_TYPE),
            "delay": delay,
        }

    def set(self, params):
        state = self.make_state(params)
        with self._lock:
            self._state = state

    def get(self):
        with self._lock:
            return dict(self._state)


class Sessions:
    """Signed-in sessions: cookie value -> user name. In memory only, so a
    restart of the service signs everyone out."""

    def __init__(self):
        self._lock = threading.Lock()
        self._names = {}

    def start(self, name):
        token = secrets.token_hex(16)
        with self._lock:
            self._names[token] = name
        return token

    def user(self, token):
        with self._lock:
            return self._names.get(token)

    def end(self, token):
        with self._lock:
            self._names.pop(token, None)


class DemoServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    # hung handlers leave on their own once stop is set; never wait for them
    block_on_close = False

    def __init__(self, address, log, ver):
        self.request_log = log
        self.ver = ver
        self.sessions = Sessions()
        self.stop_event = threading.Event()
        super().__init__(address, DemoHandler)

    def server_bind(self):
        # skip HTTPServer's getfqdn() lookup, which can stall on DNS
        socketserver.TCPServer.server_bind(self)
        host, port = self.server_address[:2]
        self.server_name = host
        self.server_port = port


class DemoServer6(DemoServer):
    address_family = socket.AF_INET6


def split_target(target):
    """Path and raw query of a request target, without decoding anything."""
    if target.startswith("/") or target == "*":
        path, _, query = target.partition("?")
        return path.partition("#")[0], query.partition("#")[0]
    parts = urllib.parse.urlsplit(target)
    return parts.path or "/", parts.query


class DemoHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VelmarDemo/1.0"
    verbose = False

    def version_string(self):
        return self.server_version

    # any method name goes through the same dispatcher
    def __getattr__(self, name):
        if name.startswith("do_"):
            return self._dispatch
        raise AttributeError(name)

    def log_message(self, fmt, *args):
        if self.verbose:
            sys.stderr.write("%s - %s\n" % (self.address_string(), fmt % args))

    # ---- plumbing -------------------------------------------------------

    def _read_body(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            data = bytearray()
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    # drop trailers up to the blank line
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return bytes(data)
                data += self.rfile.read(size)
                self.rfile.readline()
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def _reply(self, status, body, content_type=HTML_TYPE, headers=(),
               no_store=True, close=False):
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.send_response(status)
        if content_type:
            self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        if no_store:
            self.send_header("Cache-Control", "no-store")
        for name, value in headers:
            self.send_header(name, value)
        if close:
            self.send_header("Connection", "close")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        self.wfile.flush()

    def send_error(self, code, message=None, explain=None):
        # parse failures: keep our own headers and always drop the connection
        self.close_connection = True
        try:
            text = message or self.responses.get(code, ("Error",))[0]
        except Exception:
            text = "Error"
        body = page("%d" % code, "<h1>%d %s</h1>" % (code, html.escape(text)))
        self._reply(code, body, close=True)

    def _dispatch(self):
        words = self.requestline.split()
        target = words[1] if len(words) >= 2 else self.path
        path, query = split_target(target)
        try:
            raw_body = self._read_body()
        except (ValueError, OSError):
            self.send_error(400, "Bad request body")
            return
        self.req_path = path
        self.req_query = query
        self.req_body = raw_body
        if path not in ("/__log", "/__log/clear"):
            self.server.request_log.add({
                "time": time.time(),
                "method": self.command,
                "path": path,
                "query": query,
                "target": target,
                "headers": [[k, v] for k, v in self.headers.items()],
                "body": raw_body.decode("utf-8", errors="replace"),
            })
        route = ROUTES.get(path)
        if route is None and path.startswith("/apt/") and DemoHandler.apt_repository:
            self.handle_folder_file(DemoHandler.apt_repository, path[len("/apt/"):])
        elif route is None and path.startswith("/ver/") and DemoHandler.updates:
            self.handle_folder_file(DemoHandler.updates, path[len("/ver/"):])
        elif route is None:
            self.not_found()
        else:
            route(self)

    # The folder of an apt repository (scripts/package --repo) served under
    # /apt/, so that desktops can be updated with apt from this service.
    apt_repository = None
    # The signed packages the client's updater fetches (scripts/package
    # --update-folder), served under /ver/ beside the manifest.
    updates = None

    def handle_folder_file(self, folder, name):
        # Plain file names only (a flat apt repository has "./" as its
        # suite), nothing above the folder.
        parts = [part for part in name.split("/") if part not in ("", ".")]
        if len(parts) != 1 or parts[0].startswith("."):
            self.not_found()
            return
        path = os.path.join(folder, parts[0])
        if not os.path.isfile(path):
            self.not_found()
            return
        with open(path, "rb") as source:
            body = source.read()
        kind = "application/vnd.debian.binary-package" if name.endswith(".deb") else "application/octet-stream"
        self._reply(200, body, kind)

    def query_pairs(self):
        return urllib.parse.parse_qsl(self.req_query, keep_blank_values=True)

    def query_dict(self):
        return dict(self.query_pairs())

    def wait_or_stop(self, seconds):
        """Sleep, but give up early when the server is shutting down."""
        return not self.server.stop_event.wait(seconds)

    # ---- control endpoints ---------------------------------------------

    def handle_log(self):
        try:
            since = int(self.query_dict().get("since") or 0)
        except ValueError:
            self._reply(400, "bad since\n", "text/plain; charset=utf-8")
            return
        entries = self.server.request_log.since(since)
        self._reply(200, json.dumps(entries, ensure_ascii=False),
                    "application/json; charset=utf-8")

    def handle_log_clear(self):
        self.server.request_log.clear()
        self._reply(200, "ok\n", "text/plain; charset=utf-8")

    def handle_control_ver(self):
        params = self.query_dict()
        text = self.req_body.decode("utf-8", errors="replace").strip()
        if text:
            try:
                data = json.loads(text)
                if not isinstance(data, dict):
                    raise ValueError("expected an object")
            except ValueError:
                data = dict(urllib.parse.parse_qsl(text, keep_blank_values=True))
            params.update(data)
        try:
            self.server.ver.set(params)
        except (ValueError, TypeError) as err:
            self._reply(400, "%s\n" % err, "text/plain; charset=utf-8")
            return
        self._reply(200, "ok\n", "text/plain; charset=utf-8")

    # ---- version manifest ----------------------------------------------

    def handle_ver(self):
        st = self.server.ver.get()
        mode = st["mode"]
        ctype = st["content_type"]
        if mode == "hang":
            self._hold_connection()
            return
        if mode == "slow":
            if not self.wait_or_stop(st["delay"]):
                self.close_connection = True
                return
        if mode == "chunked":
            self._send_chunked(CURRENT_VERSION_BODY.encode("utf-8"), ctype)
            return
        status, headers = 200, []
        if mode == "newer":
            body = NEWER_VERSION_BODY
        elif mode == "custom":
            body, status = st["body"] or "", st["status"]
        elif mode == "malformed":
            body = MALFORMED_VERSION_BODY
        elif mode == "html":
            body = page("维护中", "<h1>系统维护中</h1><p>请稍后再试。</p>")
            ctype = HTML_TYPE
        elif mode == "404":
            body = page("404", "<h1>404 Not Found</h1>")
            status, ctype = 404, HTML_TYPE
        elif mode == "redirect":
            body = page("302", '<a href="/ver/ver2.html">moved</a>')
            status, ctype = 302, HTML_TYPE
            headers.append(("Location", "/ver/ver2.html"))
        elif mode == "slow" and st["body"] is not None:
            body = st["body"]
        else:
            body = CURRENT_VERSION_BODY
        self._reply(status, body, ctype, headers, close=True)

    def _send_chunked(self, body, ctype):
        self.send_response(200)
        self.send_header("Content-Type", ctype)
        self.send_header("Transfer-Encoding", "chunked")
        self.send_header("Cache-Control", "no-store")
        self.send_header("Connection", "close")
        self.end_headers()
        if self.command == "HEAD":
            return
        step = max(1, len(body) // 4)
        for i in range(0, len(body), step):
            part = body[i:i + step]
            self.wfile.write(b"%x\r\n%s\r\n" % (len(part), part))
            self.wfile.flush()
        self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()

    def _hold_connection(self):
        # say nothing until shutdown; stop early only if the peer hangs up
        self.close_connection = True
        sock = self.connection
        while not self.server.stop_event.is_set():
            try:
                readable, _, _ = select.select([sock], [], [], 0.1)
                if readable and sock.recv(1, socket.MSG_PEEK) == b"":
                    return
                if readable:
                    self.server.stop_event.wait(0.1)
            except OSError:
                return

    # ---- sessions --------------------------------------------------------

    def cookie(self, wanted):
        for header in self.headers.get_all("Cookie") or []:
            for item in header.split(";"):
                name, sep, value = item.strip().partition("=")
                if sep and name.strip() == wanted and value.strip():
                    return value.strip()
        return None

    def has_session(self):
        return self.cookie(SESSION_COOKIE) is not None

    def user(self):
        """The signed-in user's name, or None."""
        token = self.cookie(SESSION_COOKIE)
        return self.server.sessions.user(token) if token else None

    def redirect(self, location, headers=()):
        self._reply(303, page("303", '<a href="%s">继续</a>' % html.escape(location)),
                    headers=[("Location", location), *headers])

    def form(self):
        text = self.req_body.decode("utf-8", errors="replace")
        return dict(urllib.parse.parse_qsl(text, keep_blank_values=True))

    def send_page(self, text, status=200, headers=()):
        self._reply(status, text, headers=headers)

    def signed_in_page(self, render):
        """Screens of the office need a signed-in user; others go to sign in."""
        user = self.user()
        if user is None:
            self.redirect("/")
        else:
            self.send_page(render(user))

    # ---- sign-in and the office's screens --------------------------------

    def handle_login_address(self):
        self.send_page(demo_pages.sign_in(self.user()))

    def handle_sign_in(self):
        if self.command != "POST":
            self.redirect("/")
            return
        name = self.form().get("name", "").strip()
        if not name or len(name) > 40:
            self.send_page(demo_pages.sign_in(None, "请输入 1 到 40 个字的用户名。", name[:40]), 400)
            return
        token = self.server.sessions.start(name)
        self.redirect("/home", [("Set-Cookie", "%s=%s; Path=/; Max-Age=%d"
                                 % (SESSION_COOKIE, token, SESSION_MAX_AGE))])

    def handle_sign_out(self):
        token = self.cookie(SESSION_COOKIE)
        if token:
            self.server.sessions.end(token)
        self.redirect("/", [("Set-Cookie", "%s=; Path=/; Max-Age=0" % SESSION_COOKIE)])

    def handle_home(self):
        self.signed_in_page(demo_pages.home)

    def handle_listings(self):
        self.signed_in_page(demo_pages.listings)

    def handle_clients(self):
        self.signed_in_page(demo_pages.clients)

    def handle_contracts(self):
        self.signed_in_page(demo_pages.contracts)

    def handle_receipts(self):
        self.signed_in_page(demo_pages.receipts)

    def handle_features(self):
        self.send_page(demo_pages.features(self.user()))

    def int_arg(self, name, default, low, high):
        try:
            value = int(self.query_dict().get(name, default))
        except ValueError:
            value = default
        return min(max(value, low), high)

    def handle_listing_view(self):
        text = demo_pages.listing_view(self.user(), self.int_arg("id", 1, 0, 10 ** 6))
        if text is None:
            self.not_found()
        else:
            self.send_page(text)

    def handle_listing_photo(self):
        ident = self.req_path.rsplit("/", 1)[1].partition(".")[0]
        photo = LISTING_PHOTOS.get(int(ident)) if ident.isdigit() else None
        if photo is None:
            self.not_found()
        else:
            self._reply(200, photo, "image/png", no_store=False)

    def handle_receipt_frame(self):
        self.send_page(demo_pages.receipt_frame(self.int_arg("id", 1, 0, 10 ** 6)))

    def handle_receipt_framed(self):
        self.send_page(demo_pages.receipt_framed(self.user(), self.int_arg("id", 1, 0, 10 ** 6)))

    def handle_receipt(self):
        self.send_page(demo_pages.receipt(self.user(), self.int_arg("id", 1, 0, 10 ** 6)))

    def handle_css(self):
        self._reply(200, STYLESHEET, "text/css; charset=utf-8", no_store=False)

    # ---- diagnostics and control -----------------------------------------

    def handle_diag(self):
        # the newest request of the login address that carried a query
        entry = next((e for e in reversed(self.server.request_log.since(0))
                      if e["path"] == "/" and e["query"]), None)
        login, pairs = None, []
        if entry is not None:
            login = {"when": time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(entry["time"])),
                     "target": entry["target"], "headers": entry["headers"]}
            pairs = urllib.parse.parse_qsl(entry["query"], keep_blank_values=True)
        self.send_page(demo_pages.diag(self.user(), login, pairs, self.query_pairs(),
                                       list(self.headers.items())))

    def handle_control(self):
        state = self.server.ver.get()
        manifest = {"current": CURRENT_VERSION_BODY, "newer": NEWER_VERSION_BODY,
                    "custom": state["body"] or "", "malformed": MALFORMED_VERSION_BODY}.get(state["mode"], "")
        entries = self.server.request_log.since(0)
        shown = []
        for e in reversed(entries[-100:]):
            agent = next((v for k, v in e["headers"] if k.lower() == "user-agent"), "")
            shown.append({"seq": e["seq"], "method": e["method"], "target": e["target"],
                          "when": time.strftime("%H:%M:%S", time.localtime(e["time"])),
                          "agent": "客户端" if "QtWebEngine" in agent else agent[:40]})
        self.send_page(demo_pages.control(self.user(), state, manifest, shown, len(entries)))

    def handle_control_publish(self):
        if self.command != "POST":
            self.redirect("/__control")
            return
        fields = self.form()
        version = fields.get("version", "").strip() or "1.0.0.3"
        body = json.dumps({"Version": version, "Info": fields.get("info", "")}, ensure_ascii=False)
        self.server.ver.set({"mode": "custom", "body": body})
        self.redirect("/__control")

    def handle_control_revert(self):
        if self.command == "POST":
            self.server.ver.set({})
        self.redirect("/__control")

    def handle_control_clear_log(self):
        if self.command == "POST":
            self.server.request_log.clear()
        self.redirect("/__control")

    def handle_about(self):
        style = ("<style>\n"
                 "html,body{margin:0;height:100%;}\n"
                 "body{background:#f4f6f9;color:#333;font-family:sans-serif;"
                 "display:flex;align-items:center;justify-content:center;}\n"
                 ".box{width:440px;max-height:400px;text-align:center;}\n"
                 "h1{font-size:22px;margin:0 0 12px;}\n"
                 ".ver{color:#2a7ac8;margin-bottom:16px;}\n"
                 "p{font-size:13px;line-height:1.6;margin:6px 0;}\n"
                 "a.btn{display:inline-block;margin-top:20px;padding:6px 24px;"
                 "border:1px solid #2a7ac8;border-radius:4px;color:#2a7ac8;"
                 "text-decoration:none;}\n"
                 "</style>\n")
        body = ("<div class=\"box\">\n"
                "<img src=\"/static/globe.png\" width=\"32\" height=\"32\" alt=\"\">\n"
                "<h1>%s</h1>\n"
                "<div class=\"ver\">版本 1.0.0.2</div>\n"
                "<p>房产经纪业务管理系统桌面客户端。</p>\n"
                "<p>房源、客源、合同与财务一站式管理。</p>\n"
                "<p>&copy; Velmar</p>\n"
                "<a class=\"btn\" id=\"close\" href=\"javascript:void(0)\" "
                "onclick=\"window.close(); return false;\">关闭</a>\n"
                "</div>" % APP_NAME)
        self._reply(200, page("关于 " + APP_NAME, body, style))

    # ---- feature pages ----------------------------------------------------

    def handle_close_self(self):
        self.send_page(demo_pages.close_self(self.user(), self.int_arg("client", 1, 0, 10 ** 6),
                                             self.query_dict().get("auto") == "1"))

    def handle_popups(self):
        body = (
            "<h1>弹出窗口</h1>\n<p class=\"hint\">每种方式打开的窗口都成为一个标签页；"
            "按住 Ctrl 点击链接则在后台打开。</p>\n<div class=\"card\"><ul>\n"
            "<li><a id=\"link-blank\" href=\"/pages/child.html?n=1\" "
            "target=\"_blank\">target=_blank</a></li>\n"
            "<li><a id=\"link-named\" href=\"/pages/child.html?n=2\" "
            "target=\"named_win\">target=named_win</a></li>\n"
            "<li><button id=\"btn-open\" "
            "onclick=\"window.open('/pages/child.html?n=3')\">"
            "window.open(url)</button></li>\n"
            "<li><button id=\"btn-open-features\" "
            "onclick=\"window.open('/pages/child.html?n=4', 'feat_win', "
            "'width=400,height=300')\">window.open(url, name, features)"
            "</button></li>\n"
            "<li><button class=\"plain\" id=\"btn-open-closing\" "
            "onclick=\"window.open('/pages/close_self.html?auto=1')\">"
            "打开一个会自行关闭的窗口</button></li>\n"
            "</ul></div>")
        self.send_page(demo_pages.layout("弹出窗口", body, self.user(), "features"))

    def handle_child(self):
        n = self.query_dict().get("n", "")
        body = ("<h1>子页面 %s</h1>\n"
                "<button id=\"btn-close\" onclick=\"window.close()\">关闭</button>"
                % html.escape(n))
        self.send_page(demo_pages.layout("子页面 " + n, body, self.user(), "features"))

    def handle_slow(self):
        try:
            delay = float(self.query_dict().get("delay", "3"))
        except ValueError:
            delay = 3.0
        delay = min(max(delay, 0.0), 600.0)
        if not self.wait_or_stop(delay):
            self.close_connection = True
            return
        body = "<h1>慢页面</h1>\n<p>服务器等了 %g 秒才回答。加载期间标签页图标一直在转动。</p>" % delay
        self.send_page(demo_pages.layout("慢页面", body, self.user(), "features"))

    def handle_titles(self):
        titles = ["标题 一", "Title Two", "很长的标题 " + "长" * 300, "",
                  "标题 <&> 四"]
        script = ("<script>\nvar titles = %s;\nvar i = 0;\n"
                  "setInterval(function(){\n"
                  "  i = (i + 1) %% titles.length;\n"
                  "  document.title = titles[i];\n"
                  "  document.getElementById('current').textContent = "
                  "JSON.stringify(titles[i]);\n"
                  "}, 500);\n</script>"
                  % demo_pages.dumps_js(titles))
        body = ("<h1>标题变化</h1>\n<p>页面标题每半秒变化一次（含很长的、空的和带标记的标题），"
                "看标签和窗口标题如何跟随。</p>\n<p>当前标题：<span class=\"result\" id=\"current\"></span></p>\n"
                + script)
        self.send_page(demo_pages.layout(titles[0], body, self.user(), "features"))

    def handle_resources(self):
        # One page that makes every kind of request a page can: image,
        # script, and an XHR fired by that script.
        body = ("<h1>资源</h1>\n<p>本页加载一张图片、一个脚本，脚本再发出一个 XHR；"
                "每个请求的请求头都可以在<a href=\"/__control\">请求日志</a>中查看。</p>\n"
                "<img id=\"img\" src=\"/static/globe.png\" alt=\"globe\">\n"
                "<p id=\"xhr\">…</p>\n<script src=\"/static/app.js\"></script>")
        self.send_page(demo_pages.layout("资源", body, self.user(), "features"))

    def handle_app_js(self):
        script = ("var x = new XMLHttpRequest();\n"
                  "x.open('GET', '/api/ping');\n"
                  "x.onload = function(){ document.getElementById('xhr').textContent = x.responseText; };\n"
                  "x.send();\n")
        self._reply(200, script.encode("utf-8"), "application/javascript; charset=utf-8")

    def handle_ping(self):
        self._reply(200, b'{"pong":true}', "application/json")

    def handle_burst(self):
        count = self.int_arg("n", 20, 1, 200)
        body = ("<h1>连续弹出</h1>\n<p>一次点击打开 %d 个弹出窗口。</p>\n"
                "<button id=\"btn-burst\" onclick=\"for (var i = 1; i <= %d; i++) "
                "window.open('/pages/child.html?n=' + i);\">%d 个弹出窗口</button>" % (count, count, count))
        self.send_page(demo_pages.layout("连续弹出", body, self.user(), "features"))

    def handle_flood(self):
        self.send_page(demo_pages.flood_page(self.user(), self.int_arg("n", 200, 1, 5000),
                                             self.query_dict().get("auto") == "1", self.int_arg("depth", 0, 0, 5)))

    def handle_png(self):
        self._reply(200, GLOBE_PNG, "image/png", no_store=False)

    # ---- dialogs, page commands, images, downloads -------------------

    def handle_dialogs(self):
        # Every dialog reports what the page got back to /api/report, so the
        # request log shows it.
        script = ("<script>\n"
                  "function report(kind, value) {\n"
                  "  var text = value === null ? 'null' : String(value);\n"
                  "  document.getElementById('result').textContent = kind + '=' + text;\n"
                  "  return fetch('/api/report?kind=' + encodeURIComponent(kind) + '&value=' +\n"
                  "               encodeURIComponent(text));\n"
                  "}\n"
                  "function doAlert(text) { alert(text); return report('alert', 'after'); }\n"
                  "function doConfirm(text) { return report('confirm', confirm(text)); }\n"
                  "function doPrompt(text) { return report('prompt', prompt(text, 'default')); }\n"
                  "</script>\n")

        def buttons(items):
            return "\n".join("<li><button class=\"plain\" id=\"btn-%s\" onclick=\"%s\">%s</button> %s</li>"
                             % (ident, html.escape(call), html.escape(label), note)
                             for ident, call, label, note in items)

        dialogs = buttons((
            ("alert", "doAlert('普通提示')", "alert", "普通提示"),
            ("alert-markup", "doAlert('<a href=\"file:///etc/passwd\">点此继续</a>')", "alert 含 HTML 标记",
             "提示框应把标记原样显示为文字，不出现链接"),
            ("confirm", "doConfirm('确定吗？')", "confirm", "确定 / 取消"),
            ("prompt", "doPrompt('请输入')", "prompt", "输入一段文字")))
        commands = buttons((
            ("cmd-clear", "doAlert('NERITH:CLEAR_CACHE:')", "NERITH:CLEAR_CACHE:", "清空缓存并重启"),
            ("cmd-clear-x", "doAlert('NERITH:CLEAR_CACHE:x')", "NERITH:CLEAR_CACHE:x", "带参数"),
            ("cmd-relogin", "doAlert('NERITH:RELOGIN:')", "NERITH:RELOGIN:", "重新登录（先询问）"),
            ("cmd-relogin-confirm", "doConfirm('NERITH:RELOGIN:')", "confirm NERITH:RELOGIN:", "由 confirm 发出"),
            ("bad-no-colon", "doAlert('NERITH:CLEAR_CACHE')", "NERITH:CLEAR_CACHE", "格式错误：缺少冒号"),
            ("bad-case", "doAlert('NERITH:clear_cache:')", "NERITH:clear_cache:", "格式错误：小写"),
            ("bad-empty", "doAlert('NERITH::')", "NERITH::", "格式错误：空命令"),
            ("bad-prefix", "doAlert('nerith:RELOGIN:')", "nerith:RELOGIN:", "格式错误：前缀小写"),
            ("bad-unknown", "doAlert('NERITH:OTHER:x')", "NERITH:OTHER:x", "未知命令")))
        body = ("<h1>对话框与页面命令</h1>\n<p>结果：<span class=\"result\" id=\"result\"></span></p>\n"
                "<div class=\"card\"><h2 style=\"margin-top:0\">对话框</h2><ul>\n%s\n</ul></div>\n"
                "<div class=\"card\" id=\"commands\"><h2 style=\"margin-top:0\">页面命令</h2>"
                "<p class=\"hint\">页面通过对话框文字向客户端下达命令。格式错误的命令只作为普通提示显示。</p>"
                "<ul>\n%s\n</ul></div>" % (dialogs, commands))
        self.send_page(demo_pages.layout("对话框", body, self.user(), "features", script))

    def handle_report(self):
        self._reply(200, b"ok", "text/plain; charset=utf-8")

    def handle_images(self):
        body = ("<h1>图片</h1>\n<p class=\"hint\">在图片上点右键，选择「图片另存为...」。"
                "第四张图片只对已登录的浏览器（带会话 cookie）提供。</p>\n"
                "<img id=\"img-png\" src=\"/img/photo.png\" width=\"96\" height=\"96\" alt=\"photo\">\n"
                "<img id=\"img-query\" src=\"/img/a.jpg?v=2\" width=\"96\" height=\"96\" alt=\"a\">\n"
                "<img id=\"img-plain\" src=\"/img/123\" width=\"96\" height=\"96\" alt=\"123\">\n"
                "<img id=\"img-private\" src=\"/img/private.png\" width=\"96\" height=\"96\" alt=\"private\">\n"
                "<img id=\"img-house\" src=\"/img/listing/2.png\" width=\"160\" height=\"100\" alt=\"翠湖苑\">\n"
                "<p><a id=\"download\" href=\"/files/report.csv\">下载报表</a></p>")
        self.send_page(demo_pages.layout("图片", body, self.user(), "features"))

    def handle_image(self):
        # Only a logged-in browser (the session cookie) gets the private one.
        if self.req_path == "/img/private.png" and not self.has_session():
            self._reply(403, b"no session", "text/plain")
            return
        self._reply(200, PHOTO_PNG, "image/png", no_store=False)

    def handle_download(self):
        self._reply(200, REPORT_CSV, "text/csv; charset=utf-8",
                    headers=[("Content-Disposition", "attachment; filename=\"report.csv\"")])

    def handle_listings_csv(self):
        lines = ["编号,房源,区域,户型,面积,总价(万元)"]
        lines += ["%d,%s,%s,%s,%d,%d" % row[:6] for row in LISTINGS]
        self._reply(200, ("\ufeff" + "\r\n".join(lines) + "\r\n").encode("utf-8"), "text/csv; charset=utf-8",
                    headers=[("Content-Disposition", "attachment; filename=\"listings.csv\"")])

    def handle_downloads(self):
        self.send_page(demo_pages.downloads(self.user()))

    def _start_file(self, name, length, content_type="application/octet-stream", extra=()):
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(length))
        self.send_header("Cache-Control", "no-store")
        if name:
            self.send_header("Content-Disposition", "attachment; filename=\"%s\"" % name)
        for header in extra:
            self.send_header(*header)
        self.send_header("Connection", "close")
        self.end_headers()

    def _send_paced(self, total, seconds, block=b"VELMAR-DEMO-DATA" * 4096):
        """Sends total bytes of a repeating block evenly over seconds; False
        when the server stops or the peer goes away first."""
        start, sent = time.monotonic(), 0
        while sent < total:
            part = block[:min(len(block), total - sent)]
            try:
                self.wfile.write(part)
                self.wfile.flush()
            except OSError:
                return False
            sent += len(part)
            due = start + seconds * sent / total
            if not self.wait_or_stop(max(0.0, due - time.monotonic())):
                return False
        return True

    def handle_big_file(self):
        size = self.int_arg("size", 20 * 1024 * 1024, 1, 200 * 1024 * 1024)
        seconds = self.int_arg("seconds", 10, 0, 600)
        self._start_file("velmar-photos.bin", size)
        if self.command != "HEAD":
            self._send_paced(size, seconds)

    def handle_broken_file(self):
        # announces 3 MB, sends 1 MB over a second, then hangs up (or resets)
        self._start_file("velmar-broken.bin", 3 * 1024 * 1024)
        if self.command == "HEAD" or not self._send_paced(1024 * 1024, 1):
            return
        try:
            if self.query_dict().get("reset") == "1":
                # closing with a zero linger time sends RST instead of FIN
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.connection.close()
            else:
                self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def handle_stalled_file(self):
        # sends half, then nothing until the peer leaves or the server stops
        self._start_file("velmar-stalled.bin", 2 * 1024 * 1024)
        if self.command != "HEAD" and self._send_paced(1024 * 1024, 1):
            self._hold_connection()

    def handle_overlong_file(self):
        self._start_file("velmar-overlong.bin", 64 * 1024)
        if self.command != "HEAD":
            self._send_paced(128 * 1024, 0)

    # ---- documents ------------------------------------------------------

    def handle_contract_pdf(self):
        self._reply(200, contract_pdf(self.int_arg("id", 1, 0, 10 ** 6)), "application/pdf",
                    headers=[("Content-Disposition", "inline; filename=\"contract.pdf\"")])

    def handle_truncated_pdf(self):
        whole = contract_pdf(1)
        self._reply(200, whole[:len(whole) * 3 // 5], "application/pdf")

    def handle_fake_pdf(self):
        self._reply(200, page("不是 PDF", "<h1>这不是 PDF</h1><p>内容类型却写着 application/pdf。</p>"),
                    "application/pdf")

    def handle_huge_pdf(self):
        megabytes = self.int_arg("mb", 50, 1, 200)
        head, padding, tail = pdf_parts(["VELMAR HUGE CONTRACT", "VELMAR-CONTRACT-HUGE",
                                         "This file carries %d MB of unused stream data." % megabytes],
                                        megabytes * 1024 * 1024)
        self._start_file(None, len(head) + padding + len(tail), "application/pdf")
        if self.command == "HEAD":
            return
        try:
            self.wfile.write(head)
            if self._send_paced(padding, 0, b"0" * 65536):
                self.wfile.write(tail)
                self.wfile.flush()
        except OSError:
            pass

    # ---- permissions, keys, find, crash, encoding ---------------------------

    def handle_permissions(self):
        self.send_page(demo_pages.permissions(self.user()))

    def handle_fullscreen(self):
        self.send_page(demo_pages.fullscreen(self.user()))

    def handle_find(self):
        self.send_page(demo_pages.find_page(self.user()))

    def handle_draft(self):
        self.send_page(demo_pages.draft_page(self.user()))

    def handle_scan(self):
        self.send_page(demo_pages.scan_page(self.user()))

    def handle_keys(self):
        self.send_page(demo_pages.keys_page(self.user()))

    def handle_crash(self):
        self.send_page(demo_pages.crash_page(self.user()))

    def handle_gbk(self):
        # no charset anywhere: neither in the header nor in the page
        self._reply(200, demo_pages.gbk_page(), "text/html")

    def not_found(self):
        body = page("404", "<h1>404 Not Found</h1>\n<p>%s</p>"
                    % html.escape(self.req_path))
        self._reply(404, body)


ROUTES = {
    # the login address and the office's screens
    "/": DemoHandler.handle_login_address,
    "/login": DemoHandler.handle_sign_in,
    "/logout": DemoHandler.handle_sign_out,
    "/home": DemoHandler.handle_home,
    "/features": DemoHandler.handle_features,
    "/listings": DemoHandler.handle_listings,
    "/listings/view": DemoHandler.handle_listing_view,
    "/clients": DemoHandler.handle_clients,
    "/contracts": DemoHandler.handle_contracts,
    "/receipts": DemoHandler.handle_receipts,
    "/diag": DemoHandler.handle_diag,
    "/static/demo.css": DemoHandler.handle_css,
    # test hooks and the demo's control page
    "/__log": DemoHandler.handle_log,
    "/__log/clear": DemoHandler.handle_log_clear,
    "/__control": DemoHandler.handle_control,
    "/__control/ver": DemoHandler.handle_control_ver,
    "/__control/publish": DemoHandler.handle_control_publish,
    "/__control/revert": DemoHandler.handle_control_revert,
    "/__control/clear-log": DemoHandler.handle_control_clear_log,
    "/ver/ver.html": DemoHandler.handle_ver,
    "/pcClient/about.html": DemoHandler.handle_about,
    # feature pages
    "/pages/close_self.html": DemoHandler.handle_close_self,
    "/pages/popups.html": DemoHandler.handle_popups,
    "/pages/child.html": DemoHandler.handle_child,
    "/pages/slow.html": DemoHandler.handle_slow,
    "/pages/titles.html": DemoHandler.handle_titles,
    "/static/globe.png": DemoHandler.handle_png,
    "/static/app.js": DemoHandler.handle_app_js,
    "/api/ping": DemoHandler.handle_ping,
    "/pages/resources.html": DemoHandler.handle_resources,
    "/pages/burst.html": DemoHandler.handle_burst,
    "/pages/flood.html": DemoHandler.handle_flood,
    "/pages/dialogs.html": DemoHandler.handle_dialogs,
    "/api/report": DemoHandler.handle_report,
    "/pages/images.html": DemoHandler.handle_images,
    "/img/photo.png": DemoHandler.handle_image,
    "/img/a.jpg": DemoHandler.handle_image,
    "/img/123": DemoHandler.handle_image,
    "/img/private.png": DemoHandler.handle_image,
    "/pages/downloads.html": DemoHandler.handle_downloads,
    "/files/report.csv": DemoHandler.handle_download,
    "/files/listings.csv": DemoHandler.handle_listings_csv,
    "/files/big.bin": DemoHandler.handle_big_file,
    "/files/broken.bin": DemoHandler.handle_broken_file,
    "/files/stall.bin": DemoHandler.handle_stalled_file,
    "/files/overlong.bin": DemoHandler.handle_overlong_file,
    "/pages/receipt.html": DemoHandler.handle_receipt,
    "/pages/receipt_frame.html": DemoHandler.handle_receipt_frame,
    "/pages/receipt_framed.html": DemoHandler.handle_receipt_framed,
    "/docs/contract.pdf": DemoHandler.handle_contract_pdf,
    "/docs/truncated.pdf": DemoHandler.handle_truncated_pdf,
    "/docs/not-a-pdf.pdf": DemoHandler.handle_fake_pdf,
    "/docs/huge.pdf": DemoHandler.handle_huge_pdf,
    "/pages/permissions.html": DemoHandler.handle_permissions,
    "/pages/fullscreen.html": DemoHandler.handle_fullscreen,
    "/pages/find.html": DemoHandler.handle_find,
    "/pages/draft.html": DemoHandler.handle_draft,
    "/pages/scan.html": DemoHandler.handle_scan,
    "/pages/keys.html": DemoHandler.handle_keys,
    "/pages/crash.html": DemoHandler.handle_crash,
    "/pages/gbk.html": DemoHandler.handle_gbk,
}
ROUTES.update({"/img/listing/%d.png" % ident: DemoHandler.handle_listing_photo for ident in LISTING_PHOTOS})


def parse_args(argv):
    ap = argparse.ArgumentParser(description="Loopback demo ERP service.")
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=8765,
                    help="0 picks a free port")
    ap.add_argument("--log", help="append requests here as JSON lines")
    ap.add_argument("--ready-file",
                    help="write the listening port here once ready")
    ap.add_argument("--ver-mode", default="current", choices=VER_MODES)
    ap.add_argument("--ver-body", help="body for --ver-mode custom")
    ap.add_argument("--apt-repository", help="serve this apt repository folder under /apt/")
    ap.add_argument("--updates", help="serve the signed packages of this folder under /ver/ (for the updater)")
    ap.add_argument("--verbose", action="store_true",
                    help="print one line per request on stderr")
    return ap.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    ver = VersionControl()
    ver.set({"mode": args.ver_mode, "body": args.ver_body})
    log = RequestLog(args.log)
    DemoHandler.verbose = args.verbose
    DemoHandler.apt_repository = args.apt_repository
    DemoHandler.updates = args.updates
    cls = DemoServer6 if ":" in args.host else DemoServer
    server = cls((args.host, args.port), log, ver)
    port = server.server_address[1]

    def on_signal(signum, frame):
        server.stop_event.set()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    worker = threading.Thread(target=server.serve_forever,
                              kwargs={"poll_interval": 0.1}, daemon=True)
    worker.start()

    if args.ready_file:
        # write then rename so a waiting test never reads a half-written file
        tmp = args.ready_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.ready_file)
    host = "[%s]" % args.host if ":" in args.host else args.host
    sys.stderr.write("demo service listening on http://%s:%d/\n" % (host, port))
    sys.stderr.flush()

    try:
        while not server.stop_event.wait(0.5):
            pass
    finally:
        server.stop_event.set()
        server.shutdown()
        server.server_close()
        log.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

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
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

APP_NAME = "Velmar房产ERP"
CURRENT_VERSION_BODY = '{"Version":"1.0.0.2","Info":""}'
NEWER_VERSION_BODY = '{"Version":"1.0.0.3","Info":"有新版本"}'
MALFORMED_VERSION_BODY = '{"Version":"1.0'
SESSION_COOKIE = "velmar_session"
SESSION_MAX_AGE = 30 * 24 * 3600
HTML_TYPE = "text/html; charset=utf-8"
# Garbled beyond recognition when read as anything but GB text.
GBK_TEXT = "旧版系统公告：房源编号 GB-2312 的紫荆花园已售出，请各门店及时更新房源状态。"

VER_MODES = ("current", "newer", "custom", "malformed", "html", "404",
             "redirect", "chunked", "slow", "hang")


def make_png(width=16, height=16, rgb=(0x2a, 0x7a, 0xc8)):
    def chunk(kind, data):
        crc = zlib.crc32(kind + data) & 0xFFFFFFFF
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)

    row = b"\x00" + bytes(rgb) * width  # filter byte 0 then raw pixels
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(row * height))
            + chunk(b"IEND", b""))


GLOBE_PNG = make_png()
PHOTO_PNG = make_png(48, 48, (0xd0, 0x60, 0x20))
REPORT_CSV = "编号,名称\n1,样例\n".encode("utf-8")


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


class DemoServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    # hung handlers leave on their own once stop is set; never wait for them
    block_on_close = False

    def __init__(self, address, log, ver):
        self.request_log = log
        self.ver = ver
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


def page(title, body, head_extra=""):
    return ("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n"
            "<meta charset=\"utf-8\">\n<title>%s</title>\n%s</head>\n"
            "<body>\n%s\n</body>\n</html>\n"
            % (html.escape(title), head_extra, body))


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
        if route is None:
            self.not_found()
        else:
            route(self)

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

    # ---- pages ---------------------------------------------------------

    def handle_login(self):
        cookies = {}
        for header in self.headers.get_all("Cookie") or []:
            for item in header.split(";"):
                name, sep, value = item.strip().partition("=")
                if sep:
                    cookies.setdefault(name.strip(), value.strip())
        session = cookies.get(SESSION_COOKIE)
        headers = []
        if session:
            status_line = ("<p id=\"session\">已登录 (cookie): <code>%s</code></p>"
                           % html.escape(session))
        else:
            new_id = secrets.token_hex(16)
            headers.append(("Set-Cookie", "%s=%s; Path=/; Max-Age=%d"
                            % (SESSION_COOKIE, new_id, SESSION_MAX_AGE)))
            status_line = ("<p id=\"session\">新会话: <code>%s</code></p>"
                           % html.escape(new_id))
        qrows = "".join("<tr><td>%s</td><td>%s</td></tr>\n"
                        % (html.escape(k), html.escape(v))
                        for k, v in self.query_pairs())
        hrows = "".join("<tr><td>%s</td><td>%s</td></tr>\n"
                        % (html.escape(k), html.escape(v))
                        for k, v in self.headers.items())
        links = "".join('<li><a href="%s">%s</a></li>\n' % (href, label)
                        for href, label in (
                            ("/pcClient/about.html", "关于"),
                            ("/pages/popups.html", "弹出窗口"),
                            ("/pages/close_self.html", "自行关闭"),
                            ("/pages/slow.html?delay=3", "慢页面"),
                            ("/pages/titles.html", "标题变化"),
                            ("/pages/resources.html", "资源与请求头"),
                            ("/pages/burst.html?n=20", "连续弹出"),
                            ("/pages/dialogs.html", "对话框与页面命令"),
                            ("/pages/images.html", "图片与下载"),
                            ("/ver/ver.html", "版本清单"),
                            ("/static/globe.png", "图标"),
                        ))
        body = ("<h1>%s 登录</h1>\n%s\n"
                "<h2>查询参数</h2>\n<table id=\"query\" border=\"1\">\n"
                "<tr><th>名称</th><th>值</th></tr>\n%s</table>\n"
                "<h2>请求头</h2>\n<table id=\"headers\" border=\"1\">\n"
                "<tr><th>名称</th><th>值</th></tr>\n%s</table>\n"
                "<h2>演示页面</h2>\n<ul>\n%s</ul>"
                % (APP_NAME, status_line, qrows, hrows, links))
        self._reply(200, page(APP_NAME + " 登录", body), headers=headers)

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

    def handle_close_self(self):
        auto = self.query_dict().get("auto") == "1"
        script = ("<script>setTimeout(function(){window.close();}, 300);</script>"
                  if auto else "")
        body = ("<h1>关闭本窗口</h1>\n"
                "<button id=\"btn-close\" onclick=\"window.close()\">关闭</button>\n"
                + script)
        self._reply(200, page("自行关闭", body))

    def handle_gbk(self):
        # An older GB-encoded page: no charset in the header nor in the page.
        body = ("<!DOCTYPE html>\n<html>\n<head>\n<title>旧版公告</title>\n</head>\n<body>\n"
                "<h1>旧版系统公告</h1>\n<p id=\"notice\">%s</p>\n</body>\n</html>\n" % GBK_TEXT)
        self._reply(200, body.encode("gbk"), "text/html")

    def handle_popups(self):
        body = (
            "<h1>弹出窗口</h1>\n<ul>\n"
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
            "</ul>")
        self._reply(200, page("弹出窗口", body))

    def handle_child(self):
        n = self.query_dict().get("n", "")
        body = ("<h1>子页面 %s</h1>\n"
                "<button id=\"btn-close\" onclick=\"window.close()\">关闭</button>"
                % html.escape(n))
        self._reply(200, page("子页面 " + n, body))

    def handle_slow(self):
        try:
            delay = float(self.query_dict().get("delay", "3"))
        except ValueError:
            delay = 3.0
        delay = min(max(delay, 0.0), 600.0)
        if not self.wait_or_stop(delay):
            self.close_connection = True
            return
        body = "<h1>慢页面</h1>\n<p>延迟 %g 秒。</p>" % delay
        self._reply(200, page("慢页面", body))

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
                  % json.dumps(titles, ensure_ascii=False).replace("</", "<\\/"))
        body = "<h1>标题变化</h1>\n<p id=\"current\"></p>\n" + script
        self._reply(200, page(titles[0], body))

    def handle_resources(self):
        # One page that makes every kind of request a page can: image,
        # script, and an XHR fired by that script.
        body = ("<h1>资源</h1>\n<img id=\"img\" src=\"/static/globe.png\" alt=\"globe\">\n"
                "<p id=\"xhr\">…</p>\n<script src=\"/static/app.js\"></script>")
        self._reply(200, page("资源", body))

    def handle_app_js(self):
        script = ("var x = new XMLHttpRequest();\n"
                  "x.open('GET', '/api/ping');\n"
                  "x.onload = function(){ document.getElementById('xhr').textContent = x.responseText; };\n"
                  "x.send();\n")
        self._reply(200, script.encode("utf-8"), "application/javascript; charset=utf-8")

    def handle_ping(self):
        self._reply(200, b'{"pong":true}', "application/json")

    def handle_burst(self):
        try:
            count = int(self.query_dict().get("n", "20"))
        except ValueError:
            count = 20
        count = min(max(count, 1), 200)
        body = ("<h1>连续弹出</h1>\n<button id=\"btn-burst\" onclick=\"for (var i = 1; i <= %d; i++) "
                "window.open('/pages/child.html?n=' + i);\">%d 个弹出窗口</button>" % (count, count))
        self._reply(200, page("连续弹出", body))

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
        rows = []
        for ident, call, label in (
                ("alert", "doAlert('普通提示')", "alert"),
                ("confirm", "doConfirm('确定吗？')", "confirm"),
                ("prompt", "doPrompt('请输入')", "prompt"),
                ("cmd-clear", "doAlert('NERITH:CLEAR_CACHE:')", "NERITH:CLEAR_CACHE:"),
                ("cmd-clear-x", "doAlert('NERITH:CLEAR_CACHE:x')", "NERITH:CLEAR_CACHE:x"),
                ("cmd-relogin", "doAlert('NERITH:RELOGIN:')", "NERITH:RELOGIN:"),
                ("cmd-relogin-confirm", "doConfirm('NERITH:RELOGIN:')", "confirm NERITH:RELOGIN:"),
                ("bad-no-colon", "doAlert('NERITH:CLEAR_CACHE')", "NERITH:CLEAR_CACHE"),
                ("bad-case", "doAlert('NERITH:clear_cache:')", "NERITH:clear_cache:"),
                ("bad-empty", "doAlert('NERITH::')", "NERITH::"),
                ("bad-prefix", "doAlert('nerith:RELOGIN:')", "nerith:RELOGIN:"),
                ("bad-unknown", "doAlert('NERITH:OTHER:x')", "NERITH:OTHER:x")):
            rows.append("<li><button id=\"btn-%s\" onclick=\"%s\">%s</button></li>"
                        % (ident, html.escape(call), html.escape(label)))
        body = ("<h1>对话框与页面命令</h1>\n<p id=\"result\"></p>\n<ul>\n%s\n</ul>"
                % "\n".join(rows))
        self._reply(200, page("对话框", body, script))

    def handle_report(self):
        self._reply(200, b"ok", "text/plain; charset=utf-8")

    def has_session(self):
        for header in self.headers.get_all("Cookie") or []:
            for item in header.split(";"):
                name, sep, value = item.strip().partition("=")
                if sep and name.strip() == SESSION_COOKIE and value.strip():
                    return True
        return False

    def handle_images(self):
        body = ("<h1>图片</h1>\n"
                "<img id=\"img-png\" src=\"/img/photo.png\" width=\"96\" height=\"96\" alt=\"photo\">\n"
                "<img id=\"img-query\" src=\"/img/a.jpg?v=2\" width=\"96\" height=\"96\" alt=\"a\">\n"
                "<img id=\"img-plain\" src=\"/img/123\" width=\"96\" height=\"96\" alt=\"123\">\n"
                "<img id=\"img-private\" src=\"/img/private.png\" width=\"96\" height=\"96\" alt=\"private\">\n"
                "<p><a id=\"download\" href=\"/files/report.csv\">下载报表</a></p>")
        self._reply(200, page("图片", body))

    def handle_image(self):
        # Only a logged-in browser (the session cookie) gets the private one.
        if self.req_path == "/img/private.png" and not self.has_session():
            self._reply(403, b"no session", "text/plain")
            return
        self._reply(200, PHOTO_PNG, "image/png", no_store=False)

    def handle_download(self):
        self._reply(200, REPORT_CSV, "text/csv; charset=utf-8",
                    headers=[("Content-Disposition", "attachment; filename=\"report.csv\"")])

    def not_found(self):
        body = page("404", "<h1>404 Not Found</h1>\n<p>%s</p>"
                    % html.escape(self.req_path))
        self._reply(404, body)


ROUTES = {
    "/": DemoHandler.handle_login,
    "/__log": DemoHandler.handle_log,
    "/__log/clear": DemoHandler.handle_log_clear,
    "/__control/ver": DemoHandler.handle_control_ver,
    "/ver/ver.html": DemoHandler.handle_ver,
    "/pcClient/about.html": DemoHandler.handle_about,
    "/pages/close_self.html": DemoHandler.handle_close_self,
    "/pages/gbk.html": DemoHandler.handle_gbk,
    "/pages/popups.html": DemoHandler.handle_popups,
    "/pages/child.html": DemoHandler.handle_child,
    "/pages/slow.html": DemoHandler.handle_slow,
    "/pages/titles.html": DemoHandler.handle_titles,
    "/static/globe.png": DemoHandler.handle_png,
    "/static/app.js": DemoHandler.handle_app_js,
    "/api/ping": DemoHandler.handle_ping,
    "/pages/resources.html": DemoHandler.handle_resources,
    "/pages/burst.html": DemoHandler.handle_burst,
    "/pages/dialogs.html": DemoHandler.handle_dialogs,
    "/api/report": DemoHandler.handle_report,
    "/pages/images.html": DemoHandler.handle_images,
    "/img/photo.png": DemoHandler.handle_image,
    "/img/a.jpg": DemoHandler.handle_image,
    "/img/123": DemoHandler.handle_image,
    "/img/private.png": DemoHandler.handle_image,
    "/files/report.csv": DemoHandler.handle_download,
}


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
    ap.add_argument("--verbose", action="store_true",
                    help="print one line per request on stderr")
    return ap.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    ver = VersionControl()
    ver.set({"mode": args.ver_mode, "body": args.ver_body})
    log = RequestLog(args.log)
    DemoHandler.verbose = args.verbose
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

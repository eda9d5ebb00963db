"""Certificates with the real engine: https servers of this test with a
certificate of its own making and one from an office's authority."""

import http.server
import os
import ssl
import subprocess
import threading
import unittest

from harness import ClientTestCase, open_devtools, read_ini, wait_for


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, capture_output=True)


class TlsServer:
    """An https server on 127.0.0.1 that answers every GET with a page titled
    title and counts the requests that reached it."""

    def __init__(self, cert, key, title):
        self.requests = []
        server_self = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server_self.requests.append((self.headers.get("Host"), self.path))
                body = ("<!doctype html><title>%s</title><p id=text>%s</p>" % (title, title)).encode()
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        self.httpd.socket = context.wrap_socket(self.httpd.socket, server_side=True)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, host="127.0.0.1"):
        return "https://%s:%d/page" % (host, self.port)

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class Certificates(ClientTestCase):

    def setUp(self):
        super().setUp()
        d = self.work
        names = "subjectAltName=IP:127.0.0.1,DNS:localhost"
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/ca.key", "-out", d + "/ca.pem",
                "-days", "2", "-subj", "/CN=Test Office CA", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/office.key", "-out", d + "/office.csr",
                "-subj", "/CN=127.0.0.1")
        with open(d + "/office.ext", "w") as ext:
            ext.write(names + "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
        openssl("x509", "-req", "-in", d + "/office.csr", "-CA", d + "/ca.pem", "-CAkey", d + "/ca.key",
                "-CAcreateserial", "-out", d + "/office.pem", "-days", "2", "-extfile", d + "/office.ext")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/self.key", "-out", d + "/self.pem",
                "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", names)
        out = subprocess.run(["openssl", "x509", "-in", d + "/self.pem", "-noout", "-fingerprint", "-sha256"],
                             check=True, capture_output=True, text=True).stdout
        self.self_fingerprint = out.strip().split("=", 1)[1].replace(":", "").lower()
        self.office = TlsServer(d + "/office.pem", d + "/office.key", "办公室证书页")
        self.addCleanup(self.office.close)
        self.own = TlsServer(d + "/self.pem", d + "/self.key", "自签名证书页")
        self.addCleanup(self.own.close)

    def write_config(self, security):
        with open(self.config_path, "w") as config:
            config.write("[SECURITY]\n" + security)

    def open_in_first_tab(self, page, url):
        # Not navigate(): a refused page never completes.
        page.evaluate("setTimeout(function(){ location.href = %r; }, 0); true" % url)

    def refused(self, url):
        return wait_for(lambda: "Certificate of %s:" % url.split("/")[2].rsplit(":", 1)[0] in self.client_log()
                        and "(refused)" in self.client_log(), 20, what="the certificate of %s refused" % url)

    def test_authority_bundle_refused_page_and_going_on_for_that_host_only(self):
        self.write_config("CaBundle=%s/ca.pem\n" % self.work)
        self.start_client()
        first = self.login_page()
        handle = self.wait_handle()

        # An office authority's certificate loads.
        first.navigate(self.office.url())
        self.assertEqual(first.evaluate("document.title"), "办公室证书页")

        # One of its own making is refused: the page never reaches the server.
        first.navigate(self.service.base + "/pages/dialogs.html")
        self.open_in_first_tab(first, self.own.url())
        self.refused(self.own.url())
        self.desktop.screenshot("certificates-refused.png")
        self.assertEqual(self.own.requests, [])

        # 继续访问 (Tab to it, Space): the page loads and the choice is kept
        # for this host and this certificate.
        self.desktop.keys(handle, "Tab")
        self.desktop.keys(handle, "space")
        wait_for(lambda: self.own.requests, 20, what="the page after going on")
        page = open_devtools(lambda p: p.get("url", "").startswith(self.own.url()))
        self.addCleanup(page.close)
        wait_for(lambda: page.evaluate("document.title") == "自签名证书页", 20, what="the page's title")
        self.desktop.screenshot("certificates-going-on-warning.png")
        self.assertEqual(read_ini(self.config_path).get("CERTIFICATE_EXCEPTIONS", {}).get("127.0.0.1"),
                         self.self_fingerprint)

        # The choice can be taken back in the advanced settings (Ctrl+,).
        self.desktop.keys(handle, "ctrl+comma")
        wait_for(lambda: any(self.desktop.window_title(w) == "高级设置" for w in self.desktop.program_windows()), 20,
                 what="the advanced settings")
        self.desktop.screenshot("certificates-advanced-settings.png")

        # Another host with the same certificate is asked about again.
        before = len(self.own.requests)
        self.open_in_first_tab(page, self.own.url("localhost"))
        wait_for(lambda: "Certificate of localhost:" in self.client_log(), 20, what="localhost's certificate")
        self.assertIn("Certificate of localhost: ", self.client_log())
        self.assertEqual(len(self.own.requests), before)

    def test_the_service_hosts_pinned_certificate_loads(self):
        self.write_config("ServiceCertificate=%s\n" % self.self_fingerprint.upper())
        self.start_client()
        first = self.login_page()
        first.navigate(self.own.url())
        self.assertEqual(first.evaluate("document.title"), "自签名证书页")
        # The pin is the service host's only: the office server on the same
        # host, without its authority, is refused.
        first.navigate(self.service.base + "/pages/dialogs.html")
        self.open_in_first_tab(first, self.office.url())
        self.refused(self.office.url())
        self.assertEqual(self.office.requests, [])


if __name__ == "__main__":
    unittest.main()

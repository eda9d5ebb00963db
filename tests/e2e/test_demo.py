"""The demo ERP with the real client: signing in, the home page, a listing
popping up as a tab, and the diagnostic view one click from home."""

import re
import socket
import time
import unittest

from harness import ClientTestCase, devtools_pages, wait_for


class Demo(ClientTestCase):

    def path_of(self, page):
        try:
            return page.evaluate("document.readyState === 'complete' && location.pathname")
        except RuntimeError:
            return None  # between documents

    def test_sign_in_home_listing_tab_and_diagnostics(self):
        self.start_client()
        page = self.login_page()
        self.assertEqual(page.evaluate("document.cookie"), "")
        self.assertTrue(page.evaluate("!!document.getElementById('login-form')"))
        self.desktop.screenshot("demo-sign-in.png")

        self.sign_in(page, "张经理")
        self.assertRegex(page.evaluate("document.cookie"), r"^velmar_session=[0-9a-f]{32}$")
        posts = [e for e in self.service.log() if e["path"] == "/login"]
        self.assertEqual([e["method"] for e in posts], ["POST"])
        self.assertIn("name=%E5%BC%A0%E7%BB%8F%E7%90%86", posts[0]["body"])
        text = page.evaluate("document.body.innerText")
        self.assertIn("你好，张经理", text)
        self.assertIn("功能演示", text)
        wait_for(lambda: page.evaluate("document.fonts.status") == "loaded", 10, what="the fonts")
        time.sleep(0.5)
        self.desktop.screenshot("demo-home.png")

        # A listing's title link opens it in a tab of its own.
        page.click('header nav a[href="/listings"]')
        wait_for(lambda: self.path_of(page) == "/listings", 20, what="the listings")
        page.click("#listing-2")
        wait_for(lambda: any(p["url"].endswith("/listings/view?id=2") for p in devtools_pages()), 20,
                 what="the listing's tab")
        self.desktop.screenshot("demo-listing-tab.png")

        # The diagnostic view: the login address's query and headers.
        page.click('header nav a[href="/diag"]')
        wait_for(lambda: self.path_of(page) == "/diag", 20, what="the diagnostic view")
        table = page.evaluate("document.getElementById('query').innerText")
        self.assertIn(socket.gethostname(), table)
        self.assertEqual(re.findall(r"^(ComputerName|MacAddress|RT|IpOut|IpIn)\t", table, re.M),
                         ["ComputerName", "MacAddress", "RT", "IpOut", "IpIn"])
        self.assertIn("zh-CN", page.evaluate("document.getElementById('headers').innerText"))

        # Signing out leads back to the sign-in form.
        page.evaluate("document.getElementById('logout').click()")
        wait_for(lambda: self.path_of(page) == "/", 20, what="the sign-in page")
        self.assertTrue(page.evaluate("!!document.getElementById('login-form')"))
        self.assertEqual(page.evaluate("document.cookie"), "")


if __name__ == "__main__":
    unittest.main()

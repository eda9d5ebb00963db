"""The office network with the real engine: a service that is down, and
small servers of this test in its way."""

import time
import unittest

from harness import ClientTestCase, Service, wait_for


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

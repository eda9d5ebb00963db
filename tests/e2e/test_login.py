"""The login address: the machine's identity in the query of the first tab."""

import os
import socket
import unittest
import urllib.parse

from harness import ClientTestCase, DEVTOOLS, try_json, wait_for


def machine_addresses():
    found = []
    for name in sorted(os.listdir("/sys/class/net")):
        try:
            address = open("/sys/class/net/%s/address" % name).read().strip().upper()
        except OSError:
            continue
        if name != "lo" and address and set(address) - set("0:") and address not in found:
            found.append(address)
    return found


def host_ipv4():
    try:
        infos = socket.getaddrinfo(socket.gethostname(), None, socket.AF_INET, socket.SOCK_STREAM)
    except OSError:
        return " "
    addresses = []
    for info in infos:
        if info[4][0] not in addresses:
            addresses.append(info[4][0])
    return ", ".join(addresses) or " "


class Login(ClientTestCase):

    def login_requests(self):
        return [e for e in self.service.log() if e["path"] == "/" and e["query"].startswith("ComputerName=")]

    def test_login_request_carries_the_machine_and_opens_in_the_first_tab(self):
        self.start_client()
        request = wait_for(self.login_requests, 30, what="the login request")[0]
        pairs = [part.split("=", 1) for part in request["query"].split("&")]
        self.assertEqual([key for key, _ in pairs], ["ComputerName", "MacAddress", "RT", "IpOut", "IpIn"])
        values = {key: urllib.parse.unquote_plus(value) for key, value in pairs}
        self.assertEqual(values["ComputerName"], socket.gethostname())
        self.assertEqual(sorted(filter(None, values["MacAddress"].split(";"))), sorted(machine_addresses()))
        self.assertEqual(values["IpOut"], "")
        self.assertEqual(values["IpIn"], host_ipv4())
        self.assertRegex(values["RT"], r"^([0-9a-f]{2}(-[0-9a-f]{2})+)?$")
        # Colons are escaped, hyphens are not.
        raw = dict(pairs)
        self.assertNotIn(":", raw["MacAddress"])
        self.assertNotIn("%2D", raw["RT"])
        headers = {name.lower(): value for name, value in request["headers"]}
        self.assertEqual(headers.get("accept-language"), "zh-CN")

        pages = wait_for(lambda: [p for p in (try_json(DEVTOOLS + "/json/list") or [])
                                  if p.get("url", "").startswith(self.service.base + "/?ComputerName=")],
                         30, what="the login page in a tab")
        self.assertEqual(len(pages), 1)
        wait_for(lambda: any("登录" in p.get("title", "") for p in try_json(DEVTOOLS + "/json/list") or []),
                 20, what="the login page to load")
        self.desktop.screenshot("login-first-tab.png")


if __name__ == "__main__":
    unittest.main()

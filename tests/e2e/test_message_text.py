"""Message boxes show page text as written: markup in an alert is text, not
live links or formatting."""

import re
import unittest

from harness import ClientTestCase, wait_for

TITLE = "Velmar房产ERP"


class MessageText(ClientTestCase):

    def windows(self):
        found = []
        for window in self.desktop.xdotool("search", "--onlyvisible", "--class", "VelmarERP").stdout.split():
            if not self.desktop.window_title(window).startswith(TITLE + " - "):
                found.append(window)
        return found

    def alert(self, page, text, screenshot):
        """Raises an alert with text; the width of its box, after closing it."""
        before = set(self.windows())
        page.evaluate("setTimeout(function(){ doAlert(%s); }, 0); true" % repr(text))
        box = wait_for(lambda: next((w for w in self.windows() if w not in before), None), 20, what="the box")
        self.assertEqual(self.desktop.window_title(box), TITLE)
        geometry = self.desktop.xdotool("getwindowgeometry", box).stdout
        width = int(re.search(r"Geometry: (\d+)x(\d+)", geometry).group(1))
        if screenshot:
            self.desktop.screenshot(screenshot)
        self.desktop.xdotool("windowactivate", "--sync", box)
        self.desktop.xdotool("key", "Return")
        wait_for(lambda: box not in self.windows(), 20, what="the box to close")
        return width

    def test_markup_in_an_alert_shows_as_text(self):
        self.start_client()
        page = self.login_page()
        page.navigate(self.service.base + "/pages/dialogs.html")
        # Rendered as rich text, the link would show only its four characters
        # and the box would be as narrow as for those alone; shown as text,
        # the whole markup is on the line and the box is far wider.
        markup = '<a href="file:///etc/passwd/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa">点此继续</a>'
        marked = self.alert(page, markup, "message-text-markup.png")
        plain = self.alert(page, "点此继续", None)
        self.assertGreater(marked, plain + 150, (marked, plain))


if __name__ == "__main__":
    unittest.main()

"""Prints, as JSON, the tab lists an AT-SPI screen reader sees in the
application with the given process id: [[name, selected], ...] per list.
Run with the system's Python (pyatspi comes from Debian)."""

import json
import sys

import pyatspi


def walk(node, depth=0):
    if node is None or depth > 12:
        return
    yield node
    for i in range(node.childCount):
        try:
            yield from walk(node.getChildAtIndex(i), depth + 1)
        except Exception:
            continue


def main():
    pid = int(sys.argv[1])
    desktop = pyatspi.Registry.getDesktop(0)
    lists = []
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is None or app.get_process_id() != pid:
                continue
        except Exception:
            continue
        for node in walk(app):
            if node.getRole() == pyatspi.ROLE_PAGE_TAB_LIST:
                tabs = []
                for j in range(node.childCount):
                    tab = node.getChildAtIndex(j)
                    if tab is not None and tab.getRole() == pyatspi.ROLE_PAGE_TAB:
                        tabs.append([tab.name, tab.getState().contains(pyatspi.STATE_SELECTED)])
                lists.append(tabs)
    print(json.dumps(lists, ensure_ascii=False))


main()

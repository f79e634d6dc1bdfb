#!/usr/bin/python3
"""Walks Tavro's windows the way a screen reader sees them, through AT-SPI.

    atspi_walk.py window NAME [--expect TEXT]...   the shown window of that name: every
        control that takes input has a role and a name, every text is read, and each
        TEXT is read somewhere in it (a name or a value)
    atspi_walk.py menu KEY [--expect TEXT]...      the same for the open menu, found the
        way a screen reader finds it: through the item KEY (xdotool) moves the keyboard to
    atspi_walk.py value-change NAME KEYS...        presses the keys (xdotool) in the window
        of that name and waits for a date list to announce its new value

Prints what it found; exits 1 naming every fault, 2 when the window never appeared.
"""

import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

WAIT_SECONDS = 30

INTERACTIVE = {getattr(pyatspi, "ROLE_" + r) for r in (
    "PUSH_BUTTON TOGGLE_BUTTON CHECK_BOX RADIO_BUTTON COMBO_BOX SCROLL_BAR SLIDER SPIN_BUTTON "
    "ENTRY PASSWORD_TEXT MENU_ITEM CHECK_MENU_ITEM RADIO_MENU_ITEM").split()}
TEXTS = {pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC, pyatspi.ROLE_TEXT}
NO_ROLE = {pyatspi.ROLE_INVALID, pyatspi.ROLE_UNKNOWN}
WINDOWS = {pyatspi.ROLE_DIALOG, pyatspi.ROLE_WINDOW, pyatspi.ROLE_FRAME}


def tavro():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Tavro":
            return app
    return None


def shown(node):
    states = node.getState()
    return states.contains(pyatspi.STATE_SHOWING) or states.contains(pyatspi.STATE_VISIBLE)


def find(predicate):
    """The first shown top-level object of Tavro's for which predicate holds."""
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        for top in tavro() or []:
            try:
                if top is not None and shown(top) and predicate(top):
                    return top
            except Exception:  # the window went away while we looked
                pass
        time.sleep(0.2)
    return None


def value_of(node):
    try:
        return str(node.queryValue().currentValue)
    except NotImplementedError:
        return ""


def walk(node, depth, found):
    if node is None or not shown(node):
        return
    found.append((depth, node.getRole(), node.getRoleName(), node.name or "", value_of(node)))
    for child in node:
        walk(child, depth + 1, found)


def check(top, expected):
    found = []
    walk(top, 0, found)
    faults = []
    if not top.name:
        faults.append("the window has no name")
    read = []
    for depth, role, role_name, name, value in found:
        print("%s%s %r%s" % ("  " * depth, role_name, name, " = " + value if value else ""))
        read += [name, value]
        if role in NO_ROLE:
            faults.append("an object without a role (named %r)" % name)
        if role in INTERACTIVE and not name:
            faults.append("a %s without a name" % role_name)
        if role in TEXTS and not name:
            faults.append("a %s that reads nothing" % role_name)
    for text in expected:
        if not any(text in r for r in read):
            faults.append("%r is shown but not read" % text)
    return faults


def main(argv):
    mode = argv[1]
    if mode == "value-change":
        return value_change(argv[2], argv[3:])
    name = argv[2]
    expected = [argv[i + 1] for i, a in enumerate(argv) if a == "--expect"]
    if mode == "window":
        top = find(lambda n: n.getRole() in WINDOWS and n.name == name)
    else:
        # Qt lists no popup among the application's windows.
        item = heard_after(name, ["object:state-changed:focused", "object:state-changed:selected",
                                  "focus:"], lambda n: n.getRole() == pyatspi.ROLE_MENU_ITEM)
        top = item.parent if item is not None else None
    if top is None:
        print("no shown %s %r of Tavro's on the accessibility bus" % (mode, name))
        return 2
    print("%s %r (%s)" % (mode, top.name, top.getRoleName()))
    faults = check(top, expected)
    for fault in faults:
        print("FAULT: " + fault)
    return 1 if faults else 0


def heard_after(keys, kinds, wanted):
    """Presses the keys and returns the source of the first event of those kinds for which
    wanted holds, or None when none came."""
    heard = []
    loop = GLib.MainLoop()

    def on_event(event):
        try:
            if wanted(event.source):
                print("heard: %s from %s %r = %s" % (event.type, event.source.getRoleName(),
                                                     event.source.name, value_of(event.source)))
                heard.append(event.source)
                loop.quit()
        except Exception:
            pass

    pyatspi.Registry.registerEventListener(on_event, *kinds)
    subprocess.run(["xdotool", "key", "--delay", "150"] + keys.split(), check=True)
    GLib.timeout_add_seconds(WAIT_SECONDS, loop.quit)
    loop.run()
    pyatspi.Registry.deregisterEventListener(on_event, *kinds)
    return heard[0] if heard else None


def value_change(name, keys):
    if find(lambda n: n.getRole() in WINDOWS and n.name == name) is None:
        print("no shown window %r" % name)
        return 2
    kinds = ["object:property-change:accessible-value", "object:value-changed"]
    if heard_after(" ".join(keys), kinds, lambda n: n.getRole() == pyatspi.ROLE_COMBO_BOX) is None:
        print("FAULT: no date list announced a new value")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/python3
"""Reads the Qt window's accessibility tree through AT-SPI, as a screen reader does.

Usage: atspi_tree.py TREADLE [--dump]

Starts the window on the virtual foot switch in Chinese and in English, each on a private
D-Bus session and a virtual X display, and checks that every control shown has a name and a
role, that the window is the only frame (the groups are panels), that the left Ctrl toggle
reports itself pressed after Space, and that the activity log tells the accessibility bus of
its new line when Space on F1 writes Ctrl + F1 (the event a screen reader speaks from, with
the line as its text). Exits 77 (skipped) when AT-SPI's Python bindings, its bus or the X
tools are missing. --dump prints the controls with their roles and names.
"""
import os
import subprocess
import sys
import time

from atspi_session import (
    SESSION_FAILED, SessionFailed, find, find_app, give_window_keyboard, inside, missing_tools,
    run_in_session, skip, walk, window_env)

# Roles of the controls the window shows; the application, its window and the items inside
# lists and combo boxes are not controls of the window.
CONTROL_ROLES = {
    "push button", "toggle button", "check box", "radio button", "combo box", "text", "list",
    "label", "panel", "grouping", "filler", "frame", "link",
}
# Qt shows a checkable push button as a check box whose checked state is the toggle's.
TOGGLE_ROLES = ("toggle button", "check box")


def showing(pyatspi, node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def labelled_by(pyatspi, node):
    """The names of the labels that name the node, as "\tlabelled by ..."; empty for none."""
    names = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return "\tlabelled by " + ", ".join(names) if names else ""


def pressed(pyatspi, node):
    state = node.getState()
    return state.contains(pyatspi.STATE_CHECKED) or state.contains(pyatspi.STATE_PRESSED)


def heard_new_line(pyatspi, events, wanted, seconds):
    """Pumps the bus's events for a while; true once a description change carrying `wanted` came."""
    from gi.repository import GLib
    context = GLib.MainContext.default()
    end = time.time() + seconds
    while time.time() < end:
        while context.iteration(False):
            pass
        if any(wanted in text for text in events):
            return True
        time.sleep(0.05)
    return False


def check_new_log_line(pyatspi, app, lang, key, deadline):
    """Space on the key button writes it with the pressed Ctrl; the log's new line must reach
    the bus as an event on the log list."""
    events = []

    def listener(event):
        if event.source is not None and event.source.getRoleName() == "list":
            events.append(str(event.any_data or "") + " " + (event.source.description or ""))

    pyatspi.Registry.registerEventListener(listener, "object:property-change:accessible-description")
    try:
        button = find(pyatspi, app, ("push button",), key, deadline)
        if button is None:
            return ["%s: no key button named %s" % (lang, key)]
        button.queryComponent().grabFocus()
        time.sleep(0.3)
        subprocess.run(["xdotool", "key", "space"], timeout=20, check=True)
        heard = heard_new_line(pyatspi, events, "F1", 5)
        print("%s: the log's new line on the bus: %s" % (lang, events[-1].strip() if events else "nothing"))
        return [] if heard else ["%s: the log's new line after Space on %s never reached the bus" % (lang, key)]
    finally:
        pyatspi.Registry.deregisterEventListener(listener, "object:property-change:accessible-description")


def check_language(pyatspi, treadle, lang, left_ctrl, dump):
    window = subprocess.Popen([treadle, "--virtual", "--lang", lang], env=window_env())
    failures = []
    try:
        deadline = time.time() + 30
        app = find_app(pyatspi, deadline)
        if app is None:
            raise SessionFailed("%s: the window never appeared on the accessibility bus" % lang)
        toggle = find(pyatspi, app, TOGGLE_ROLES, left_ctrl, deadline)
        if toggle is None:
            return ["%s: no enabled toggle named %s" % (lang, left_ctrl)]
        controls = 0
        for node, role, parent_role in walk(app):
            if role not in CONTROL_ROLES or parent_role in ("combo box", "list") or not showing(pyatspi, node):
                continue
            controls += 1
            if dump:
                print("%s\t%s\t%s%s" % (lang, role, node.name, labelled_by(pyatspi, node)))
            if not node.name:
                failures.append("%s: a %s without a name (inside a %s)" % (lang, role, parent_role or "window"))
            # A screen reader takes a frame for a top-level window, and speaks nothing from
            # inside one that is not active: the window is the only frame.
            if (role == "frame") != (not parent_role):
                failures.append("%s: the %s %s is %s frame" % (lang, role, node.name, "a" if parent_role else "no"))
        print("%s: %d controls shown, each with a role" % (lang, controls))
        if pressed(pyatspi, toggle):
            failures.append("%s: %s is pressed before any key" % (lang, left_ctrl))
        # The window gets the keyboard, then AT-SPI puts the focus on the toggle, as a screen
        # reader's focus command does.
        give_window_keyboard()
        toggle.queryComponent().grabFocus()
        time.sleep(0.3)
        subprocess.run(["xdotool", "key", "space"], timeout=20, check=True)
        end = time.time() + 5
        while time.time() < end and not pressed(pyatspi, toggle):
            time.sleep(0.1)
        print("%s: %s after Space: %s" % (lang, left_ctrl, "pressed" if pressed(pyatspi, toggle) else "not pressed"))
        if not pressed(pyatspi, toggle):
            failures.append("%s: %s does not report pressed after Space" % (lang, left_ctrl))
        failures += check_new_log_line(pyatspi, app, lang, "F1", deadline)
    finally:
        window.terminate()
        window.wait(10)
    return failures


def inner(treadle, dump):
    import pyatspi
    failures = []
    try:
        for lang, left_ctrl in (("zh", "左Ctrl"), ("en", "Left Ctrl")):
            failures += check_language(pyatspi, treadle, lang, left_ctrl, dump)
    except SessionFailed as e:
        print("atspi_tree: " + str(e))
        return SESSION_FAILED
    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    treadle = os.path.abspath(sys.argv[1])
    dump = "--dump" in sys.argv[2:]
    if inside():
        return inner(treadle, dump)
    reason = missing_tools()
    if reason:
        skip(reason)
    return run_in_session(__file__, [treadle] + sys.argv[2:], "atspi_tree", timeout=180)


if __name__ == "__main__":
    sys.exit(main())
